#include "browse/CThumbListModel.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QSet>
#include <QUrl>
#include <algorithm>

#include "browse/CThumbDelegate.h"
#include "store/Credits.h"
#include "store/ProjectFile.h"

namespace pq {

CThumbListModel::CThumbListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CThumbListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CThumbListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CThumbListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const Row& r = rows_[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kName:
                    return r.record.name;
                case kSize:
                    return r.record.SizeText();
                case kType:
                    return r.record.TypeText();
                case kAddress:
                    return r.address;
                case kDate:
                    return r.record.DateText();
            }
            return {};
        case Qt::DecorationRole:
            return index.column() == kName ? TypeIcon(r.record.extension) : QVariant();
        case Qt::ToolTipRole: {
            QString tip = r.record.path;
            if (r.thumb.valid) tip += "\n" + picture::LabelText(r.thumb.stored);
            if (!r.address.isEmpty()) tip += "\n" + r.address;
            if (!r.credit.isEmpty()) tip += "\n" + r.credit;
            return tip;
        }
        case Qt::TextAlignmentRole:
            return index.column() == kSize ? int(Qt::AlignRight | Qt::AlignVCenter)
                                           : int(Qt::AlignLeft | Qt::AlignVCenter);
        case kPathRole:
            return r.record.path;
        case kThumbRole:
            return r.thumb.image;
        case kThumbDoneRole:
            return r.state == ThumbState::kDone;
        case kValidRole:
            return r.thumb.valid;
        case kLabelRole:
            return r.thumb.valid ? picture::LabelText(r.thumb.stored) : QString();
        case kAddressRole:
            return r.address;
        case kMarkRole:
            return r.mark;
        case kExtensionRole:
            return r.record.extension;
    }
    return {};
}

QVariant CThumbListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kName:
            return tr("Name");
        case kSize:
            return tr("Size");
        case kType:
            return tr("Type");
        case kAddress:
            return tr("Address");
        case kDate:
            return tr("Modified");
    }
    return {};
}

Qt::ItemFlags CThumbListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList CThumbListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

Qt::DropActions CThumbListModel::supportedDragActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

