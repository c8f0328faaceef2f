#include "shell/window/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "browse/CDuplicatesDialog.h"
#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "browse/CPictureIndexer.h"
#include "browse/CSearchimagelist.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "browse/FileRecord.h"
#include "browse/Wallpaper.h"
#include "engine/SearchService.h"
#include "shell/CPelquinarApp.h"
#include "shell/FrameRules.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/CFrameBars.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/CFrameHistory.h"
#include "shell/window/CFrameLayout.h"
#include "shell/window/CFramePreview.h"
#include "shell/window/CFrameSearch.h"
#include "shell/window/CFrameWallpaper.h"
#include "shell/window/COptionsSheet.h"
#include "shell/window/CPaneLayout.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CStatusPanes.h"
#include "shell/window/CommandIds.h"
#include "shell/window/CommandRules.h"

namespace pq {

CPictureListView* FrameParts::ActiveList() const {
    if (layout->CurrentLayout() == CPaneLayout::Layout::kSearch) return searchList;
    return imageList;
}

CMainFrame::CMainFrame(CPelquinarApp& app, QWidget* parent)
    : QMainWindow(parent), app_(app), ui_(nullptr) {
    setObjectName("mainFrame");
    setWindowTitle(QLatin1String(kTitle));
    CFileRecord::SetExtraTypes(app_.bPng, app_.bWebp);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("pelquinar"),
                                   QIcon(QStringLiteral(":/icons/pelquinar.svg"))));
    doc_ = std::make_unique<CPelquinarDoc>(state_, ui_);
    commands_ = std::make_unique<CSearchCommands>(app_, state_, *doc_);
    parts_.app = &app_;
    parts_.state = &state_;
    parts_.doc = doc_.get();
    parts_.commands = commands_.get();
    parts_.window = this;
    parts_.message = [this](const QString& text) { ShowMessage(text); };
    parts_.update = [this] { UpdateCommands(); };
    parts_.table = new CCommandTable(this);
    connect(parts_.table, &CCommandTable::Triggered, this, &CMainFrame::Run);

    MakeViews();
    OpenIndex();
    bars_ = new CFrameBars(parts_, this);
    layout_ = new CFrameLayout(parts_, this);
    preview_ = new CFramePreview(parts_, *layout_, this);
    layout_->leaveFullView = [this] { preview_->SetFullView(false); };
    history_ = new CFrameHistory(parts_, *layout_, *preview_, this);
    wallpaper_ = new CFrameWallpaper(parts_, this);
    files_ = new CFrameFiles(parts_, *preview_, *history_, *wallpaper_, this);
    search_ = new CFrameSearch(parts_, *layout_, *preview_, *history_, this);
    search_->Connect(ui_);
    bars_->BuildMenus();
    connect(bars_, &CFrameBars::MenuOpening, this, &CMainFrame::UpdateCommands);
    ConnectViews();

    auto* focusAddress = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(focusAddress, &QShortcut::activated, this,
            [this] { parts_.searchBar->FocusAddress(); });

    // As the window opens: the preview where it was, the layout the user
    // left (the manage layout the first time), the counters at 0 and
    // "http://" in the address box.
    parts_.layout->SetPlacement(CPaneLayout::PlacementFromName(app_.winMode));
    if (app_.firstRun)
        layout_->SetManageLayout();
    else
        layout_->EnterSavedLayout();
    parts_.searchBar->SetMode(app_.searchMode);
    search_->RefreshHistoryLists();
    parts_.searchBar->SetAddressText("http://");
    SetDesktopWallpaper(IDesktopWallpaper::ForThisDesktop(), CWallpaper::DefaultFile());
    // The browser opens on the searches made so far, not on an empty pane.
    parts_.tree->setCurrentItem(parts_.tree->HistoryItem(QStringLiteral("web")));
    UpdateCommands();
}

