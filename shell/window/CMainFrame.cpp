#include "shell/window/CMainFrame.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <ctime>

#include "browse/CCopyMoveDialog.h"
#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "browse/CSearchimagelist.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "browse/FileRecord.h"
#include "browse/ViewPort.h"
#include "browse/Wallpaper.h"
#include "engine/SearchService.h"
#include "shell/CPelquinarApp.h"
#include "shell/FrameRules.h"
#include "shell/window/CAdvancedSearchDialogs.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/COptionsSheet.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CStatusPanes.h"
#include "shell/window/CommandIds.h"

namespace pq {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Pane texts of a fresh search layout: the three counters at 0.
std::array<QString, 6> FreshSearchTexts() {
    return {QStringLiteral("Page Searched:0    "),
            QStringLiteral("Image Found:0    "),
            QStringLiteral("Image Download:0    "),
            QString(),
            QString(),
            QString()};
}

}  // namespace

CMainFrame::CMainFrame(CPelquinarApp& app, QWidget* parent)
    : QMainWindow(parent), app_(app), ui_(nullptr) {
    setObjectName("mainFrame");
    setWindowTitle(QLatin1String(kTitle));
    CFileRecord::SetExtraTypes(app_.bPng, app_.bWebp);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("pelquinar"),
                                   QIcon(QStringLiteral(":/icons/pelquinar.svg"))));
    doc_ = std::make_unique<CPelquinarDoc>(state_, ui_);
    commands_ = std::make_unique<CSearchCommands>(app_, state_, *doc_);

    table_ = new CCommandTable(this);
    connect(table_, &CCommandTable::Triggered, this, &CMainFrame::Run);

    layout_ = new CPaneLayout(this);
    setCentralWidget(layout_);
    imageList_ = new CImagelist(app_.listMode, layout_);
    imageList_->SetUserAgent(ServiceUserAgent(app_.contact));
    searchList_ = new CSearchimagelist(app_.sListMode, state_, layout_);
    layout_->SetLists(imageList_, searchList_);
    for (CPictureListView* v : {static_cast<CPictureListView*>(imageList_),
                                static_cast<CPictureListView*>(searchList_)}) {
        v->SetThumbSize(QSize(app_.thumbWidth, app_.thumbHeight));
        v->SetThumbnailCache(app_.bThumbCache);
        connect(v, &CPictureListView::PictureChosen, this,
                [this, v](const QString&, int row, int count) {
                    if (v != ActiveList()) return;
                    listCount_ = count;
                    ShowRow(row);
                });
        connect(&v->List(), &CThumbList::ContextMenuWanted, this,
                [this, v](const QPoint& at) { ShowListMenu(v, at); });
        connect(v->List().Selection(), &QItemSelectionModel::selectionChanged, this,
                &CMainFrame::UpdateCommands);
    }
    preview_ = new CImgContainerWnd(layout_);
    layout_->SetPreview(preview_);
    connect(preview_->Picture(), &CPictureWnd::DoubleClicked, this,
            [this] { Run(layout_->FullView() ? cmd::kBrowse : cmd::kFullScreen); });
    connect(preview_->Picture(), &CPictureWnd::Loaded, this, &CMainFrame::UpdateCommands);
    tree_ = new Ctreemanage(app_.startDirectory, app_.dirCreate, layout_);
    layout_->SetTree(tree_);
    history_ = new Chistorylist(layout_);
    layout_->SetHistoryList(history_);
    connect(tree_, &Ctreemanage::FolderChosen, this, [this](const QString& folder) {
        layout_->SetManageList(false);
        imageList_->ShowFolder(folder);
        UpdateCommands();
    });
    connect(tree_, &Ctreemanage::HistoryChosen, this, &CMainFrame::ShowHistory);
    connect(tree_, &Ctreemanage::FilesDropped, this,
            [this](const QStringList& files, const QString& folder, bool copy) {
                imageList_->CopyFiles(files, folder, !copy);
            });
    connect(history_, &Chistorylist::ProjectActivated, this, &CMainFrame::OpenProject);
    connect(history_, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
    connect(history_, &Chistorylist::ProjectsDeleted, this, &CMainFrame::ForgetProjects);
    slideTimer_ = new QTimer(this);
    connect(slideTimer_, &QTimer::timeout, this, &CMainFrame::OnSlideTick);
    connect(this, &CMainFrame::ThumbnailSizeChanged, this, [this](int w, int h) {
        imageList_->SetThumbSize(QSize(w, h));
        searchList_->SetThumbSize(QSize(w, h));
    });
    panes_ = new CStatusPanes(statusBar());
    statusBar()->setObjectName("statusBar");

    BuildMenus();
    BuildToolbars();

    clock_ = new QTimer(this);
    clock_->setInterval(kClockMs);
    connect(clock_, &QTimer::timeout, this, &CMainFrame::OnClockTick);
    for (QTimer** t : {&endTimer38_, &endTimer48_}) {
        *t = new QTimer(this);
        (*t)->setSingleShot(true);
        connect(*t, &QTimer::timeout, this, &CMainFrame::OnSearchEnded);
    }
    ConnectEngine();

    auto* focusAddress = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(focusAddress, &QShortcut::activated, this, [this] { searchBar_->FocusAddress(); });

    // As the window opens: the preview where it was, the manage layout, the
    // counters at 0 and "http://" in the address box.
    layout_->SetPlacement(CPaneLayout::PlacementFromName(app_.winMode));
    searchTexts_ = FreshSearchTexts();
    SetManageLayout();
    searchBar_->SetMode(app_.searchMode);
    RefreshHistoryLists();
    searchBar_->SetAddressText("http://");
    panes_->SetText(4, tr("Ready"));
    SetDesktopWallpaper(IDesktopWallpaper::ForThisDesktop(), CWallpaper::DefaultFile());
    // The browser opens on the searches made so far, not on an empty pane.
    tree_->setCurrentItem(tree_->HistoryItem(QStringLiteral("web")));
}