QMimeData* CThumbListModel::mimeData(const QModelIndexList& indexes) const {
    // Pictures leave as file addresses, so a file manager takes them too.
    QList<QUrl> urls;
    QList<int> seen;
    for (const QModelIndex& i : indexes) {
        if (!i.isValid() || seen.contains(i.row())) continue;
        seen.append(i.row());
        urls.append(QUrl::fromLocalFile(PathOf(i.row())));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

void CThumbListModel::Clear() {
    beginResetModel();
    rows_.clear();
    idToRow_.clear();
    pathToRow_.clear();
    indexStale_ = false;
    ++generation_;
    endResetModel();
    emit ThumbnailsReset();
}

void CThumbListModel::Append(const CFileRecord& record, const QString& address) {
    EnsureIndex();
    Row r;
    r.id = nextId_++;
    r.record = record;
    r.address = address;
    idToRow_.insert(r.id, int(rows_.size()));
    pathToRow_.insert(record.path, int(rows_.size()));
    rows_.push_back(std::move(r));
}

std::vector<CThumbListModel::Entry> CThumbListModel::ReadFolder(const QString& folder,
                                                                int* unreadableNames) {
    QString f = folder;
    if (!f.endsWith('/')) f += '/';
    if (unreadableNames) *unreadableNames = 0;
    std::vector<Entry> entries;
    // The folder is read with readdir, which hands over every name as the
    // bytes it is, where a Qt listing passes over names it cannot decode.
    // Names are filtered before anything is asked of the file system, and
    // sorted here by plain comparison: a locale-aware sort costs more than
    // the listing in a large folder.
    const QByteArray encodedFolder = QFile::encodeName(f);
    DIR* dir = opendir(encodedFolder.constData());
    if (!dir) return entries;
    const int fd = dirfd(dir);
    while (const dirent* e = readdir(dir)) {
        const QByteArray bytes(e->d_name);
        if (bytes == "." || bytes == "..") continue;
        const QString name = QFile::decodeName(bytes);
        if (!CFileRecord::IsListedPicture(name)) continue;
        if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        struct stat st;
        if (fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        if (QFile::encodeName(name) != bytes) {
            // No path made of the decoded name reaches this file.
            if (unreadableNames) ++*unreadableNames;
            continue;
        }
        CFileRecord r;
        r.path = f + name;
        r.name = name;
        const int dot = name.lastIndexOf('.');
        r.extension = dot < 0 ? QString() : name.mid(dot);
        r.size = qint64(st.st_size);
        r.modified = QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                                    st.st_mtim.tv_nsec / 1000000);
        entries.push_back(Entry{std::move(r), QString(), QString(), QString()});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = a.record.name.compare(b.record.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.record.name < b.record.name;
    });
    return entries;
}

std::vector<CThumbListModel::Entry> CThumbListModel::ReadProject(const QString& folder) {
    QString f = folder;
    if (!f.endsWith('/')) f += '/';
    const store::BrowsedProject p = store::ReadProjectForBrowsing(f.toStdString());
    const auto credits = store::ReadCredits(f.toStdString());
    std::vector<Entry> entries;
    QSet<QString> seen;
    for (const auto& pic : p.pictures) {
        const QString path = f + QString::fromStdString(pic.localName);
        if (seen.contains(path)) continue;
        seen.insert(path);
        Entry e{CFileRecord::FromPath(path), QString::fromStdString(pic.address), {}, {}};
        if (auto credit = credits.find(pic.localName); credit != credits.end()) {
            e.credit = QString::fromStdString(credit->second.Summary());
            e.bigAddress = QString::fromStdString(credit->second.fullPicture);
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

void CThumbListModel::SetRows(const std::vector<Entry>& entries) {
    beginResetModel();
    rows_.clear();
    idToRow_.clear();
    pathToRow_.clear();
    indexStale_ = false;
    ++generation_;
    rows_.reserve(entries.size());
    for (const Entry& e : entries) {
        Append(e.record, e.address);
        rows_.back().credit = e.credit;
        rows_.back().bigAddress = e.bigAddress;
    }
    endResetModel();
    emit ThumbnailsReset();
}

int CThumbListModel::FillFromFolder(const QString& folder) {
    SetRows(ReadFolder(folder));
    return int(rows_.size());
}

int CThumbListModel::FillFromProject(const QString& folder) {
    SetRows(ReadProject(folder));
    return int(rows_.size());
}

bool CThumbListModel::AddOne(const QString& folder, const QString& name, const QString& address) {
    QString f = folder;
    if (!f.endsWith('/')) f += '/';
    const QString path = f + name;
    if (RowOfPath(path) >= 0) return false;
    const int row = int(rows_.size());
    beginInsertRows({}, row, row);
    Append(CFileRecord::FromPath(path), address);
    endInsertRows();
    return true;
}

void CThumbListModel::RemoveRow(int row) { RemoveRows({row}); }

int CThumbListModel::RemoveRows(std::vector<int> rows) {
    const int count = int(rows_.size());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [count](int r) { return r < 0 || r >= count; }),
        rows.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty()) return 0;
    // Runs of neighbouring rows, [first, last].
    std::vector<std::pair<int, int>> runs;
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r)
            runs.back().second = r;
        else
            runs.emplace_back(r, r);
    }
    if (int(runs.size()) <= kRunsRemovedOneByOne) {
        // From the last run up, so the rows of the runs still to go keep
        // their numbers.
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            beginRemoveRows({}, it->first, it->second);
            rows_.erase(rows_.begin() + it->first, rows_.begin() + it->second + 1);
            indexStale_ = true;
            endRemoveRows();
        }
        return int(rows.size());
    }
    // Many runs (every other row of a large selection): one change of the
    // layout. Each view lays its rows out once and every persistent index
    // (the selection's among them) moves once, where a removal per run
    // would have them go through all of theirs each time.
    emit layoutAboutToBeChanged();
    std::vector<int> newRow(size_t(count), -1);
    std::vector<Row> kept;
    kept.reserve(size_t(count) - rows.size());
    size_t next = 0;
    for (int r = 0; r < count; ++r) {
        if (next < rows.size() && rows[next] == r) {
            ++next;
            continue;
        }
        newRow[size_t(r)] = int(kept.size());
        kept.push_back(std::move(rows_[size_t(r)]));
    }
    rows_ = std::move(kept);
    indexStale_ = true;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) {
        const int to = i.row() >= 0 && i.row() < count ? newRow[size_t(i.row())] : -1;
        after.append(to < 0 ? QModelIndex() : index(to, i.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
    return int(rows.size());
}

std::vector<int> CThumbListModel::RowsOfPaths(const QStringList& paths) const {
    std::vector<int> rows;
    rows.reserve(size_t(paths.size()));
    for (const QString& p : paths)
        if (const int r = RowOfPath(p); r >= 0) rows.push_back(r);
    return rows;
}

void CThumbListModel::EnsureIndex() const {
    if (!indexStale_) return;
    indexStale_ = false;
    ++indexRebuilds_;
    idToRow_.clear();
    pathToRow_.clear();
    idToRow_.reserve(qsizetype(rows_.size()));
    pathToRow_.reserve(qsizetype(rows_.size()));
    for (int i = 0; i < int(rows_.size()); ++i) {
        idToRow_.insert(rows_[size_t(i)].id, i);
        pathToRow_.insert(rows_[size_t(i)].record.path, i);
    }
}

QString CThumbListModel::PathOf(int row) const {
    return (row < 0 || row >= int(rows_.size())) ? QString() : rows_[size_t(row)].record.path;
}

void CThumbListModel::SetThumbSize(const QSize& size) {
    if (size == thumbSize_) return;
    thumbSize_ = size;
    ++generation_;
    for (Row& r : rows_) {
        r.thumb = {};
        r.state = ThumbState::kNone;
    }
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, kColumns - 1));
    emit ThumbnailsReset();
}