CMainFrame::~CMainFrame() {
    // The job's threads report through ui_: they end before anything goes.
    doc_->EndSearch();
    // The views outlive this object's members: they let go of the indexer
    // first, and its thread ends before the index closes. An open
    // Find Duplicates goes with the window, as its child.
    if (CDuplicatesDialog* d = files_->Duplicates()) d->LetGoOfIndexer();
    parts_.imageList->SetIndexer(nullptr);
    parts_.searchList->SetIndexer(nullptr);
    parts_.indexer = nullptr;
    indexer_.reset();
}

void CMainFrame::OpenIndex() {
    // One database and one connection for the whole program: the searches
    // enter what they save into it from their threads, the indexer what the
    // lists show from its own.
    index_ = app_.PictureIndex();
    if (!index_) {
        // The program works without it; only Find Duplicates needs it.
        qWarning("%s", app_.IndexProblem().c_str());
        return;
    }
    indexer_ = std::make_unique<CPictureIndexer>(*index_);
    parts_.indexer = indexer_.get();
    parts_.imageList->SetIndexer(indexer_.get());
    parts_.searchList->SetIndexer(indexer_.get());
    // A new or damaged index is filled from the folders, when nothing else
    // waits for the indexer.
    if (index_->NeedsRebuild()) {
        const QString start = QString::fromStdString(app_.startDirectory);
        const QString sep = start.endsWith('/') ? QString() : QStringLiteral("/");
        indexer_->Rebuild({start + sep + QLatin1String(store::kMySearch),
                           start + sep + QLatin1String(store::kMyPictures)});
    }
}

void CMainFrame::MakeViews() {
    parts_.layout = new CPaneLayout(this);
    setCentralWidget(parts_.layout);
    parts_.imageList = new CImagelist(app_.listMode, parts_.layout);
    parts_.imageList->SetUserAgent(ServiceUserAgent(app_.contact));
    parts_.searchList = new CSearchimagelist(app_.sListMode, state_, parts_.layout);
    parts_.layout->SetLists(parts_.imageList, parts_.searchList);
    parts_.preview = new CImgContainerWnd(parts_.layout);
    parts_.layout->SetPreview(parts_.preview);
    parts_.tree = new Ctreemanage(app_.startDirectory, app_.dirCreate, parts_.layout);
    parts_.layout->SetTree(parts_.tree);
    parts_.history = new Chistorylist(parts_.layout);
    parts_.layout->SetHistoryList(parts_.history);
    parts_.panes = new CStatusPanes(statusBar());
    statusBar()->setObjectName("statusBar");
}