CMainFrame::~CMainFrame() {
    // The job's threads report through ui_: they end before anything goes.
    doc_->EndSearch();
}

QAction* CMainFrame::Action(int id) const { return table_->Action(id); }

void CMainFrame::BuildMenus() {
    auto add = [this](QMenu* m, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else
                m->addAction(table_->Action(id));
        }
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName("menuBar");
    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName("fileMenu");
    add(file, {cmd::kNewCategory, 0, cmd::kExit});
    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->setObjectName("editMenu");
    add(edit,
        {cmd::kCopyTo, cmd::kMoveTo, cmd::kDelete, 0, cmd::kSelectAll, cmd::kInvertSelection});
    QMenu* view = bar->addMenu(tr("&View"));
    view->setObjectName("viewMenu");
    add(view, {cmd::kToolbar, cmd::kUrlBar, 0, cmd::kLayoutSearch, cmd::kLayoutDownload,
               cmd::kLayoutManage, 0});
    QMenu* preview = view->addMenu(tr("&Preview"));
    preview->setObjectName("previewMenu");
    add(preview, {cmd::kPreviewLeft, cmd::kPreviewMiddle, cmd::kPreviewRight});
    add(view,
        {cmd::kFullScreen, cmd::kBrowse, 0, cmd::kViewIcon, cmd::kViewSmallIcon, cmd::kViewList,
         cmd::kViewReport, cmd::kViewThumbnails, 0, cmd::kPreviousImage, cmd::kNextImage,
         cmd::kSlideShow, 0, cmd::kActualSize, cmd::kBestFit, cmd::kZoomIn, cmd::kZoomOut});
    QMenu* search = bar->addMenu(tr("&Search"));
    search->setObjectName("searchMenu");
    add(search, {cmd::kGo, cmd::kStop, cmd::kContinue, 0, cmd::kAdvancedSearch, cmd::kKeywordsMode,
                 cmd::kWebMode, 0, cmd::kGetBigPictures});
    QMenu* tools = bar->addMenu(tr("&Tools"));
    tools->setObjectName("toolsMenu");
    add(tools, {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore, 0,
                cmd::kClearHistory, 0, cmd::kOptions});
    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName("helpMenu");
    add(help, {cmd::kContents, cmd::kHomePage, 0, cmd::kAbout});
    // The rules run again whenever a menu is about to show.
    for (QMenu* m : {file, edit, view, preview, search, tools, help})
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
}

void CMainFrame::BuildToolbars() {
    toolbar_ = addToolBar(tr("Toolbar"));
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(22, 22));
    for (int id : std::initializer_list<int>{
             cmd::kLayoutSearch, cmd::kLayoutDownload, cmd::kLayoutManage, 0, cmd::kStop, 0,
             cmd::kPreviousImage, cmd::kNextImage, cmd::kSlideShow, 0, cmd::kBestFit,
             cmd::kActualSize, cmd::kZoomIn, cmd::kZoomOut, cmd::kFullScreen, 0, cmd::kOptions}) {
        if (id == 0)
            toolbar_->addSeparator();
        else
            toolbar_->addAction(table_->Action(id));
    }

    // The top bar: two tabs that switch between searching and browsing, and
    // Continue for the project selected in the history.
    topBar_ = addToolBar(tr("Top bar"));
    topBar_->setObjectName("topBar");
    topBar_->setMovable(false);
    topBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto tab = [this](const char* name, const QString& text, int id) {
        auto* b = new QToolButton(topBar_);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAccessibleName(text);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        connect(b, &QToolButton::clicked, this, [this, id] { Run(id); });
        topBar_->addWidget(b);
        return b;
    };
    searchTab_ = tab("searchTab", tr("Search"), cmd::kLayoutSearch);
    browserTab_ = tab("browserTab", tr("Browser"), cmd::kLayoutManage);
    topBar_->addSeparator();
    topBar_->addAction(table_->Action(cmd::kContinue));
    if (auto* w = topBar_->widgetForAction(table_->Action(cmd::kContinue)))
        w->setObjectName("continueButton");

    addToolBarBreak();
    searchToolbar_ = addToolBar(tr("URL bar"));
    searchToolbar_->setObjectName("urlBar");
    searchToolbar_->setMovable(false);
    searchBar_ = new CSearchBar(searchToolbar_);
    searchToolbar_->addWidget(searchBar_);
    connect(searchBar_, &CSearchBar::SwitchClicked, this, [this] { Run(cmd::kSwitch); });
    connect(searchBar_, &CSearchBar::GoClicked, this, [this] { Run(cmd::kKeywordsSearch); });
    connect(searchBar_, &CSearchBar::AdvancedClicked, this, [this] { Run(cmd::kAdvancedSearch); });
    connect(searchBar_, &CSearchBar::WebSearchRequested, this, [this] { Run(cmd::kGo); });
    connect(searchBar_, &CSearchBar::KeywordSearchRequested, this,
            [this] { Run(cmd::kKeywordsSearch); });
    connect(searchBar_, &CSearchBar::HistoryRequested, this, [this](const QString& address) {
        // The earlier searches of that address, in the history list.
        History(QStringLiteral("this"));
        SetDownloadLayout();
        history_->SetEntries(store::ProjectsOf(dateGroups_, address.toStdString(), false),
                             QString());
    });
    for (QToolBar* t : {toolbar_, topBar_, searchToolbar_})
        connect(t, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommands);
}

