// Find Duplicates: the groups of a folder (or a category with its
// sub-categories, or everything), the same pictures first, then the
// look-alikes with their pictures side by side; of each group the user
// keeps one (the first unless told otherwise), and one button sends all the
// others to the trash. The finding runs on the indexer's thread, after what
// it was asked before (the folder shown is entered first): it brings the
// entries of the folders up to date, reads them and compares bytes.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <QList>
#include <functional>
#include <memory>
#include <vector>

#include "browse/CWorkerPool.h"
#include "store/Duplicates.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace pq {

class CImagelist;
class CPictureIndexer;

class CDuplicatesDialog : public QDialog {
    Q_OBJECT
public:
    // The thumbnails of a look-alike group are at most this size.
    static constexpr int kThumbSide = 160;

    // folder ends in "/"; below: with the folders below it. The trash goes
    // through list (its question before deleting for good, its rows), or
    // straight to the trash when there is none.
    CDuplicatesDialog(CPictureIndexer& indexer, const QString& folder, bool below, CImagelist* list,
                      QWidget* parent = nullptr);
    ~CDuplicatesDialog() override;

    const QString& Folder() const { return folder_; }
    // The groups have arrived (after each Find).
    bool Ready() const { return ready_; }
    const std::vector<store::DuplicateGroup>& Groups() const { return groups_; }
    // Which member of each group is kept.
    std::vector<size_t> Kept() const;
    // As the user's click on a row's button.
    void Keep(int group, int member);
    // Looks again (after the trash, the list is found afresh).
    void Find();
    // The indexer is about to go (the window closes): nothing more is
    // looked for or sent to the trash. The dialog itself goes with its
    // parent; deleting a shown window while its parent is being destroyed
    // leaves the platform's focus pointing at it.
    void LetGoOfIndexer();
    // The others of every group to the trash; false when something stopped
    // it (the user was told).
    bool TrashOthers();

    // A message for the user; a message box unless replaced (tests).
    std::function<void(const QString&)> report;
    // Told the files about to go to the trash, while they are still there
    // (the window reads what it is to remember of them).
    std::function<void(const QStringList& files)> aboutToTrash;

    // Takes the groups found (queued from the indexer's thread).
    Q_INVOKABLE void DrainResults();
    // Takes how far the looking has come (queued from the indexer's thread).
    Q_INVOKABLE void DrainProgress();

signals:
    // The pictures that went to the trash.
    void Trashed(const QStringList& files);
    // A Find has shown its groups.
    void Shown(int groups);

private:
    struct Progress {
        quint64 ticket;
        int folders, of;  // folders brought up to date, of how many
    };
    struct Found {
        quint64 ticket;
        std::vector<store::DuplicateGroup> groups;
        // The look-alikes' thumbnails, by group and member.
        std::vector<std::vector<QImage>> thumbs;
    };
    void Show(Found found);
    QWidget* MakeGroup(int index, const store::DuplicateGroup& group,
                       const std::vector<QImage>& thumbs);

    CPictureIndexer* indexer_;  // null once let go
    QString folder_;
    bool below_;
    CImagelist* list_;
    bool ready_ = false;
    quint64 ticket_ = 0;
    std::vector<store::DuplicateGroup> groups_;
    QList<QButtonGroup*> choices_;
    QLabel* status_;
    QScrollArea* scroll_;
    QWidget* groupsBox_ = nullptr;
    QPushButton* trash_;
    std::shared_ptr<CResultSink<Found>> sink_;
    std::shared_ptr<CResultSink<Progress>> progress_;
};

}  // namespace pq