void CMainFrame::ConnectViews() {
    for (CPictureListView* v : {static_cast<CPictureListView*>(parts_.imageList),
                                static_cast<CPictureListView*>(parts_.searchList)}) {
        v->SetThumbSize(QSize(app_.thumbWidth, app_.thumbHeight));
        v->SetThumbnailCache(app_.bThumbCache);
        connect(v, &CPictureListView::PictureChosen, this, [this, v](const QString&, int row, int) {
            if (v == ActiveList()) preview_->ShowRow(row);
        });
        connect(&v->List(), &CThumbList::ContextMenuWanted, this,
                [this, v](const QPoint& at) { ShowListMenu(v, at); });
        connect(&v->List(), &CThumbList::SelectionChanged, this, &CMainFrame::UpdateCommands);
        connect(&v->List(), &CThumbList::Filled, this, [this, v] {
            if (v == ActiveList()) preview_->ListChanged();
            if (v == static_cast<CPictureListView*>(parts_.imageList))
                layout_->ShowUnreadableNames(v->List().UnreadableNames());
        });
    }
    connect(this, &CMainFrame::ThumbnailSizeChanged, this, [this](int w, int h) {
        parts_.imageList->SetThumbSize(QSize(w, h));
        parts_.searchList->SetThumbSize(QSize(w, h));
    });
    CPictureWnd* picture = parts_.preview->Picture();
    connect(picture, &CPictureWnd::DoubleClicked, this,
            [this] { Run(parts_.layout->FullView() ? cmd::kBrowse : cmd::kFullScreen); });
    connect(picture, &CPictureWnd::Loaded, this, &CMainFrame::UpdateCommands);
    // The preview's own menu, in the full view too (where no other shows).
    picture->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture, &QWidget::customContextMenuRequested, this, [this, picture](const QPoint& at) {
        QMenu menu(this);
        menu.setObjectName("previewContextMenu");
        preview_->FillPreviewMenu(menu);
        menu.addMenu(bars_->WallpaperMenu());
        UpdateCommands();
        menu.exec(picture->mapToGlobal(at));
    });
    Ctreemanage* tree = parts_.tree;
    connect(tree, &Ctreemanage::FolderChosen, files_, &CFrameFiles::ShowFolder);
    connect(tree, &Ctreemanage::HistoryChosen, history_, &CFrameHistory::Show);
    connect(tree, &Ctreemanage::FilesDropped, files_, &CFrameFiles::Drop);
    connect(tree, &Ctreemanage::FindDuplicatesWanted, files_,
            [this](const QString& folder) { files_->FindDuplicates(folder, true); });
    connect(tree, &Ctreemanage::CategoryDeleted, this, [this](const QString& folder) {
        if (indexer_) indexer_->RemovedUnder(folder);
    });
    connect(tree, &QTreeWidget::currentItemChanged, this, &CMainFrame::UpdateCommands);
    Chistorylist* history = parts_.history;
    connect(history, &Chistorylist::ProjectActivated, history_, &CFrameHistory::OpenProject);
    connect(history, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
    connect(history, &Chistorylist::ProjectsDeleted, history_, &CFrameHistory::Forget);
    // A project deleted takes its pictures out of the index.
    connect(history, &Chistorylist::ProjectsDeleted, this, [this](const QStringList& folders) {
        if (indexer_)
            for (const QString& folder : folders) indexer_->RemovedUnder(folder);
    });
    for (QToolBar* t : {parts_.toolbar, parts_.topBar, parts_.urlBar})
        connect(t, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommands);
}

QAction* CMainFrame::Action(int id) const { return parts_.table->Action(id); }
const std::string& CMainFrame::LayoutText() const { return layout_->LayoutText(); }
bool CMainFrame::Searching() const { return search_->Searching(); }
long long CMainFrame::ElapsedSeconds() const { return search_->ElapsedSeconds(); }
int CMainFrame::ListCursor() const { return preview_->Cursor(); }
float CMainFrame::ZoomFactor() const { return preview_->Zoom(); }
bool CMainFrame::SlideShowRunning() const { return preview_->SlideShowRunning(); }
int CMainFrame::SlideShowIntervalMs() const { return preview_->SlideShowIntervalMs(); }
void CMainFrame::AdvanceSlideShow() { preview_->AdvanceSlideShow(); }
void CMainFrame::StartEndTimer(int id) { search_->StartEndTimer(id); }
std::vector<store::HistoryEntry> CMainFrame::History(const QString& key) {
    return history_->History(key);
}
void CMainFrame::ShowHistory(const QString& key) { history_->Show(key); }

void CMainFrame::SetDesktopWallpaper(std::unique_ptr<IDesktopWallpaper> desktop,
                                     const QString& file) {
    wallpaper_->SetDesktop(std::move(desktop), file);
}

