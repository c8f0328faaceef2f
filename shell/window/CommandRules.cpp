#include "shell/window/CommandRules.h"

#include "browse/ViewPort.h"
#include "shell/window/CommandIds.h"

namespace pq {

std::vector<CommandState> CommandStates(const CommandInputs& in) {
    using L = CommandInputs::Layout;
    using P = CommandInputs::Placement;
    std::vector<CommandState> out;
    auto set = [&out](int id, bool enabled, int checked = -1) {
        out.push_back({id, enabled, checked});
    };
    set(cmd::kStop, in.searching);
    // Continue needs exactly one project selected in the history list.
    set(cmd::kContinue, !in.searching && in.historyShown && in.historySelected == 1);
    set(cmd::kKeywordsMode, true, in.keywordMode);
    set(cmd::kWebMode, true, !in.keywordMode);
    set(cmd::kLayoutSearch, true, in.layout == L::kSearch);
    set(cmd::kLayoutDownload, true, in.layout == L::kDownload);
    set(cmd::kLayoutManage, true, in.layout == L::kManage);
    set(cmd::kPreviewLeft, true, in.placement == P::kLeft);
    set(cmd::kPreviewMiddle, true);
    set(cmd::kPreviewRight, true, in.placement == P::kRight);
    set(cmd::kFullScreen, true, in.fullView);
    set(cmd::kBrowse, true);
    set(cmd::kToolbar, true, in.toolbarShown);
    set(cmd::kUrlBar, true, in.urlBarShown);
    set(cmd::kClearHistory, in.addressesKept);

    set(cmd::kViewIcon, true, in.mode == "icon");
    set(cmd::kViewSmallIcon, true, in.mode == "smallicon");
    set(cmd::kViewList, true, in.mode == "list");
    set(cmd::kViewReport, true, in.mode == "report");
    set(cmd::kViewThumbnails, true, in.mode == "smallbmp");
    set(cmd::kSelectAll, true);
    set(cmd::kInvertSelection, true);
    set(cmd::kGetBigPictures, true);
    // Files are copied, moved and deleted from the browsing list only; with
    // the history list in view Delete takes its projects.
    const bool files = in.browsingList && !in.historyShown && in.selected > 0;
    set(cmd::kCopyTo, files);
    set(cmd::kMoveTo, files);
    set(cmd::kDelete, in.historyShown ? in.historySelected > 0 : files);
    set(cmd::kCopyToRecent, in.browsingList);
    set(cmd::kMoveToRecent, in.browsingList);

    const int cursor = in.cursor < in.rows ? in.cursor : -1;
    set(cmd::kPreviousImage, cursor > 0);
    set(cmd::kNextImage, cursor < in.rows - 1);
    set(cmd::kSlideShow, in.rows >= 2 || in.slideShow, in.slideShow);
    // The limits hold for the scale the picture is shown at.
    set(cmd::kZoomIn, viewport::CanZoomIn(in.zoom, in.fitZoom));
    set(cmd::kZoomOut, viewport::CanZoomOut(in.zoom, in.fitZoom));
    set(cmd::kActualSize, in.zoom != 1.0f);
    set(cmd::kBestFit, in.zoom != viewport::kBestFit);

    // A wallpaper is made from the picture on show.
    set(cmd::kWallpaperTiled, in.wallpaperAvailable && in.picture);
    set(cmd::kWallpaperFull, in.wallpaperAvailable && in.picture);
    set(cmd::kWallpaperRestore, in.wallpaperAvailable);
    set(cmd::kWallpaperButton, true);
    set(cmd::kViewModesButton, true);
    set(cmd::kPlacementButton, true);
    set(cmd::kNewCategory, in.categorySelected);
    // Duplicates are looked for in the index: in the folder in view (which
    // needs two pictures for a pair), else everywhere.
    set(cmd::kFindDuplicates, in.indexOpen && (!in.folderInView || in.rows >= 2));
    return out;
}

}  // namespace pq
