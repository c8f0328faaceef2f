// The window in a user's hands: clicks, keys and drops on the real views,
// offscreen, with a settings file of the test's own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>
#include <filesystem>
#include <fstream>

#include "browse/CCopyMoveDialog.h"
#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "browse/CSearchimagelist.h"
#include "browse/CThumbDelegate.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "shell/window/CAdvancedSearchDialogs.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/COptionsSheet.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CommandIds.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/shell/WindowFixture.h"
#include "tests/support/PictureHeaders.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Pictures(const std::string& folder, const std::vector<std::string>& names,
              QSize size = QSize(64, 48)) {
    fs::create_directories(folder);
    for (const auto& n : names) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(Q(folder + n)));
    }
}

// What the trash holds, by the names it gave.
QStringList Trashed() {
    QStringList names;
    const std::string files = qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash/files";
    if (!fs::exists(files)) return names;
    for (const auto& e : fs::directory_iterator(files))
        names.append(Q(e.path().filename().string()));
    return names;
}

class Use : public Window {
protected:
    // A shown window on its browsing list of folder.
    void Open(const std::string& folder, const char* mode = nullptr) {
        frame = std::make_unique<CMainFrame>(app);
        frame->resize(1100, 760);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        // The tree's categories arrive from a pool thread.
        ASSERT_TRUE(frame->Tree()->WaitForReads(5000));
        if (mode) frame->ImageList()->SetMode(mode);
        frame->Files()->ShowFolder(Q(folder));
        ASSERT_TRUE(QTest::qWaitFor([&] { return List().Ready(); }, 10000));
        QApplication::processEvents();
    }
    CThumbList& List() { return frame->ImageList()->List(); }
    QAbstractItemView* View() { return List().CurrentView(); }
    // A click on a row where the user sees it.
    void ClickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QAbstractItemView* v = View();
        const QModelIndex index = List().Model().index(row, 0);
        v->scrollTo(index);
        ASSERT_TRUE(QTest::qWaitFor([&] { return v->visualRect(index).isValid(); }, 5000));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, v->visualRect(index).center());
    }
    bool Enabled(int id) { return frame->Action(id)->isEnabled(); }
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(Use, ARowClickedOrShiftArrowedInEveryModeEnablesTheFileCommands) {
    const std::string pics = dir.Path() + "pics/";
    Pictures(pics, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    for (const char* mode : {"icon", "smallicon", "list", "report", "smallbmp"}) {
        Open(pics, mode);
        EXPECT_FALSE(Enabled(cmd::kCopyTo)) << mode;
        ClickRow(0);
        EXPECT_EQ(List().SelectedRows(), QList<int>{0}) << mode;
        for (int id : {cmd::kCopyTo, cmd::kMoveTo, cmd::kDelete})
            EXPECT_TRUE(Enabled(id)) << mode << " " << id;
        EXPECT_TRUE(Enabled(cmd::kGetBigPictures)) << mode;
        QTest::keyClick(View(),
                        mode == std::string("list") || mode == std::string("report")
                            ? Qt::Key_Down
                            : Qt::Key_Right,
                        Qt::ShiftModifier);
        EXPECT_EQ(List().SelectedRows(), (QList<int>{0, 1})) << mode;
        frame.reset();
    }
    // The Delete key takes the selection to the trash.
    Open(pics, "smallbmp");
    ClickRow(3);
    QTest::keyClick(View(), Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(pics + "d.jpg"));
    EXPECT_TRUE(Trashed().contains("d.jpg"));
    EXPECT_EQ(List().Model().rowCount(), 3);
}

TEST_F(Use, TheStatusBarSaysHowManyPicturesWithUnreadableNamesWereLeftOut) {
    const std::string pics = dir.Path() + "pics/";
    Pictures(pics, {"plain.jpg"});
    std::ofstream(pics + "caf\xe9.jpg") << "x";
    Open(pics);
    EXPECT_EQ(List().Model().rowCount(), 1);
    EXPECT_EQ(Pane(*frame, 4), "1 picture was left out: its name cannot be read.");
    const std::string other = dir.Path() + "other/";
    Pictures(other, {"b.jpg"});
    frame->Files()->ShowFolder(Q(other));
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().Ready(); }, 10000));
    EXPECT_TRUE(Pane(*frame, 4).isEmpty()) << Pane(*frame, 4).toStdString();
}

TEST_F(Use, APictureDeletedFromAProjectIsRememberedWhileTheSettingIsOn) {
    app.indexPath = dir.Path() + "index/pictures.sqlite";
    const std::string project = dir.Path() + "project/";
    Pictures(project, {"a.jpg", "b.jpg"});
    std::ofstream(project + "project.inf")
        << "2**00:00:01\r\nVersion=1.1\r\nFILTER=000000 0 900\r\nKEYWORDS=\r\nSEARCHENGINE=\r\n"
           "URL=http://127.0.0.1:1/\r\n \r\nOK a.jpg 1KB http://127.0.0.1:1/a.jpg\r\n"
           "OK b.jpg 1KB http://127.0.0.1:1/b.jpg\r\n";
    auto index = app.PictureIndex();
    ASSERT_TRUE(index);
    for (bool on : {false, true}) {
        app.bDeletedStay = on;
        Open(project);
        ASSERT_EQ(List().Model().rowCount(), on ? 1 : 2);
        ClickRow(0);
        const std::string address = List().Model().At(0).address.toStdString();
        QTest::keyClick(View(), Qt::Key_Delete);
        EXPECT_EQ(List().Model().rowCount(), on ? 0 : 1) << on;
        EXPECT_EQ(index->WasDeletedAddress(address), on) << address;
        frame.reset();
    }
}

