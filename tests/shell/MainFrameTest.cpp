// The window, driven as a user would, on the offscreen platform with a
// settings file of its own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>

#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "browse/CSearchimagelist.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "browse/ThumbnailCache.h"
#include "browse/Wallpaper.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CAdvancedSearchDialogs.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/COptionsSheet.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CStatusPanes.h"
#include "shell/window/CommandIds.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/shell/WindowFixture.h"
#include "tests/support/FakeWallpaper.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

TEST_F(Window, OpensInTheManageLayoutWithTitleCountersAndAddress) {
    CMainFrame f(app);
    EXPECT_EQ(f.windowTitle(), "Pelquinar V1.10");
    EXPECT_EQ(f.LayoutText(), "manage");
    EXPECT_EQ(app.tabMode, "manage");
    EXPECT_EQ(f.SearchBar()->AddressText(), "http://");
    EXPECT_FALSE(f.Action(cmd::kStop)->isEnabled());
    EXPECT_FALSE(f.Action(cmd::kContinue)->isEnabled());
    EXPECT_TRUE(f.Action(cmd::kLayoutManage)->isChecked());
    EXPECT_TRUE(f.findChild<QToolButton*>("browserTab")->isChecked());
    EXPECT_EQ(f.PaneLayout()->CurrentList(), f.HistoryList()) << "it opens on the searches made";
    EXPECT_EQ(f.HistoryList()->Key(), "web");
    EXPECT_FALSE(f.findChild<QToolButton*>("searchTab")->isChecked());
    // The views to come hold placeholders named after them.
    for (const char* name :
         {"treeView", "imageList", "searchImageList", "historyListView", "previewView"})
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
}

TEST_F(Window, EachLayoutKeepsItsOwnPaneTexts) {
    CMainFrame f(app);
    f.Panes()->SetText(4, "managing");
    f.Run(cmd::kLayoutSearch);
    EXPECT_EQ(f.LayoutText(), "search");
    EXPECT_EQ(app.tabMode, "search");
    EXPECT_TRUE(f.Action(cmd::kLayoutSearch)->isChecked());
    EXPECT_TRUE(f.Panes()->BarsVisible());
    EXPECT_EQ(Pane(f, 0), "Page Searched:0    ");
    f.Panes()->SetText(4, "searching");
    f.Panes()->SetText(5, "five");

    f.Run(cmd::kLayoutManage);
    EXPECT_FALSE(f.Panes()->BarsVisible());
    EXPECT_EQ(Pane(f, 4), "managing");
    EXPECT_EQ(Pane(f, 5), "");
    f.Run(cmd::kLayoutSearch);
    EXPECT_EQ(Pane(f, 4), "searching");
    EXPECT_EQ(Pane(f, 5), "five");
    EXPECT_EQ(Pane(f, 0), "Page Searched:0    ");

    f.Run(cmd::kLayoutDownload);
    EXPECT_EQ(f.LayoutText(), "download");
    EXPECT_TRUE(f.Action(cmd::kLayoutDownload)->isChecked());
    EXPECT_EQ(f.PaneLayout()->CurrentList(), f.PaneLayout()->HistoryList());

    // Preview placements and the full view.
    f.Run(cmd::kLayoutManage);
    f.Run(cmd::kPreviewRight);
    EXPECT_EQ(app.winMode, "right");
    EXPECT_TRUE(f.Action(cmd::kPreviewRight)->isChecked());
    EXPECT_FALSE(f.Action(cmd::kPreviewLeft)->isChecked());
    EXPECT_EQ(f.PaneLayout()->Preview()->parentWidget()->objectName(), "previewSlotRight");
    f.Run(cmd::kPreviewMiddle);
    EXPECT_EQ(app.winMode, "middle");
    EXPECT_EQ(f.PaneLayout()->Preview()->parentWidget()->objectName(), "previewSlotMiddle");
    f.Run(cmd::kFullScreen);
    EXPECT_TRUE(f.PaneLayout()->FullView());
    EXPECT_TRUE(f.Action(cmd::kBrowse)->isEnabled());
    f.Run(cmd::kBrowse);
    EXPECT_FALSE(f.PaneLayout()->FullView());
    EXPECT_EQ(app.winMode, "middle") << "leaving the full view keeps the placement";
}

