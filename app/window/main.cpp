// pelquinar: the desktop program. Settings are loaded before the window
// opens and written after it has closed. "pelquinar PATH..." shows a folder
// or a picture's folder; while a window runs, a later start hands its paths
// to it over the session bus and ends.
#include <stdlib.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <string>

#include "app/demo/CDemoServer.h"
#include "shell/CPelquinarApp.h"
#include "shell/OpenRequest.h"
#include "shell/window/CDesktopService.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/CPathOpener.h"
#include "shell/window/CSearchBar.h"

namespace {

std::string FolderPath(const QString& path) {
    std::string f = QDir::cleanPath(QDir(path).absolutePath()).toStdString();
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

// With PELQUINAR_REPORT_FIRST_FRAME set, "pelquinar: first frame" goes to
// the standard output once the window's first frame is painted (the start
// benchmark waits for it).
class FirstFrameReport : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* window = qobject_cast<QWindow*>(watched);
        if (e->type() == QEvent::Expose && window && window->isExposed() && !done_) {
            done_ = true;
            // The expose is painted and flushed before the next turn of the
            // event loop.
            QTimer::singleShot(0, [] {
                std::printf("pelquinar: first frame\n");
                std::fflush(stdout);
            });
        }
        return false;
    }

private:
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    // Answered without a display: the window's application needs one.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--version" || a == "-v") {
            std::printf("pelquinar 1.10\n");
            return 0;
        }
        if (a == "--help" || a == "-h") {
            std::printf(
                "Usage: pelquinar [--start-dir DIR] [--demo] [PATH...]\n"
                "Finds and collects pictures on the web.\n\n"
                "  PATH             a folder to show in the browsing list, or a picture to show\n"
                "                   in its folder, selected and previewed; a window that runs\n"
                "                   already is given the paths and brought to the front\n"
                "  --start-dir DIR  where \"My Search\" and \"My Pictures\" lie, for this run\n"
                "                   (default: the setting startdir, else ~/Pictures/Pelquinar/)\n"
                "  --demo           serve a sample site on 127.0.0.1 and put its address in the\n"
                "                   search bar; its projects and settings go to a temporary\n"
                "                   folder (in place of --start-dir), removed when the window\n"
                "                   closes\n"
                "  -v, --version    print the version\n"
                "  -h, --help       print this help\n");
            return 0;
        }
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pelquinar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pelquinar"));
    QApplication::setApplicationVersion(QStringLiteral("1.10"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pelquinar"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds and collects pictures on the web."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption startDir(QStringLiteral("start-dir"),
                                QStringLiteral("Where \"My Search\" and \"My Pictures\" lie, for "
                                               "this run (default: the setting startdir, else "
                                               "~/Pictures/Pelquinar/)."),
                                QStringLiteral("DIR"));
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Serve a sample site on 127.0.0.1 and put its address "
                                           "in the search bar; its projects and settings go to "
                                           "a temporary folder (in place of --start-dir), "
                                           "removed when the window closes."));
    parser.addOption(startDir);
    parser.addOption(demo);
    parser.addPositionalArgument(QStringLiteral("paths"),
                                 QStringLiteral("Folders or pictures to show."),
                                 QStringLiteral("[PATH...]"));
    parser.process(qapp);
    const QStringList paths = parser.positionalArguments();
    const QString here = QDir::currentPath();

    // One window for the desktop: a start while one runs gives it the
    // paths. A demo or another start folder is a window of its own.
    std::unique_ptr<pq::CDesktopService> service;
    if (!parser.isSet(demo) && !parser.isSet(startDir)) {
        service = std::make_unique<pq::CDesktopService>();
        QString why;
        const auto start = service->Claim(pq::OpenRequest::UrisOf(paths, here),
                                          pq::CDesktopService::PlatformData(), &why);
        if (start == pq::CDesktopService::Start::kHandedOver) return 0;
        if (start == pq::CDesktopService::Start::kAlone &&
            QDBusConnection::sessionBus().isConnected())
            std::fprintf(stderr,
                         "pelquinar: the running window did not take the request (%s); this "
                         "one opens a window of its own\n",
                         qPrintable(why));
    }

    pq::CPelquinarApp app;
    pq::CDemoServer server;
    QString settingsPath;
    if (parser.isSet(demo)) {
        // The demo keeps its settings beside its projects: the user's own
        // histories are not touched.
        QByteArray tmpl = (QDir::tempPath() + "/pelquinar-demo-XXXXXX").toLocal8Bit();
        if (!mkdtemp(tmpl.data()) || !server.Start()) {
            std::fprintf(stderr, "pelquinar: cannot set up the demo\n");
            return 1;
        }
        app.startDirectory = FolderPath(QString::fromLocal8Bit(tmpl));
        settingsPath = QString::fromStdString(app.startDirectory + "Pelquinar.conf");
        app.indexPath = app.startDirectory + "pictures.sqlite";
    } else if (parser.isSet(startDir)) {
        app.startDirectory = FolderPath(parser.value(startDir));
    }
    app.Load(settingsPath);
    if (parser.isSet(demo)) {
        app.searchMode = "searchweb";
        app.maxLevels = 2;
    }
    if (!app.EnsureStartDirectory()) {
        QMessageBox::critical(nullptr, QStringLiteral("Pelquinar"),
                              QStringLiteral("The start folder %1 cannot be made.")
                                  .arg(QString::fromStdString(app.startDirectory)));
        return 3;
    }

    int rc = 0;
    {
        pq::CMainFrame frame(app);
        frame.RestorePlacement();
        if (parser.isSet(demo)) {
            frame.SearchBar()->SetAddressText(server.Url("/index.html"));
        }
        FirstFrameReport report;
        if (qEnvironmentVariableIsSet("PELQUINAR_REPORT_FIRST_FRAME")) {
            frame.winId();
            frame.windowHandle()->installEventFilter(&report);
        }
        frame.show();
        pq::CPathOpener opener(frame);
        if (service && service->Owner())
            service->SetHandler([&](const QStringList& uris, const QVariantMap& platformData) {
                opener.Raise(platformData);
                if (!uris.isEmpty()) opener.Open(pq::OpenRequest::FromArguments(uris, here));
            });
        if (!paths.isEmpty()) opener.Open(pq::OpenRequest::FromArguments(paths, here));
        rc = qapp.exec();
        if (service) service->SetHandler(nullptr);
    }
    app.Save();
    server.Stop();
    // The demo's folder is the run's own: nothing of it is left behind.
    if (parser.isSet(demo)) QDir(QString::fromStdString(app.startDirectory)).removeRecursively();
    return rc;
}