TEST_F(Use, DeletingACategoryTellsItsPicturesAndPutsItInTheTrash) {
    Open(dir.Path());
    const std::string art = app.startDirectory + "My Pictures/Art/";
    Pictures(art, {"one.jpg", "two.jpg"});
    Pictures(art + "Old/", {"three.bmp"});
    std::ofstream(art + "notes.txt") << "not a picture";
    Ctreemanage* tree = frame->Tree();
    QString question;
    tree->confirm = [&](const QString& q) {
        question = q;
        return true;
    };
    QTreeWidgetItem* item = tree->FindCategory(Q(art));
    ASSERT_NE(item, nullptr);
    tree->setCurrentItem(item);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Delete);
    EXPECT_TRUE(
        question.startsWith("Are you sure you want to remove the Category  'Art' and all "
                            "its sub-category?"))
        << question.toStdString();
    EXPECT_TRUE(question.contains("3 pictures")) << question.toStdString();
    EXPECT_FALSE(fs::exists(art));
    EXPECT_TRUE(Trashed().contains("Art")) << Trashed().join(",").toStdString();
    EXPECT_EQ(tree->FindCategory(Q(art)), nullptr);
}

TEST_F(Use, DeletingAHistoryProjectPutsItInTheTrash) {
    const std::string project = app.startDirectory + "My Search/Websearch/h=gallery/";
    fs::create_directories(project);
    std::ofstream(project + "project.inf") << "1**00:00:01            \r\nVersion=1.1\r\n";
    Pictures(project, {"p.jpg"});
    Open(dir.Path());
    // Web Search is already the tree's current item: a click shows it again.
    Ctreemanage* tree = frame->Tree();
    QTreeWidgetItem* web = tree->HistoryItem("web");
    ASSERT_EQ(tree->currentItem(), web);
    ASSERT_NE(frame->PaneLayout()->CurrentList(), frame->HistoryList());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(web).center());
    Chistorylist* history = frame->HistoryList();
    ASSERT_EQ(frame->PaneLayout()->CurrentList(), history);
    ASSERT_EQ(history->topLevelItemCount(), 1);
    history->ask = [](const QString&) { return int(QMessageBox::Yes); };
    QTest::mouseClick(history->viewport(), Qt::LeftButton, {},
                      history->visualItemRect(history->topLevelItem(0)).center());
    ASSERT_EQ(history->SelectedFolders().size(), 1);
    EXPECT_TRUE(Enabled(cmd::kDelete)) << "Delete takes the history's projects";
    QTest::keyClick(history, Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(project));
    EXPECT_TRUE(Trashed().contains("h=gallery"));
    EXPECT_EQ(history->topLevelItemCount(), 0);
}

TEST_F(Use, TheCollisionQuestionIsAnsweredWithAClick) {
    const std::string pics = dir.Path() + "pics/", dest = dir.Path() + "dest/";
    Pictures(pics, {"a.jpg", "b.jpg"});
    fs::create_directories(dest);
    std::ofstream(dest + "a.jpg") << "older";
    app.items = {dest};
    Open(pics);
    List().SelectAll();
    bool answered = false;
    QString modalWhileAsked;
    bool progressShown = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor(
            [] {
                auto* w = QApplication::activeModalWidget();
                return w && w->objectName() == "collisionQuestion";
            },
            5000));
        // Well past the progress box's half second.
        QTest::qWait(900);
        QWidget* modal = QApplication::activeModalWidget();
        modalWhileAsked = modal ? modal->objectName() : QString();
        for (auto* p : frame->findChildren<QProgressDialog*>())
            progressShown = progressShown || p->isVisible();
        auto* replace = modal ? modal->findChild<QPushButton*>("replaceButton") : nullptr;
        ASSERT_NE(replace, nullptr);
        QTest::mouseClick(replace, Qt::LeftButton);
        answered = true;
    });
    frame->Run(cmd::kCopyToRecent);
    EXPECT_TRUE(answered);
    EXPECT_EQ(modalWhileAsked, "collisionQuestion") << "the question stays on top";
    EXPECT_FALSE(progressShown);
    std::ifstream in(dest + "a.jpg", std::ios::binary);
    const std::string copied((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(copied, "older") << "replaced";
    EXPECT_TRUE(fs::exists(dest + "b.jpg"));
}

TEST_F(Use, TheKeysWorkInTheFullViewAndEscLeavesItWhereTheListWas) {
    const std::string pics = dir.Path() + "pics/";
    std::vector<std::string> names;
    for (int i = 0; i < 80; ++i) names.push_back("p" + std::to_string(100 + i) + ".jpg");
    Pictures(pics, names);
    app.slideDelay = 30;
    Open(pics, "smallbmp");
    QScrollBar* scroll = View()->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return scroll->maximum() > 0; }, 5000));
    ClickRow(40);
    const int where = scroll->value();
    ASSERT_GT(where, 0);
    QWidget* keys = View();
    QTest::keyClick(keys, Qt::Key_F11);
    ASSERT_TRUE(frame->PaneLayout()->FullView());
    EXPECT_TRUE(Enabled(cmd::kBrowse));
    QTest::keyClick(frame.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_GT(frame->ZoomFactor(), 0.0f) << "Zoom In works in the full view";
    QTest::keyClick(frame.get(), Qt::Key_F5);
    EXPECT_TRUE(frame->SlideShowRunning()) << "the show runs in the full view";
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_FALSE(frame->PaneLayout()->FullView());
    EXPECT_FALSE(frame->SlideShowRunning()) << "Esc stops the show";
    QApplication::processEvents();
    EXPECT_EQ(scroll->value(), where) << "the list stays where it was";
    // F11 leaves it as it entered.
    QTest::keyClick(frame.get(), Qt::Key_F11);
    EXPECT_TRUE(frame->PaneLayout()->FullView());
    QTest::keyClick(frame.get(), Qt::Key_F11);
    EXPECT_FALSE(frame->PaneLayout()->FullView());
    EXPECT_TRUE(frame->menuBar()->isVisible());
    // Esc stops a show outside the full view too.
    QTest::keyClick(View(), Qt::Key_F5);
    ASSERT_TRUE(frame->SlideShowRunning());
    QTest::keyClick(View(), Qt::Key_Escape);
    EXPECT_FALSE(frame->SlideShowRunning());
}