TEST(StatusPanes, StoppingTimer19ResetsTheFoundBarOnly) {
    QStatusBar bar;
    CStatusPanes panes(&bar);
    for (int id : {18, 19, 20}) panes.StartTimer(id);
    ASSERT_TRUE(WaitUntil([&] { return panes.BarValue(1) > 0 && panes.BarValue(2) > 0; }, 5000));
    panes.StopTimer(19);
    EXPECT_FALSE(panes.TimerActive(19));
    EXPECT_EQ(panes.BarValue(1), 0);
    EXPECT_TRUE(panes.TimerActive(20)) << "the download bar goes on";
    EXPECT_TRUE(panes.TimerActive(18));
    panes.StartTimer(7);  // not an activity timer: ignored
    EXPECT_FALSE(panes.TimerActive(7));
}

TEST_F(Window, ASearchFromTheSearchBarRunsToItsEndAndFillsThePanes) {
    test::TestHttpServer server;
    server.Page("/index.html", "<title>Home</title><img src=a.gif><a href=p.html>");
    server.Page("/p.html", "<img src=b.gif>");
    test::Route pic;
    pic.contentType = "image/gif";
    pic.body = test::PictureBytes(300);
    server.Set("/a.gif", pic);
    server.Set("/b.gif", pic);
    pic.delayMs = 300;  // keeps the search running for a moment
    server.Set("/b.gif", pic);

    CMainFrame f(app);
    auto* box = f.SearchBar()->findChild<QComboBox*>("addressBox");
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QString::fromStdString(server.Url("/index.html")));
    // Enter in the manage layout lists the address's history instead.
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(f.LayoutText(), "download");
    EXPECT_FALSE(f.Searching());

    QTest::mouseClick(f.SearchBar()->findChild<QAbstractButton*>("goButton"), Qt::LeftButton);
    EXPECT_TRUE(f.Searching());
    EXPECT_EQ(f.LayoutText(), "search");
    EXPECT_TRUE(f.Action(cmd::kStop)->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !f.Searching(); }));
    ASSERT_TRUE(WaitUntil([&] { return Pane(f, 2) == "Image Download:2"; }))
        << Pane(f, 2).toStdString();
    EXPECT_FALSE(f.Action(cmd::kStop)->isEnabled());
    EXPECT_EQ(f.LayoutText(), "nosearch");
    EXPECT_EQ(Pane(f, 0), "Page Searched:2");
    EXPECT_EQ(Pane(f, 1), "Image Found:2");
    EXPECT_TRUE(Pane(f, 3).startsWith("00:00:")) << Pane(f, 3).toStdString();
    ASSERT_TRUE(WaitUntil([&] { return !f.Panes()->TimerActive(20); }));
    EXPECT_EQ(f.Panes()->BarValue(2), 0);
    const std::string project = app.startDirectory +
                                "My Search/Websearch/127.0.0.1:" + std::to_string(server.Port()) +
                                "=index.html/";
    EXPECT_TRUE(fs::exists(project + "a.gif"));
    EXPECT_TRUE(fs::exists(project + "b.gif"));
    EXPECT_EQ(app.history.front(), server.Url("/index.html"));
}

TEST_F(Window, AddressesTheEngineCannotFetchGetAMessage) {
    CMainFrame f(app);
    QSignalSpy messages(&f, &CMainFrame::MessageShown);
    for (const char* address : {"ftp://h/pics/", "file:///etc/passwd", "http://h/a\rb"}) {
        f.SearchBar()->SetAddressText(address);
        f.Run(cmd::kGo);
        EXPECT_FALSE(f.Searching()) << address;
    }
    ASSERT_EQ(messages.count(), 3);
    EXPECT_TRUE(messages[0][0].toString().contains("ftp"))
        << messages[0][0].toString().toStdString();
    EXPECT_TRUE(messages[2][0].toString().contains("control characters"));

    // Keyword mode without keywords says so.
    f.Run(cmd::kKeywordsMode);
    EXPECT_TRUE(f.Action(cmd::kKeywordsMode)->isChecked());
    EXPECT_EQ(app.searchMode, "searchkey");
    f.Run(cmd::kKeywordsSearch);
    ASSERT_EQ(messages.count(), 4);
    EXPECT_EQ(messages[3][0].toString(), "Please input keywords!");
    f.Run(cmd::kSwitch);
    EXPECT_EQ(app.searchMode, "searchweb");
}

