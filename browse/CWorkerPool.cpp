#include "browse/CWorkerPool.h"

namespace pq {

CWorkerPool::CWorkerPool(int threads) {
    for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { Run(); });
}

CWorkerPool::~CWorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        tasks_.clear();
        idleTasks_.clear();
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void CWorkerPool::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void CWorkerPool::PostWhenIdle(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        idleTasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void CWorkerPool::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.clear();
    idleTasks_.clear();
}

void CWorkerPool::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !tasks_.empty() || !idleTasks_.empty(); });
            if (stop_) return;
            auto& from = tasks_.empty() ? idleTasks_ : tasks_;
            task = std::move(from.front());
            from.pop_front();
        }
        task();
    }
}

CWorkerPool& CWorkerPool::Shared() {
    // Never destroyed: at the end of the process nothing waits for a
    // preview decode that nobody will see (a huge picture takes a second).
    // Its threads end with the process; what they would deliver goes to
    // sinks that are detached by then.
    static CWorkerPool* pool =
        new CWorkerPool(int(std::max(1u, std::thread::hardware_concurrency())));
    return *pool;
}

}  // namespace pq
