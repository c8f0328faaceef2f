// What the window's tests share: a settings file, start folder and picture
// index of the test's own, and waiting for the event loop to bring something
// about.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <string>

#include "shell/CPelquinarApp.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/CStatusPanes.h"
#include "tests/support/TempDir.h"

namespace pq {

namespace test {

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

}  // namespace test

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        app.startDirectory = dir.Path() + "start/";
        app.Load(QString::fromStdString(Conf()));
        // A picture index of the test's own: nothing of another test's
        // pictures, nor of the user's.
        app.indexPath = dir.Path() + "data/pictures.sqlite";
        ASSERT_TRUE(app.EnsureStartDirectory());
    }
    std::string Conf() const { return dir.Path() + "Pelquinar.conf"; }
    QString Pane(CMainFrame& f, int i) { return f.Panes()->Text(i); }

    test::TempDir dir;
    CPelquinarApp app;
};

}  // namespace pq