TEST_F(Window, ClosingDuringASearchLeavesTheFolderConsistent) {
    test::TestHttpServer server;
    std::string page = "<title>Slow</title>";
    for (int i = 0; i < 30; ++i) page += "<img src=p" + std::to_string(i) + ".gif>";
    server.Page("/index.html", page);
    for (int i = 0; i < 30; ++i) {
        test::Route r;
        r.contentType = "image/gif";
        r.body = test::PictureBytes(20000);
        r.stallAfter = 10000;  // half a picture, then silence
        server.Set("/p" + std::to_string(i) + ".gif", r);
    }
    std::string project;
    {
        CMainFrame f(app);
        f.SearchBar()->SetAddressText(server.Url("/index.html"));
        f.Run(cmd::kGo);
        ASSERT_TRUE(WaitUntil([&] { return server.Count("/p0.gif") > 0; }));
        project = f.State().ProjectFolder();
        QElapsedTimer t;
        t.start();
        f.close();
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_FALSE(f.Doc().IsCrawling());
    }
    ASSERT_FALSE(project.empty());
    for (const auto& e : fs::directory_iterator(project))
        EXPECT_NE(e.path().extension(), ".down") << e.path();
    store::BrowsedProject p = store::ReadProjectForBrowsing(project);
    EXPECT_TRUE(p.found);
    EXPECT_TRUE(p.pictures.empty()) << "no picture was complete";
    std::ifstream in(project + "project.inf", std::ios::binary);
    const std::string inf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(inf.size(), 2u);
    EXPECT_EQ(inf.substr(inf.size() - 2), "\r\n") << "every line is whole";
}

TEST_F(Window, PlacementAndSplittersComeBackOnTheNextStart) {
    QList<int> sizes;
    {
        CMainFrame f(app);
        f.RestorePlacement();
        f.setWindowState(Qt::WindowNoState);
        f.setGeometry(40, 50, 700, 500);
        f.show();
        QApplication::processEvents();
        f.PaneLayout()->Splitter(0)->setSizes({180, 700});
        sizes = f.PaneLayout()->Splitter(0)->sizes();
        f.close();
    }
    QSettings s(QString::fromStdString(Conf()), QSettings::IniFormat);
    EXPECT_EQ(s.value("Window/Show").toInt(), 1);
    EXPECT_EQ(s.value("Window/Right").toInt() - s.value("Window/Left").toInt(), 700);
    EXPECT_EQ(s.value("SplitterWnd/Panes_0").toString(),
              QString("-1 %1 -1 %2").arg(sizes[0]).arg(sizes[1]));

    CMainFrame again(app);
    again.RestorePlacement();
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(again.geometry().size(), QSize(700, 500));
    EXPECT_EQ(again.PaneLayout()->Splitter(0)->sizes().value(0), sizes[0]);
}

TEST_F(Window, MalformedPlacementOpensWithDefaults) {
    {
        QSettings s(QString::fromStdString(Conf()), QSettings::IniFormat);
        s.setValue("Window/Show", "many");
        s.setValue("Window/Left", "x");
        s.setValue("SplitterWnd/Panes_0", "not four numbers");
        s.setValue("SplitterWnd/Panes_1", "1,2,3,4,5");
    }
    CMainFrame f(app);
    f.RestorePlacement();
    f.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.isMaximized() || f.windowState() & Qt::WindowMaximized);
    EXPECT_GT(f.width(), 100);

    // A rectangle larger than the screen is cut to it.
    {
        QSettings s(QString::fromStdString(Conf()), QSettings::IniFormat);
        s.setValue("Window/Show", 1);
        s.setValue("Window/Left", 0);
        s.setValue("Window/Top", 0);
        s.setValue("Window/Right", 90000);
        s.setValue("Window/Bottom", 90000);
    }
    CMainFrame big(app);
    big.RestorePlacement();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(big.geometry().width(), screen.width());
    EXPECT_LE(big.geometry().height(), screen.height());
}