void CMainFrame::ConnectEngine() {
    // Every engine call arrives here queued, on this thread.
    const auto q = Qt::QueuedConnection;
    connect(&ui_, &CFrameSearchUi::PaneText, this, &CMainFrame::OnPaneText, q);
    connect(
        &ui_, &CFrameSearchUi::TimerStart, this,
        [this](int id) {
            if (id == ISearchUi::kClockTimer)
                clock_->start();
            else
                panes_->StartTimer(id);
        },
        q);
    connect(
        &ui_, &CFrameSearchUi::TimerStop, this,
        [this](int id) {
            if (id == ISearchUi::kClockTimer)
                clock_->stop();
            else
                panes_->StopTimer(id);
            UpdateCommands();
        },
        q);
    connect(
        &ui_, &CFrameSearchUi::StatusMessage, this,
        [this](const QString& text) { panes_->SetText(4, text); }, q);
    connect(&ui_, &CFrameSearchUi::Ended, this, &CMainFrame::OnSearchEnded, q);
    connect(&ui_, &CFrameSearchUi::HistoryEntry, this, &CMainFrame::OnHistoryEntry, q);
    connect(
        &ui_, &CFrameSearchUi::Saved, this, [this](int) { searchList_->OnPicturesSaved(); }, q);
    connect(&ui_, &CFrameSearchUi::DownloadsDone, this, &CMainFrame::OnDownloadsEnded, q);
    connect(
        &ui_, &CFrameSearchUi::Error, this, [this](const QString& m) { ShowMessage(m); }, q);
    // What a search left out is no reason for a message box: it shows in the
    // status bar for a while (its whole text in the tool tip).
    connect(
        &ui_, &CFrameSearchUi::LogLine, this,
        [this](const QString& line) { statusBar()->showMessage(line, 10000); }, q);
}

void CMainFrame::UpdateCommands() {
    auto set = [this](int id, bool enabled, int checked = -1) {
        QAction* a = table_->Action(id);
        a->setEnabled(enabled);
        if (checked >= 0) a->setChecked(checked != 0);
    };
    const bool searching = Searching();
    const auto layout = layout_->CurrentLayout();
    const auto placement = layout_->CurrentPlacement();
    const bool full = layout_->FullView();
    set(cmd::kStop, searching);
    // Continue needs exactly one project selected in the history list.
    set(cmd::kContinue, !searching && history_->SelectedFolders().size() == 1 &&
                            layout_->CurrentList() == history_);
    set(cmd::kKeywordsMode, true, searchBar_->KeywordMode());
    set(cmd::kWebMode, true, !searchBar_->KeywordMode());
    set(cmd::kLayoutSearch, true, layout == CPaneLayout::Layout::kSearch);
    set(cmd::kLayoutDownload, true, layout == CPaneLayout::Layout::kDownload);
    set(cmd::kLayoutManage, true, layout == CPaneLayout::Layout::kManage);
    set(cmd::kPreviewLeft, true, placement == CPaneLayout::Placement::kLeft);
    set(cmd::kPreviewMiddle, true, placement == CPaneLayout::Placement::kMiddle);
    set(cmd::kPreviewRight, true, placement == CPaneLayout::Placement::kRight);
    set(cmd::kFullScreen, layout != CPaneLayout::Layout::kDownload || full, full);
    set(cmd::kBrowse, full);
    set(cmd::kToolbar, true, toolbar_->isVisibleTo(this) || (full && toolbarsBeforeFullView_[0]));
    set(cmd::kUrlBar, true,
        searchToolbar_->isVisibleTo(this) || (full && toolbarsBeforeFullView_[2]));
    set(cmd::kClearHistory, !app_.history.empty() || !searchBar_->AddressText().empty());
    CPictureListView* list = ActiveList();
    const int rows = list->List().Model().rowCount();
    const bool anySelected = !list->List().SelectedRows().isEmpty();
    const std::string& mode = list->Mode();
    set(cmd::kViewIcon, true, mode == "icon");
    set(cmd::kViewSmallIcon, true, mode == "smallicon");
    set(cmd::kViewList, true, mode == "list");
    set(cmd::kViewReport, true, mode == "report");
    set(cmd::kViewThumbnails, true, mode == "smallbmp");
    set(cmd::kSelectAll, rows > 0);
    set(cmd::kInvertSelection, rows > 0);
    set(cmd::kGetBigPictures, anySelected);
    const int cursor = listCursor_ < rows ? listCursor_ : -1;
    set(cmd::kPreviousImage, cursor > 0);
    set(cmd::kNextImage, rows > 0 && cursor < rows - 1);
    set(cmd::kSlideShow, rows >= 2 || SlideShowRunning(), SlideShowRunning());
    const bool picture = !preview_->Picture()->PictureSize().isEmpty();
    set(cmd::kZoomIn, picture && viewport::CanZoomIn(zoom_));
    set(cmd::kZoomOut, picture && viewport::CanZoomOut(zoom_));
    set(cmd::kActualSize, picture && zoom_ != 1.0f);
    set(cmd::kBestFit, picture && zoom_ != viewport::kBestFit);
    // Files are copied, moved and deleted from the browsing list only.
    const bool browsing = list == imageList_;
    set(cmd::kCopyTo, browsing && anySelected);
    set(cmd::kMoveTo, browsing && anySelected);
    set(cmd::kDelete, browsing && anySelected);
    set(cmd::kWallpaperTiled, wallpaperAvailable_ && picture);
    set(cmd::kWallpaperFull, wallpaperAvailable_ && picture);
    set(cmd::kWallpaperRestore, wallpaperAvailable_);
    set(cmd::kNewCategory, Ctreemanage::IsCategory(tree_->currentItem()));
    searchTab_->setChecked(layout == CPaneLayout::Layout::kSearch);
    browserTab_->setChecked(layout == CPaneLayout::Layout::kManage);
}

