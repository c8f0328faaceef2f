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
    // View modes of the picture lists.
    kViewIcon = 32840,
    kViewSmallIcon = 32841,
    kViewList = 32842,
    kViewReport = 32843,
    kViewThumbnails = 32844,
    // Edit menu.
    kCopyTo = 32850,
    kMoveTo = 32851,
    kDelete = 32852,
    kSelectAll = 32853,
    kInvertSelection = 32854,
    // Wallpaper.
    kWallpaperTiled = 32860,
    kWallpaperFull = 32861,
    kWallpaperRestore = 32862,
    kNewCategory = 32870,
};

}  // namespace pq::cmd
