// The window's client area: nested splitters holding the five views (the
// project and category tree, the project file list, the search result
// list, the history list and the preview), arranged for the search, manage
// and download layouts, the full view and the three preview placements.
// Each layout keeps the splitter sizes it was last shown with. The full
// view lays the preview over the splitters, which stay as they were (so a
// list keeps its place). Views that come later are placeholders named
// after them.
// User-interface thread only.
#pragma once

#include <QSplitter>
#include <QStackedWidget>
#include <QWidget>
#include <array>
#include <string>

class QSettings;

namespace pq {

class CPaneLayout : public QWidget {
    Q_OBJECT
public:
    enum class Layout { kSearch, kManage, kDownload };
    enum class Placement { kLeft, kMiddle, kRight };
    static constexpr int kSplitters = 4;

    explicit CPaneLayout(QWidget* parent = nullptr);

    // The picture views take the places of their placeholders.
    void SetLists(QWidget* fileList, QWidget* searchList);
    void SetPreview(QWidget* preview);
    void SetTree(QWidget* tree);
    void SetHistoryList(QWidget* history);
    // In the manage layout, the history list in place of the file list.
    void SetManageList(bool history);
    bool ManageShowsHistory() const { return manageHistory_; }
    void SetLayout(Layout layout);
    void SetPlacement(Placement placement);
    void SetFullView(bool on);
    Layout CurrentLayout() const { return layout_; }
    Placement CurrentPlacement() const { return placement_; }
    bool FullView() const { return fullView_; }

    // The views (placeholders until their own classes exist).
    QWidget* Tree() const { return tree_; }
    QWidget* FileList() const { return fileList_; }
    QWidget* SearchList() const { return searchList_; }
    QWidget* HistoryList() const { return historyList_; }
    QWidget* Preview() const { return preview_; }
    QWidget* CurrentList() const { return lists_->currentWidget(); }
    QSplitter* Splitter(int n) const { return splitters_[size_t(n)]; }

    // "SplitterWnd": "Panes_" + N for each splitter, outer first, as the
    // manage layout shows them; "SearchPanes_" + N and "DownloadPanes_" + N
    // for the other two layouts. What the current layout shows now is
    // taken before saving.
    void RestoreSplitters(QSettings& settings);
    void SaveSplitters(QSettings& settings);
    // The sizes a layout will show its splitter n with (empty: none kept).
    QList<int> KeptSizes(Layout layout, int n) const;
    // The splitter holding the preview at its placement, and the preview's
    // place in it.
    QSplitter* PreviewSplitter() const;

    static std::string PlacementName(Placement p);
    static Placement PlacementFromName(const std::string& name);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Apply();
    // Takes the sizes of the splitters shown now, for the current layout.
    void KeepSizes();
    void UseKeptSizes();
    // A preview moved to a new place gets a third of its splitter when it
    // has less than a useful share there.
    void FitPreview();
    // view takes the place of *current in the list stack; *current goes.
    void ReplaceList(QWidget*& current, QWidget* view);

    std::array<QSplitter*, kSplitters> splitters_{};
    QStackedWidget* stack_;     // the splitters, or the full view over them
    QWidget* fullPage_;         // holds the preview in the full view
    std::array<std::array<QList<int>, kSplitters>, 3> kept_{};  // by layout
    bool fitPending_ = false;
    std::array<QWidget*, 3> slots_{};  // where the preview may stand: left, middle, right
    QWidget* tree_;
    QStackedWidget* lists_;
    QWidget* fileList_;
    QWidget* searchList_;
    QWidget* historyList_;
    QWidget* preview_;
    Layout layout_ = Layout::kManage;
    Placement placement_ = Placement::kLeft;
    bool fullView_ = false;
    bool manageHistory_ = false;
};

// A pane whose view has not been built yet: it says which view it stands
// for, so nothing looks broken or empty.
QWidget* MakePlaceholder(const QString& objectName, const QString& title, const QString& text,
                         QWidget* parent);

}  // namespace pq
