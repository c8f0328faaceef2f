#include "engine/CPagePrefetcher.h"

#include <algorithm>

namespace pq {

CPagePrefetcher::CPagePrefetcher(int fetchers, int capacity, const Settings& settings)
    : capacity_(std::max(capacity, fetchers)) {
    for (int i = 0; i < fetchers; ++i) {
        auto f = std::make_unique<CPageFetcher>();
        if (f->OpenSession(settings.useProxy, settings.proxy) != CPageFetcher::kSuccess) continue;
        f->SetUserAgent(settings.userAgent);
        f->SetGate(settings.gate);
        fetchers_.push_back(std::move(f));
    }
    for (auto& f : fetchers_) threads_.emplace_back([this, p = f.get()] { Run(p); });
}

CPagePrefetcher::~CPagePrefetcher() { Stop(); }

void CPagePrefetcher::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    Cancel();
    for (auto& t : threads_) t.join();
    threads_.clear();
    for (auto& f : fetchers_) f->CloseSession();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [address, slot] : slots_)
        if (slot.state == State::kDone) ++counts_.wasted;
    slots_.clear();
    wanted_.clear();
}

void CPagePrefetcher::Cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    for (auto& f : fetchers_) f->SetCancel(true);
    workCv_.notify_all();
    doneCv_.notify_all();
}

void CPagePrefetcher::Want(const std::vector<std::string>& next) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return;
    // The window: the first pages the walk will visit, fetched now. Answers
    // for pages further on that are held already are kept until the walk
    // reaches them; those no longer on its way at all (visited meanwhile
    // under another address, or cut off) are dropped. The lists are short:
    // plain searches beat hashing here.
    auto has = [](const auto& list, const std::string& a) {
        return std::find(list.begin(), list.end(), a) != list.end();
    };
    wanted_.clear();
    for (const std::string& a : next) {
        if (int(wanted_.size()) >= capacity_) break;
        if (!has(wanted_, a)) wanted_.push_back(a);
    }
    future_ = next;
    for (auto it = slots_.begin(); it != slots_.end();) {
        const State state = it->second.state;
        const bool drop = state == State::kQueued
                              ? !has(wanted_, it->first)
                              : state == State::kDone && !has(future_, it->first);
        if (drop) {
            if (state == State::kDone) ++counts_.wasted;
            it = slots_.erase(it);
        } else {
            ++it;
        }
    }
    // One fetcher woken for each page to fetch: the others sleep on.
    for (const std::string& a : wanted_) {
        if (int(slots_.size()) >= capacity_ || slots_.count(a)) continue;
        slots_[a] = Slot{};
        workCv_.notify_one();
    }
}

bool CPagePrefetcher::Take(const std::string& address, Page& page) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = slots_.find(address);
    if (it == slots_.end() || it->second.state == State::kQueued) {
        // Not begun: the walk fetches it itself, and no fetcher starts it now.
        if (it != slots_.end()) slots_.erase(it);
        wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), address), wanted_.end());
        return false;
    }
    doneCv_.wait(lock, [&] {
        auto s = slots_.find(address);
        return cancelled_ || s == slots_.end() || s->second.state == State::kDone;
    });
    it = slots_.find(address);
    if (cancelled_ || it == slots_.end()) return false;
    page = std::move(it->second.page);
    slots_.erase(it);
    wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), address), wanted_.end());
    ++counts_.used;
    return true;
}

CPagePrefetcher::Counts CPagePrefetcher::Stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

size_t CPagePrefetcher::HeldBytesLocked() const {
    size_t bytes = 0;
    for (const auto& [address, slot] : slots_) bytes += slot.page.body.size();
    return bytes;
}

void CPagePrefetcher::Run(CPageFetcher* fetcher) {
    std::vector<char> buffer(CPageFetcher::kPageBufferSize);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        std::string address;
        workCv_.wait(lock, [&] {
            if (ending_ || cancelled_) return true;
            for (const std::string& a : wanted_) {
                auto s = slots_.find(a);
                if (s != slots_.end() && s->second.state == State::kQueued) {
                    address = a;
                    return true;
                }
            }
            return false;
        });
        if (ending_ || cancelled_) return;
        slots_[address].state = State::kFetching;
        ++counts_.fetched;
        lock.unlock();

        Page page;
        page.address = address;
        int size = 0;
        buffer[0] = '\0';
        page.rc = fetcher->Fetch(page.address, buffer.data(), size, true);
        if (page.rc == CPageFetcher::kSuccess) page.body.assign(buffer.data(), size_t(size));
        page.failure = fetcher->FailureText();

        lock.lock();
        auto it = slots_.find(address);
        if (it == slots_.end() || cancelled_ ||
            std::find(future_.begin(), future_.end(), address) == future_.end()) {
            // Stopped, or no longer on the walk's way.
            if (it != slots_.end()) slots_.erase(it);
            ++counts_.wasted;
        } else {
            it->second.page = std::move(page);
            it->second.state = State::kDone;
            counts_.peakBytes = std::max(counts_.peakBytes, HeldBytesLocked());
        }
        doneCv_.notify_one();  // only the walk waits for an answer
    }
}

}  // namespace pq
