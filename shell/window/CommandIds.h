// The window's commands. Numbers the menus, toolbars and context menus share;
// where the program has always had a number, it is kept.
#pragma once

namespace pq::cmd {

enum Id : int {
    kGo = 32781,
    kStop = 32782,
    kContinue = 1016,
    kAdvancedSearch = 32816,
    kKeywordsMode = 32817,
    kWebMode = 32818,
    kKeywordsSearch = 32811,
    kSwitch = 32813,
    kGetBigPictures = 32819,
    kLayoutSearch = 32774,
    kLayoutDownload = 32775,
    kLayoutManage = 32776,
    kPreviewLeft = 32771,
    kPreviewMiddle = 32773,
    kPreviewRight = 32772,
    kFullScreen = 32718,
    kBrowse = 32720,
    kPreviousImage = 32722,
    kNextImage = 32723,
    kSlideShow = 32793,
    kActualSize = 32808,
    kBestFit = 32809,
    kZoomIn = 32803,
    kZoomOut = 32802,
    kOptions = 32785,
    kContents = 57670,
    kHomePage = 32879,
    kClearHistory = 32796,
    kToolbar = 32807,
    kUrlBar = 32806,
    kAbout = 57664,
    kExit = 57665,
    // The three tool buttons that drop a menu: view modes, wallpaper,
    // preview placement.
    kViewModesButton = 32878,
    kWallpaperButton = 32880,
    kPlacementButton = 32881,
    // View modes of the picture lists.
    kViewIcon = 32778,
    kViewSmallIcon = 32779,
    kViewList = 32780,
    kViewReport = 32789,
    kViewThumbnails = 32717,
    // Edit menu, and the list's context menu.
    kCopyTo = 32790,
    kMoveTo = 32791,
    kCopyToRecent = 33799,  // to the destination used last, no dialog
    kMoveToRecent = 33800,
    kDelete = 32799,
    kSelectAll = 32795,
    kInvertSelection = 32800,
    // Wallpaper.
    kWallpaperTiled = 32804,
    kWallpaperFull = 32792,
    kWallpaperRestore = 32805,
    // The tree's own number for it is Best fit's: this one is the window's.
    kNewCategory = 32870,
    // The same picture twice: in the folder shown, or everywhere.
    kFindDuplicates = 33801,
};

}  // namespace pq::cmd
