#include "engine/CPictureQueue.h"

#include "engine/CUrl.h"

namespace pq {

void CPictureQueue::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    addresses_.clear();
    queued_ = 0;
    taken_ = 0;
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
}

void CPictureQueue::AppendTaken(const std::string& localName, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    MakeRoomLocked();
    entries_[size_t(queued_)] = Entry{localName, address, std::string()};
    addresses_.insert(EncodeForRequest(address));
    queued_.fetch_add(1);
    taken_.fetch_add(1);
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

void CPictureQueue::AdvanceTaken() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken_ < queued_) taken_.fetch_add(1);
}

int CPictureQueue::ListSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(entries_.size());
}

}  // namespace pq