TEST_F(Window, OptionsSheetRules) {
    app.thumbWidth = 80;
    app.useProxy = "0";
    app.proxy = "kept:8080";
    {
        COptionsSheet sheet(app);
        auto* slider = sheet.findChild<QSlider*>("widthSlider");
        slider->setValue(120);
        emit slider->sliderReleased();
        EXPECT_EQ(app.thumbWidth, 120) << "a released slider is stored at once";
        EXPECT_EQ(sheet.findChild<QSpinBox*>("widthSpin")->value(), 120);
        sheet.findChild<QLineEdit*>("proxyEdit")->setText("typed:1");
        EXPECT_FALSE(sheet.findChild<QLineEdit*>("proxyEdit")->isEnabled());
        EXPECT_EQ(sheet.findChild<QLineEdit*>("passwordEdit")->echoMode(), QLineEdit::Password);
        sheet.reject();
    }
    EXPECT_EQ(app.thumbWidth, 120) << "Cancel keeps what the slider stored";
    EXPECT_EQ(app.proxy, "kept:8080");
    {
        COptionsSheet sheet(app);
        auto* depth = sheet.findChild<QSpinBox*>("depthSpin");
        depth->selectAll();
        QTest::keyClicks(depth, "25");
        EXPECT_EQ(depth->value(), 20) << "a depth above 20 shows 20";
        sheet.findChild<QLineEdit*>("proxyEdit")->setText("typed:1");
        auto* height = sheet.findChild<QSpinBox*>("heightSpin");
        height->selectAll();
        QTest::keyClicks(height, "300");
        EXPECT_LE(height->value(), 180) << "no thumbnail height beyond the slider's";
        height->selectAll();
        QTest::keyClicks(height, "150");
        EXPECT_EQ(sheet.findChild<QSpinBox*>("transfersSpin")->value(), 6);
        sheet.findChild<QSpinBox*>("transfersSpin")->setValue(2);
        sheet.findChild<QSpinBox*>("hostConnectionsSpin")->setValue(3);
        auto* ahead = sheet.findChild<QSpinBox*>("pagesAheadSpin");
        ASSERT_NE(ahead, nullptr);
        EXPECT_EQ(ahead->value(), 4);
        ahead->setValue(16);
        QTest::keyClick(ahead, Qt::Key_Up);
        EXPECT_EQ(ahead->value(), 16) << "no step past the largest";
        ahead->setValue(0);
        QTest::keyClick(ahead, Qt::Key_Down);
        EXPECT_EQ(ahead->value(), 0) << "0 fetches one page at a time";
        for (const char* name : {"noDuplicatesCheck", "deletedStayCheck"}) {
            auto* box = sheet.findChild<QCheckBox*>(name);
            ASSERT_NE(box, nullptr) << name;
            EXPECT_FALSE(box->isChecked()) << name << ": off unless asked";
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        }
        sheet.accept();
    }
    EXPECT_TRUE(app.bNoDuplicates);
    EXPECT_TRUE(app.bDeletedStay);
    EXPECT_EQ(app.transfers, 2);
    EXPECT_EQ(app.hostConnections, 3);
    EXPECT_EQ(app.pagesAhead, 0);
    EXPECT_EQ(app.maxLevels, 20);
    EXPECT_EQ(app.proxy, "kept:8080") << "proxy texts are stored only with the box on";
    EXPECT_EQ(app.thumbHeight, 150);
    {
        COptionsSheet sheet(app);
        sheet.findChild<QCheckBox*>("proxyCheck")->setChecked(true);
        EXPECT_TRUE(sheet.findChild<QLineEdit*>("proxyEdit")->isEnabled());
        sheet.findChild<QLineEdit*>("proxyEdit")->setText("proxy.local:3128");
        sheet.accept();
    }
    EXPECT_EQ(app.useProxy, "1");
    EXPECT_EQ(app.proxy, "proxy.local:3128");
}