void CMainFrame::Run(int id) {
    switch (id) {
        case cmd::kGo:
            Go();
            break;
        case cmd::kKeywordsSearch:
            KeywordsSearch();
            break;
        case cmd::kAdvancedSearch:
            AdvancedSearch();
            break;
        case cmd::kStop:
            Stop();
            break;
        case cmd::kKeywordsMode:
            SetSearchMode("searchkey");
            break;
        case cmd::kWebMode:
            SetSearchMode("searchweb");
            break;
        case cmd::kSwitch:
            SetSearchMode(searchBar_->KeywordMode() ? "searchweb" : "searchkey");
            break;
        case cmd::kLayoutSearch:
            SetSearchLayout();
            break;
        case cmd::kLayoutManage:
            SetManageLayout();
            break;
        case cmd::kLayoutDownload:
            SetDownloadLayout();
            break;
        case cmd::kPreviewLeft:
            SetPlacement(CPaneLayout::Placement::kLeft);
            break;
        case cmd::kPreviewMiddle:
            SetPlacement(CPaneLayout::Placement::kMiddle);
            break;
        case cmd::kPreviewRight:
            SetPlacement(CPaneLayout::Placement::kRight);
            break;
        case cmd::kFullScreen:
            SetFullView(!layout_->FullView());
            break;
        case cmd::kBrowse:
            SetFullView(false);
            break;
        case cmd::kOptions:
            ShowOptions();
            break;
        case cmd::kContents:
            OpenHelp();
            break;
        case cmd::kHomePage:
            QDesktopServices::openUrl(QUrl(QLatin1String(kHomePage)));
            break;
        case cmd::kClearHistory:
            ClearHistoryAddress();
            break;
        case cmd::kToolbar:
            toolbar_->setVisible(!toolbar_->isVisible());
            topBar_->setVisible(toolbar_->isVisible());
            break;
        case cmd::kUrlBar:
            searchToolbar_->setVisible(!searchToolbar_->isVisible());
            break;
        case cmd::kAbout:
            About();
            break;
        case cmd::kExit:
            close();
            break;
        case cmd::kViewIcon:
            SetListMode("icon");
            break;
        case cmd::kViewSmallIcon:
            SetListMode("smallicon");
            break;
        case cmd::kViewList:
            SetListMode("list");
            break;
        case cmd::kViewReport:
            SetListMode("report");
            break;
        case cmd::kViewThumbnails:
            SetListMode("smallbmp");
            break;
        case cmd::kSelectAll:
            ActiveList()->List().SelectAll();
            break;
        case cmd::kInvertSelection:
            ActiveList()->List().InvertSelection();
            break;
        case cmd::kPreviousImage:
            if (listCursor_ > 0) ShowRow(listCursor_ - 1);
            break;
        case cmd::kNextImage:
            if (listCursor_ < ActiveList()->List().Model().rowCount() - 1) ShowRow(listCursor_ + 1);
            break;
        case cmd::kZoomIn:
            SetZoom(viewport::ZoomIn(zoom_, preview_->Picture()->EffectiveZoom()));
            break;
        case cmd::kZoomOut:
            SetZoom(viewport::ZoomOut(zoom_, preview_->Picture()->EffectiveZoom()));
            break;
        case cmd::kActualSize:
            SetZoom(1.0f);
            break;
        case cmd::kBestFit:
            SetZoom(viewport::kBestFit);
            break;
        case cmd::kSlideShow:
            ToggleSlideShow();
            break;
        case cmd::kCopyTo:
        case cmd::kMoveTo: {
            const bool copy = id == cmd::kCopyTo;
            CCopyMoveDialog dialog(copy, imageList_->List().Folder(), app_.items, this);
            if (dialog.exec() == QDialog::Accepted)
                imageList_->CopySelection(dialog.Destination(), !copy);
            break;
        }
        case cmd::kDelete:
            imageList_->DeleteSelection();
            break;
        case cmd::kContinue:
            ContinueProject();
            break;
        case cmd::kNewCategory: {
            QTreeWidgetItem* item = tree_->currentItem();
            if (!Ctreemanage::IsCategory(item)) break;
            bool ok = false;
            const QString name = QInputDialog::getText(
                this, tr("New Category"), tr("Category Name:"), QLineEdit::Normal, QString(), &ok);
            if (!ok || name.isEmpty()) break;
            const QString problem = tree_->NewCategory(item, name);
            if (!problem.isEmpty()) ShowMessage(problem);
            break;
        }
        case cmd::kWallpaperTiled:
            if (!wallpaper_->SetTiled(preview_->Picture()->Path()))
                ShowMessage(wallpaper_->Problem());
            break;
        case cmd::kWallpaperFull:
            if (!wallpaper_->SetFullScreen(preview_->Picture()->Path()))
                ShowMessage(wallpaper_->Problem());
            break;
        case cmd::kWallpaperRestore:
            if (!wallpaper_->Restore()) ShowMessage(wallpaper_->Problem());
            break;
        case cmd::kGetBigPictures:
            if (ActiveList() == searchList_)
                searchList_->GetBigPictures();
            else
                imageList_->GetBigPictures();
            break;
        default:
            break;
    }
    UpdateCommands();
}

CPictureListView* CMainFrame::ActiveList() const {
    if (layout_->CurrentLayout() == CPaneLayout::Layout::kSearch) return searchList_;
    return imageList_;
}