TEST_F(Use, EnterInTheAddressAndKeywordBoxesStartsTheSearch) {
    test::TestHttpServer server;
    server.Page("/index.html", "<title>Home</title>");
    const std::string query = "/images?q=cats&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N";
    server.Page(query, "<title>Results</title>");
    app.searchHost = server.HostPort();
    frame = std::make_unique<CMainFrame>(app);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    QTest::mouseClick(frame->findChild<QToolButton*>("searchTab"), Qt::LeftButton);
    ASSERT_EQ(frame->LayoutText(), "search");
    // Keys go to the box the user clicked, as the window hands them on.
    auto* box = frame->SearchBar()->findChild<QComboBox*>("addressBox");
    QTest::mouseClick(box, Qt::LeftButton);
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, Q(server.Url("/index.html")));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(frame->Searching()) << "Enter starts it";
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));
    EXPECT_EQ(server.Count("/index.html"), 1) << "once";

    // After Ctrl+L, in the search layout again.
    frame->Run(cmd::kLayoutSearch);
    QTest::keyClick(frame.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(box->lineEdit()->selectedText(), box->currentText()) << "all of it, to type over";
    QTest::keyClicks(box, Q(server.Url("/index.html")));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(frame->Searching());
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));
    EXPECT_EQ(server.Count("/index.html"), 2);

    // The keyword box: Enter runs the keyword search typed for.
    frame->Run(cmd::kKeywordsMode);
    auto* keywords = frame->SearchBar()->findChild<QComboBox*>("keywordBox");
    QTest::mouseClick(keywords, Qt::LeftButton);
    QTest::keyClicks(keywords, "cats");
    QTest::keyClick(keywords, Qt::Key_Return);
    EXPECT_TRUE(frame->Searching());
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));
    EXPECT_EQ(server.Count(query), 1);
    ASSERT_FALSE(app.keywords.empty());
    EXPECT_EQ(app.keywords.front(), "cats");
}

TEST_F(Use, QuittingInTheSearchLayoutOpensItAgainWithItsSplitters) {
    QList<int> manage, search;
    app.firstRun = false;
    {
        CMainFrame f(app);
        f.RestorePlacement();
        f.setWindowState(Qt::WindowNoState);
        f.setGeometry(30, 40, 1000, 700);
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        f.Run(cmd::kLayoutManage);
        f.PaneLayout()->Splitter(0)->setSizes({230, 770});
        manage = f.PaneLayout()->Splitter(0)->sizes();
        f.Run(cmd::kLayoutSearch);
        f.PaneLayout()->Splitter(0)->setSizes({320, 680});
        search = f.PaneLayout()->Splitter(0)->sizes();
        f.close();
    }
    app.Save();
    QSettings s(QString::fromStdString(Conf()), QSettings::IniFormat);
    EXPECT_EQ(s.value("SplitterWnd/Panes_0").toString(),
              QString("-1 %1 -1 %2").arg(manage[0]).arg(manage[1]));
    EXPECT_EQ(s.value("SplitterWnd/SearchPanes_0").toString(),
              QString("-1 %1 -1 %2").arg(search[0]).arg(search[1]));

    CPelquinarApp again;
    again.startDirectory = app.startDirectory;
    again.Load(QString::fromStdString(Conf()));
    CMainFrame g(again);
    g.RestorePlacement();
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    EXPECT_EQ(g.LayoutText(), "search") << "where the user left";
    EXPECT_TRUE(g.Action(cmd::kLayoutSearch)->isChecked());
    EXPECT_EQ(g.PaneLayout()->Splitter(0)->sizes().value(0), search[0]);
    EXPECT_EQ(g.Panes()->Text(3), "00:00:00") << "the clock";
    EXPECT_EQ(g.Panes()->Text(4), "Ready");
    g.Run(cmd::kLayoutManage);
    EXPECT_EQ(g.PaneLayout()->Splitter(0)->sizes().value(0), manage[0]);
}

