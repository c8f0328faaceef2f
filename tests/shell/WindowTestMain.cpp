// The window's tests run on the offscreen platform, with settings, data and
// trash folders of the run's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "tests/support/TempDir.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PELQUINAR_NO_MESSAGE_BOXES", "1");
    // Nothing of the user's: settings, the trash and the thumbnail cache of the
    // run's own.
    static pq::test::TempDir home;
    std::filesystem::create_directories(home.Path() + "config");
    std::filesystem::create_directories(home.Path() + "data");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path() + "config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Path() + "data"));
    // And a thumbnail cache of its own.
    std::filesystem::create_directories(home.Path() + "cache");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(home.Path() + "cache"));
    QApplication app(argc, argv);
    QApplication::setApplicationVersion("1.10");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
