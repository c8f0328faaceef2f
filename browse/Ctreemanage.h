// The tree of the program's folders: "My Search" with the two search
// histories and the three date groups, "My Pictures" with the categories on
// disk. Categories are made and deleted here, and pictures dropped on one
// are copied (Ctrl) or moved into it. A category's subfolders are read one
// level at a time, off this thread, when it is opened or chosen: a folder
// of thousands of categories costs no wait at start or on a click.
// User-interface thread only.
#pragma once

#include <QHash>
#include <QTreeWidget>

class QMenu;
#include <functional>
#include <memory>
#include <string>

#include "browse/CWorkerPool.h"

namespace pq {

class Ctreemanage : public QTreeWidget {
    Q_OBJECT
public:
    // What an item stands for.
    enum Kind { kMySearch = 1, kHistory, kCategory };
    static constexpr int kKindRole = Qt::UserRole + 1;
    static constexpr int kKeyRole = Qt::UserRole + 2;   // "web", "key", "this", "last", "befor"
    static constexpr int kPathRole = Qt::UserRole + 3;  // a category's folder, with "/"

    // Makes the folder skeleton (the default categories while dirCreate is
    // "-1") and the items.
    Ctreemanage(const std::string& startDirectory, std::string& dirCreate,
                QWidget* parent = nullptr);
    ~Ctreemanage() override;

    QTreeWidgetItem* MyPictures() const { return myPictures_; }
    QTreeWidgetItem* HistoryItem(const QString& key) const;
    // The category item of a folder path below "My Pictures", or null.
    QTreeWidgetItem* FindCategory(const QString& path) const;
    static bool IsCategory(const QTreeWidgetItem* item);
    // A category below "My Pictures" (not "My Pictures" itself): where a
    // drop may land.
    bool IsDropTarget(const QTreeWidgetItem* item) const;

    // Makes name below item; "" or the reason it could not.
    QString NewCategory(QTreeWidgetItem* item, const QString& name);
    // Moves the category's folder with what it holds to the trash, after
    // asking (the question says how many pictures go).
    bool DeleteCategory(QTreeWidgetItem* item);
    // Files dropped on target: FilesDropped when it is a category below "My
    // Pictures"; false (nothing) otherwise.
    bool Drop(QTreeWidgetItem* target, const QStringList& files, bool copy);
    // Reads the item's subfolders from disk into the tree (one level, on a
    // pool thread; the items change when the names arrive).
    void ReadLevel(QTreeWidgetItem* item);
    // Levels still being read.
    bool Reading() const { return !pending_.isEmpty(); }
    // Levels read since the tree was made.
    int LevelsRead() const { return levelsRead_; }
    // For tests and tools: takes the levels read as they arrive until none
    // is being read.
    bool WaitForReads(int timeoutMs);

    // The subfolder names of folder (links not followed, so a loop of
    // links never ends), each with whether it has subfolders itself, in
    // name order. Any thread.
    struct Level {
        QStringList names;
        std::vector<bool> hasSubfolders;
    };
    static Level ReadFolderLevel(const QString& folder);

    // Takes the levels read (queued from the pool).
    Q_INVOKABLE void DrainLevels();

    // The item's context menu, as it opens at a right click.
    void FillMenu(QMenu& menu, QTreeWidgetItem* item);
    // Where Find Duplicates looks from an item: a category with its
    // sub-categories, or (for "My Pictures", "My Search" and the
    // histories) the whole start directory.
    QString DuplicatesScope(const QTreeWidgetItem* item) const;
    const QString& StartDirectory() const { return start_; }

    // Questions and messages; message boxes unless replaced (tests).
    std::function<bool(const QString& question)> confirm;
    std::function<void(const QString& message)> tell;
    std::function<QString()> askName;
    // The trash cannot take the folder: true deletes it for good.
    std::function<bool(const QString& question)> askDeleteForGood;

signals:
    void FolderChosen(const QString& folder);
    void HistoryChosen(const QString& key);
    // Files dropped on a category: copied when copy is set, else moved.
    void FilesDropped(const QStringList& files, const QString& folder, bool copy);
    // A category's folder went (to the trash or for good).
    void CategoryDeleted(const QString& folder);
    // Find Duplicates in folder and the folders below it.
    void FindDuplicatesWanted(const QString& folder);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void OnCurrentChanged(QTreeWidgetItem* item);
    void ShowMenu(const QPoint& pos);
    QTreeWidgetItem* AddCategory(QTreeWidgetItem* parent, const QString& name);
    QTreeWidgetItem* MakeCategoryItem(QTreeWidgetItem* parent, const QString& name);
    void ApplyLevel(QTreeWidgetItem* item, const Level& level);
    bool AcceptDrag(QDropEvent* e);

    QString start_;
    QTreeWidgetItem* mySearch_;
    QTreeWidgetItem* myPictures_;
    QTreeWidgetItem* currentBeforePress_ = nullptr;
    struct LevelRead {
        quint64 ticket;
        QString folder;
        Level level;
    };
    std::shared_ptr<CResultSink<LevelRead>> sink_;
    QHash<QString, quint64> pending_;  // folder -> the read awaited for it
    quint64 nextTicket_ = 0;
    int levelsRead_ = 0;
};

}  // namespace pq
