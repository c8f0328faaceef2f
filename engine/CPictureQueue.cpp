#include "engine/CPictureQueue.h"

#include <chrono>

#include "engine/CUrl.h"

namespace pq {

void CPictureQueue::Reset() {
    std::lock_guard<std::mutex> commitLock(commitMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    addresses_.clear();
    outcomes_.clear();
    queued_ = 0;
    taken_ = 0;
    finished_ = 0;
}

void CPictureQueue::MakeRoomLocked() {
    int size = int(entries_.size());
    if (queued_ > size - 6 || size == 0) entries_.resize(size_t(queued_ + 30));
}

void CPictureQueue::MakeRoom() {
    std::lock_guard<std::mutex> lock(mutex_);
    MakeRoomLocked();
}

void CPictureQueue::Append(const std::string& localName, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queued_ >= int(entries_.size())) MakeRoomLocked();
    entries_[size_t(queued_)] = Entry{localName, address, std::string()};
    addresses_.insert(EncodeForRequest(address));
    // The entry is complete before the count shows it.
    queued_.fetch_add(1);
    entriesCv_.notify_one();
}

void CPictureQueue::AppendTaken(const std::string& localName, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    MakeRoomLocked();
    entries_[size_t(queued_)] = Entry{localName, address, std::string()};
    addresses_.insert(EncodeForRequest(address));
    queued_.fetch_add(1);
    taken_.fetch_add(1);
    finished_.fetch_add(1);
}

int CPictureQueue::TakeNext(int window) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int next = taken_.load();
    if (next >= queued_.load() || next - finished_.load() >= window) return -1;
    taken_.fetch_add(1);
    roomCv_.notify_one();
    return next;
}

void CPictureQueue::Finish(int index, std::optional<Arrival> arrival, const Committer& commit) {
    std::lock_guard<std::mutex> lock(commitMutex_);
    if (index < finished_.load()) return;  // finished before (or the queue was reset)
    outcomes_[index] = std::move(arrival);
    for (auto it = outcomes_.begin(); it != outcomes_.end() && it->first == finished_.load();
         it = outcomes_.erase(it)) {
        if (it->second && commit) commit(it->first, *it->second);
        finished_.fetch_add(1);
    }
    std::lock_guard<std::mutex> listLock(mutex_);
    // One worker may now take an entry the commit window held back, or find
    // the queue drained; the crawl may queue more.
    entriesCv_.notify_one();
    roomCv_.notify_one();
}

void CPictureQueue::WaitForEntries(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    const int queued = queued_.load(), finished = finished_.load();
    entriesCv_.wait_for(lock, std::chrono::milliseconds(ms),
                        [&] { return queued_.load() != queued || finished_.load() != finished; });
}

void CPictureQueue::WaitForRoom(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    const int taken = taken_.load(), finished = finished_.load();
    roomCv_.wait_for(lock, std::chrono::milliseconds(ms),
                     [&] { return taken_.load() != taken || finished_.load() != finished; });
}

std::vector<std::string> CPictureQueue::TakeWaitingArrivals() {
    std::lock_guard<std::mutex> lock(commitMutex_);
    std::vector<std::string> paths;
    for (auto& [index, arrival] : outcomes_)
        if (arrival) paths.push_back(arrival->tempPath);
    outcomes_.clear();
    return paths;
}

bool CPictureQueue::ContainsAddress(const std::string& address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return addresses_.count(EncodeForRequest(address)) != 0;
}

CPictureQueue::Entry CPictureQueue::At(int i) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (i < 0 || i >= int(entries_.size())) return {};
    return entries_[size_t(i)];
}

int CPictureQueue::ListSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(entries_.size());
}

}  // namespace pq