TEST_F(Use, ASelectedHistoryRowKeepsItsText) {
    Chistorylist list;
    list.resize(600, 200);
    store::HistoryEntry e{"h=gallery", "/x/", "http://h/", "26-12-10 06:00:00", "12", "", 0};
    list.SetEntries({e, e}, "web");
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    // As the user sees it: the window active, the list with the focus.
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    QTreeWidgetItem* item = list.topLevelItem(0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    ASSERT_TRUE(item->isSelected());
    QApplication::processEvents();
    // The name's cell, inside its frame and grid lines.
    const QRect cell =
        list.visualItemRect(item)
            .intersected(QRect(0, 0, list.header()->sectionSize(0), list.viewport()->height()))
            .adjusted(3, 3, -3, -3);
    const QImage shot = list.viewport()->grab(cell).toImage();
    // The row's own colour is the one most of its pixels have; the text
    // is what stands out from it.
    QHash<QRgb, int> count;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) ++count[shot.pixel(x, y)];
    QRgb back = 0;
    for (auto it = count.begin(); it != count.end(); ++it)
        if (it.value() > count.value(back)) back = it.key();
    int text = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (std::abs(qGray(shot.pixel(x, y)) - qGray(back)) > 60) ++text;
    EXPECT_GT(text, 20) << "the name is drawn on the selection";
    const QPalette& pal = list.palette();
    EXPECT_NE(back, pal.color(QPalette::Base).rgb()) << "and the row is marked selected";
    EXPECT_NE(back, pal.color(QPalette::AlternateBase).rgb());
}

TEST_F(Use, ZoomOutWorksAfterZoomInFromASmallFit) {
    const std::string pics = dir.Path() + "pics/";
    Pictures(pics, {"big.jpg"}, QSize(4000, 3000));
    Open(pics);
    ClickRow(0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !frame->Preview()->Picture()->Loading() &&
                   !frame->Preview()->Picture()->PictureSize().isEmpty();
        },
        10000));
    frame->UpdateCommands();
    const float fit = frame->Preview()->Picture()->EffectiveZoom();
    ASSERT_LT(fit * 1.25f, 0.125f) << "a fit below the smallest zoom";
    EXPECT_TRUE(Enabled(cmd::kZoomIn));
    frame->Run(cmd::kZoomIn);
    EXPECT_TRUE(Enabled(cmd::kZoomOut)) << "one step in, one step back";
    frame->Run(cmd::kZoomOut);
    EXPECT_GT(frame->ZoomFactor(), fit);
    frame->Run(cmd::kZoomOut);
    EXPECT_LT(frame->ZoomFactor(), fit);
    EXPECT_FALSE(Enabled(cmd::kZoomOut)) << "not below the fit";
}

TEST(Labels, NamesKeepTheirExtensionAndCellsWrapBeforeCutting) {
    QFont font = QApplication::font();
    const QFontMetrics fm(font);
    const int w = fm.horizontalAdvance("photo_of_the_ha");
    const QString cut = CThumbDelegate::ElideName("photo_of_the_harbour_1.jpg", fm, w);
    EXPECT_TRUE(cut.endsWith(QString(QChar(0x2026)) + ".jpg")) << cut.toStdString();
    EXPECT_TRUE(cut.startsWith("photo")) << cut.toStdString();
    EXPECT_LE(fm.horizontalAdvance(cut), w);
    EXPECT_EQ(CThumbDelegate::ElideName("a.jpg", fm, w), "a.jpg");

    const int cell = fm.horizontalAdvance("1600x1200x16M") - 8;
    auto lines = CThumbDelegate::CellText("1600x1200x16M", "pier.jpg", font, cell);
    EXPECT_EQ(lines.first, "1600x1200x16M") << "the label is shown whole, smaller";
    EXPECT_LT(lines.labelScale, 1.0);
    EXPECT_EQ(lines.second, "pier.jpg");
    // A longer name takes both lines before it is cut, with a label or not.
    for (const char* label : {"", "1600x1200x16M"}) {
        lines = CThumbDelegate::CellText(label, "harbour_at_night_new_pier.jpg", font,
                                         fm.horizontalAdvance("harbour_at_night_"));
        EXPECT_EQ(lines.first + lines.second, "harbour_at_night_new_pier.jpg")
            << lines.first.toStdString() << "|" << lines.second.toStdString();
        EXPECT_TRUE(lines.first.startsWith("harbour_"));
    }
}