TEST_F(Window, ThumbnailsGoToTheSharedCacheUntilTheOptionTurnsItOff) {
    const std::string pics = dir.Path() + "cached/";
    fs::create_directories(pics);
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    ASSERT_TRUE(img.save(QString::fromStdString(pics + "one.jpg")));
    ASSERT_TRUE(img.save(QString::fromStdString(pics + "two.jpg")));
    const auto thumbnailOf = [&](const char* name) {
        return qEnvironmentVariable("XDG_CACHE_HOME").toStdString() + "/thumbnails/normal/" +
               ThumbnailCache::NameOf(ThumbnailCache::UriOf(QString::fromStdString(pics + name)))
                   .toStdString();
    };
    ASSERT_TRUE(app.bThumbCache);
    CMainFrame f(app);
    f.resize(900, 700);
    f.show();
    f.ImageList()->ShowFolder(QString::fromStdString(pics));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(thumbnailOf("one.jpg")) && fs::exists(thumbnailOf("two.jpg")); },
        10000));

    // Off in the options: the next folder's thumbnails are made, not kept.
    QTimer::singleShot(0, [] {
        auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        auto* box = sheet->findChild<QCheckBox*>("thumbnailCacheCheck");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        sheet->accept();
    });
    f.Run(cmd::kOptions);
    EXPECT_FALSE(app.bThumbCache);
    fs::remove(thumbnailOf("one.jpg"));
    fs::remove(thumbnailOf("two.jpg"));
    f.ImageList()->ShowFolder(QString::fromStdString(dir.Path()));
    f.ImageList()->ShowFolder(QString::fromStdString(pics));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto& m = f.ImageList()->List().Model();
            return m.rowCount() == 2 && m.At(0).state == CThumbListModel::ThumbState::kDone &&
                   m.At(1).state == CThumbListModel::ThumbState::kDone;
        },
        10000));
    EXPECT_TRUE(f.ImageList()->List().Model().At(0).thumb.valid);
    EXPECT_FALSE(fs::exists(thumbnailOf("one.jpg")));
    EXPECT_FALSE(fs::exists(thumbnailOf("two.jpg")));
}

TEST_F(Window, AdvancedDialogsGiveBackWhatTheyShow) {
    AdvancedWebOptions in;
    in.projectName = "h=a";
    in.depth = 3;
    in.gif = false;
    in.minKb = 10;
    in.maxKb = 500;
    CAdvancedWebDialog web(in);
    AdvancedWebOptions out = web.Options();
    EXPECT_EQ(out.projectName, "h=a");
    EXPECT_EQ(out.depth, 3);
    EXPECT_FALSE(out.gif);
    EXPECT_TRUE(out.jpg);
    EXPECT_EQ(out.minKb, 10);
    EXPECT_EQ(out.maxKb, 500);
    auto* depth = web.findChild<QSpinBox*>("depthSpin");
    EXPECT_EQ(depth->maximum(), 20);

    EXPECT_FALSE(out.png) << "PNG and WebP start off";
    web.findChild<QCheckBox*>("webpCheck")->setChecked(true);
    EXPECT_TRUE(web.Options().webp);

    CAdvancedKeyDialog key("red cars", true, false);
    EXPECT_EQ(key.Keywords(), "red cars");
    EXPECT_TRUE(key.Thumbnails());
    EXPECT_FALSE(key.Big());
    EXPECT_EQ(key.Engine(), "Google Image Search") << "the classic service by default";
    auto* services = key.findChild<QComboBox*>("serviceBox");
    ASSERT_EQ(services->count(), 3);
    services->setCurrentIndex(2);
    EXPECT_EQ(key.Engine(), "Wikimedia Commons");
    CAdvancedKeyDialog open("cats", true, true, nullptr, "Openverse");
    EXPECT_EQ(open.Engine(), "Openverse") << "the search bar's choice is shown";
}