void CMainFrame::UpdateCommands() {
    if (!search_) return;  // still being made
    CommandInputs in;
    const CPaneLayout* layout = parts_.layout;
    in.searching = search_->Searching();
    in.keywordMode = parts_.searchBar->KeywordMode();
    in.layout = CommandInputs::Layout(int(layout->CurrentLayout()));
    in.placement = CommandInputs::Placement(int(layout->CurrentPlacement()));
    in.fullView = layout->FullView();
    in.historyShown = layout->CurrentList() == parts_.history;
    in.historySelected = int(parts_.history->selectedItems().size());
    // In the full view the bars are hidden for the while only.
    in.toolbarShown = parts_.toolbar->isVisibleTo(this) || (in.fullView && preview_->BarShown(0));
    in.urlBarShown = parts_.urlBar->isVisibleTo(this) || (in.fullView && preview_->BarShown(2));
    in.addressesKept = !app_.history.empty() || !parts_.searchBar->AddressText().empty();
    CPictureListView* list = ActiveList();
    in.browsingList = list == parts_.imageList;
    in.rows = list->List().Model().rowCount();
    in.selected = int(list->List().SelectedRows().size());
    in.mode = list->Mode();
    in.cursor = preview_->Cursor();
    in.slideShow = preview_->SlideShowRunning();
    CPictureWnd* picture = parts_.preview->Picture();
    in.zoom = preview_->Zoom();
    in.fitZoom = picture->EffectiveZoom();
    in.picture = !picture->PictureSize().isEmpty();
    in.wallpaperAvailable = wallpaper_->Available();
    in.categorySelected = Ctreemanage::IsCategory(parts_.tree->currentItem());
    in.indexOpen = indexer_ != nullptr;
    in.folderInView = layout->CurrentList() == static_cast<QWidget*>(parts_.imageList) &&
                      !parts_.imageList->List().Folder().isEmpty();
    for (const CommandState& s : CommandStates(in)) {
        QAction* a = parts_.table->Action(s.id);
        if (!a) continue;
        a->setEnabled(s.enabled);
        if (s.checked >= 0) a->setChecked(s.checked != 0);
    }
    bars_->SearchTab()->setChecked(in.layout == CommandInputs::Layout::kSearch);
    bars_->BrowserTab()->setChecked(in.layout == CommandInputs::Layout::kManage);
}

void CMainFrame::Run(int id) {
    const bool handled = layout_->Run(id) || preview_->Run(id) || files_->Run(id) ||
                         search_->Run(id) || wallpaper_->Run(id);
    if (!handled) {
        switch (id) {
            case cmd::kOptions:
                ShowOptions();
                break;
            case cmd::kContents:
                OpenHelp();
                break;
            case cmd::kHomePage:
                QDesktopServices::openUrl(QUrl(QLatin1String(kHomePage)));
                break;
            case cmd::kAbout:
                About();
                break;
            case cmd::kExit:
                close();
                break;
            default:
                break;
        }
    }
    UpdateCommands();
}

void CMainFrame::ShowListMenu(CPictureListView* view, const QPoint& at) {
    QMenu menu(this);
    menu.setObjectName("listMenu");
    files_->FillListMenu(menu, view);
    if (!menu.isEmpty()) menu.exec(at);
}

void CMainFrame::ShowMessage(const QString& text) {
    emit MessageShown(text);
    if (qEnvironmentVariableIsSet("PELQUINAR_NO_MESSAGE_BOXES")) return;
    QMessageBox::information(this, QLatin1String("Pelquinar"), text);
}

void CMainFrame::ShowBrowsingList() {
    if (parts_.layout->FullView()) preview_->SetFullView(false);
    if (parts_.layout->CurrentLayout() != CPaneLayout::Layout::kManage) layout_->SetManageLayout();
    parts_.layout->SetManageList(false);
    // The tree's highlight would name another list than the one shown.
    parts_.tree->clearSelection();
    parts_.tree->setCurrentItem(nullptr);
    UpdateCommands();
}

void CMainFrame::ShowOptions() {
    COptionsSheet sheet(app_, this);
    if (sheet.exec() != QDialog::Accepted) return;
    parts_.imageList->SetThumbnailCache(app_.bThumbCache);
    parts_.searchList->SetThumbnailCache(app_.bThumbCache);
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
    parts_.layout->RestoreSplitters(s);
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
    parts_.layout->SaveSplitters(s);
    s.sync();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        closing_ = true;
        // A search in progress ends cleanly: transfers aborted, threads
        // joined, no half-written picture left.
        search_->EndForClose();
        preview_->SetFullView(false);
        SavePlacement();
    }
    e->accept();
}

}  // namespace pq
