#include "browse/CPictureIndexer.h"

#include <sys/stat.h>

#include <QFile>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "browse/FileRecord.h"
#include "browse/PictureHash.h"

namespace pq {

namespace fs = std::filesystem;

namespace {

// Entries written per transaction: one sync for many pictures, and the
// index's lock never held for long (the download workers use it too).
constexpr size_t kBatch = 64;

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string WithSlash(std::string f) {
    if (!f.empty() && f.back() != '/') f += '/';
    return f;
}

bool StatFile(const std::string& path, int64_t& size, int64_t& mtimeNs) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = int64_t(st.st_size);
    mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

// The whole entry of a picture, read without the index's lock: its bytes
// read once for both hashes.
std::optional<store::IndexedPicture> Measure(const std::string& path, int64_t mtimeNs) {
    FILE* f = std::fopen(path.c_str(), "rbe");
    if (!f) return std::nullopt;
    QByteArray bytes;
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, qsizetype(n));
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) return std::nullopt;
    store::IndexedPicture p;
    p.path = path;
    p.mtimeNs = mtimeNs;
    p.size = int64_t(bytes.size());
    p.hash = store::HashBytes(bytes.constData(), size_t(bytes.size()));
    const picture::PictureHash d = picture::DifferenceHashOfBytes(bytes);
    p.dhash = d.dhash;
    if (d.size.isValid()) {
        p.width = d.size.width();
        p.height = d.size.height();
    }
    return p;
}

void PutAll(store::PictureIndex& index, const std::vector<store::IndexedPicture>& pictures) {
    if (pictures.empty()) return;
    store::PictureIndex::Batch batch(index);
    for (const store::IndexedPicture& p : pictures) index.Put(p);
}

}  // namespace

CPictureIndexer::CPictureIndexer(store::PictureIndex& index) : index_(index) {}

CPictureIndexer::~CPictureIndexer() {
    // The task running sees it and ends at its next picture; the pool (the
    // last member) then drops what has not begun and ends its thread.
    stop_ = true;
}

bool CPictureIndexer::IsIndexedName(const std::string& name) {
    return CFileRecord::IsListedPicture(QFile::decodeName(name.c_str()));
}

bool CPictureIndexer::EnterFile(store::PictureIndex& index, const std::string& path) {
    int64_t size = 0, mtime = 0;
    if (!StatFile(path, size, mtime)) {
        index.Remove(path);
        return false;
    }
    if (const auto known = index.Get(path);
        known && known->size == size && known->mtimeNs == mtime && known->dhash)
        return true;
    const auto p = Measure(path, mtime);
    if (!p) {
        index.Remove(path);
        return false;
    }
    return index.Put(*p);
}

int CPictureIndexer::UpdateFolder(store::PictureIndex& index, const std::string& folderIn,
                                  const std::atomic<bool>& stop) {
    const std::string folder = WithSlash(folderIn);
    std::unordered_map<std::string, store::IndexedPicture> known;
    for (store::IndexedPicture& p : index.In(folder)) known.emplace(p.path, std::move(p));
    int hashed = 0;
    std::vector<store::IndexedPicture> ready;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        // A folder that went takes its entries along; one that cannot be
        // read for the while keeps them (that is no proof they went).
        if (!fs::exists(folder, ec) && !ec) index.RemoveUnder(folder);
        return 0;
    }
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (stop) return hashed;
        const std::string name = it->path().filename().string();
        if (!IsIndexedName(name)) continue;
        const std::string path = folder + name;
        int64_t size = 0, mtime = 0;
        if (!StatFile(path, size, mtime)) continue;
        const auto k = known.find(path);
        const bool current = k != known.end() && k->second.size == size &&
                             k->second.mtimeNs == mtime && k->second.dhash;
        if (k != known.end()) known.erase(k);  // what is left went
        if (current) continue;
        if (auto p = Measure(path, mtime)) {
            ready.push_back(std::move(*p));
            ++hashed;
        }
        if (ready.size() >= kBatch) {
            PutAll(index, ready);
            ready.clear();
        }
    }
    PutAll(index, ready);
    // A listing cut short says nothing of the names it did not reach.
    if (!ec && !known.empty()) {
        store::PictureIndex::Batch batch(index);
        for (const auto& entry : known) index.Remove(entry.first);
    }
    return hashed;
}

void CPictureIndexer::Queue(std::function<void()> task, bool whenIdle) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pending_;
    }
    auto run = [this, task = std::move(task)] {
        task();
        std::lock_guard<std::mutex> lock(mutex_);
        if (--pending_ == 0) done_.notify_all();
    };
    if (whenIdle)
        pool_.PostWhenIdle(std::move(run));
    else
        pool_.Post(std::move(run));
}

void CPictureIndexer::EnterFolder(const QString& folder) {
    Queue([this, f = Local(folder)] { hashed_ += UpdateFolder(index_, f, stop_); });
}

void CPictureIndexer::EnterFiles(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(Local(f));
    Queue([this, paths = std::move(paths)] {
        for (const std::string& p : paths) {
            if (stop_) return;
            if (EnterFile(index_, p)) ++hashed_;
        }
    });
}

void CPictureIndexer::Moved(const QStringList& from, const QStringList& to) {
    std::vector<std::pair<std::string, std::string>> moves;
    for (int i = 0; i < from.size() && i < to.size(); ++i)
        moves.emplace_back(Local(from[i]), Local(to[i]));
    Queue([this, moves = std::move(moves)] {
        {
            store::PictureIndex::Batch batch(index_);
            for (const auto& [a, b] : moves) index_.Move(a, b);
        }
        // A picture the index did not hold yet comes in at its new place.
        for (const auto& move : moves)
            if (!stop_ && !index_.Get(move.second)) EnterFile(index_, move.second);
    });
}

void CPictureIndexer::Removed(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(Local(f));
    Queue([this, paths = std::move(paths)] {
        store::PictureIndex::Batch batch(index_);
        for (const std::string& p : paths) index_.Remove(p);
    });
}

void CPictureIndexer::RemovedUnder(const QString& folder) {
    Queue([this, f = WithSlash(Local(folder))] { index_.RemoveUnder(f); });
}

void CPictureIndexer::Rebuild(const QStringList& roots) {
    std::vector<std::string> tops;
    for (const QString& r : roots) tops.push_back(WithSlash(Local(r)));
    // The walk itself is quick; each folder it finds waits its turn.
    Queue(
        [this, tops = std::move(tops)] {
            for (const std::string& top : tops)
                for (const std::string& folder : FoldersUnder(top, stop_))
                    if (!stop_)
                        Queue([this, folder] { hashed_ += UpdateFolder(index_, folder, stop_); },
                              true);
            Queue(
                [this] {
                    if (!stop_) index_.RebuildDone();
                },
                true);
        },
        true);
}

void CPictureIndexer::Post(
    std::function<void(store::PictureIndex&, const std::atomic<bool>& stop)> work) {
    Queue([this, work = std::move(work)] { work(index_, stop_); });
}

std::vector<std::string> CPictureIndexer::FoldersUnder(const std::string& top,
                                                       const std::atomic<bool>& stop) {
    std::vector<std::string> out;
    std::error_code ec;
    if (!fs::is_directory(top, ec)) return out;
    out.push_back(WithSlash(top));
    // Links are not followed: a loop of them never ends.
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        if (stop) break;
        if (it->is_symlink(ec) || !it->is_directory(ec)) continue;
        out.push_back(WithSlash(it->path().string()));
    }
    return out;
}

bool CPictureIndexer::WaitForIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return pending_ == 0; });
}

}  // namespace pq
