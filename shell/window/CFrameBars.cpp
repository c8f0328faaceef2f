#include "shell/window/CFrameBars.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "shell/window/CCommandTable.h"
#include "shell/window/CSearchBar.h"
#include "shell/window/CommandIds.h"

namespace pq {

namespace {

void Add(QWidget* to, CCommandTable* table, std::initializer_list<int> ids) {
    for (int id : ids) {
        if (id == 0) {
            if (auto* m = qobject_cast<QMenu*>(to))
                m->addSeparator();
            else if (auto* t = qobject_cast<QToolBar*>(to))
                t->addSeparator();
        } else {
            to->addAction(table->Action(id));
        }
    }
}

QMenu* MakeMenu(QWidget* parent, const QString& title, const char* name) {
    auto* m = new QMenu(title, parent);
    m->setObjectName(QLatin1String(name));
    return m;
}

}  // namespace

CFrameBars::CFrameBars(FrameParts& parts, QObject* parent) : QObject(parent), p_(parts) {
    QMainWindow* w = p_.window;
    viewModes_ = MakeMenu(w, tr("View"), "viewModesMenu");
    Add(viewModes_, p_.table,
        {cmd::kViewIcon, cmd::kViewSmallIcon, cmd::kViewList, cmd::kViewReport,
         cmd::kViewThumbnails});
    placement_ = MakeMenu(w, tr("Preview"), "previewMenu");
    Add(placement_, p_.table, {cmd::kPreviewLeft, cmd::kPreviewMiddle, cmd::kPreviewRight});
    wallpaper_ = MakeMenu(w, tr("Set Wallpaper"), "wallpaperMenu");
    Add(wallpaper_, p_.table,
        {cmd::kWallpaperTiled, cmd::kWallpaperFull, cmd::kWallpaperRestore});
    BuildToolbars();
    // Every command's shortcut works whatever is shown: in the full view
    // the bars that carry the actions are hidden.
    for (const CommandSpec& s : p_.table->Specs()) w->addAction(p_.table->Action(s.id));
}

QToolButton* CFrameBars::DropButton(int id, QMenu* menu, const char* name) {
    auto* b = new QToolButton(p_.toolbar);
    b->setObjectName(QLatin1String(name));
    b->setDefaultAction(p_.table->Action(id));
    b->setMenu(menu);
    b->setPopupMode(QToolButton::InstantPopup);
    b->setAccessibleName(p_.table->Action(id)->toolTip());
    p_.toolbar->addWidget(b);
    return b;
}

void CFrameBars::BuildToolbars() {
    QMainWindow* w = p_.window;
    p_.toolbar = w->addToolBar(tr("Toolbar"));
    QToolBar* t = p_.toolbar;
    t->setObjectName("toolbar");
    t->setMovable(false);
    t->setIconSize(QSize(22, 22));
    Add(t, p_.table,
        {cmd::kGo, cmd::kStop, 0, cmd::kLayoutSearch, cmd::kLayoutDownload, cmd::kLayoutManage, 0});
    DropButton(cmd::kViewModesButton, viewModes_, "viewModesButton");
    DropButton(cmd::kPlacementButton, placement_, "placementButton");
    DropButton(cmd::kWallpaperButton, wallpaper_, "wallpaperButton");
    Add(t, p_.table,
        {0, cmd::kPreviousImage, cmd::kNextImage, cmd::kSlideShow, 0, cmd::kBestFit,
         cmd::kActualSize, cmd::kZoomIn, cmd::kZoomOut, cmd::kFullScreen, cmd::kBrowse, 0,
         cmd::kOptions});

    // The top bar: two tabs that switch between searching and browsing, and
    // Continue for the project selected in the history.
    p_.topBar = w->addToolBar(tr("Top bar"));
    QToolBar* top = p_.topBar;
    top->setObjectName("topBar");
    top->setMovable(false);
    top->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto tab = [this, top](const char* name, const QString& text, int id) {
        auto* b = new QToolButton(top);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAccessibleName(text);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        connect(b, &QToolButton::clicked, p_.table->Action(id), &QAction::trigger);
        top->addWidget(b);
        return b;
    };
    searchTab_ = tab("searchTab", tr("Search"), cmd::kLayoutSearch);
    browserTab_ = tab("browserTab", tr("Browser"), cmd::kLayoutManage);
    top->addSeparator();
    top->addAction(p_.table->Action(cmd::kContinue));
    if (auto* c = top->widgetForAction(p_.table->Action(cmd::kContinue)))
        c->setObjectName("continueButton");

    w->addToolBarBreak();
    p_.urlBar = w->addToolBar(tr("URL bar"));
    p_.urlBar->setObjectName("urlBar");
    p_.urlBar->setMovable(false);
    p_.searchBar = new CSearchBar(p_.urlBar);
    p_.urlBar->addWidget(p_.searchBar);
    CCommandTable* table = p_.table;
    auto trigger = [table](int id) { return [table, id] { table->Action(id)->trigger(); }; };
    connect(p_.searchBar, &CSearchBar::SwitchClicked, this, trigger(cmd::kSwitch));
    connect(p_.searchBar, &CSearchBar::GoClicked, this, trigger(cmd::kKeywordsSearch));
    connect(p_.searchBar, &CSearchBar::AdvancedClicked, this, trigger(cmd::kAdvancedSearch));
    connect(p_.searchBar, &CSearchBar::WebSearchRequested, this, trigger(cmd::kGo));
    connect(p_.searchBar, &CSearchBar::KeywordSearchRequested, this,
            trigger(cmd::kKeywordsSearch));
}

void CFrameBars::BuildMenus() {
    QMenuBar* bar = p_.window->menuBar();
    bar->setObjectName("menuBar");
    CCommandTable* t = p_.table;
    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName("fileMenu");
    Add(file, t, {cmd::kNewCategory, 0, cmd::kExit});
    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->setObjectName("editMenu");
    Add(edit, t,
        {cmd::kCopyTo, cmd::kMoveTo, cmd::kDelete, 0, cmd::kSelectAll, cmd::kInvertSelection});
    QMenu* view = bar->addMenu(tr("&View"));
    view->setObjectName("viewMenu");
    Add(view, t,
        {cmd::kToolbar, cmd::kUrlBar, 0, cmd::kLayoutSearch, cmd::kLayoutDownload,
         cmd::kLayoutManage, 0});
    view->addMenu(placement_);
    Add(view, t,
        {cmd::kFullScreen, cmd::kBrowse, 0, cmd::kViewIcon, cmd::kViewSmallIcon, cmd::kViewList,
         cmd::kViewReport, cmd::kViewThumbnails, 0, cmd::kPreviousImage, cmd::kNextImage, 0,
         cmd::kActualSize, cmd::kBestFit, cmd::kZoomIn, cmd::kZoomOut});
    QMenu* search = bar->addMenu(tr("&Search"));
    search->setObjectName("searchMenu");
    Add(search, t,
        {cmd::kGo, cmd::kStop, cmd::kContinue, 0, cmd::kAdvancedSearch, cmd::kKeywordsMode,
         cmd::kWebMode, 0, cmd::kGetBigPictures});
    QMenu* tools = bar->addMenu(tr("&Tools"));
    tools->setObjectName("toolsMenu");
    Add(tools, t, {cmd::kSlideShow, 0});
    tools->addMenu(wallpaper_);
    Add(tools, t, {0, cmd::kFindDuplicates, 0, cmd::kClearHistory, 0, cmd::kOptions});
    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName("helpMenu");
    Add(help, t, {cmd::kContents, cmd::kHomePage, 0, cmd::kAbout});
    // The rules run again whenever a menu is about to show.
    for (QMenu* m : {file, edit, view, search, tools, help, viewModes_, wallpaper_, placement_})
        connect(m, &QMenu::aboutToShow, this, &CFrameBars::MenuOpening);
}

}  // namespace pq
