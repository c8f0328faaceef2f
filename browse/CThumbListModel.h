// The rows of one picture list: a file record, the address the picture came
// from, a picture count, a mark, and the thumbnail once made. Views of every
// display mode show the same model. Rows carry ids that never repeat, so a
// thumbnail made for a row that has gone (or changed) is recognised and
// dropped.
// User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <vector>

#include "browse/FileRecord.h"
#include "browse/PictureLoader.h"

namespace pq {

class CThumbListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kSize, kType, kAddress, kDate, kColumns };
    enum Role {
        kPathRole = Qt::UserRole + 1,
        kThumbRole,      // QImage, null until made
        kThumbDoneRole,  // bool: a thumbnail was tried (made or not)
        kValidRole,      // bool: the thumbnail was made
        kLabelRole,      // "640x480x16M"
        kAddressRole,
        kMarkRole,
        kExtensionRole,
    };
    enum class ThumbState { kNone, kQueued, kDone };

    struct Row {
        quint64 id = 0;
        CFileRecord record;
        QString address;
        QString credit;      // title, creator and licence of an open service's picture
        QString bigAddress;  // its full picture's address, when the service named one
        int pictureCount = 0;
        bool mark = false;
        ThumbState state = ThumbState::kNone;
        picture::Thumbnail thumb;
    };

    explicit CThumbListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // Rows leave as files that a drop may move, or with Ctrl copy.
    Qt::DropActions supportedDragActions() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // A row to be: what a folder or project listing gives, made on any
    // thread.
    struct Entry {
        CFileRecord record;
        QString address;
        QString credit;
        QString bigAddress;
    };
    static std::vector<Entry> ReadFolder(const QString& folder, int* unreadableNames = nullptr);
    static std::vector<Entry> ReadProject(const QString& folder);
    // Replaces every row.
    void SetRows(const std::vector<Entry>& entries);

    // Drops every row and every thumbnail (made or on its way).
    void Clear();
    // Rows for the listed pictures of folder (".jpg", ".jpeg", ".gif",
    // ".bmp", any case), in name order; returns their count. ReadFolder
    // sees every name the folder holds: a picture whose name is not in the
    // file system's encoding (an old Latin-1 "caf\xe9.jpg" where names are
    // UTF-8) cannot be opened by its decoded name, and is counted in
    // unreadableNames instead of being left out without a word.
    int FillFromFolder(const QString& folder);
    // Rows for the pictures project.inf lists whose files exist, in its
    // order, with their addresses; returns their count.
    int FillFromProject(const QString& folder);
    // One row for folder + name, unless a row for that file is there.
    bool AddOne(const QString& folder, const QString& name, const QString& address);
    void RemoveRow(int row);
    // Removes the rows at once (any order, repeats ignored): a few runs of
    // neighbouring rows each in one step, many runs as one change of the
    // layout, so that neither the views nor the selection go through the
    // rows once per row; returns how many went.
    int RemoveRows(std::vector<int> rows);
    // The rows whose files are among paths.
    std::vector<int> RowsOfPaths(const QStringList& paths) const;
    // Up to this many runs are removed one by one.
    static constexpr int kRunsRemovedOneByOne = 8;
    // How often the row lookups were rebuilt (they are rebuilt when next
    // asked for after rows went).
    int IndexRebuilds() const { return indexRebuilds_; }

    const Row& At(int row) const { return rows_[size_t(row)]; }
    int RowOfId(quint64 id) const {
        EnsureIndex();
        return idToRow_.value(id, -1);
    }
    int RowOfPath(const QString& path) const {
        EnsureIndex();
        return pathToRow_.value(path, -1);
    }
    QString PathOf(int row) const;

    // Thumbnails: the size they are made at; a new size drops all made.
    QSize ThumbSize() const { return thumbSize_; }
    void SetThumbSize(const QSize& size);
    // The generation of thumbnail requests: results of an older generation
    // are dropped.
    quint64 Generation() const { return generation_; }
    void MarkQueued(int row);
    // The row gives its thumbnail up, to be made again when asked.
    void DropThumbnail(int row);
    // A request given back unmade: the row is to be asked again. False when
    // the row has gone or changed since.
    bool Unqueue(quint64 id, quint64 generation);
    // A thumbnail arrives: kept only when its row is still there, still
    // names the same file and the size has not changed since.
    bool Deliver(quint64 id, quint64 generation, const QString& path, const picture::Thumbnail& t);

signals:
    // Rows were dropped or their thumbnails are to be made again.
    void ThumbnailsReset();

private:
    void Append(const CFileRecord& record, const QString& address);
    void EnsureIndex() const;

    std::vector<Row> rows_;
    // Lookups by id and by path; stale after rows went, until next asked.
    mutable QHash<quint64, int> idToRow_;
    mutable QHash<QString, int> pathToRow_;
    mutable bool indexStale_ = false;
    mutable int indexRebuilds_ = 0;
    quint64 nextId_ = 1;
    quint64 generation_ = 1;
    QSize thumbSize_{80, 80};
};

}  // namespace pq
