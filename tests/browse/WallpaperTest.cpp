// The wallpaper rules on a recording desktop, and the GNOME setting itself
// where GSettings and its schemas are installed.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "browse/Wallpaper.h"
#include "tests/support/FakeWallpaper.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class WallpaperRules : public ::testing::Test {
protected:
    QString File() const { return QString::fromStdString(dir.Path() + "data/PQ wallpage.bmp"); }
    QString Picture(const char* name, int w, int h, const char* format) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkMagenta);
        const QString path = QString::fromStdString(dir.Path() + name);
        EXPECT_TRUE(img.save(path, format));
        return path;
    }
    test::TempDir dir;
    std::string prev, prevTile, prevStyle;
    test::FakeWallpaper desktop;
    CWallpaper wallpaper{&desktop, PreviousWallpaper{prev, prevTile, prevStyle}, File()};
};

TEST_F(WallpaperRules, SettingTwiceThenRestoreBringsBackTheFirst) {
    const QString a = Picture("a.bmp", 40, 30, "BMP");
    const QString b = Picture("b.jpg", 40, 30, "JPEG");
    ASSERT_TRUE(wallpaper.SetTiled(a));
    EXPECT_EQ(desktop.Current().picture, File());
    EXPECT_EQ(desktop.Current().option, "wallpaper");
    ASSERT_TRUE(wallpaper.SetFullScreen(b));
    EXPECT_EQ(desktop.Current().option, "zoom");
    EXPECT_EQ(prev, "/usr/share/backgrounds/hills.png") << "the second change keeps the first's";
    EXPECT_EQ(prevTile, "0");
    EXPECT_EQ(prevStyle, "zoom");
    ASSERT_TRUE(wallpaper.Restore());
    EXPECT_EQ(desktop.Current().picture, "/usr/share/backgrounds/hills.png");
    EXPECT_EQ(desktop.Current().option, "zoom");
}

TEST_F(WallpaperRules, APictureThatCannotBeWrittenSetsNothingAndSaysWhy) {
    ASSERT_TRUE(wallpaper.SetTiled(Picture("good.jpg", 40, 30, "JPEG")));
    const std::string before = Read(File().toStdString());
    desktop.calls.clear();
    // A JPEG cut short after its first bytes, a missing file, a BMP that
    // cannot be read.
    const std::string whole = Read(Picture("cut.jpg", 40, 30, "JPEG").toStdString());
    std::ofstream(dir.Path() + "cut.jpg", std::ios::binary) << whole.substr(0, 20);
    const QString bad[] = {QString::fromStdString(dir.Path() + "cut.jpg"),
                           QString::fromStdString(dir.Path() + "none.jpg"),
                           QString::fromStdString(dir.Path() + "none.bmp")};
    for (const QString& picture : bad) {
        EXPECT_FALSE(wallpaper.SetTiled(picture)) << picture.toStdString();
        EXPECT_FALSE(wallpaper.Problem().isEmpty());
        EXPECT_FALSE(wallpaper.SetFullScreen(picture)) << picture.toStdString();
        EXPECT_NE(wallpaper.Problem().indexOf(picture), -1) << wallpaper.Problem().toStdString();
    }
    EXPECT_TRUE(desktop.calls.isEmpty()) << "the desktop is not set again to the old file";
    EXPECT_EQ(Read(File().toStdString()), before) << "the wallpaper file is left as it was";
    for (const auto& e : std::filesystem::directory_iterator(dir.Path() + "data"))
        EXPECT_EQ(e.path().filename(), "PQ wallpage.bmp") << "no temporary file left";

    // A wallpaper file that cannot be written: a folder stands in its place.
    CWallpaper blocked{&desktop, PreviousWallpaper{prev, prevTile, prevStyle},
                       QString::fromStdString(dir.Path() + "data")};
    EXPECT_FALSE(blocked.SetTiled(Picture("fine.bmp", 20, 10, "BMP")));
    EXPECT_FALSE(blocked.SetTiled(Picture("fine.png", 20, 10, "PNG")));
    EXPECT_TRUE(desktop.calls.isEmpty());

    desktop.available = false;
    EXPECT_FALSE(wallpaper.Restore());
    EXPECT_FALSE(wallpaper.Problem().isEmpty());
}