void CMainFrame::SetDesktopWallpaper(std::unique_ptr<IDesktopWallpaper> desktop,
                                     const QString& file) {
    desktop_ = std::move(desktop);
    wallpaper_ = std::make_unique<CWallpaper>(
        desktop_.get(),
        PreviousWallpaper{app_.prevWallpaper, app_.prevTileWallpaper, app_.prevWallpaperStyle},
        file);
    // Asked once: the answer comes from running the desktop's own tool.
    wallpaperAvailable_ = wallpaper_->Available();
    const QString why = wallpaperAvailable_
                            ? QString()
                            : tr(" (not on this desktop: %1)")
                                  .arg(qEnvironmentVariable("XDG_CURRENT_DESKTOP", tr("unknown")));
    for (int id : {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore}) {
        QAction* a = table_->Action(id);
        for (const CommandSpec& spec : table_->Specs())
            if (spec.id == id) a->setToolTip(tr(spec.toolTip) + why);
    }
    UpdateCommands();
}

void CMainFrame::ShowRow(int row) {
    // The picture of that row in the preview; the list's selection stays.
    const auto& model = ActiveList()->List().Model();
    listCursor_ = row;
    listCount_ = model.rowCount();
    const QString path = model.PathOf(row);
    if (path != preview_->Picture()->Path()) preview_->Picture()->Show(path);
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        panes_->SetText(5, viewport::StatusText(info.fileName(), info.size(), row, listCount_));
    }
    UpdateCommands();
}

void CMainFrame::SetZoom(float zoom) {
    zoom_ = zoom;
    ApplyView();
}

void CMainFrame::ApplyView() {
    preview_->Picture()->SetView(
        zoom_, layout_->FullView() ? QColor(Qt::black) : palette().color(QPalette::Button));
    UpdateCommands();
}

bool CMainFrame::SlideShowRunning() const { return slideTimer_->isActive(); }

int CMainFrame::SlideShowIntervalMs() const { return slideTimer_->interval(); }

void CMainFrame::ToggleSlideShow() {
    if (slideTimer_->isActive()) {
        slideTimer_->stop();
    } else {
        slideTimer_->start(std::max(1, app_.slideDelay) * 1000);
    }
}