void CThumbListModel::MarkQueued(int row) {
    if (row >= 0 && row < int(rows_.size())) rows_[size_t(row)].state = ThumbState::kQueued;
}

void CThumbListModel::DropThumbnail(int row) {
    if (row < 0 || row >= int(rows_.size())) return;
    Row& r = rows_[size_t(row)];
    if (r.state != ThumbState::kDone) return;
    r.thumb = {};
    r.state = ThumbState::kNone;
    // Out of view: nothing to repaint.
}

bool CThumbListModel::Unqueue(quint64 id, quint64 generation) {
    if (generation != generation_) return false;
    const int row = RowOfId(id);
    if (row < 0 || rows_[size_t(row)].state != ThumbState::kQueued) return false;
    rows_[size_t(row)].state = ThumbState::kNone;
    return true;
}

bool CThumbListModel::Deliver(quint64 id, quint64 generation, const QString& path,
                              const picture::Thumbnail& t) {
    if (generation != generation_) return false;
    const int row = RowOfId(id);
    if (row < 0) return false;
    Row& r = rows_[size_t(row)];
    if (r.record.path.compare(path, Qt::CaseInsensitive) != 0) return false;
    r.thumb = t;
    r.state = ThumbState::kDone;
    // The thumbnail shows in the first column alone: one cell to repaint,
    // where a range of cells would have the views repaint all they show.
    emit dataChanged(index(row, 0), index(row, 0),
                     {kThumbRole, kThumbDoneRole, kValidRole, kLabelRole});
    return true;
}

}  // namespace pq
