// "pelquinar PATH...": what a request names, what the window shows for it,
// and a second start handing its paths to the first over a session bus of
// the test's own (a private dbus-daemon).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "shell/CPelquinarApp.h"
#include "shell/OpenRequest.h"
#include "shell/window/CDesktopService.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/CPathOpener.h"
#include "shell/window/CommandIds.h"
#include "tests/support/TempDir.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace pq {
namespace {

namespace fs = std::filesystem;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WritePicture(const std::string& path) {
    QImage img(120, 90, QImage::Format_RGB32);
    img.fill(Qt::darkMagenta);
    ASSERT_TRUE(img.save(Q(path)));
}

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        pics = dir.Path() + "my pics/";
        fs::create_directories(pics + "sub");
        for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) WritePicture(pics + n);
        WritePicture(dir.Path() + "elsewhere.jpg");
    }
    test::TempDir dir;
    std::string pics;
};

TEST_F(Paths, WhatARequestNames) {
    const QString base = Q(pics);
    const QString folder = Q(pics);
    struct Case {
        const char* what;
        QStringList args;
        QString folder;
        QStringList pictures;
        int problems;
    } cases[] = {
        {"a folder", {Q(pics)}, folder, {}, 0},
        {"a folder without its slash", {Q(pics).chopped(1)}, folder, {}, 0},
        {"a picture", {Q(pics + "b.jpg")}, folder, {Q(pics + "b.jpg")}, 0},
        {"relative to where it started",
         {"b.jpg", "./c.jpg"},
         folder,
         {Q(pics + "b.jpg"), Q(pics + "c.jpg")},
         0},
        {"a file: URI",
         {QUrl::fromLocalFile(Q(pics + "a.jpg")).toString()},
         folder,
         {Q(pics + "a.jpg")},
         0},
        {"the same picture twice", {"a.jpg", Q(pics + "a.jpg")}, folder, {Q(pics + "a.jpg")}, 0},
        {"a subfolder after the folder", {Q(pics), "sub"}, folder, {}, 1},
        {"a picture of another folder",
         {"a.jpg", Q(dir.Path() + "elsewhere.jpg")},
         folder,
         {Q(pics + "a.jpg")},
         1},
        {"a missing path first", {"missing.jpg", "c.jpg"}, folder, {Q(pics + "c.jpg")}, 1},
        {"a web address", {"https://example.org/a.jpg"}, QString(), {}, 1},
        {"nothing that exists", {"missing.jpg"}, QString(), {}, 1},
        {"no paths", {}, QString(), {}, 0},
    };
    for (const Case& c : cases) {
        const OpenRequest r = OpenRequest::FromArguments(c.args, base);
        EXPECT_EQ(r.folder, c.folder) << c.what;
        EXPECT_EQ(r.pictures, c.pictures) << c.what;
        EXPECT_EQ(r.problems.size(), c.problems) << c.what << ": " << r.Message().toStdString();
    }
    // Handed to a running window as absolute file URIs, spaces escaped.
    const QStringList uris = OpenRequest::UrisOf({"b.jpg", "https://example.org/"}, base);
    ASSERT_EQ(uris.size(), 2);
    EXPECT_TRUE(uris[0].startsWith("file:///")) << uris[0].toStdString();
    EXPECT_TRUE(uris[0].endsWith("my%20pics/b.jpg")) << uris[0].toStdString();
    EXPECT_EQ(uris[1], "https://example.org/");
    EXPECT_EQ(OpenRequest::FromArguments(uris.mid(0, 1), "/").pictures,
              QStringList{Q(pics + "b.jpg")});
}

class OpenWindow : public Paths {
protected:
    void SetUp() override {
        Paths::SetUp();
        app.startDirectory = dir.Path() + "start/";
        app.Load(Q(dir.Path() + "Pelquinar.conf"));
        app.indexPath = dir.Path() + "data/pictures.sqlite";
        ASSERT_TRUE(app.EnsureStartDirectory());
    }
    // Waits until the frame shows the folder with the picture chosen.
    static bool Shows(CMainFrame& f, const std::string& folder, const std::string& picture) {
        return QTest::qWaitFor(
            [&] {
                CThumbList& list = f.ImageList()->List();
                if (list.Folder() != Q(folder) || !list.Ready()) return false;
                const QList<int> rows = list.SelectedRows();
                return rows.size() == 1 && list.Model().PathOf(rows[0]) == Q(picture) &&
                       f.Preview()->Picture()->Path() == Q(picture);
            },
            10000);
    }
    CPelquinarApp app;
};