TEST_F(Window, SearchBarModesAndClearHistory) {
    app.searchMode = "searchkey";
    app.history = {"http://a/", "http://b/"};
    CMainFrame f(app);
    CSearchBar* bar = f.SearchBar();
    EXPECT_TRUE(bar->KeywordMode());
    EXPECT_TRUE(bar->findChild<QComboBox*>("engineBox")->isVisibleTo(bar));
    EXPECT_FALSE(bar->findChild<QComboBox*>("addressBox")->isVisibleTo(bar));
    EXPECT_EQ(bar->EngineText(), "Google Image Search") << "its one entry, chosen";
    EXPECT_EQ(bar->findChild<QComboBox*>("engineBox")->count(), 3) << "two open services too";
    EXPECT_EQ(bar->findChild<QAbstractButton*>("switchButton")->text(), "Keywords");
    // A bar narrower than its minimum lays out as if it had it.
    bar->resize(200, bar->height());
    EXPECT_GE(bar->findChild<QAbstractButton*>("advancedButton")->geometry().right(), 300);

    // Editing only the engine box, then Enter, does nothing.
    QSignalSpy key(bar, &CSearchBar::KeywordSearchRequested);
    auto* engine = bar->findChild<QComboBox*>("engineBox");
    QTest::keyClicks(engine->lineEdit(), "x");
    QTest::keyClick(engine->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(key.count(), 0);
    auto* keywords = bar->findChild<QComboBox*>("keywordBox");
    QTest::keyClicks(keywords->lineEdit(), "cats");
    QTest::keyClick(keywords->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(key.count(), 1);

    f.Run(cmd::kWebMode);
    EXPECT_EQ(bar->findChild<QComboBox*>("addressBox")->count(), 2);
    f.Run(cmd::kClearHistory);
    EXPECT_EQ(bar->findChild<QComboBox*>("addressBox")->count(), 0);
    EXPECT_TRUE(app.history.empty());
}

TEST_F(Window, PreviousNextZoomAndTheSlideShow) {
    const std::string pics = dir.Path() + "pics/";
    fs::create_directories(pics);
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) {
        QImage img(800, 400, QImage::Format_RGB32);
        img.fill(Qt::darkBlue);
        ASSERT_TRUE(img.save(QString::fromStdString(pics + n)));
    }
    app.slideDelay = 3;
    CMainFrame f(app);
    f.resize(900, 700);
    f.show();
    f.ImageList()->ShowFolder(QString::fromStdString(pics));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.ImageList()->List().Ready(); }, 10000));
    f.UpdateCommands();
    EXPECT_TRUE(f.Action(cmd::kSlideShow)->isEnabled());
    f.ImageList()->SelectRow(0);
    EXPECT_EQ(f.ListCursor(), 0);
    EXPECT_FALSE(f.Action(cmd::kPreviousImage)->isEnabled()) << "nothing before the first row";
    f.Run(cmd::kPreviousImage);
    EXPECT_EQ(f.ListCursor(), 0);
    f.Run(cmd::kNextImage);
    f.Run(cmd::kNextImage);
    EXPECT_EQ(f.ListCursor(), 2);
    EXPECT_FALSE(f.Action(cmd::kNextImage)->isEnabled()) << "nothing after the last row";
    f.Run(cmd::kNextImage);
    EXPECT_EQ(f.ListCursor(), 2);
    EXPECT_EQ(f.ImageList()->List().SelectedRows(), QList<int>{2})
        << "the selection follows the picture shown";
    EXPECT_TRUE(f.Panes()->Text(5).startsWith("c.jpg [")) << f.Panes()->Text(5).toStdString();
    EXPECT_TRUE(f.Panes()->Text(5).endsWith("--(3/3)"));

    // Zoom: from best fit, in steps, with the limits the commands keep.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.Preview()->Picture()->Loading(); }, 10000));
    f.UpdateCommands();
    EXPECT_FALSE(f.Action(cmd::kBestFit)->isEnabled());
    const float fit = f.Preview()->Picture()->EffectiveZoom();
    f.Run(cmd::kZoomIn);
    EXPECT_FLOAT_EQ(f.ZoomFactor(), fit * 1.25f);
    for (int i = 0; i < 30 && f.Action(cmd::kZoomIn)->isEnabled(); ++i) f.Run(cmd::kZoomIn);
    EXPECT_GE(f.ZoomFactor(), 4.0f);
    f.Run(cmd::kActualSize);
    EXPECT_FLOAT_EQ(f.ZoomFactor(), 1.0f);
    EXPECT_FALSE(f.Action(cmd::kActualSize)->isEnabled());
    f.Run(cmd::kBestFit);
    EXPECT_FLOAT_EQ(f.ZoomFactor(), -1.0f);

    // The wallpaper commands act on the picture on show, where the desktop
    // allows; elsewhere they say why they cannot.
    qputenv("XDG_CURRENT_DESKTOP", "NoSuchDesktop");
    f.SetDesktopWallpaper(IDesktopWallpaper::ForThisDesktop(), "");
    EXPECT_FALSE(f.Action(cmd::kWallpaperTiled)->isEnabled());
    EXPECT_TRUE(f.Action(cmd::kWallpaperTiled)->toolTip().contains("NoSuchDesktop"));
    auto fake = std::make_unique<test::FakeWallpaper>();
    test::FakeWallpaper* desktop = fake.get();
    f.SetDesktopWallpaper(std::move(fake), QString::fromStdString(dir.Path() + "wall.bmp"));
    EXPECT_TRUE(f.Action(cmd::kWallpaperTiled)->isEnabled());
    f.Run(cmd::kWallpaperTiled);
    EXPECT_EQ(desktop->Current().option, "wallpaper");
    EXPECT_TRUE(fs::exists(dir.Path() + "wall.bmp"));
    f.Run(cmd::kWallpaperRestore);
    EXPECT_EQ(desktop->Current().picture, "/usr/share/backgrounds/hills.png");
    EXPECT_EQ(app.prevWallpaper, "/usr/share/backgrounds/hills.png");

    // The slide show on the browsing list wraps to the first row.
    f.Run(cmd::kSlideShow);
    EXPECT_TRUE(f.SlideShowRunning());
    EXPECT_TRUE(f.Action(cmd::kSlideShow)->isChecked());
    EXPECT_EQ(f.SlideShowIntervalMs(), 3000);
    f.AdvanceSlideShow();
    EXPECT_EQ(f.ListCursor(), 0) << "after the last row comes the first";
    f.AdvanceSlideShow();
    EXPECT_EQ(f.ListCursor(), 1);
    f.Run(cmd::kSlideShow);
    EXPECT_FALSE(f.SlideShowRunning());

    // On the search's list the show waits at the last row and goes on with
    // the rows that come.
    f.Run(cmd::kLayoutSearch);
    auto& searchList = f.SearchImageList()->List();
    searchList.ShowFolderNow(QString::fromStdString(pics), false);
    f.SearchImageList()->SelectRow(1);
    f.Run(cmd::kSlideShow);
    f.AdvanceSlideShow();
    f.AdvanceSlideShow();
    EXPECT_EQ(f.ListCursor(), 2) << "it stays on the last row";
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(QString::fromStdString(pics + "d.jpg")));
    searchList.Model().AddOne(QString::fromStdString(pics), "d.jpg", "");
    f.AdvanceSlideShow();
    EXPECT_EQ(f.ListCursor(), 3) << "and goes on as rows arrive";
    f.Run(cmd::kSlideShow);
}

