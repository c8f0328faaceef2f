// Work off the user-interface thread, on threads of the standard library so
// that every hand-over is one a race detector can see: a fixed set of
// workers taking tasks from a guarded queue, and a result sink through which
// a task hands its value back to a QObject on the user-interface thread.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pq {

class CWorkerPool {
public:
    explicit CWorkerPool(int threads);
    // Tasks not begun are dropped; those running are waited for.
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Any thread.
    void Post(std::function<void()> task);
    // A task that waits until no task of Post's waits: work that may come
    // late (writing a cache) never holds up work someone waits for.
    void PostWhenIdle(std::function<void()> task);
    // Drops the tasks not begun yet.
    void Clear();
    int Threads() const { return int(threads_.size()); }

    // One pool for the program's short tasks (folder listings, previews),
    // a thread per core; it lasts to the end of the process, which does not
    // wait for it.
    static CWorkerPool& Shared();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::deque<std::function<void()>> idleTasks_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// Values from tasks to one QObject: Push (any thread) queues a value and,
// when the queue was empty, asks the object (queued) to call its invokable
// slot, which takes them with Take (unless the owner holds the calls back
// and takes them on its own time). After Detach nothing more is pushed, so
// a task that ends after its object has gone changes nothing.
template <class T>
class CResultSink {
public:
    CResultSink(QObject* target, const char* slot) : target_(target), slot_(slot) {}

    bool Push(T value) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!target_) return false;
        values_.push_back(std::move(value));
        if (values_.size() == 1 && !held_)
            QMetaObject::invokeMethod(target_, slot_, Qt::QueuedConnection);
        return true;
    }
    // Takes what waits. With hold, the values pushed until the next Take
    // do not call the slot: the owner takes again soon by itself (a timer),
    // so a stream of values comes in batches rather than a call each.
    std::vector<T> Take(bool hold = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<T> out;
        out.swap(values_);
        held_ = hold;
        return out;
    }
    void Detach() {
        std::lock_guard<std::mutex> lock(mutex_);
        target_ = nullptr;
        values_.clear();
    }

private:
    std::mutex mutex_;
    QObject* target_;
    const char* slot_;
    std::vector<T> values_;
    bool held_ = false;
};

}  // namespace pq