TEST_F(OpenWindow, AFolderOpensInTheBrowsingListAndAPictureIsSelectedAndPreviewed) {
    CMainFrame f(app);
    f.resize(900, 700);
    f.show();
    CPathOpener opener(f);
    // From the search layout, as a start during a search would find it.
    f.Run(cmd::kLayoutSearch);
    QSignalSpy opened(&opener, &CPathOpener::Opened);
    opener.Open(OpenRequest::FromArguments({Q(pics)}, "/"));
    ASSERT_TRUE(opened.wait(10000));
    EXPECT_EQ(f.PaneLayout()->CurrentLayout(), CPaneLayout::Layout::kManage);
    EXPECT_FALSE(f.PaneLayout()->ManageShowsHistory());
    EXPECT_EQ(f.PaneLayout()->CurrentList(), f.ImageList());
    EXPECT_EQ(f.ImageList()->List().Folder(), Q(pics));
    EXPECT_EQ(f.ImageList()->List().Model().rowCount(), 3);
    EXPECT_TRUE(f.ImageList()->List().SelectedRows().isEmpty());

    // A picture: its folder, read again (it may be new there), the row
    // selected and the picture in the preview.
    WritePicture(pics + "d.jpg");
    opener.Open(OpenRequest::FromArguments({Q(pics + "d.jpg")}, "/"));
    ASSERT_TRUE(Shows(f, pics, pics + "d.jpg"));
    EXPECT_EQ(f.ImageList()->List().Model().rowCount(), 4);
    EXPECT_EQ(f.ListCursor(), 3);

    // Two pictures: both selected, the first previewed; the missing one
    // and the one elsewhere are told.
    QSignalSpy messages(&f, &CMainFrame::MessageShown);
    opener.Open(OpenRequest::FromArguments(
        {Q(pics + "b.jpg"), Q(pics + "c.jpg"), "missing.jpg", Q(dir.Path() + "elsewhere.jpg")},
        Q(pics)));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return f.ImageList()->List().SelectedRows().size() == 2; }, 10000));
    EXPECT_EQ(f.ImageList()->List().SelectedRows(), (QList<int>{1, 2}));
    EXPECT_EQ(f.Preview()->Picture()->Path(), Q(pics + "b.jpg"));
    ASSERT_EQ(messages.size(), 1);
    const QString text = messages[0][0].toString();
    EXPECT_TRUE(text.contains("missing.jpg does not exist.")) << text.toStdString();
    EXPECT_TRUE(text.contains("elsewhere.jpg lies in another folder")) << text.toStdString();

    // Nothing that exists: the message alone, the list as it was.
    opener.Open(OpenRequest::FromArguments({"gone.jpg"}, Q(pics)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(f.ImageList()->List().Folder(), Q(pics));
}

// A program started with fork and exec (as the desktop starts one): its
// standard output on a pipe, its environment this one's with extra on top,
// in folder cwd.
struct Started {
    pid_t pid = -1;
    int out = -1;
    int status = -1;  // once ended
    bool Ended() {
        if (pid < 0) return true;
        if (status >= 0) return true;
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) != pid) return false;
        status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
        return true;
    }
};

Started Start(const std::vector<std::string>& argv, const std::vector<std::string>& extra = {},
              const std::string& cwd = {}) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    Started s;
    s.pid = fork();
    if (s.pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        for (const std::string& e : extra) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    s.out = fds[0];
    return s;
}

// A session bus of the test's own; stopped with the object.
class PrivateBus {
public:
    PrivateBus() {
        daemon_ = Start({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        if (daemon_.pid < 0) return;
        QElapsedTimer t;
        t.start();
        std::string line;
        char ch;
        while (t.elapsed() < 10000) {
            pollfd p{daemon_.out, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            if (read(daemon_.out, &ch, 1) != 1 || ch == '\n') break;
            line += ch;
        }
        address_ = QString::fromStdString(line).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        if (daemon_.pid > 0 && !daemon_.Ended()) {
            kill(daemon_.pid, SIGTERM);
            waitpid(daemon_.pid, nullptr, 0);
        }
        if (daemon_.out >= 0) close(daemon_.out);
    }
    const QString& Address() const { return address_; }
    // A connection of its own (a start of the program has one).
    QDBusConnection Connect() {
        const QString name = QStringLiteral("test-%1").arg(names_.size());
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    Started daemon_;
    QString address_;
    QStringList names_;
};

TEST_F(OpenWindow, ASecondStartHandsItsPathsToTheFirstOverTheSessionBus) {
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
    CMainFrame f(app);
    f.resize(900, 700);
    f.show();
    CPathOpener opener(f);
    CDesktopService first(bus.Connect());
    ASSERT_EQ(first.Claim({}, {}), CDesktopService::Start::kFirst);
    QList<QVariantMap> raised;
    first.SetHandler([&](const QStringList& uris, const QVariantMap& data) {
        raised << data;
        opener.Raise(data);
        if (!uris.isEmpty()) opener.Open(OpenRequest::FromArguments(uris, "/"));
    });

    // The program itself as the second start, from the pictures' folder,
    // with a relative path and what a launcher gives it.
    const std::vector<std::string> env = {"DBUS_SESSION_BUS_ADDRESS=" + bus.Address().toStdString(),
                                          "QT_QPA_PLATFORM=offscreen",
                                          "XDG_CONFIG_HOME=" + dir.Path() + "second-config",
                                          "XDG_ACTIVATION_TOKEN=token-from-the-launcher"};
    Started second = Start({PQ_WINDOW_PATH, "c.jpg"}, env, pics);
    ASSERT_GT(second.pid, 0);
    // The first answers from this event loop while the second waits.
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.Ended(); }, 60000));
    close(second.out);
    EXPECT_EQ(second.status, 0);
    EXPECT_FALSE(fs::exists(dir.Path() + "second-config")) << "it wrote no settings";
    ASSERT_TRUE(Shows(f, pics, pics + "c.jpg"));
    ASSERT_EQ(raised.size(), 1);
    EXPECT_EQ(raised[0].value("activation-token").toString(), "token-from-the-launcher");

    // A start without paths only brings the window up.
    Started plain = Start({PQ_WINDOW_PATH}, env);
    ASSERT_TRUE(QTest::qWaitFor([&] { return plain.Ended(); }, 60000));
    close(plain.out);
    EXPECT_EQ(plain.status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return raised.size() == 2; }, 10000));
    EXPECT_EQ(f.ImageList()->List().Folder(), Q(pics));
}

TEST(DesktopService, WithoutABusEveryStartIsAlone) {
    CDesktopService alone(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
    QString why;
    EXPECT_EQ(alone.Claim({"file:///x.jpg"}, {}, &why), CDesktopService::Start::kAlone);
    EXPECT_FALSE(alone.Owner());
    EXPECT_FALSE(why.isEmpty());
    QDBusConnection::disconnectFromBus("none");
}

}  // namespace
}  // namespace pq