TEST_F(Window, PicturesDroppedOnACategoryAreMovedOrCopied) {
    CMainFrame f(app);
    const std::string pics = dir.Path() + "pics/";
    fs::create_directories(pics);
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) std::ofstream(pics + n) << n;
    f.ImageList()->ShowFolder(QString::fromStdString(pics));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.ImageList()->List().Ready(); }, 10000));
    const QString scenicPath = QString::fromStdString(app.startDirectory + "My Pictures/Scenic/");
    ASSERT_TRUE(f.Tree()->WaitForReads(5000));
    QTreeWidgetItem* scenic = f.Tree()->FindCategory(scenicPath);
    ASSERT_NE(scenic, nullptr);
    const QString a = QString::fromStdString(pics + "a.jpg"),
                  b = QString::fromStdString(pics + "b.jpg");
    ASSERT_TRUE(f.Tree()->Drop(scenic, {a, b}, false));
    EXPECT_TRUE(fs::exists(scenicPath.toStdString() + "a.jpg"));
    EXPECT_TRUE(fs::exists(scenicPath.toStdString() + "b.jpg"));
    EXPECT_FALSE(fs::exists(pics + "a.jpg"));
    EXPECT_EQ(f.ImageList()->List().Model().rowCount(), 1) << "the moved rows went";
    const QString c = QString::fromStdString(pics + "c.jpg");
    ASSERT_TRUE(f.Tree()->Drop(scenic, {c}, true));
    EXPECT_TRUE(fs::exists(scenicPath.toStdString() + "c.jpg"));
    EXPECT_TRUE(fs::exists(pics + "c.jpg")) << "copied with Ctrl";
    EXPECT_FALSE(f.Tree()->Drop(f.Tree()->MyPictures(), {c}, false));
    EXPECT_TRUE(fs::exists(pics + "c.jpg"));
}