void CMainFrame::OnSlideTick() {
    CPictureListView* view = ActiveList();
    CThumbList& list = view->List();
    const int count = list.Model().rowCount();
    if (count == 0) return;
    const bool search = view == searchList_;
    int index = listCursor_ + 1;
    // The browsing list wraps; the search's list waits at its last row for
    // the pictures still to come.
    if (index >= count) index = search ? count - 1 : 0;
    const QModelIndex at = list.Model().index(index, 0);
    list.Selection()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    list.Selection()->select(at, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QAbstractItemView* v = list.CurrentView();
    const int columns = std::max(1, v->viewport()->width() / std::max(1, app_.thumbWidth + 20));
    const int step =
        viewport::SlideStep(v->viewport()->width(), QSize(app_.thumbWidth, app_.thumbHeight),
                            v->fontMetrics().height());
    // The list moves on by one row's share for each step, and never leaves
    // the current row out of view (after a wrap it goes back to the top).
    if (search || index > columns)
        v->verticalScrollBar()->setValue(v->verticalScrollBar()->value() + step);
    v->scrollTo(at, QAbstractItemView::EnsureVisible);
    if (list.SelectedRows().size() <= 1)
        ShowRow(index);
    else
        listCursor_ = index;
}

void CMainFrame::SetListMode(const std::string& mode) { ActiveList()->SetMode(mode); }

void CMainFrame::ShowListMenu(CPictureListView* view, const QPoint& at) {
    QMenu menu(this);
    menu.setObjectName("listMenu");
    if (view == searchList_) {
        // The search's list offers only its big pictures, for keyword searches.
        if (!state_.keywordFlag.load()) return;
        menu.addAction(tr("&Select all thumbnails"))->setEnabled(false);
        menu.addAction(tr("&Unselect all thumbnails"))->setEnabled(false);
        menu.addAction(table_->Action(cmd::kGetBigPictures));
    } else {
        if (!app_.items.empty()) {
            // Straight to the folder used last, without the dialog.
            const QString dest = Q(app_.items.front());
            const bool any = !imageList_->List().SelectedRows().isEmpty();
            QAction* copy = menu.addAction(tr("&Copy To '%1'").arg(dest));
            QAction* move = menu.addAction(tr("&Move To '%1'").arg(dest));
            copy->setEnabled(any);
            move->setEnabled(any);
            connect(copy, &QAction::triggered, this,
                    [this, dest] { imageList_->CopySelection(dest, false); });
            connect(move, &QAction::triggered, this,
                    [this, dest] { imageList_->CopySelection(dest, true); });
        }
        for (int id : std::initializer_list<int>{cmd::kCopyTo, cmd::kMoveTo, 0, cmd::kDelete,
                                                 cmd::kSelectAll, cmd::kInvertSelection,
                                                 cmd::kGetBigPictures}) {
            if (id == 0)
                menu.addSeparator();
            else
                menu.addAction(table_->Action(id));
        }
        QMenu* wallpaper = menu.addMenu(tr("Set &Wallpaper"));
        for (int id : {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore})
            wallpaper->addAction(table_->Action(id));
        QMenu* modes = menu.addMenu(tr("View"));
        for (int id : {cmd::kViewIcon, cmd::kViewSmallIcon, cmd::kViewList, cmd::kViewReport,
                       cmd::kViewThumbnails})
            modes->addAction(table_->Action(id));
    }
    UpdateCommands();
    menu.exec(at);
}

void CMainFrame::ShowMessage(const QString& text) {
    emit MessageShown(text);
    if (qEnvironmentVariableIsSet("PELQUINAR_NO_MESSAGE_BOXES")) return;
    QMessageBox::information(this, QLatin1String("Pelquinar"), text);
}

void CMainFrame::Go() {
    std::string address = CSearchCommands::TrimAddress(searchBar_->AddressText());
    searchBar_->SetAddressText(address);
    if (address.empty() || address == "http://") return;
    const std::string problem = CSearchCommands::AddressProblem(address);
    if (!problem.empty()) {
        ShowMessage(Q(problem));
        return;
    }
    SearchBarText bar{address, searchBar_->KeywordText(), searchBar_->EngineText()};
    SearchStart s = commands_->WebSearch(bar);
    if (!s.message.empty()) ShowMessage(Q(s.message));
    OnSearchStarted(s);
}

void CMainFrame::KeywordsSearch() {
    if (!searchBar_->KeywordMode()) {
        Go();
        return;
    }
    SearchBarText bar{searchBar_->AddressText(), searchBar_->KeywordText(),
                      searchBar_->EngineText()};
    if (CSearchCommands::TrimKeywords(bar.keywords).empty()) {
        ShowMessage(QLatin1String(CSearchCommands::kNoKeywords));
        return;
    }
    SearchStart s = commands_->KeywordSearch(bar);
    if (!s.message.empty()) ShowMessage(Q(s.message));
    OnSearchStarted(s);
}

void CMainFrame::AdvancedSearch() {
    if (searchBar_->KeywordMode()) {
        CAdvancedKeyDialog dialog(Q(searchBar_->KeywordText()), app_.bThum, app_.bBig, this,
                                  Q(searchBar_->EngineText()));
        if (dialog.exec() != QDialog::Accepted) return;
        searchBar_->SetKeywordText(dialog.Keywords());
        SearchBarText bar{searchBar_->AddressText(), dialog.Keywords(), dialog.Engine()};
        SearchStart s = commands_->AdvancedKeywordSearch(bar, dialog.Thumbnails(), dialog.Big());
        if (!s.message.empty()) ShowMessage(Q(s.message));
        OnSearchStarted(s);
        return;
    }
    std::string address = CSearchCommands::TrimAddress(searchBar_->AddressText());
    if (address == "http://") address.clear();
    AdvancedWebOptions initial;
    std::string message;
    SearchBarText bar{address, "", ""};
    initial.projectName = commands_->MakeProjectName(bar, commands_->WebBaseFolder(), message);
    initial.depth = std::clamp(app_.maxLevels, 0, int(CPelquinarApp::kMaxDepth));
    initial.jpg = app_.bJpg;
    initial.gif = app_.bGif;
    initial.bmp = app_.bBmp;
    initial.png = app_.bPng;
    initial.webp = app_.bWebp;
    initial.minKb = app_.imageMinSize;
    initial.maxKb = app_.imageMaxSize;
    if (!message.empty()) {
        ShowMessage(Q(message));
        return;
    }
    const std::string problem = CSearchCommands::AddressProblem(address);
    if (!problem.empty()) {
        ShowMessage(Q(problem));
        return;
    }
    CAdvancedWebDialog dialog(initial, this);
    if (dialog.exec() != QDialog::Accepted) return;
    SearchStart s = commands_->AdvancedWebSearch(bar, dialog.Options());
    // The dialog's types are the new defaults, the lists' types with them.
    CFileRecord::SetExtraTypes(app_.bPng, app_.bWebp);
    if (!s.message.empty()) ShowMessage(Q(s.message));
    OnSearchStarted(s);
}

std::vector<store::HistoryEntry> CMainFrame::History(const QString& key) {
    const std::string web = commands_->WebBaseFolder(), kw = commands_->KeyBaseFolder();
    if (key == "web") {
        if (!webBuilt_) webHistory_ = store::BuildSearchHistory(web);
        webBuilt_ = true;
        return webHistory_;
    }
    if (key == "key") {
        if (!keyBuilt_) keyHistory_ = store::BuildSearchHistory(kw);
        keyBuilt_ = true;
        return keyHistory_;
    }
    if (!dateGroupsBuilt_) dateGroups_ = store::BuildDateGroups({web, kw}, std::time(nullptr));
    dateGroupsBuilt_ = true;
    const store::DateGroup g = key == "last"    ? store::DateGroup::kLastMonth
                               : key == "befor" ? store::DateGroup::kBeforeLastMonth
                                                : store::DateGroup::kThisMonth;
    // Newest first, as the lists are read.
    std::vector<store::HistoryEntry> list(dateGroups_.Of(g).rbegin(), dateGroups_.Of(g).rend());
    return list;
}

void CMainFrame::ShowHistory(const QString& key) {
    history_->SetEntries(History(key), key);
    if (layout_->CurrentLayout() == CPaneLayout::Layout::kManage) layout_->SetManageList(true);
    UpdateCommands();
}

void CMainFrame::ShowBrowsingList() {
    if (layout_->FullView()) SetFullView(false);
    if (layout_->CurrentLayout() != CPaneLayout::Layout::kManage) SetManageLayout();
    layout_->SetManageList(false);
    // The tree's highlight would name another list than the one shown.
    tree_->clearSelection();
    tree_->setCurrentItem(nullptr);
    UpdateCommands();
}

void CMainFrame::OpenProject(const QString& folder) {
    // A project opens in the browsing list, never over a running search's.
    if (layout_->CurrentLayout() == CPaneLayout::Layout::kSearch) return;
    if (layout_->CurrentLayout() == CPaneLayout::Layout::kDownload) SetManageLayout();
    layout_->SetManageList(false);
    imageList_->ShowFolder(folder);
    UpdateCommands();
}

void CMainFrame::ContinueProject() {
    const QStringList folders = history_->SelectedFolders();
    if (folders.size() != 1 || running_) return;
    SearchStart s = commands_->Continue(folders.first().toStdString());
    if (!s.message.empty()) ShowMessage(Q(s.message));
    OnSearchStarted(s, true);
}

void CMainFrame::OnHistoryEntry(const QString& count) {
    RefreshHistoryLists();
    const std::time_t now = std::time(nullptr);
    store::HistoryEntry e;
    e.name = current_.projectName;
    e.folder = current_.projectFolder;
    e.address = current_.startAddress;
    e.keywords = current_.keywords;
    e.date = store::DateText(now);
    e.pictures = count.toStdString();
    e.modified = now;
    const bool keyword = state_.keywordFlag.load();
    // The histories not read yet will find the project on disk.
    if (keyword ? keyBuilt_ : webBuilt_)
        store::AddToHistory(keyword ? keyHistory_ : webHistory_, e);
    if (history_->Key() == (keyword ? "key" : "web"))
        history_->SetEntries(History(history_->Key()), history_->Key());
}

void CMainFrame::ForgetProjects(const QStringList& folders) {
    auto drop = [&folders](std::vector<store::HistoryEntry>& list) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const store::HistoryEntry& e) {
                                      return folders.contains(QString::fromStdString(e.folder));
                                  }),
                   list.end());
    };
    drop(webHistory_);
    drop(keyHistory_);
    for (auto& g : dateGroups_.groups) drop(g);
    UpdateCommands();
}