TEST_F(Use, ListColumnsAndTreeNamesHaveTheirRoom) {
    const std::string pics = dir.Path() + "pics/";
    Pictures(pics, {"a.jpg", "harbour_at_night_from_the_pier.jpg", "zz.jpg"});
    for (const char* mode : {"list", "smallicon"}) {
        Open(pics, mode);
        const int need =
            View()->fontMetrics().horizontalAdvance("harbour_at_night_from_the_pier.jpg");
        QListView* view = frame->ImageList()->List().ListView();
        EXPECT_GE(view->gridSize().width(), need) << mode;
        // The rows share one size: the long name's row has room for its icon
        // and its whole name, whichever row set that size.
        const QModelIndexList found =
            view->model()->match(view->model()->index(0, 0), Qt::DisplayRole,
                                 "harbour_at_night_from_the_pier.jpg", 1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        const QModelIndex longRow = found.first();
        EXPECT_GE(view->visualRect(longRow).width(), need + 16) << mode;
        frame.reset();
    }
    Open(pics);
    QTreeWidgetItem* item = frame->Tree()->HistoryItem("befor");
    const int need = frame->Tree()->fontMetrics().horizontalAdvance(item->text(0));
    const QRect r = frame->Tree()->visualItemRect(item);
    EXPECT_GE(r.width(), need) << "the name is not cut";
}

TEST_F(Use, TheStatusBarTellsTheSearchAndItsWholeError) {
    test::TestHttpServer server;
    test::Route slow;
    slow.body = "<title>Slow</title><img src=a.gif>";
    slow.delayMs = 600;
    server.Set("/index.html", slow);
    frame = std::make_unique<CMainFrame>(app);
    frame->show();
    frame->SearchBar()->SetAddressText(server.Url("/index.html"));
    frame->Run(cmd::kGo);
    ASSERT_TRUE(WaitUntil([&] { return server.Count("/index.html") > 0; }));
    QApplication::processEvents();
    EXPECT_TRUE(Pane(*frame, 4).startsWith("Searching")) << Pane(*frame, 4).toStdString();
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));

    frame->SearchBar()->SetAddressText(server.Url("/missing-page-with-a-long-name.html"));
    frame->Run(cmd::kGo);
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));
    ASSERT_TRUE(WaitUntil([&] { return Pane(*frame, 4).startsWith("The start page failed"); }));
    frame->resize(500, frame->height());
    QApplication::processEvents();
    const QString whole = Pane(*frame, 4);
    const QString shown = frame->Panes()->ShownText(4);
    auto* label = frame->findChild<QLabel*>("freePaneText");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->toolTip(), whole.trimmed());
    EXPECT_TRUE(shown == whole || shown.endsWith(QChar(0x2026))) << shown.toStdString();
}

TEST_F(Use, ThePreviewAndItsStatusFollowWhatIsShown) {
    const std::string pics = dir.Path() + "pics/", dest = dir.Path() + "dest/";
    Pictures(pics, {"a.jpg", "b.jpg", "c.jpg"});
    fs::create_directories(dest);
    app.items = {dest};
    Open(pics);
    ClickRow(2);
    ASSERT_EQ(frame->Preview()->Picture()->Path(), Q(pics + "c.jpg"));
    EXPECT_TRUE(Pane(*frame, 5).endsWith("--(3/3)"));
    // Two more with Ctrl: the preview stays on c.jpg; moving them leaves it
    // the only row.
    ClickRow(0, Qt::ControlModifier);
    ClickRow(2, Qt::ControlModifier);
    ClickRow(1, Qt::ControlModifier);
    ASSERT_EQ(List().SelectedRows(), (QList<int>{0, 1}));
    frame->Run(cmd::kMoveToRecent);
    ASSERT_EQ(List().Model().rowCount(), 1);
    EXPECT_TRUE(Pane(*frame, 5).endsWith("--(1/1)")) << Pane(*frame, 5).toStdString();
    EXPECT_EQ(List().SelectedRows(), QList<int>{0}) << "the picture shown is the row selected";
    EXPECT_EQ(frame->Preview()->Picture()->Path(), Q(pics + "c.jpg"));
    // Another folder, the history, a search: the old picture goes.
    frame->Tree()->setCurrentItem(
        frame->Tree()->FindCategory(Q(app.startDirectory + "My Pictures/Scenic/")));
    EXPECT_TRUE(frame->Preview()->Picture()->Path().isEmpty());
    EXPECT_TRUE(Pane(*frame, 5).isEmpty());
    frame->Files()->ShowFolder(Q(pics));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return List().Ready() && List().Model().rowCount() == 1; }, 5000));
    ClickRow(0);
    ASSERT_FALSE(frame->Preview()->Picture()->Path().isEmpty());
    frame->Tree()->setCurrentItem(frame->Tree()->HistoryItem("this"));
    EXPECT_TRUE(frame->Preview()->Picture()->Path().isEmpty()) << "the history";
    frame->Tree()->setCurrentItem(
        frame->Tree()->FindCategory(Q(app.startDirectory + "My Pictures/Art/")));
    frame->Files()->ShowFolder(Q(pics));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return List().Ready() && List().Model().rowCount() == 1; }, 5000));
    ClickRow(0);
    ASSERT_FALSE(frame->Preview()->Picture()->Path().isEmpty());
    test::TestHttpServer server;
    server.Page("/index.html", "<title>Home</title>");
    frame->SearchBar()->SetAddressText(server.Url("/index.html"));
    frame->Run(cmd::kGo);
    EXPECT_TRUE(frame->Preview()->Picture()->Path().isEmpty()) << "a search";
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching(); }));
}

