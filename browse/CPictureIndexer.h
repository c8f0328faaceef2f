// Keeps the picture index in step with the folders off the user-interface
// thread: a folder shown has its new and changed pictures hashed (content
// hash, difference hash, dimensions) and the entries of files that went
// dropped; pictures saved, moved and deleted are entered, moved and
// removed. Everything runs on one thread of the indexer's own, in the order
// it was asked, so thumbnails never wait for it and a move never overtakes
// the folder read before it. A rebuild of the whole index waits until
// nothing else does.
// Calls: user-interface thread (any single thread); the work: the
// indexer's thread.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browse/CWorkerPool.h"
#include "store/PictureIndex.h"

namespace pq {

class CPictureIndexer {
public:
    explicit CPictureIndexer(store::PictureIndex& index);
    // What has not begun is dropped; a folder being entered stops at its
    // next picture.
    ~CPictureIndexer();
    CPictureIndexer(const CPictureIndexer&) = delete;
    CPictureIndexer& operator=(const CPictureIndexer&) = delete;

    store::PictureIndex& Index() { return index_; }

    void EnterFolder(const QString& folder);
    void EnterFiles(const QStringList& files);
    // from[i] went to to[i].
    void Moved(const QStringList& from, const QStringList& to);
    void Removed(const QStringList& files);
    void RemovedUnder(const QString& folder);
    // Every folder below the roots, each entered when nothing else waits;
    // then the index is told it was rebuilt.
    void Rebuild(const QStringList& roots);
    // Work of the caller's on the index, after what was asked before it;
    // stop is set when the indexer goes.
    void Post(std::function<void(store::PictureIndex&, const std::atomic<bool>& stop)> work);

    // Until everything asked is done, or the time is up (tests, tools).
    bool WaitForIdle(int timeoutMs);
    // Pictures hashed since the indexer was made.
    int Hashed() const { return hashed_.load(); }

    // Brings the entries of one folder up to date on the calling thread:
    // pictures not current in the index are hashed, entries whose files
    // went are removed. Returns the pictures hashed. Any thread.
    static int UpdateFolder(store::PictureIndex& index, const std::string& folder,
                            const std::atomic<bool>& stop);
    // Enters one picture file (content hash, difference hash and size)
    // unless it is current; false when it is not a readable file.
    static bool EnterFile(store::PictureIndex& index, const std::string& path);
    // folder and every folder below it (links not followed), folder first.
    static std::vector<std::string> FoldersUnder(const std::string& folder,
                                                 const std::atomic<bool>& stop);
    // Whether the index holds pictures of this name.
    static bool IsIndexedName(const std::string& name);

private:
    void Queue(std::function<void()> task, bool whenIdle = false);

    store::PictureIndex& index_;
    std::atomic<bool> stop_{false};
    std::atomic<int> hashed_{0};
    std::mutex mutex_;
    std::condition_variable done_;
    int pending_ = 0;
    // Last: its thread ends before the rest goes. Never reset or replaced:
    // a task on its thread (a rebuild) queues more work through it until
    // the pool's destructor has ended that thread.
    CWorkerPool pool_{1};
};

}  // namespace pq
