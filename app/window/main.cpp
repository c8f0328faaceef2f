// pelquinar: the desktop program. Settings are loaded before the window
// opens and written after it has closed.
#include <stdlib.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <string>

#include "app/demo/CDemoServer.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/CSearchBar.h"

namespace {

std::string FolderPath(const QString& path) {
    std::string f = QDir::cleanPath(QDir(path).absolutePath()).toStdString();
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

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
                "Usage: pelquinar [--start-dir DIR] [--demo]\n"
                "Finds and collects pictures on the web.\n\n"
                "  --start-dir DIR  where \"My Search\" and \"My Pictures\" lie, for this run\n"
                "                   (default: the setting startdir, else ~/Pictures/Pelquinar/)\n"
                "  --demo           serve a sample site on 127.0.0.1 and put its address in the\n"
                "                   search bar; its projects go to a temporary folder\n"
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
                                           "in the search bar; its projects go to a temporary "
                                           "folder."));
    parser.addOption(startDir);
    parser.addOption(demo);
    parser.process(qapp);

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
        frame.show();
        rc = qapp.exec();
    }
    app.Save();
    server.Stop();
    return rc;
}
