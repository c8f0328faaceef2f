// The window's menus, toolbars and tool tips as the user reads them: the
// texts come from the command table, the structure from the menus built.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "browse/CImagelist.h"
#include "browse/CSearchimagelist.h"
#include "browse/Wallpaper.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/CFrameBars.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/CMainFrame.h"
#include "shell/window/CommandIds.h"
#include "tests/shell/WindowFixture.h"
#include "tests/support/FakeWallpaper.h"

namespace pq {
namespace {

// A menu's items as the user reads them: "" for a separator, a sub-menu by
// its title.
QStringList Texts(const QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out.append(a->isSeparator() ? QString() : a->text());
    return out;
}

QMenu* MenuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->text() == title) return a->menu();
    return nullptr;
}

QMenu* SubMenu(const QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->text() == title) return a->menu();
    return nullptr;
}

class Menus : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        frame = std::make_unique<CMainFrame>(app);
        // The wallpaper tool tips without a note about this desktop.
        frame->SetDesktopWallpaper(std::make_unique<test::FakeWallpaper>(),
                                   QString::fromStdString(dir.Path() + "wall.bmp"));
    }
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(Menus, CommandTextsAndToolTips) {
    struct Case {
        int id;
        const char* text;
        const char* toolTip;  // nullptr: not checked
    };
    const Case cases[] = {
        {cmd::kGo, "&Go", nullptr},
        {cmd::kStop, "&Stop", "Stop downloading"},
        {cmd::kContinue, "Continue", nullptr},
        {cmd::kAdvancedSearch, "Advancedsearch", nullptr},
        {cmd::kKeywordsMode, "Keywords Search", nullptr},
        {cmd::kWebMode, "Web Search", nullptr},
        {cmd::kKeywordsSearch, "Keywords Search", nullptr},
        {cmd::kSwitch, "Switch", nullptr},
        {cmd::kGetBigPictures, "Get Big Pictures", nullptr},
        {cmd::kLayoutSearch, "Search", "Search"},
        {cmd::kLayoutDownload, "Download", "Download"},
        {cmd::kLayoutManage, "Files Manage", "Files Manage"},
        {cmd::kPreviewLeft, "Left", nullptr},
        {cmd::kPreviewMiddle, "Rightbottom", nullptr},
        {cmd::kPreviewRight, "Right", nullptr},
        {cmd::kFullScreen, "Full Screen", nullptr},
        {cmd::kBrowse, "Browse", "Browse"},
        {cmd::kPreviousImage, "Previous Image", "Previous Image"},
        {cmd::kNextImage, "Next Image", "Next Image"},
        {cmd::kSlideShow, "Slide Show", "Stop/Resume Slide show"},
        {cmd::kActualSize, "Show actual size", "Show actual size"},
        {cmd::kBestFit, "Best fit", "Best fit"},
        {cmd::kZoomIn, "Zoom In", "Zoom In"},
        {cmd::kZoomOut, "Zoom Out", "Zoom Out"},
        {cmd::kOptions, "Options...", nullptr},
        {cmd::kContents, "Contents", nullptr},
        {cmd::kHomePage, "Home Page", nullptr},
        {cmd::kClearHistory, "Clear history address", nullptr},
        {cmd::kToolbar, "&Toolbar", nullptr},
        {cmd::kUrlBar, "URL bar", nullptr},
        {cmd::kAbout, "&About pelquinar...", nullptr},
        {cmd::kViewIcon, "Large icon", nullptr},
        {cmd::kViewSmallIcon, "Small icon", nullptr},
        {cmd::kViewList, "List", nullptr},
        {cmd::kViewReport, "Details", nullptr},
        {cmd::kViewThumbnails, "Thumbnails", nullptr},
        {cmd::kCopyTo, "Copy To Folder...", nullptr},
        {cmd::kMoveTo, "Move To folder...", nullptr},
        {cmd::kDelete, "&Delete", nullptr},
        {cmd::kSelectAll, "&Select all", nullptr},
        {cmd::kInvertSelection, "&Invert Selection", nullptr},
        {cmd::kWallpaperTiled, "Tiled", nullptr},
        {cmd::kWallpaperFull, "Full screen", nullptr},
        {cmd::kWallpaperRestore, "Restore", nullptr},
        {cmd::kWallpaperButton, "Desktop Wallpaper", "Desktop Wallpaper"},
        {cmd::kNewCategory, "&New Category", nullptr},
        {cmd::kFindDuplicates, "Find &Duplicates...",
         "Find the same picture saved more than once, and pictures that look alike"},
    };
    for (const Case& c : cases) {
        QAction* a = frame->Action(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_EQ(a->text(), QString::fromUtf8(c.text)) << c.id;
        if (c.toolTip) {
            EXPECT_EQ(a->toolTip(), QString::fromUtf8(c.toolTip)) << c.id;
        }
    }
    // Only Left and Right carry a check mark.
    EXPECT_TRUE(frame->Action(cmd::kPreviewLeft)->isCheckable());
    EXPECT_TRUE(frame->Action(cmd::kPreviewRight)->isCheckable());
    EXPECT_FALSE(frame->Action(cmd::kPreviewMiddle)->isCheckable());
}

TEST_F(Menus, TheMainMenu) {
    QMenuBar* bar = frame->menuBar();
    QStringList titles;
    for (QAction* a : bar->actions()) titles.append(a->text());
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Search", "&Tools", "&Help"}));

    QMenu* search = MenuTitled(bar, "&Search");
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(Texts(search),
              (QStringList{"&Go", "&Stop", "Continue", "", "Advancedsearch", "Keywords Search",
                           "Web Search", "", "Get Big Pictures"}));
    QMenu* edit = MenuTitled(bar, "&Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Texts(edit), (QStringList{"Copy To Folder...", "Move To folder...", "&Delete", "",
                                        "&Select all", "&Invert Selection"}));
    // Slide Show and the wallpaper pop-up are tools.
    QMenu* tools = MenuTitled(bar, "&Tools");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(Texts(tools),
              (QStringList{"Slide Show", "", "Set Wallpaper", "", "Find &Duplicates...", "",
                           "Clear history address", "", "Options..."}));
    QMenu* wallpaper = SubMenu(tools, "Set Wallpaper");
    ASSERT_NE(wallpaper, nullptr);
    EXPECT_EQ(Texts(wallpaper), (QStringList{"Tiled", "Full screen", "Restore"}));
    QMenu* view = MenuTitled(bar, "&View");
    ASSERT_NE(view, nullptr);
    const QStringList viewTexts = Texts(view);
    EXPECT_FALSE(viewTexts.contains("Slide Show")) << "it moved to Tools";
    for (const char* t : {"&Toolbar", "URL bar", "Full Screen", "Browse", "Large icon",
                          "Small icon", "Show actual size", "Best fit", "Zoom In", "Zoom Out"})
        EXPECT_TRUE(viewTexts.contains(t)) << t;
    // The preview's own menu holds the three placements.
    QMenu* preview = SubMenu(view, "Preview");
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(Texts(preview), (QStringList{"Left", "Rightbottom", "Right"}));
    QMenu* help = MenuTitled(bar, "&Help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Texts(help), (QStringList{"Contents", "Home Page", "", "&About pelquinar..."}));
}

