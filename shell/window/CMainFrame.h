// The main window: it makes the bars, the views and the search job, and
// hands each command to the handler of its area (search, browsing and
// files, histories, preview and show, wallpaper, layout); the enable and
// check rules are applied here in one place (CommandRules). It owns the
// search job and is the engine's user interface: engine calls arrive
// queued through CFrameSearchUi.
// User-interface thread only.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>

#include "browse/CFrameSearchUi.h"
#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"
#include "shell/CSearchCommands.h"
#include "shell/window/CPaneLayout.h"
#include "shell/window/FrameParts.h"
#include "store/Categories.h"
#include "store/History.h"
#include "store/PictureIndex.h"

class QMenu;

namespace pq {

class CCommandTable;
class CFrameBars;
class CFrameFiles;
class CFrameHistory;
class CFrameLayout;
class CFramePreview;
class CFrameSearch;
class CFrameWallpaper;
class CImagelist;
class Chistorylist;
class Ctreemanage;
class IDesktopWallpaper;
class CImgContainerWnd;
class CPictureListView;
class CSearchimagelist;
class CPelquinarApp;
class CPictureIndexer;
class CSearchBar;
class CStatusPanes;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Pelquinar V1.10";
    static constexpr const char* kHomePage = "https://pelquinar.example/";

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
    const std::string& LayoutText() const;
    // From the start of a search until its downloads have ended or Stop.
    bool Searching() const;
    long long ElapsedSeconds() const;

    CSearchBar* SearchBar() const { return parts_.searchBar; }
    CImagelist* ImageList() const { return parts_.imageList; }
    CSearchimagelist* SearchImageList() const { return parts_.searchList; }
    CPictureListView* ActiveList() const { return parts_.ActiveList(); }
    int ListCursor() const;
    CImgContainerWnd* Preview() const { return parts_.preview; }
    Ctreemanage* Tree() const { return parts_.tree; }
    Chistorylist* HistoryList() const { return parts_.history; }
    // The histories: web ("web"), keyword ("key") or a date group ("this",
    // "last", "befor"), built from the project folders at the first asking.
    std::vector<store::HistoryEntry> History(const QString& key);
    // Shows that history in the history list.
    void ShowHistory(const QString& key);
    float ZoomFactor() const;
    bool SlideShowRunning() const;
    int SlideShowIntervalMs() const;
    // One step of the slide show (its timer calls it).
    void AdvanceSlideShow();
    CStatusPanes* Panes() const { return parts_.panes; }
    CPaneLayout* PaneLayout() const { return parts_.layout; }
    CPelquinarDoc& Doc() { return *doc_; }
    CSearchState& State() { return state_; }
    CPelquinarApp& App() { return app_; }
    CFrameBars* Bars() const { return bars_; }
    CFrameFiles* Files() const { return files_; }
    CFramePreview* PreviewCommands() const { return preview_; }
    // What keeps the picture index in step with the views: the index the
    // application shares with its searches (CPelquinarApp::PictureIndex);
    // null when that cannot be opened.
    CPictureIndexer* Indexer() const { return indexer_.get(); }

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
    void MakeViews();
    void ConnectViews();
    void ShowOptions();
    void OpenHelp();
    void About();
    void ShowListMenu(CPictureListView* view, const QPoint& at);
    void OpenIndex();

    CPelquinarApp& app_;
    // The application's index, held while the indexer works on it: the
    // searches' threads write to the same one (it guards its connection).
    // The destructor takes the indexer from the views before it ends its
    // thread.
    std::shared_ptr<store::PictureIndex> index_;
    std::unique_ptr<CPictureIndexer> indexer_;
    CSearchState state_;
    CFrameSearchUi ui_;
    std::unique_ptr<CPelquinarDoc> doc_;
    std::unique_ptr<CSearchCommands> commands_;
    FrameParts parts_;

    CFrameBars* bars_ = nullptr;
    CFrameLayout* layout_ = nullptr;
    CFramePreview* preview_ = nullptr;
    CFrameHistory* history_ = nullptr;
    CFrameWallpaper* wallpaper_ = nullptr;
    CFrameFiles* files_ = nullptr;
    CFrameSearch* search_ = nullptr;
    bool closing_ = false;
};

}  // namespace pq
