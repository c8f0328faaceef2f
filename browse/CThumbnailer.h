// Makes the thumbnails of one list off the user-interface thread: visible
// rows first, then the rows below them, then those above, each once. A pool
// of its own (a thread per core) makes them, from the shared thumbnail cache
// when one is given (ThumbnailMaker); a few requests per thread wait in its
// queue so that no thread idles while a result travels back. Each result
// comes back to the user-interface thread queued and is kept only if its row
// is still there (CThumbListModel::Deliver). Nothing is made while disabled.
// User-interface thread, except the decodes.
#pragma once

#include <QObject>
#include <memory>

#include "browse/CWorkerPool.h"
#include "browse/PictureLoader.h"
#include "browse/ThumbnailMaker.h"

namespace pq {

class CThumbListModel;

class CThumbnailer : public QObject {
    Q_OBJECT
public:
    static constexpr int kQueuedPerThread = 4;

    explicit CThumbnailer(CThumbListModel& model, QObject* parent = nullptr);
    ~CThumbnailer() override;

    void SetEnabled(bool on);
    // Where thumbnails are looked up and kept; none: decoded every time
    // (the default). Thumbnails made already stay.
    void SetCache(std::shared_ptr<const ThumbnailCache> cache);
    const std::shared_ptr<const ThumbnailCache>& Cache() const { return maker_->Cache(); }
    // The threads that make the thumbnails.
    int Threads() const { return pool_->Threads(); }
    bool Enabled() const { return enabled_; }
    // The rows the view shows now, [first, last]; -1 when none.
    void SetVisibleRange(int first, int last);
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
    };
    int NextRow();
    void ResetCursors();

    CThumbListModel& model_;
    std::shared_ptr<CResultSink<Result>> sink_;
    std::unique_ptr<CWorkerPool> pool_;
    std::shared_ptr<const ThumbnailMaker> maker_;
    bool enabled_ = false;
    int inFlight_ = 0;
    int maxInFlight_ = 1;
    int first_ = 0, last_ = -1;
    int below_ = 0;   // next row to look at from the first visible one down
    int above_ = -1;  // next row to look at from above the first visible one up
};

}  // namespace pq