TEST_F(Use, ADropOnACategoryMovesAndWithCtrlCopies) {
    const std::string pics = dir.Path() + "pics/";
    Pictures(pics, {"a.jpg", "b.jpg"});
    Open(pics);
    Ctreemanage* tree = frame->Tree();
    const std::string scenic = app.startDirectory + "My Pictures/Scenic/";
    QTreeWidgetItem* target = tree->FindCategory(Q(scenic));
    ASSERT_NE(target, nullptr);
    tree->scrollToItem(target);
    const QPoint at = tree->visualItemRect(target).center();
    // A drop as the list's drag offers it, through the window as the
    // platform delivers one.
    auto drop = [&](int row, Qt::KeyboardModifiers mods) {
        auto& model = List().Model();
        std::unique_ptr<QMimeData> mime(model.mimeData({model.index(row, 0)}));
        const Qt::DropActions offered = model.supportedDragActions();
        QWindow* window = frame->windowHandle();
        const QPoint pos = tree->viewport()->mapTo(frame.get(), at);
        QDragEnterEvent enter(pos, offered, mime.get(), Qt::LeftButton, mods);
        QApplication::sendEvent(window, &enter);
        QDragMoveEvent move(pos, offered, mime.get(), Qt::LeftButton, mods);
        QApplication::sendEvent(window, &move);
        ASSERT_TRUE(move.isAccepted());
        QDropEvent dropped(pos, offered, mime.get(), Qt::LeftButton, mods);
        QApplication::sendEvent(window, &dropped);
    };
    // A name already there would mean the first drop copied.
    frame->ImageList()->askCollision = [](const QString& name) {
        ADD_FAILURE() << name.toStdString() << " is there already";
        return CFileOperations::CollisionAnswer{CFileOperations::Collision::kCancel, true};
    };
    ClickRow(0);
    drop(0, Qt::NoModifier);
    EXPECT_TRUE(fs::exists(scenic + "a.jpg"));
    EXPECT_FALSE(fs::exists(pics + "a.jpg")) << "a drop moves";
    drop(0, Qt::ControlModifier);  // b.jpg is row 0 now
    EXPECT_TRUE(fs::exists(scenic + "b.jpg"));
    EXPECT_TRUE(fs::exists(pics + "b.jpg")) << "Ctrl copies";
}

TEST_F(Use, DestinationsThatWentAreDroppedWhenTheMenuIsBuilt) {
    const std::string pics = dir.Path() + "pics/", kept = dir.Path() + "kept/";
    Pictures(pics, {"a.jpg"});
    fs::create_directories(kept);
    const std::string art = app.startDirectory + "My Pictures/Art/";
    app.items = {art, kept};
    Open(pics);
    frame->Tree()->confirm = [](const QString&) { return true; };
    ASSERT_TRUE(frame->Tree()->DeleteCategory(frame->Tree()->FindCategory(Q(art))));
    QMenu menu;
    frame->Files()->FillListMenu(menu, frame->ImageList());
    ASSERT_FALSE(menu.actions().isEmpty());
    EXPECT_EQ(menu.actions()[0]->text(), "&Copy To '" + Q(kept) + "'");
    EXPECT_EQ(app.items, std::vector<std::string>{kept});
}

TEST_F(Use, TheKeywordHistoryShowsCountsAndWholeDates) {
    const std::string root = app.startDirectory + "My Search/Keysearch/";
    for (auto [name, line1] : {std::pair<const char*, const char*>{"adv=cats", "0 00:00:00"},
                               {"key=dogs", "3**00:00:05"}}) {
        fs::create_directories(root + name);
        std::ofstream(root + name + "/project.inf")
            << line1 << "            \r\nVersion=1.1\r\nFILTER=900000 0 900\r\n";
    }
    Open(dir.Path());
    frame->Tree()->setCurrentItem(frame->Tree()->HistoryItem("key"));
    Chistorylist* history = frame->HistoryList();
    ASSERT_EQ(history->topLevelItemCount(), 2);
    QStringList counts;
    for (int i = 0; i < 2; ++i) counts.append(history->topLevelItem(i)->text(1));
    counts.sort();
    EXPECT_EQ(counts, (QStringList{"0", "3"}));
    const QString year = QString::number(QDateTime::currentDateTime().date().year());
    EXPECT_TRUE(history->topLevelItem(0)->text(2).contains(year))
        << history->topLevelItem(0)->text(2).toStdString();
}