TEST_F(Menus, TheToolbarAndItsDropDownButtons) {
    auto* toolbar = frame->findChild<QToolBar*>("toolbar");
    ASSERT_NE(toolbar, nullptr);
    const QList<QAction*> actions = toolbar->actions();
    for (int id : {cmd::kGo, cmd::kStop, cmd::kLayoutSearch, cmd::kLayoutDownload,
                   cmd::kLayoutManage, cmd::kPreviousImage, cmd::kNextImage, cmd::kSlideShow,
                   cmd::kBestFit, cmd::kActualSize, cmd::kZoomIn, cmd::kZoomOut, cmd::kBrowse})
        EXPECT_TRUE(actions.contains(frame->Action(id))) << id;
    struct Drop {
        const char* name;
        int id;
        QStringList items;
    };
    const Drop drops[] = {
        {"viewModesButton",
         cmd::kViewModesButton,
         {"Large icon", "Small icon", "List", "Details", "Thumbnails"}},
        {"wallpaperButton", cmd::kWallpaperButton, {"Tiled", "Full screen", "Restore"}},
        {"placementButton", cmd::kPlacementButton, {"Left", "Rightbottom", "Right"}},
    };
    for (const Drop& d : drops) {
        auto* b = toolbar->findChild<QToolButton*>(d.name);
        ASSERT_NE(b, nullptr) << d.name;
        EXPECT_EQ(b->defaultAction(), frame->Action(d.id)) << d.name;
        ASSERT_NE(b->menu(), nullptr) << d.name;
        EXPECT_EQ(b->popupMode(), QToolButton::InstantPopup) << d.name;
        EXPECT_EQ(Texts(b->menu()), d.items) << d.name;
    }
    EXPECT_EQ(toolbar->findChild<QToolButton*>("wallpaperButton")->toolTip(), "Desktop Wallpaper");
}

TEST_F(Menus, TheListsContextMenus) {
    const std::string dest = dir.Path() + "dest/";
    std::filesystem::create_directories(dest);
    app.items = {dest};
    QMenu menu;
    frame->Files()->FillListMenu(menu, frame->ImageList());
    const QString d = QString::fromStdString(dest);
    EXPECT_EQ(Texts(&menu),
              (QStringList{"&Copy To '" + d + "'", "&Move To '" + d + "'", "&Copy To Folder",
                           "&Move To Folder", "", "&Delete", "&Select all", "&Invert Selection",
                           "&Get Big Pictures", "Find &Duplicates...", "Set &Wallpaper",
                           "View"}));
    QMenu* wallpaper = SubMenu(&menu, "Set &Wallpaper");
    ASSERT_NE(wallpaper, nullptr);
    EXPECT_EQ(Texts(wallpaper), (QStringList{"Tiled", "Full screen", "Restore"}));
    QMenu* modes = SubMenu(&menu, "View");
    ASSERT_NE(modes, nullptr);
    EXPECT_EQ(Texts(modes),
              (QStringList{"Large icon", "Small icon", "List", "Details", "Thumbnails"}));

    // The search's list offers its big pictures, for keyword searches only.
    QMenu none;
    frame->Files()->FillListMenu(none, frame->SearchImageList());
    EXPECT_TRUE(none.isEmpty());
    frame->State().keywordFlag = true;
    QMenu keyword;
    frame->Files()->FillListMenu(keyword, frame->SearchImageList());
    EXPECT_EQ(Texts(&keyword), (QStringList{"&Select all thumbnails", "&Unselect all thumbnails",
                                            "&Get Big Pictures"}));
    EXPECT_FALSE(keyword.actions()[0]->isEnabled());
    EXPECT_TRUE(keyword.actions()[2]->isEnabled());
}

}  // namespace
}  // namespace pq
