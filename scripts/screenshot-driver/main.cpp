// Drives the window on the demo site and writes what it shows as PNGs: the
// search layout during a search, the manage layout with the thumbnail
// labels, long names in the list modes, a selected history row, the
// collision question, the preview moved and zoomed, Find Duplicates (with
// groups and with none), the options sheet and both advanced search
// dialogs. Run it under Xvfb (scripts/screenshots).
//   pelquinar-screenshots OUTPUT_FOLDER
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "app/demo/CDemoServer.h"
#include "browse/CDuplicatesDialog.h"
#include "browse/CImagelist.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "shell/CPelquinarApp.h"
#include "shell/OpenRequest.h"
#include "shell/window/CAdvancedSearchDialogs.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/COptionsSheet.h"
#include "shell/window/CPathOpener.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CommandIds.h"

namespace {

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget* w, const QString& folder, const char* name) {
    Settle(150);
    const QString path = folder + "/" + QLatin1String(name) + ".png";
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The whole screen: a dialog over the window as the user sees it.
bool SaveScreen(const QString& folder, const char* name) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QString path = folder + "/" + QLatin1String(name) + ".png";
    const bool ok = screen && screen->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("PELQUINAR_NO_MESSAGE_BOXES", "1");
    QApplication qapp(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.10"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: pelquinar-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    QByteArray tmpl = (QDir::tempPath() + "/pelquinar-shots-XXXXXX").toLocal8Bit();
    if (!mkdtemp(tmpl.data())) return 1;
    pq::CDemoServer server;
    if (!server.Start(400)) return 1;  // slow enough to catch the search running

    pq::CPelquinarApp app;
    app.startDirectory = QString::fromLocal8Bit(tmpl).toStdString() + "/";
    app.Load(QString::fromStdString(app.startDirectory + "Pelquinar.conf"));
    // The picture index of the run's own, never the user's.
    app.indexPath = app.startDirectory + "pictures.sqlite";
    app.EnsureStartDirectory();
    app.maxLevels = 2;
    app.history = {server.Url("/index.html"), "http://example.org/gallery/"};

    bool ok = true;
    {
        pq::CMainFrame frame(app);
        frame.setGeometry(0, 0, 1280, 800);
        frame.show();
        ok = Save(&frame, out, "manage") && ok;

        frame.SearchBar()->SetAddressText(server.Url("/index.html"));
        frame.Run(pq::cmd::kGo);
        Settle(1300);
        ok = Save(&frame, out, "search-running") && ok;
        QElapsedTimer t;
        t.start();
        while (frame.Searching() && t.elapsed() < 30000) Settle(100);
        Settle(1200);
        ok = Save(&frame, out, "search-ended") && ok;
        frame.Run(pq::cmd::kViewReport);
        ok = Save(&frame, out, "search-report") && ok;
        frame.Run(pq::cmd::kViewThumbnails);

        // The browsing list on the finished project: the thumbnail cells
        // with their labels, then the list modes.
        frame.Run(pq::cmd::kLayoutManage);
        frame.ShowBrowsingList();
        frame.Files()->ShowFolder(QString::fromStdString(frame.State().ProjectFolder()));
        frame.Run(pq::cmd::kViewThumbnails);
        Settle(1200);
        ok = Save(&frame, out, "thumbnail-labels") && ok;
        // A category with long names: cut at the end of the base name, the
        // extension kept; in the list modes the columns take the names.
        const QString scenic =
            QString::fromStdString(app.startDirectory + "My Pictures/Scenic/");
        const QStringList longNames = {"harbour_at_night_from_the_old_pier.jpg",
                                       "harbour_at_night_from_the_new_pier.jpg",
                                       "sunrise over the hills, third day.bmp", "a.jpg"};
        const QStringList project =
            QDir(QString::fromStdString(frame.State().ProjectFolder()))
                .entryList({"*.jpg", "*.jpeg", "*.bmp"}, QDir::Files, QDir::Name);
        for (int i = 0; i < longNames.size() && !project.isEmpty(); ++i)
            QFile::copy(QString::fromStdString(frame.State().ProjectFolder()) +
                            project[i % project.size()],
                        scenic + longNames[i]);
        frame.Tree()->WaitForReads(5000);
        frame.Tree()->setCurrentItem(frame.Tree()->FindCategory(scenic));
        Settle(1200);
        ok = Save(&frame, out, "category-long-names") && ok;
        frame.Run(pq::cmd::kViewList);
        ok = Save(&frame, out, "list-mode") && ok;
        frame.Run(pq::cmd::kViewSmallIcon);
        ok = Save(&frame, out, "small-icon-mode") && ok;
        frame.Run(pq::cmd::kViewReport);
        ok = Save(&frame, out, "details-mode") && ok;
        frame.Run(pq::cmd::kViewThumbnails);

        // The collision question over the window, the progress held back.
        frame.Tree()->setCurrentItem(frame.Tree()->FindCategory(scenic));
        Settle(600);
        const std::string dest = app.startDirectory + "My Pictures/Art/";
        QFile::copy(scenic + longNames[0], QString::fromStdString(dest) + longNames[0]);
        app.items = {dest};
        frame.ImageList()->List().SelectAll();
        QTimer::singleShot(0, [&] {
            QElapsedTimer t;
            t.start();
            QWidget* question = nullptr;
            while (!question && t.elapsed() < 5000) {
                QApplication::processEvents(QEventLoop::AllEvents, 20);
                QWidget* w = QApplication::activeModalWidget();
                if (w && w->objectName() == "collisionQuestion") question = w;
            }
            Settle(900);  // past the progress box's half second
            ok = SaveScreen(out, "collision-question") && ok;
            if (question)
                if (auto* skip = question->findChild<QAbstractButton*>("skipButton")) skip->click();
        });
        frame.Run(pq::cmd::kCopyToRecent);
        Settle(300);

        // The preview moved beside and below the list.
        frame.ShowBrowsingList();
        frame.Files()->ShowFolder(QString::fromStdString(frame.State().ProjectFolder()));
        Settle(800);
        frame.ImageList()->SelectRow(2);
        frame.Run(pq::cmd::kPreviewRight);
        Settle(800);
        ok = Save(&frame, out, "moved-preview-right") && ok;
        frame.Run(pq::cmd::kPreviewMiddle);
        Settle(800);
        ok = Save(&frame, out, "moved-preview-rightbottom") && ok;
        frame.Run(pq::cmd::kPreviewLeft);
        Settle(400);
        ok = Save(&frame, out, "preview-best-fit") && ok;
        frame.Run(pq::cmd::kNextImage);
        Settle(400);
        for (int i = 0; i < 6; ++i) frame.Run(pq::cmd::kZoomIn);
        ok = Save(&frame, out, "preview-zoomed") && ok;
        frame.Run(pq::cmd::kFullScreen);
        Settle(600);
        ok = Save(&frame, out, "preview-full-view") && ok;
        frame.Run(pq::cmd::kBrowse);

        // The histories, one row selected.
        frame.Tree()->setCurrentItem(frame.Tree()->HistoryItem("web"));
        Settle(300);
        if (QTreeWidgetItem* row = frame.HistoryList()->topLevelItem(0)) {
            frame.HistoryList()->setFocus();
            frame.HistoryList()->setCurrentItem(row);
            row->setSelected(true);
        }
        ok = Save(&frame, out, "history-selection") && ok;
        frame.Tree()->setCurrentItem(frame.Tree()->HistoryItem("this"));
        ok = Save(&frame, out, "manage-date-group") && ok;
        frame.Tree()->setCurrentItem(frame.Tree()->MyPictures()->child(0));
        ok = Save(&frame, out, "manage-category") && ok;

        // Find Duplicates over everything: the project's pictures copied
        // under long names, and a half-size copy of one beside them.
        {
            const QString project = QString::fromStdString(frame.State().ProjectFolder());
            const QStringList jpegs =
                QDir(project).entryList({"*.jpg", "*.jpeg"}, QDir::Files, QDir::Name);
            if (!jpegs.isEmpty()) {
                const QImage whole(project + jpegs.first());
                whole.scaled(whole.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .save(scenic + "the first picture at half size.jpg", "JPEG", 90);
            }
            auto shown = [&]() -> pq::CDuplicatesDialog* {
                QElapsedTimer wait;
                wait.start();
                while (wait.elapsed() < 30000) {
                    pq::CDuplicatesDialog* d = frame.Files()->Duplicates();
                    if (d && d->Ready()) return d;
                    Settle(50);
                }
                return nullptr;
            };
            frame.Files()->FindDuplicates(QString::fromStdString(app.startDirectory), true);
            if (pq::CDuplicatesDialog* d = shown()) {
                ok = Save(d, out, "duplicates") && ok;
                // The look-alikes, after the same pictures.
                if (auto* groups = d->findChild<QScrollArea*>("duplicatesGroups"))
                    groups->verticalScrollBar()->setValue(groups->verticalScrollBar()->maximum());
                ok = Save(d, out, "duplicates-look-alikes") && ok;
                d->close();
                Settle(100);
            } else {
                ok = false;
            }
            frame.Files()->FindDuplicates(QString::fromStdString(dest), false);
            if (pq::CDuplicatesDialog* d = shown()) {
                ok = Save(d, out, "duplicates-none") && ok;
                d->close();
                Settle(100);
            } else {
                ok = false;
            }
        }

        // "pelquinar PICTURE": its folder in the browsing list, the picture
        // selected and previewed.
        {
            pq::CPathOpener opener(frame);
            const QString project = QString::fromStdString(frame.State().ProjectFolder());
            const QStringList jpegs =
                QDir(project).entryList({"*.jpg", "*.jpeg"}, QDir::Files, QDir::Name);
            if (!jpegs.isEmpty()) {
                opener.Open(pq::OpenRequest::FromArguments({jpegs.last()}, project));
                Settle(900);
                ok = Save(&frame, out, "opened-picture") && ok;
            }
        }

        frame.Run(pq::cmd::kKeywordsMode);
        frame.SearchBar()->SetKeywordText("red cars");
        ok = Save(&frame, out, "keyword-mode") && ok;
        frame.Run(pq::cmd::kWebMode);

        pq::COptionsSheet sheet(app, &frame);
        sheet.show();
        ok = Save(&sheet, out, "options-thumbnails") && ok;
        sheet.findChild<QTabWidget*>("optionsTabs")->setCurrentIndex(1);
        ok = Save(&sheet, out, "options-slideshow") && ok;
        sheet.findChild<QTabWidget*>("optionsTabs")->setCurrentIndex(2);
        ok = Save(&sheet, out, "options-connection") && ok;
        sheet.hide();

        pq::CAdvancedKeyDialog key(QStringLiteral("red cars"), true, false, &frame);
        key.show();
        ok = Save(&key, out, "advanced-keywords") && ok;
        key.hide();
        pq::AdvancedWebOptions o;
        o.projectName = "127.0.0.1=index.html";
        pq::CAdvancedWebDialog web(o, &frame);
        web.show();
        ok = Save(&web, out, "advanced-web") && ok;
        web.hide();
        frame.close();
    }
    server.Stop();
    QDir(QString::fromLocal8Bit(tmpl)).removeRecursively();
    return ok ? 0 : 1;
}