TEST_F(Use, EachSearchDialogSaysWhatItKeeps) {
    app.maxLevels = 20;
    AdvancedWebOptions o;
    o.depth = 20;
    CAdvancedWebDialog web(o);
    auto* note = web.findChild<QLabel*>("settingsNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains("Max Levels")) << note->text().toStdString();
    CAdvancedKeyDialog key("cats", true, false);
    auto* keyNote = key.findChild<QLabel*>("settingsNote");
    ASSERT_NE(keyNote, nullptr);
    EXPECT_TRUE(keyNote->text().contains("image style"));
    EXPECT_FALSE(keyNote->text().contains("depth"));
}

TEST_F(Use, ASmallestSizeAboveTheLargestHoldsTheSearchBack) {
    AdvancedWebOptions o;
    o.minKb = 0;
    o.maxKb = 900;
    CAdvancedWebDialog web(o);
    web.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&web));
    auto* start = web.findChild<QPushButton*>("startButton");
    auto* problem = web.findChild<QLabel*>("sizeProblem");
    auto* min = web.findChild<QSpinBox*>("minSpin");
    ASSERT_TRUE(start && problem && min);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(problem->isVisible());
    min->selectAll();
    QTest::keyClicks(min, "2000");
    EXPECT_FALSE(start->isEnabled()) << "no picture could be kept";
    EXPECT_TRUE(problem->isVisible());
    QTest::keyClick(min, Qt::Key_Return);
    EXPECT_TRUE(web.isVisible()) << "Enter starts nothing either";
    min->selectAll();
    QTest::keyClicks(min, "900");
    EXPECT_TRUE(start->isEnabled()) << "equal bounds keep pictures of that size";
    EXPECT_FALSE(problem->isVisible());
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(web.result(), QDialog::Accepted);
    EXPECT_EQ(web.Options().minKb, 900);
}

TEST_F(Use, TheSizeOnScreenTypedIntoTheAdvancedSearchIsSearchedForAndKept) {
    test::TestHttpServer server;
    server.Page("/index.html",
                "<title>Walls</title><img src=wide.jpg><img src=narrow.jpg>"
                "<img src=short.gif><img src=exact.bmp>");
    const std::pair<const char*, std::string> pictures[] = {
        {"/wide.jpg", test::JpegOfSize(1921, 1081)},
        {"/narrow.jpg", test::JpegOfSize(1919, 1080)},
        {"/short.gif", test::GifOfSize(1920, 1079)},
        {"/exact.bmp", test::BmpOfSize(1920, 1080)},
    };
    for (const auto& [target, body] : pictures) {
        test::Route r;
        r.contentType = "image/jpeg";
        r.body = body;
        server.Set(target, r);
    }
    frame = std::make_unique<CMainFrame>(app);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    auto* box = frame->SearchBar()->findChild<QComboBox*>("addressBox");
    QTest::mouseClick(box, Qt::LeftButton);
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, Q(server.Url("/index.html")));

    // What the user finds in the dialog and types into it.
    QString shownWidth, widthName;
    bool typed = false;
    auto fill = [&](const char* width, const char* height) {
        QTimer::singleShot(0, [&, width, height] {
            ASSERT_TRUE(QTest::qWaitFor(
                [] {
                    auto* w = QApplication::activeModalWidget();
                    return w && w->objectName() == "advancedWebDialog";
                },
                5000));
            QWidget* dialog = QApplication::activeModalWidget();
            // A failed check leaves through Cancel rather than with the
            // dialog still waiting for a user.
            struct Leave {
                QWidget* dialog;
                bool started = false;
                ~Leave() {
                    if (!started) QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
                }
            } leave{dialog};
            auto* minWidth = dialog->findChild<QSpinBox*>("minWidthSpin");
            auto* minHeight = dialog->findChild<QSpinBox*>("minHeightSpin");
            ASSERT_TRUE(minWidth && minHeight);
            ASSERT_NE(dialog->findChild<QWidget*>("screenSizeGroup"), nullptr);
            shownWidth = minWidth->text();
            widthName = minWidth->accessibleName();
            // Keys reach the widget with the focus, as they do for the user:
            // the dialog active, one of its fields focused.
            dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            ASSERT_TRUE(QTest::qWaitFor([&] {
                QWidget* f = QApplication::focusWidget();
                return f && f->window() == dialog;
            }));
            auto focusName = [] { return QApplication::focusWidget()->objectName().toStdString(); };
            // Alt+I (the label "Min width") goes to the width, its text
            // ready to be typed over.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
            ASSERT_TRUE(minWidth->hasFocus()) << focusName();
            QTest::keyClicks(QApplication::focusWidget(), width);
            // Tab goes on to the height, its text ready to be typed over too.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            ASSERT_TRUE(minHeight->hasFocus()) << focusName();
            QTest::keyClicks(QApplication::focusWidget(), height);
            EXPECT_EQ(minWidth->value(), QString(width).toInt());
            EXPECT_EQ(minHeight->value(), QString(height).toInt());
            QTest::mouseClick(dialog->findChild<QPushButton*>("startButton"), Qt::LeftButton);
            leave.started = true;
            typed = true;
        });
    };
    fill("1920", "1080");
    QTest::mouseClick(frame->SearchBar()->findChild<QAbstractButton*>("advancedButton"),
                      Qt::LeftButton);
    ASSERT_TRUE(typed);
    EXPECT_EQ(shownWidth, "Any") << "no bound until one is typed";
    EXPECT_EQ(widthName, "Smallest width in pixels");
    EXPECT_EQ(app.imageMinWidth, 1920) << "Start stores what was typed";
    EXPECT_EQ(app.imageMinHeight, 1080);
    EXPECT_EQ(frame->State().minWidth, 1920);
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching() && !frame->Panes()->TimerActive(20); }));
    const std::string project = app.startDirectory +
                                "My Search/Websearch/127.0.0.1:" + std::to_string(server.Port()) +
                                "=index.html/";
    EXPECT_TRUE(fs::exists(project + "wide.jpg"));
    EXPECT_TRUE(fs::exists(project + "exact.bmp")) << "as large as the bound is large enough";
    EXPECT_FALSE(fs::exists(project + "narrow.jpg"));
    EXPECT_FALSE(fs::exists(project + "short.gif"));
    app.Save();
    std::string conf;
    {
        std::ifstream in(Conf());
        conf.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_NE(conf.find("imageminwidth=1920"), std::string::npos) << conf;
    EXPECT_NE(conf.find("imageminheight=1080"), std::string::npos) << conf;

    // The next advanced search starts from them; 0 takes the bound away.
    fill("0", "0");
    QTest::mouseClick(frame->SearchBar()->findChild<QAbstractButton*>("advancedButton"),
                      Qt::LeftButton);
    EXPECT_EQ(shownWidth.toStdString(), "1920 px");
    EXPECT_EQ(app.imageMinWidth, 0);
    EXPECT_EQ(app.imageMinHeight, 0);
    ASSERT_TRUE(WaitUntil([&] { return !frame->Searching() && !frame->Panes()->TimerActive(20); }));
    const std::string again = project.substr(0, project.size() - 1) + "[1]/";
    EXPECT_TRUE(fs::exists(again + "narrow.jpg")) << "every size is kept again";
    EXPECT_TRUE(fs::exists(again + "short.gif"));
}