TEST_F(Window, TheHistoryListsProjectsAndContinueResumesOne) {
    test::TestHttpServer server;
    server.Page("/index.html", "<title>Home</title><img src=a.gif>");
    test::Route pic;
    pic.contentType = "image/gif";
    pic.body = test::PictureBytes(300);
    server.Set("/a.gif", pic);
    CMainFrame f(app);
    f.SearchBar()->SetAddressText(server.Url("/index.html"));
    f.Run(cmd::kGo);
    ASSERT_TRUE(WaitUntil([&] { return !f.Searching(); }));
    const auto web = f.History("web");
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(web[0].address, server.Url("/index.html"));
    EXPECT_EQ(web[0].pictures, "1") << "the end of the crawl entered it, with its count";
    EXPECT_EQ(f.History("this").size(), 1u);

    f.Run(cmd::kLayoutManage);
    f.Tree()->setCurrentItem(f.Tree()->HistoryItem("web"));
    ASSERT_EQ(f.HistoryList()->topLevelItemCount(), 1);
    EXPECT_EQ(f.PaneLayout()->CurrentList(), f.HistoryList());
    EXPECT_FALSE(f.Action(cmd::kContinue)->isEnabled()) << "nothing selected yet";
    f.HistoryList()->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(f.Action(cmd::kContinue)->isEnabled());
    EXPECT_TRUE(f.findChild<QWidget*>("continueButton")->isEnabled());
    f.Run(cmd::kContinue);
    EXPECT_TRUE(f.Searching());
    EXPECT_EQ(f.LayoutText(), "search");
    ASSERT_TRUE(WaitUntil([&] { return !f.Searching(); }));
    EXPECT_EQ(server.Count("/a.gif"), 1) << "what the project holds is not fetched again";
    EXPECT_EQ(f.SearchImageList()->List().Model().rowCount(), 1);

    // Activating an entry opens its project in the browsing list.
    f.Run(cmd::kLayoutDownload);
    f.ShowHistory("web");
    emit f.HistoryList()->itemActivated(f.HistoryList()->topLevelItem(0), 0);
    EXPECT_EQ(f.LayoutText(), "manage");
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.ImageList()->List().Ready(); }, 10000));
    EXPECT_EQ(f.ImageList()->List().Model().rowCount(), 1);
}

TEST_F(Window, HelpOpensThePageOrSaysWhy) {
    CMainFrame f(app);
    QSignalSpy messages(&f, &CMainFrame::MessageShown);
    if (CMainFrame::HelpPage().isEmpty()) {
        f.Run(cmd::kContents);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages[0][0].toString().startsWith("Unable to open hyperlink:\n\n"));
    }
    f.Run(cmd::kAbout);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.back()[0].toString().contains("Pelquinar"));
}

}  // namespace
}  // namespace pq
