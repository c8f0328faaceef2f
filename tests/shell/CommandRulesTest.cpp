// The window's enable and check rules, read from a table of what the
// window would show.
#include <gtest/gtest.h>

#include <functional>

#include "shell/window/CommandIds.h"
#include "shell/window/CommandRules.h"

namespace pq {
namespace {

CommandState Of(const CommandInputs& in, int id) {
    for (const CommandState& s : CommandStates(in))
        if (s.id == id) return s;
    ADD_FAILURE() << "no rule for command " << id;
    return {id, false, -1};
}

TEST(CommandRules, TheIdleWindow) {
    const CommandInputs idle;  // manage layout, preview left, best fit, no picture
    struct Case {
        int id;
        bool enabled;
        int checked;
    };
    const Case cases[] = {
        {cmd::kStop, false, -1},
        {cmd::kContinue, false, -1},
        {cmd::kBrowse, true, -1},  // always, as Esc
        {cmd::kFullScreen, true, 0},
        {cmd::kZoomIn, true, -1},  // best fit
        {cmd::kZoomOut, true, -1},
        {cmd::kBestFit, false, -1},
        {cmd::kActualSize, true, -1},
        {cmd::kGetBigPictures, true, -1},  // always in the browsing list
        {cmd::kSelectAll, true, -1},
        {cmd::kInvertSelection, true, -1},
        {cmd::kLayoutManage, true, 1},
        {cmd::kLayoutSearch, true, 0},
        {cmd::kLayoutDownload, true, 0},
        {cmd::kPreviewLeft, true, 1},
        {cmd::kPreviewMiddle, true, -1},  // Rightbottom carries no check mark
        {cmd::kPreviewRight, true, 0},
        {cmd::kCopyTo, false, -1},
        {cmd::kMoveTo, false, -1},
        {cmd::kDelete, false, -1},
        {cmd::kSlideShow, false, 0},
        {cmd::kPreviousImage, false, -1},
        {cmd::kNextImage, false, -1},
        {cmd::kWallpaperTiled, false, -1},
        {cmd::kToolbar, true, 1},
        {cmd::kUrlBar, true, 1},
    };
    for (const Case& c : cases) {
        const CommandState s = Of(idle, c.id);
        EXPECT_EQ(s.enabled, c.enabled) << c.id;
        EXPECT_EQ(s.checked, c.checked) << c.id;
    }
}

TEST(CommandRules, EachRuleFromWhatItReads) {
    struct Case {
        const char* what;
        std::function<void(CommandInputs&)> set;
        int id;
        bool enabled;
    };
    const Case cases[] = {
        {"a row selected in the browsing list", [](CommandInputs& i) { i.selected = 1; },
         cmd::kCopyTo, true},
        {"and Delete", [](CommandInputs& i) { i.selected = 1; }, cmd::kDelete, true},
        {"but not in the search's list",
         [](CommandInputs& i) {
             i.selected = 1;
             i.browsingList = false;
         },
         cmd::kMoveTo, false},
        {"the history's projects for Delete",
         [](CommandInputs& i) {
             i.historyShown = true;
             i.historySelected = 2;
         },
         cmd::kDelete, true},
        {"no copy from the history",
         [](CommandInputs& i) {
             i.historyShown = true;
             i.historySelected = 2;
             i.selected = 1;
         },
         cmd::kCopyTo, false},
        {"Continue with one project",
         [](CommandInputs& i) {
             i.historyShown = true;
             i.historySelected = 1;
         },
         cmd::kContinue, true},
        {"not with two",
         [](CommandInputs& i) {
             i.historyShown = true;
             i.historySelected = 2;
         },
         cmd::kContinue, false},
        {"nor while searching",
         [](CommandInputs& i) {
             i.historyShown = true;
             i.historySelected = 1;
             i.searching = true;
         },
         cmd::kContinue, false},
        {"Stop while searching", [](CommandInputs& i) { i.searching = true; }, cmd::kStop, true},
        {"slide show with two rows", [](CommandInputs& i) { i.rows = 2; }, cmd::kSlideShow, true},
        {"not with one", [](CommandInputs& i) { i.rows = 1; }, cmd::kSlideShow, false},
        {"Next before the last row",
         [](CommandInputs& i) {
             i.rows = 3;
             i.cursor = 1;
         },
         cmd::kNextImage, true},
        {"not on it",
         [](CommandInputs& i) {
             i.rows = 3;
             i.cursor = 2;
         },
         cmd::kNextImage, false},
        {"Previous after the first",
         [](CommandInputs& i) {
             i.rows = 3;
             i.cursor = 1;
         },
         cmd::kPreviousImage, true},
        // A large picture in a small pane fits at 0.05: one Zoom In shows
        // it at 0.0625, and Zoom Out may take it back down.
        {"Zoom Out after one step from a small fit",
         [](CommandInputs& i) {
             i.zoom = 0.0625f;
             i.fitZoom = 0.05f;
         },
         cmd::kZoomOut, true},
        {"not below the fit and the smallest zoom",
         [](CommandInputs& i) {
             i.zoom = 0.1f;
             i.fitZoom = 0.5f;
         },
         cmd::kZoomOut, false},
        {"Zoom In up to 4",
         [](CommandInputs& i) {
             i.zoom = 3.9f;
             i.fitZoom = 0.5f;
         },
         cmd::kZoomIn, true},
        {"not from 4", [](CommandInputs& i) { i.zoom = 4.0f; }, cmd::kZoomIn, false},
        {"Best fit once zoomed", [](CommandInputs& i) { i.zoom = 2.0f; }, cmd::kBestFit, true},
        {"actual size not at 1", [](CommandInputs& i) { i.zoom = 1.0f; }, cmd::kActualSize, false},
        {"wallpaper from a picture on show",
         [](CommandInputs& i) {
             i.wallpaperAvailable = true;
             i.picture = true;
         },
         cmd::kWallpaperFull, true},
        {"Restore without one", [](CommandInputs& i) { i.wallpaperAvailable = true; },
         cmd::kWallpaperRestore, true},
        {"new category on a category", [](CommandInputs& i) { i.categorySelected = true; },
         cmd::kNewCategory, true},
    };
    for (const Case& c : cases) {
        CommandInputs in;
        c.set(in);
        EXPECT_EQ(Of(in, c.id).enabled, c.enabled) << c.what;
    }
}

TEST(CommandRules, FindDuplicatesNeedsTheIndexAndTwoPicturesInTheFolderInView) {
    struct Case {
        const char* what;
        bool indexOpen;
        bool folderInView;
        int rows;
        bool enabled;
    };
    const Case cases[] = {
        {"no index", false, false, 0, false},
        {"no index, a folder of pictures", false, true, 10, false},
        {"everywhere, when no folder is in view", true, false, 0, true},
        {"a folder of one picture", true, true, 1, false},
        {"an empty folder", true, true, 0, false},
        {"a folder of two", true, true, 2, true},
    };
    for (const Case& c : cases) {
        CommandInputs in;
        in.indexOpen = c.indexOpen;
        in.folderInView = c.folderInView;
        in.rows = c.rows;
        const CommandState s = Of(in, cmd::kFindDuplicates);
        EXPECT_EQ(s.enabled, c.enabled) << c.what;
        EXPECT_EQ(s.checked, -1) << c.what;
    }
}

TEST(CommandRules, ChecksFollowModeLayoutAndPlacement) {
    CommandInputs in;
    in.mode = "list";
    in.layout = CommandInputs::Layout::kSearch;
    in.placement = CommandInputs::Placement::kRight;
    in.slideShow = true;
    in.keywordMode = true;
    EXPECT_EQ(Of(in, cmd::kViewList).checked, 1);
    EXPECT_EQ(Of(in, cmd::kViewThumbnails).checked, 0);
    EXPECT_EQ(Of(in, cmd::kLayoutSearch).checked, 1);
    EXPECT_EQ(Of(in, cmd::kLayoutManage).checked, 0);
    EXPECT_EQ(Of(in, cmd::kPreviewRight).checked, 1);
    EXPECT_EQ(Of(in, cmd::kPreviewLeft).checked, 0);
    EXPECT_EQ(Of(in, cmd::kSlideShow).checked, 1);
    EXPECT_TRUE(Of(in, cmd::kSlideShow).enabled) << "a running show can be stopped";
    EXPECT_EQ(Of(in, cmd::kKeywordsMode).checked, 1);
    EXPECT_EQ(Of(in, cmd::kWebMode).checked, 0);
}

}  // namespace
}  // namespace pq
