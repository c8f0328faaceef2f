#include "shell/window/CCommandTable.h"

#include <QFile>
#include <QIcon>

#include "shell/window/CommandIds.h"

// The icons are compiled into this library: registered before first use.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace pq {

namespace {

QList<CommandSpec> MakeSpecs() {
    using K = QKeySequence;
    return {
        // Searching.
        {cmd::kGo, "&Go", "Search the address in the address box", K(Qt::CTRL | Qt::Key_G),
         "go-jump", false},
        {cmd::kStop, "&Stop", "Stop downloading", K(Qt::CTRL | Qt::Key_S), "process-stop", false},
        {cmd::kContinue, "Continue", "Resume the project selected in the history", K(),
         "media-playback-start", false},
        {cmd::kAdvancedSearch, "Advancedsearch", "Search with a depth, picture types and sizes",
         K(), "preferences-system", false},
        {cmd::kKeywordsMode, "Keywords Search", "Type keywords for the image search service", K(),
         nullptr, true},
        {cmd::kWebMode, "Web Search", "Type the address of a site", K(), nullptr, true},
        {cmd::kKeywordsSearch, "Keywords Search", "Start the search", K(), "system-search", false},
        {cmd::kSwitch, "Switch", "Switch between address and keywords", K(), nullptr, false},
        {cmd::kGetBigPictures, "Get Big Pictures",
         "Download the full-size pictures of the selection", K(), "go-down", false},
        // Layouts and the preview's place.
        {cmd::kLayoutSearch, "Search", "Search", K(Qt::CTRL | Qt::Key_1), "edit-find", true},
        {cmd::kLayoutDownload, "Download", "Download", K(Qt::CTRL | Qt::Key_2), "folder-download",
         true},
        {cmd::kLayoutManage, "Files Manage", "Files Manage", K(Qt::CTRL | Qt::Key_3), "folder",
         true},
        {cmd::kPreviewLeft, "Left", "Preview below the tree", K(), nullptr, true},
        // Only Left and Right carry a check mark.
        {cmd::kPreviewMiddle, "Rightbottom", "Preview below the picture list", K(), nullptr,
         false},
        {cmd::kPreviewRight, "Right", "Preview beside the picture list", K(), nullptr, true},
        {cmd::kViewModesButton, "View", "Display mode of the pictures", K(), "view-list-icons",
         false},
        {cmd::kPlacementButton, "Preview", "Where the preview stands", K(), "view-split", false},
        // The preview and the show.
        {cmd::kFullScreen, "Full Screen", "Show the picture alone", K(Qt::Key_F11),
         "view-fullscreen", true},
        {cmd::kBrowse, "Browse", "Browse", K(Qt::Key_Escape), "view-restore", false},
        {cmd::kPreviousImage, "Previous Image", "Previous Image", K(Qt::ALT | Qt::Key_Left),
         "go-previous", false},
        {cmd::kNextImage, "Next Image", "Next Image", K(Qt::ALT | Qt::Key_Right), "go-next",
         false},
        {cmd::kSlideShow, "Slide Show", "Stop/Resume Slide show", K(Qt::Key_F5),
         "media-playback-start", true},
        {cmd::kActualSize, "Show actual size", "Show actual size", K(Qt::CTRL | Qt::Key_0),
         "zoom-original", false},
        {cmd::kBestFit, "Best fit", "Best fit", K(Qt::CTRL | Qt::Key_F), "zoom-fit-best", false},
        {cmd::kZoomIn, "Zoom In", "Zoom In", K(K::ZoomIn), "zoom-in", false},
        {cmd::kZoomOut, "Zoom Out", "Zoom Out", K(K::ZoomOut), "zoom-out", false},
        // The program.
        {cmd::kOptions, "Options...", "Thumbnails, slide show and connection",
         K(Qt::CTRL | Qt::Key_Comma), "preferences-system", false},
        {cmd::kContents, "Contents", "Open the help", K(K::HelpContents), "help-contents", false},
        {cmd::kHomePage, "Home Page", "Open the program's home page in the web browser", K(),
         "go-home", false},
        {cmd::kClearHistory, "Clear history address", "Forget the addresses searched", K(),
         "edit-clear-history", false},
        {cmd::kToolbar, "&Toolbar", "Show or hide the toolbar", K(), nullptr, true},
        {cmd::kUrlBar, "URL bar", "Show or hide the search bar", K(), nullptr, true},
        {cmd::kAbout, "&About pelquinar...", "Name and version", K(), "help-about", false},
        {cmd::kExit, "&Quit", "Quit the program", K(K::Quit), "application-exit", false},
        // The lists' display modes.
        {cmd::kViewIcon, "Large icon", "Show the pictures as large icons", K(), nullptr, true},
        {cmd::kViewSmallIcon, "Small icon", "Show the pictures as small icons", K(), nullptr,
         true},
        {cmd::kViewList, "List", "Show the pictures as a list", K(), nullptr, true},
        {cmd::kViewReport, "Details", "Show name, size, type and date", K(), nullptr, true},
        {cmd::kViewThumbnails, "Thumbnails", "Show the pictures as thumbnails", K(), nullptr,
         true},
        // Files.
        {cmd::kCopyTo, "Copy To Folder...", "Copy the selected pictures to a folder", K(),
         "edit-copy", false},
        {cmd::kMoveTo, "Move To folder...", "Move the selected pictures to a folder", K(),
         "edit-cut", false},
        // Their texts get the folder when a menu is built.
        {cmd::kCopyToRecent, "&Copy To ", "Copy the selected pictures to the folder used last",
         K(), nullptr, false},
        {cmd::kMoveToRecent, "&Move To ", "Move the selected pictures to the folder used last",
         K(), nullptr, false},
        {cmd::kDelete, "&Delete", "Move the selected pictures to the trash", K(K::Delete),
         "edit-delete", false},
        {cmd::kSelectAll, "&Select all", "Select every picture", K(K::SelectAll),
         "edit-select-all", false},
        {cmd::kInvertSelection, "&Invert Selection", "Select the pictures not selected", K(),
         nullptr, false},
        // The desktop.
        {cmd::kWallpaperButton, "Desktop Wallpaper", "Desktop Wallpaper", K(),
         "preferences-desktop-wallpaper", false},
        {cmd::kWallpaperTiled, "Tiled", "Tile the picture on the desktop", K(), nullptr, false},
        {cmd::kWallpaperFull, "Full screen", "Stretch the picture over the desktop", K(), nullptr,
         false},
        {cmd::kWallpaperRestore, "Restore", "Bring back the wallpaper you had", K(), nullptr,
         false},
        {cmd::kNewCategory, "&New Category", "Make a category below the one selected", K(),
         "folder-new", false},
        {cmd::kFindDuplicates, "Find &Duplicates...",
         "Find the same picture saved more than once, and pictures that look alike", K(),
         "edit-find-replace", false},
    };
}

}  // namespace

const QList<CommandSpec>& CCommandTable::Specs() const {
    static const QList<CommandSpec> specs = MakeSpecs();
    return specs;
}

QIcon CCommandTable::Icon(const char* name) {
    if (!name) return {};
    const QString own = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    QIcon fallback = QFile::exists(own) ? QIcon(own) : QIcon();
    return QIcon::fromTheme(QLatin1String(name), fallback);
}

CCommandTable::CCommandTable(QObject* parent) : QObject(parent) {
    InitIconResources();
    for (const CommandSpec& s : Specs()) {
        auto* a = new QAction(Icon(s.iconName), tr(s.text), this);
        a->setObjectName(QStringLiteral("action%1").arg(s.id));
        a->setToolTip(tr(s.toolTip));
        a->setStatusTip(tr(s.toolTip));
        a->setCheckable(s.checkable);
        if (!s.shortcut.isEmpty()) a->setShortcut(s.shortcut);
        const int id = s.id;
        connect(a, &QAction::triggered, this, [this, id] { emit Triggered(id); });
        actions_.insert(id, a);
    }
}

QAction* CCommandTable::Action(int id) const { return actions_.value(id, nullptr); }

}  // namespace pq