TEST_F(WallpaperRules, ABmpIsCopiedByteForByteAnythingElseConverted) {
    std::filesystem::create_directories(dir.Path() + "data");
    std::ofstream(File().toStdString(), std::ios::binary) << std::string(200000, 'L');
    const QString bmp = Picture("PHOTO.BMP", 20, 10, "BMP");
    ASSERT_TRUE(wallpaper.WriteFile(bmp));
    EXPECT_EQ(Read(File().toStdString()), Read(bmp.toStdString()))
        << "exactly the source, no tail of the longer file before";
    const QString jpg = Picture("photo.jpg", 64, 48, "JPEG");
    ASSERT_TRUE(wallpaper.WriteFile(jpg));
    EXPECT_EQ(Read(File().toStdString()).substr(0, 2), "BM");
    EXPECT_EQ(QImage(File()).size(), QSize(64, 48));
}

TEST_F(WallpaperRules, RestoreBeforeAnySetAndAnUnknownDesktop) {
    ASSERT_TRUE(wallpaper.Restore());
    EXPECT_EQ(desktop.calls, QStringList{" | "}) << "empty values: no wallpaper";
    desktop.available = false;
    EXPECT_FALSE(wallpaper.SetTiled(Picture("x.bmp", 4, 4, "BMP")));
    CWallpaper none(nullptr, PreviousWallpaper{prev, prevTile, prevStyle}, File());
    EXPECT_FALSE(none.Available());
    EXPECT_FALSE(none.Restore());
}

// The GNOME path for real: GSettings with its keyfile backend in a private
// configuration folder.
TEST(GnomeWallpaper, SetsAndRestoresThroughGSettings) {
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        GTEST_SKIP() << "gsettings is not installed";
    test::TempDir config;
    qputenv("GSETTINGS_BACKEND", "keyfile");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
    auto gnome = IDesktopWallpaper::GSettings("org.gnome.desktop.background", false);
    if (!gnome->Available()) {
        qputenv("XDG_CONFIG_HOME", savedConfig);
        GTEST_SKIP() << "the org.gnome.desktop.background schema is not installed";
    }
    ASSERT_TRUE(gnome->Set({"/old/sea.png", "scaled"}));
    std::string prev, prevTile, prevStyle;
    const QString file = QString::fromStdString(config.Path() + "PQ wallpage.bmp");
    CWallpaper wallpaper(gnome.get(), PreviousWallpaper{prev, prevTile, prevStyle}, file);
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::green);
    const QString pic = QString::fromStdString(config.Path() + "g.bmp");
    ASSERT_TRUE(img.save(pic, "BMP"));
    ASSERT_TRUE(wallpaper.SetTiled(pic));
    EXPECT_EQ(gnome->Get().picture, QUrl::fromLocalFile(file).toString());
    EXPECT_EQ(gnome->Get().option, "wallpaper");
    QProcess dark;
    dark.start("gsettings", {"get", "org.gnome.desktop.background", "picture-uri-dark"});
    dark.waitForFinished();
    const QString darkUri = QString::fromUtf8(dark.readAllStandardOutput()).trimmed();
    if (!darkUri.isEmpty() && !darkUri.startsWith("No such key"))
        EXPECT_TRUE(darkUri.contains("PQ wallpage.bmp")) << darkUri.toStdString();
    ASSERT_TRUE(wallpaper.SetFullScreen(pic));
    EXPECT_EQ(gnome->Get().option, "zoom");
    ASSERT_TRUE(wallpaper.Restore());
    EXPECT_EQ(gnome->Get().option, "scaled");
    EXPECT_EQ(gnome->Get().picture, "file:///old/sea.png");
    qputenv("XDG_CONFIG_HOME", savedConfig);
}

}  // namespace
}  // namespace pq
