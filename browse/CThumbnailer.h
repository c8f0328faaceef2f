// Makes the thumbnails of one list off the user-interface thread: visible
// rows first, then the rows below them, then those above, each once. A pool
// of its own (a thread per core) makes them, from the shared thumbnail cache
// when one is given (ThumbnailMaker); requests wait in its queue so that no
// thread idles while a result travels back, and those not begun when the
// visible rows change come back unmade, to be asked again in the new
// order. What is to be
// written into the cache waits until no request does: thumbnails first,
// the cache when there is time (at once only when too much waits). Each
// result comes back to the user-interface thread queued and is kept only if
// its row is still there (CThumbListModel::Deliver). Only the rows near the
// visible ones hold thumbnails: a window of rows around them, as many as
// kKeptBytes of thumbnails take (and at least three screens), is made and
// kept; a row that leaves the window gives its thumbnail up and has it made
// again (from the shared cache when there is one) when scrolled back to, so
// memory does not grow with the folder. Nothing is made while
// disabled; what waits is dropped when the list goes.
// User-interface thread, except the decodes.
#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "browse/CWorkerPool.h"
#include "browse/PictureLoader.h"
#include "browse/ThumbnailMaker.h"

namespace pq {

class CThumbListModel;

class CThumbnailer : public QObject {
    Q_OBJECT
public:
    static constexpr int kQueuedPerThread = 64;
    // While results stream in they are taken in batches this far apart,
    // not one wake-up each.
    static constexpr int kBatchMs = 2;

    explicit CThumbnailer(CThumbListModel& model, QObject* parent = nullptr);
    ~CThumbnailer() override;

    void SetEnabled(bool on);
    // Where thumbnails are looked up and kept; none: decoded every time
    // (the default). Thumbnails made already stay.
    void SetCache(std::shared_ptr<const ThumbnailCache> cache);
    const std::shared_ptr<const ThumbnailCache>& Cache() const { return maker_->Cache(); }
    // The threads that make the thumbnails.
    int Threads() const { return pool_->Threads(); }
    // Thumbnails and failures still to be written into the cache.
    int WritesWaiting() const { return writes_->count.load(); }
    // Pixels of thumbnails that may wait for their write; beyond, a thread
    // writes its own at once.
    static constexpr qint64 kMaxWaitingBytes = 64ll << 20;
    bool Enabled() const { return enabled_; }
    // The rows the view shows now, [first, last]; -1 when none.
    void SetVisibleRange(int first, int last);
    // Bytes of thumbnails the rows around the visible ones may hold.
    static constexpr qint64 kKeptBytes = 48ll << 20;
    void SetKeptBytes(qint64 bytes) { keptBytes_ = std::max<qint64>(1, bytes); }
    qint64 KeptBytes() const { return keptBytes_; }
    // The rows that may hold thumbnails now, [first, last].
    std::pair<int, int> KeptWindow() const;
    // Rows holding a thumbnail now.
    int Held() const { return int(held_.size()); }
    // Starts as many decodes as may run.
    void Kick();
    int InFlight() const { return inFlight_; }
    // For tests and the benchmark: waits until nothing is in flight and
    // nothing is left to request, delivering results as they come.
    bool WaitIdle(int timeoutMs);

    // Takes the thumbnails made since the last call (queued from the pool).
    Q_INVOKABLE void DrainResults();

signals:
    // A thumbnail was kept for a row.
    void Delivered(int row);
    // Everything requested so far has come back.
    void Idle();

private:
    struct Result {
        quint64 id;
        quint64 generation;
        QString path;
        picture::Thumbnail thumb;
        bool skipped = false;  // not begun before the visible rows changed
    };
    int NextRow();
    void ResetCursors();
    // Rows outside the kept window give their thumbnails up.
    void Evict();

    CThumbListModel& model_;
    std::shared_ptr<CResultSink<Result>> sink_;
    std::unique_ptr<CWorkerPool> pool_;
    QTimer* batch_;
    std::shared_ptr<const ThumbnailMaker> maker_;
    struct Writes {
        std::atomic<int> count{0};
        std::atomic<qint64> bytes{0};
    };
    std::shared_ptr<Writes> writes_ = std::make_shared<Writes>();
    // Changes with the visible rows: a request of an older order is not
    // begun.
    std::shared_ptr<std::atomic<quint64>> order_ = std::make_shared<std::atomic<quint64>>(0);
    bool enabled_ = false;
    int inFlight_ = 0;
    int maxInFlight_ = 1;
    int first_ = 0, last_ = -1;
    int below_ = 0;   // next row to look at from the first visible one down
    int above_ = -1;  // next row to look at from above the first visible one up
    qint64 keptBytes_ = kKeptBytes;
    // Ids of the rows holding a thumbnail.
    QSet<quint64> held_;
};

}  // namespace pq