void CMainFrame::OnSearchStarted(const SearchStart& s, bool continuing) {
    if (!s.started) {
        if (s.folderFailed)
            ShowMessage(tr("The project folder %1 cannot be made.").arg(Q(s.projectFolder)));
        UpdateCommands();
        return;
    }
    running_ = true;
    current_ = s;
    searchTexts_ = FreshSearchTexts();
    elapsedSeconds_ = s.elapsedSeconds;
    searchTexts_[3] = Q(frame::ElapsedText(elapsedSeconds_));
    SetSearchLayout();
    panes_->SetBarsVisible(true);
    clock_->start();
    searchList_->StartSearch(Q(s.projectFolder), continuing);
    listCursor_ = -1;
    RefreshHistoryLists();
    UpdateCommands();
}

void CMainFrame::Stop() {
    doc_->OnStop();
    running_ = false;
    clock_->stop();
    UpdateCommands();
}

void CMainFrame::OnPaneText(int pane, const QString& text) {
    // The engine's counters belong to the search layout's set, shown or not.
    if (pane < 0 || pane >= CStatusPanes::kPanes) return;
    searchTexts_[size_t(pane)] = text;
    if (lastLayout_ == "search") panes_->SetText(pane, text);
}

void CMainFrame::OnClockTick() {
    ++elapsedSeconds_;
    const std::string text = frame::ElapsedText(elapsedSeconds_);
    state_.SetElapsedText(text);
    OnPaneText(3, Q(text));
}

void CMainFrame::StartEndTimer(int id) {
    if (id == 38) endTimer38_->start(0);
    if (id == 48) endTimer48_->start(0);
}

void CMainFrame::OnSearchEnded() {
    // The crawl is over; Stop stays enabled while downloads go on.
    if (doc_->StartPageFailed()) {
        const QString why = tr("The start page failed: %1").arg(Q(doc_->StartPageError()));
        searchTexts_[4] = why;
        panes_->SetText(4, why);
    }
    if (layoutText_ == "search") layoutText_ = "nosearch";
    searchBar_->SetLayoutState("nosearch");
    UpdateCommands();
}

void CMainFrame::OnDownloadsEnded() {
    running_ = false;
    // The history entry made when the crawl ended counted the pictures saved
    // by then; now all are in.
    for (auto* history : {&webHistory_, &keyHistory_})
        for (auto& e : *history)
            if (e.folder == current_.projectFolder)
                e.pictures = std::to_string(state_.DownloadedCount());
    // The list shown is brought up to date where it stands.
    if (history_->Key() == "web" || history_->Key() == "key")
        history_->SetEntries(History(history_->Key()), history_->Key());
    searchList_->OnPicturesSaved();
    // The browsing list shows the finished project.
    imageList_->List().ShowFolder(Q(state_.ProjectFolder()), true, true);
    for (int id : {ISearchUi::kPageTimer, ISearchUi::kFoundTimer, ISearchUi::kDownloadTimer})
        panes_->StopTimer(id);
    clock_->stop();
    UpdateCommands();
}

void CMainFrame::SwitchPaneTexts(const std::string& to) {
    const std::string set = to == "search" ? "search" : "manage";
    if (set == lastLayout_) return;
    if (lastLayout_ == "search")
        searchTexts_ = panes_->Texts();
    else
        manageTexts_ = panes_->Texts();
    panes_->SetTexts(set == "search" ? searchTexts_ : manageTexts_);
    lastLayout_ = set;
}

void CMainFrame::SetSearchLayout() {
    layoutText_ = "search";
    searchBar_->SetLayoutState("search");
    app_.tabMode = "search";
    SwitchPaneTexts("search");
    panes_->SetBarsVisible(true);
    layout_->SetLayout(CPaneLayout::Layout::kSearch);
}

void CMainFrame::SetManageLayout() {
    if (layout_->FullView()) SetFullView(false);
    layoutText_ = "manage";
    searchBar_->SetLayoutState("nosearch");
    SwitchPaneTexts("manage");
    layout_->SetLayout(CPaneLayout::Layout::kManage);
    app_.tabMode = "manage";
    panes_->SetBarsVisible(false);
}

void CMainFrame::SetDownloadLayout() {
    if (layout_->FullView()) SetFullView(false);
    layoutText_ = "download";
    searchBar_->SetLayoutState("nosearch");
    SwitchPaneTexts("download");
    panes_->SetBarsVisible(false);
    layout_->SetLayout(CPaneLayout::Layout::kDownload);
}

