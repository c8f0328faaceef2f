// The main window: menus and toolbars from the command table, the search
// bar, the top bar with its two tabs and Continue, the pane layout and the
// status panes. It owns the search job and is the engine's user interface:
// engine calls arrive queued through CFrameSearchUi.
// User-interface thread only.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>
#include <string>

#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"
#include "shell/CFrameSearchUi.h"
#include "shell/CSearchCommands.h"
#include "shell/window/CPaneLayout.h"
#include "store/History.h"

class QLabel;
class QTimer;
class QToolBar;
class QToolButton;

namespace pq {

class CCommandTable;
class CImagelist;
class Chistorylist;
class Ctreemanage;
class CWallpaper;
class IDesktopWallpaper;
class CImgContainerWnd;
class CPictureListView;
class CSearchimagelist;
class CPelquinarApp;
class CSearchBar;
class CStatusPanes;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Pelquinar V1.10";
    static constexpr const char* kHomePage = "https://pelquinar.example/";
    static constexpr int kClockMs = 1000;

    explicit CMainFrame(CPelquinarApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Puts the saved placement and splitter sizes in effect; call before show.
    void RestorePlacement();
    // The placement and splitters go to the settings file; closing does it.
    void SavePlacement();

    // The manage layout with the browsing list in front, for a folder the
    // user asked to open.
    void ShowBrowsingList();
    // A message box (none when PELQUINAR_NO_MESSAGE_BOXES is set); its text
    // also goes out as MessageShown.
    void ShowMessage(const QString& text);

    // Runs a command by its id, as its menu item would.
    void Run(int id);
    QAction* Action(int id) const;
    void UpdateCommands();

    // "search", "manage", "download" or "nosearch".
    const std::string& LayoutText() const { return layoutText_; }
    // From the start of a search until its downloads have ended or Stop.
    bool Searching() const { return running_; }
    long long ElapsedSeconds() const { return elapsedSeconds_; }

    CSearchBar* SearchBar() const { return searchBar_; }
    CImagelist* ImageList() const { return imageList_; }
    CSearchimagelist* SearchImageList() const { return searchList_; }
    // The list the view commands act on: the search's in the search
    // layout, the browsing list elsewhere.
    CPictureListView* ActiveList() const;
    int ListCursor() const { return listCursor_; }
    CImgContainerWnd* Preview() const { return preview_; }
    Ctreemanage* Tree() const { return tree_; }
    Chistorylist* HistoryList() const { return history_; }
    // The histories: web ("web"), keyword ("key") or a date group ("this",
    // "last", "befor"), built from the project folders at the first asking.
    std::vector<store::HistoryEntry> History(const QString& key);
    // Shows that history in the history list.
    void ShowHistory(const QString& key);
    float ZoomFactor() const { return zoom_; }
    bool SlideShowRunning() const;
    int SlideShowIntervalMs() const;
    // One step of the slide show (its timer calls it).
    void AdvanceSlideShow() { OnSlideTick(); }
    CStatusPanes* Panes() const { return panes_; }
    CPaneLayout* PaneLayout() const { return layout_; }
    CPelquinarDoc& Doc() { return *doc_; }
    CSearchState& State() { return state_; }
    CPelquinarApp& App() { return app_; }

    // The desktop whose wallpaper the wallpaper commands set (tests give a
    // fake one).
    void SetDesktopWallpaper(std::unique_ptr<IDesktopWallpaper> desktop, const QString& file);

    // The one-shot search-ended timers (38 and 48).
    void StartEndTimer(int id);
    // Where the help page is looked for, beside the program and in the
    // installed data folder; the first that exists is opened.
    static QString HelpPage();

signals:
    // The options changed the thumbnail size (the lists redraw with it).
    void ThumbnailSizeChanged(int width, int height);
    // A message box's text, for tests and screen readers.
    void MessageShown(const QString& text);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildMenus();
    void BuildToolbars();
    void ConnectEngine();
    void OnSearchStarted(const SearchStart& s, bool continuing = false);
    void OpenProject(const QString& folder);
    void ContinueProject();
    void OnHistoryEntry(const QString& count);
    void ForgetProjects(const QStringList& folders);
    void SetSearchLayout();
    void SetManageLayout();
    void SetDownloadLayout();
    void SetPlacement(CPaneLayout::Placement p);
    void SetFullView(bool on);
    void SwitchPaneTexts(const std::string& to);
    void ResetSearchPanes();
    void OnClockTick();
    void OnSearchEnded();
    void OnDownloadsEnded();
    void OnPaneText(int pane, const QString& text);

    void Go();
    void KeywordsSearch();
    void AdvancedSearch();
    void Stop();
    void SetSearchMode(const std::string& mode);
    void ClearHistoryAddress();
    void ShowOptions();
    void OpenHelp();
    void About();
    void RefreshHistoryLists();
    void SetListMode(const std::string& mode);
    void ShowRow(int row);
    void ApplyView();
    void SetZoom(float zoom);
    void ToggleSlideShow();
    void OnSlideTick();
    void ShowListMenu(CPictureListView* view, const QPoint& at);

    CPelquinarApp& app_;
    CSearchState state_;
    CFrameSearchUi ui_;
    std::unique_ptr<CPelquinarDoc> doc_;
    std::unique_ptr<CSearchCommands> commands_;

    CCommandTable* table_;
    CSearchBar* searchBar_;
    QToolBar* toolbar_;
    QToolBar* searchToolbar_;
    QToolBar* topBar_;
    QToolButton* searchTab_;
    QToolButton* browserTab_;
    CStatusPanes* panes_;
    CPaneLayout* layout_;
    CImagelist* imageList_;
    CSearchimagelist* searchList_;
    CImgContainerWnd* preview_;
    Ctreemanage* tree_;
    Chistorylist* history_;
    store::DateGroups dateGroups_;
    std::vector<store::HistoryEntry> webHistory_, keyHistory_;
    bool dateGroupsBuilt_ = false, webBuilt_ = false, keyBuilt_ = false;
    SearchStart current_;  // the search started last
    QTimer* slideTimer_;
    std::unique_ptr<IDesktopWallpaper> desktop_;
    std::unique_ptr<CWallpaper> wallpaper_;
    bool wallpaperAvailable_ = false;
    int listCursor_ = -1;
    int listCount_ = 0;
    float zoom_ = -1.0f;
    QTimer* clock_;
    QTimer* endTimer38_;
    QTimer* endTimer48_;

    std::string layoutText_ = "manage";
    std::string lastLayout_ = "manage";  // the layout the pane texts belong to
    std::array<QString, 6> searchTexts_{};
    std::array<QString, 6> manageTexts_{};
    long long elapsedSeconds_ = 0;
    bool closing_ = false;
    bool running_ = false;
    Qt::WindowStates statesBeforeFullView_ = Qt::WindowNoState;
    bool toolbarsBeforeFullView_[3] = {true, true, true};
};

}  // namespace pq