TEST_F(Use, AMovedPreviewGetsAUsefulShare) {
    frame = std::make_unique<CMainFrame>(app);
    frame->resize(1200, 800);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    for (int id : {cmd::kPreviewRight, cmd::kPreviewMiddle}) {
        frame->Run(id);
        QApplication::processEvents();
        QSplitter* s = frame->PaneLayout()->PreviewSplitter();
        const QList<int> sizes = s->sizes();
        const int total = sizes[0] + sizes[1];
        EXPECT_GE(sizes[1] * 4, total) << id << ": " << sizes[1] << " of " << total;
        EXPECT_EQ(frame->Preview()->parentWidget()->parentWidget(), s) << id;
    }
}

TEST_F(Use, SmallerThings) {
    // The copy dialog's folder button.
    std::vector<std::string> destinations;
    CCopyMoveDialog dialog(true, "/pics/", destinations);
    auto* browse = dialog.findChild<QPushButton*>("browserButton");
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(browse->text(), "Browse...");

    // A copy keeps its picture's time.
    const std::string pics = dir.Path() + "pics/", dest = dir.Path() + "dest/";
    Pictures(pics, {"old.jpg"});
    fs::create_directories(dest);
    const QDateTime then(QDate(2001, 5, 6), QTime(7, 8, 9));
    {
        QFile f(Q(pics + "old.jpg"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(then, QFileDevice::FileModificationTime));
    }
    app.items = {dest};
    Open(pics);
    ClickRow(0);
    frame->Run(cmd::kCopyToRecent);
    ASSERT_TRUE(fs::exists(dest + "old.jpg"));
    EXPECT_EQ(QFileInfo(Q(dest + "old.jpg")).lastModified(), then);

    // The switch button's name follows its text.
    frame->Run(cmd::kKeywordsMode);
    auto* sw = frame->SearchBar()->findChild<QAbstractButton*>("switchButton");
    EXPECT_EQ(sw->text(), "Keywords");
    EXPECT_EQ(sw->accessibleName(), "Keywords");
    frame->Run(cmd::kWebMode);
    EXPECT_EQ(sw->accessibleName(), "Address");

    // The number boxes step within their ranges and take no typed value
    // beyond them.
    app.thumbWidth = 180;
    app.thumbBorder = 20;
    COptionsSheet sheet(app);
    struct Step {
        const char* name;
        int top;
    };
    for (Step s : {Step{"widthSpin", 180}, Step{"heightSpin", 180}, Step{"borderSpin", 20},
                   Step{"depthSpin", 20}}) {
        auto* spin = sheet.findChild<QSpinBox*>(s.name);
        ASSERT_NE(spin, nullptr) << s.name;
        spin->setValue(s.top);
        QTest::keyClick(spin, Qt::Key_Up);
        EXPECT_EQ(spin->value(), s.top) << s.name;
    }
    auto* height = sheet.findChild<QSpinBox*>("heightSpin");
    for (const char* typed : {"9999", "300", "0"}) {
        height->selectAll();
        QTest::keyClicks(height, typed);
        EXPECT_GE(height->value(), 40) << typed;
        EXPECT_LE(height->value(), 180) << typed;
    }
    height->selectAll();
    QTest::keyClicks(height, "64");
    EXPECT_EQ(height->value(), 64) << "a value in range is taken as typed";
    auto* border = sheet.findChild<QSpinBox*>("borderSpin");
    border->setValue(0);
    QTest::keyClick(border, Qt::Key_Down);
    EXPECT_EQ(border->value(), 0);
}

}  // namespace
}  // namespace pq
