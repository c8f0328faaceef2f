// The list behind every picture list: one model shown by a QListView (large
// icons, small icons, list, thumbnails) or a QTreeView (details), switched
// by the display mode, with the thumbnails made in the background while the
// thumbnail display is on.
// User-interface thread only.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "browse/CThumbListModel.h"
#include "browse/CWorkerPool.h"

class QListView;
class QTreeView;
class QStackedWidget;
class QItemSelectionModel;
class QAbstractItemView;

namespace pq {

class CThumbDelegate;
class CThumbnailer;

class CThumbList : public QWidget {
    Q_OBJECT
public:
    // Display modes as the settings store them.
    static bool IsMode(const std::string& mode);

    explicit CThumbList(QWidget* parent = nullptr);
    ~CThumbList() override;

    CThumbListModel& Model() { return *model_; }
    CThumbnailer& Thumbnailer() { return *thumbnailer_; }
    QListView* ListView() const { return list_; }
    QTreeView* TreeView() const { return tree_; }
    QAbstractItemView* CurrentView() const;
    QItemSelectionModel* Selection() const;

    // "icon", "smallicon", "list", "report" or "smallbmp". The same mode
    // again does nothing; an unknown one is taken as "smallbmp".
    void SetMode(const std::string& mode);
    const std::string& Mode() const { return mode_; }
    bool ThumbnailDisplay() const { return mode_ == "smallbmp"; }
    void SetThumbSize(const QSize& size);

    // Shows the pictures of folder (its project.inf's list when fromFile).
    // The folder shown already (in any case) is not read again unless
    // force is set (a search is running). The folder is read off this
    // thread; Ready() and Filled tell when its rows are in.
    void ShowFolder(const QString& folder, bool fromFile, bool force);
    // The same, read at once on this thread: for a list that rows are
    // added to right after (the search's).
    void ShowFolderNow(const QString& folder, bool fromFile);
    const QString& Folder() const { return folder_; }
    bool Ready() const { return ready_; }
    // Pictures of the folder shown that were left out: their names are not
    // in the file system's encoding, so no path reaches them.
    int UnreadableNames() const { return unreadable_; }
    // What the status bar says of them; empty when there are none.
    static QString UnreadableNamesText(int count);
    void Clear();

    QList<int> SelectedRows() const;
    void SelectAll();
    void InvertSelection();

    // Takes the folder read that has ended (queued from the pool).
    Q_INVOKABLE void DrainResults();

signals:
    void Filled(int rows);
    // Exactly one row selected, or the current row changed within one.
    void PictureChosen(const QString& path, int row, int count);
    void ContextMenuWanted(const QPoint& globalPos);
    // The rows selected changed (in any display mode).
    void SelectionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateVisibleRange();
    void ApplyGrid();
    // Takes the widest name of rows first to last into the widest seen.
    void MeasureNames(int first, int last);
    void OnSelectionChanged();

    CThumbListModel* model_;
    CThumbnailer* thumbnailer_;
    CThumbDelegate* delegate_;
    QStackedWidget* stack_;
    QListView* list_;
    QTreeView* tree_;
    std::string mode_;
    QString folder_;
    bool ready_ = false;
    int textWidth_ = 0;  // the widest name's pixels
    int unreadable_ = 0;
    QString shown_;
    quint64 fill_ = 0;  // the folder read whose rows are awaited
    struct Read {
        quint64 fill;
        std::vector<CThumbListModel::Entry> entries;
        int unreadable = 0;
    };
    std::shared_ptr<CResultSink<Read>> sink_;
};

}  // namespace pq