void CMainFrame::SetPlacement(CPaneLayout::Placement p) {
    if (layout_->FullView()) SetFullView(false);
    layout_->SetPlacement(p);
    app_.winMode = CPaneLayout::PlacementName(p);
}

void CMainFrame::SetFullView(bool on) {
    if (on == layout_->FullView()) return;
    QToolBar* bars[3] = {toolbar_, topBar_, searchToolbar_};
    if (on) {
        statesBeforeFullView_ = windowState();
        for (int i = 0; i < 3; ++i) toolbarsBeforeFullView_[i] = bars[i]->isVisibleTo(this);
        for (QToolBar* b : bars) b->hide();
        menuBar()->hide();
        statusBar()->hide();
        layout_->SetFullView(true);
        setWindowState(windowState() | Qt::WindowFullScreen);
        zoom_ = viewport::kBestFit;
        ApplyView();
    } else {
        layout_->SetFullView(false);
        for (int i = 0; i < 3; ++i) bars[i]->setVisible(toolbarsBeforeFullView_[i]);
        menuBar()->show();
        statusBar()->show();
        setWindowState(statesBeforeFullView_);
        zoom_ = viewport::kBestFit;
        ApplyView();
    }
}

void CMainFrame::SetSearchMode(const std::string& mode) {
    app_.searchMode = mode;
    searchBar_->SetMode(mode);
}

void CMainFrame::RefreshHistoryLists() {
    searchBar_->SetAddressHistory(app_.history);
    searchBar_->SetKeywordHistory(app_.keywords);
}

void CMainFrame::ClearHistoryAddress() {
    app_.history.clear();
    searchBar_->SetAddressHistory(app_.history);
    searchBar_->SetAddressText("");
}

void CMainFrame::ShowOptions() {
    COptionsSheet sheet(app_, this);
    if (sheet.exec() != QDialog::Accepted) return;
    imageList_->SetThumbnailCache(app_.bThumbCache);
    searchList_->SetThumbnailCache(app_.bThumbCache);
    emit ThumbnailSizeChanged(app_.thumbWidth, app_.thumbHeight);
}

QString CMainFrame::HelpPage() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + "/help/index.html", dir + "/../share/pelquinar/help/index.html",
          QStringLiteral("/usr/share/pelquinar/help/index.html")}) {
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void CMainFrame::OpenHelp() {
    const QString page = HelpPage();
    QString reason;
    if (page.isEmpty())
        reason = tr("The specified file was not found.");
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        reason = tr("No program to show %1 was found.").arg(page);
    if (!reason.isEmpty()) ShowMessage(tr("Unable to open hyperlink:\n\n") + reason);
}

void CMainFrame::About() {
    const QString text = tr("<h3>Pelquinar %1</h3><p>Finds and collects pictures on the web.</p>")
                             .arg(QCoreApplication::applicationVersion());
    emit MessageShown(text);
    if (qEnvironmentVariableIsSet("PELQUINAR_NO_MESSAGE_BOXES")) return;
    QMessageBox::about(this, tr("About Pelquinar"), text);
}

void CMainFrame::RestorePlacement() {
    QSettings s(app_.Path(), QSettings::IniFormat);
    layout_->RestoreSplitters(s);
    s.beginGroup(QStringLiteral("Window"));
    bool ok[5] = {};
    const int show = s.value(QStringLiteral("Show"), -1).toInt(&ok[0]);
    const int left = s.value(QStringLiteral("Left")).toInt(&ok[1]);
    const int top = s.value(QStringLiteral("Top")).toInt(&ok[2]);
    const int right = s.value(QStringLiteral("Right")).toInt(&ok[3]);
    const int bottom = s.value(QStringLiteral("Bottom")).toInt(&ok[4]);
    s.endGroup();
    std::vector<QRect> areas;
    for (QScreen* screen : QGuiApplication::screens()) areas.push_back(screen->availableGeometry());
    QRect fitted;
    if (ok[0] && show != -1 && ok[1] && ok[2] && ok[3] && ok[4])
        fitted = frame::FitToScreens(QRect(left, top, right - left, bottom - top), areas);
    if (!fitted.isValid()) {
        // No usable placement: a large window on the main screen, maximised.
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        QRect r(0, 0, area.width() * 4 / 5, area.height() * 4 / 5);
        r.moveCenter(area.center());
        setGeometry(r);
        setWindowState(Qt::WindowMaximized);
        return;
    }
    setGeometry(fitted);
    setWindowState(show == 3 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void CMainFrame::SavePlacement() {
    QSettings s(app_.Path(), QSettings::IniFormat);
    const QRect r = (isMaximized() || isFullScreen()) ? normalGeometry() : geometry();
    s.beginGroup(QStringLiteral("Window"));
    s.setValue(QStringLiteral("Show"), isMaximized() ? 3 : 1);
    s.setValue(QStringLiteral("Left"), r.left());
    s.setValue(QStringLiteral("Top"), r.top());
    s.setValue(QStringLiteral("Right"), r.left() + r.width());
    s.setValue(QStringLiteral("Bottom"), r.top() + r.height());
    s.endGroup();
    layout_->SaveSplitters(s);
    s.sync();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        closing_ = true;
        // A search in progress ends cleanly: transfers aborted, threads
        // joined, no half-written picture left.
        if (doc_->IsCrawling() || running_) doc_->OnStop();
        running_ = false;
        doc_->EndSearch();
        clock_->stop();
        if (layout_->FullView()) SetFullView(false);
        SavePlacement();
    }
    e->accept();
}

}  // namespace pq
