#include "browse/CThumbnailer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "browse/CThumbListModel.h"

namespace pq {

CThumbnailer::CThumbnailer(CThumbListModel& model, QObject* parent)
    : QObject(parent),
      model_(model),
      sink_(std::make_shared<CResultSink<Result>>(this, "DrainResults")) {
    const int threads = std::max(1, QThread::idealThreadCount());
    pool_ = std::make_unique<CWorkerPool>(threads);
    maker_ = std::make_shared<ThumbnailMaker>();
    // Each thread finds its next request waiting when it ends one; few
    // enough wait that a scroll's new rows come soon.
    maxInFlight_ = threads * kQueuedPerThread;
    batch_ = new QTimer(this);
    batch_->setSingleShot(true);
    batch_->setInterval(kBatchMs);
    connect(batch_, &QTimer::timeout, this, &CThumbnailer::DrainResults);
    connect(&model_, &CThumbListModel::ThumbnailsReset, this, [this] {
        held_.clear();  // every thumbnail went with the rows or the size
        ResetCursors();
        Kick();
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] { Kick(); });
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, [this] { ResetCursors(); });
    connect(&model_, &QAbstractItemModel::layoutChanged, this, [this] { ResetCursors(); });
}

CThumbnailer::~CThumbnailer() {
    sink_->Detach();
    pool_.reset();  // waits for the decodes under way
}

void CThumbnailer::SetEnabled(bool on) {
    enabled_ = on;
    if (on) Kick();
}

void CThumbnailer::SetCache(std::shared_ptr<const ThumbnailCache> cache) {
    if (cache == maker_->Cache()) return;
    // Requests under way keep the maker they were given.
    maker_ = std::make_shared<ThumbnailMaker>(std::move(cache));
}

void CThumbnailer::SetVisibleRange(int first, int last) {
    if (first == first_ && last == last_) return;
    first_ = std::max(0, first);
    last_ = last;
    // What waits in the pool's queue is asked again in the new order.
    ++*order_;
    ResetCursors();
    Evict();
    Kick();
}

std::pair<int, int> CThumbnailer::KeptWindow() const {
    const int rows = model_.rowCount();
    if (rows == 0) return {0, -1};
    const QSize size = model_.ThumbSize();
    const qint64 perThumb = std::max<qint64>(1, qint64(size.width()) * size.height() * 4);
    const int visible = std::max(1, last_ - first_ + 1);
    const int window = int(std::max<qint64>(keptBytes_ / perThumb, 3ll * visible));
    // Most of what is beyond the visible rows lies below them, where a
    // reader goes next.
    const int spare = std::max(0, window - visible);
    int lo = std::max(0, first_ - spare / 3);
    int hi = std::min(rows - 1, lo + window - 1);
    lo = std::max(0, std::min(lo, hi - window + 1));
    return {lo, hi};
}

void CThumbnailer::Evict() {
    const auto [lo, hi] = KeptWindow();
    for (auto it = held_.begin(); it != held_.end();) {
        const int row = model_.RowOfId(*it);
        if (row < 0) {
            it = held_.erase(it);
        } else if (row < lo || row > hi) {
            model_.DropThumbnail(row);
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
}

void CThumbnailer::ResetCursors() {
    const int rows = model_.rowCount();
    first_ = std::min(first_, std::max(0, rows - 1));
    below_ = first_;
    above_ = first_ - 1;
}

int CThumbnailer::NextRow() {
    const int rows = model_.rowCount();
    const auto [lo, hi] = KeptWindow();
    // Visible rows and those below them, in order, as far as the window...
    while (below_ < rows && below_ <= hi) {
        const int r = below_++;
        if (model_.At(r).state == CThumbListModel::ThumbState::kNone) return r;
    }
    // ...then those above, nearest first.
    while (above_ >= lo) {
        const int r = above_--;
        if (r < rows && model_.At(r).state == CThumbListModel::ThumbState::kNone) return r;
    }
    return -1;
}

void CThumbnailer::Kick() {
    if (!enabled_) return;
    // New rows at the end are below the cursor; a cursor past the end
    // finds them.
    while (inFlight_ < maxInFlight_) {
        const int row = NextRow();
        if (row < 0) break;
        model_.MarkQueued(row);
        const auto& r = model_.At(row);
        const quint64 id = r.id, generation = model_.Generation();
        const QString path = r.record.path;
        ++inFlight_;
        const QSize size = model_.ThumbSize();
        pool_->Post([sink = sink_, maker = maker_, writes = writes_, pool = pool_.get(),
                     order = order_, asked = order_->load(), id, generation, path, size] {
            if (order->load() != asked) {
                sink->Push(Result{id, generation, path, {}, true});
                return;
            }
            ThumbnailMaker::Made made = maker->Make(path, size);
            // The row has its thumbnail before the cache has its file.
            sink->Push(Result{id, generation, path, made.thumb, false});
            if (!made.ToKeep()) return;
            // Pixels the row does not share.
            const qint64 bytes = made.toStore.constBits() == made.thumb.image.constBits()
                                     ? 0
                                     : made.toStore.sizeInBytes();
            if (writes->bytes.load() + bytes > kMaxWaitingBytes) {
                maker->Keep(made);
                return;
            }
            writes->count++;
            writes->bytes += bytes;
            pool->PostWhenIdle([maker, writes, bytes, made = std::move(made)] {
                maker->Keep(made);
                writes->bytes -= bytes;
                writes->count--;
            });
        });
    }
    if (inFlight_ == 0) emit Idle();
}

void CThumbnailer::DrainResults() {
    bool skipped = false;
    // More is on its way: it is taken by the timer, in one batch.
    const bool streaming = inFlight_ > 0;
    for (Result& r : sink_->Take(streaming)) {
        --inFlight_;
        if (r.skipped) {
            skipped = model_.Unqueue(r.id, r.generation) || skipped;
            continue;
        }
        if (model_.Deliver(r.id, r.generation, r.path, r.thumb)) {
            held_.insert(r.id);
            emit Delivered(model_.RowOfId(r.id));
        }
    }
    // Rows scrolled past while their thumbnails were on the way.
    if (held_.size() > qsizetype(KeptWindow().second - KeptWindow().first + 1)) Evict();
    // Rows given back lie anywhere: the cursors look again from the top of
    // the visible rows.
    if (skipped) ResetCursors();
    Kick();
    if (streaming) batch_->start();
}

bool CThumbnailer::WaitIdle(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (inFlight_ == 0) {
            Kick();
            if (inFlight_ == 0) return true;
        }
        QThread::msleep(1);
    }
    return false;
}

}  // namespace pq
