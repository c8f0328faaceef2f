#include "browse/CThumbnailer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRunnable>
#include <QThread>
#include <mutex>

#include "browse/CThumbListModel.h"

namespace pq {

// The way back from a decode to the thumbnailer: cut when the thumbnailer
// goes, so no late result reaches it.
struct CThumbnailer::Sink {
    std::mutex mutex;
    CThumbnailer* target = nullptr;
};

namespace {

class Job : public QRunnable {
public:
    using Deliver = std::function<void(const picture::Thumbnail&)>;
    Job(QString path, QSize size, Deliver deliver)
        : path_(std::move(path)), size_(size), deliver_(std::move(deliver)) {}
    void run() override { deliver_(picture::LoadThumbnail(path_, size_)); }

private:
    QString path_;
    QSize size_;
    Deliver deliver_;
};

}  // namespace

CThumbnailer::CThumbnailer(CThumbListModel& model, QObject* parent)
    : QObject(parent), model_(model), sink_(std::make_shared<Sink>()) {
    sink_->target = this;
    maxInFlight_ = std::max(1, QThread::idealThreadCount());
    pool_.setMaxThreadCount(maxInFlight_);
    connect(&model_, &CThumbListModel::ThumbnailsReset, this, [this] {
        ResetCursors();
        Kick();
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] { Kick(); });
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, [this] { ResetCursors(); });
}

CThumbnailer::~CThumbnailer() {
    {
        std::lock_guard<std::mutex> lock(sink_->mutex);
        sink_->target = nullptr;
    }
    pool_.clear();
    pool_.waitForDone();
}

void CThumbnailer::SetEnabled(bool on) {
    enabled_ = on;
    if (on) Kick();
}

void CThumbnailer::SetVisibleRange(int first, int last) {
    if (first == first_ && last == last_) return;
    first_ = std::max(0, first);
    last_ = last;
    ResetCursors();
    Kick();
}

void CThumbnailer::ResetCursors() {
    const int rows = model_.rowCount();
    first_ = std::min(first_, std::max(0, rows - 1));
    below_ = first_;
    above_ = first_ - 1;
}

int CThumbnailer::NextRow() {
    const int rows = model_.rowCount();
    // Visible rows and those below them, in order...
    while (below_ < rows) {
        const int r = below_++;
        if (model_.At(r).state == CThumbListModel::ThumbState::kNone) return r;
    }
    // ...then those above, nearest first.
    while (above_ >= 0) {
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
        std::weak_ptr<Sink> weak = sink_;
        ++inFlight_;
        pool_.start(new Job(path, model_.ThumbSize(), [weak, id, generation, path](const picture::Thumbnail& t) {
            auto sink = weak.lock();
            if (!sink) return;
            std::lock_guard<std::mutex> lock(sink->mutex);
            if (!sink->target) return;
            CThumbnailer* target = sink->target;
            QMetaObject::invokeMethod(
                target, [target, id, generation, path, t] { target->OnResult(id, generation, path, t); },
                Qt::QueuedConnection);
        }));
    }
    if (inFlight_ == 0) emit Idle();
}

void CThumbnailer::OnResult(quint64 id, quint64 generation, const QString& path,
                            const picture::Thumbnail& t) {
    --inFlight_;
    if (model_.Deliver(id, generation, path, t)) emit Delivered(model_.RowOfId(id));
    Kick();
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
