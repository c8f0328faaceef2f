#include "engine/CHostGate.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <ctime>

namespace pq {

void CHostGate::SetLimits(int total, int perHost) {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = std::max(total, 0);
    perHost_ = std::max(perHost, 1);
    changed_.notify_all();
}

bool CHostGate::Enter(const std::string& host, const std::atomic<bool>& stop, bool priority) {
    std::unique_lock<std::mutex> lock(mutex_);
    Host& h = hosts_[host];
    if (priority) ++h.priorityWaiting;
    for (;;) {
        if (stop.load()) {
            if (priority) --h.priorityWaiting;
            return false;
        }
        const auto now = Clock::now();
        const bool free =
            h.active < perHost_ &&
            (priority || ((total_ == 0 || active_ < total_) && h.priorityWaiting == 0));
        if (free && now >= h.notBefore) break;
        // A short wait bound: the stop flag is read without a notice.
        auto until = now + std::chrono::milliseconds(50);
        if (free && h.notBefore < until) until = h.notBefore;
        changed_.wait_until(lock, until);
    }
    if (priority) --h.priorityWaiting;
    ++h.active;
    if (!priority) ++active_;
    peakPerHost_ = std::max(peakPerHost_, h.active);
    return true;
}

void CHostGate::Leave(const std::string& host, bool priority) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = hosts_.find(host);
    if (it != hosts_.end() && it->second.active > 0) {
        --it->second.active;
        if (!priority && active_ > 0) --active_;
    }
    changed_.notify_all();
}

void CHostGate::HoldOff(const std::string& host, Clock::time_point until) {
    std::lock_guard<std::mutex> lock(mutex_);
    Host& h = hosts_[host];
    h.notBefore = std::max(h.notBefore, until);
}

void CHostGate::WakeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

int CHostGate::Active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

int CHostGate::Active(const std::string& host) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = hosts_.find(host);
    return it == hosts_.end() ? 0 : it->second.active;
}

int CHostGate::PeakPerHost() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return peakPerHost_;
}

int RetryAfterSeconds(const std::string& value) {
    size_t b = 0, e = value.size();
    while (b < e && std::isspace(static_cast<unsigned char>(value[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(value[e - 1]))) --e;
    if (b == e) return -1;
    const std::string v = value.substr(b, e - b);
    if (std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (v.size() > 6) return CHostGate::kMaxRetryAfterSeconds;
        return std::min(std::stoi(v), CHostGate::kMaxRetryAfterSeconds);
    }
    const time_t when = curl_getdate(v.c_str(), nullptr);
    if (when < 0) return -1;
    const time_t now = std::time(nullptr);
    if (when <= now) return 0;
    return int(std::min<time_t>(when - now, CHostGate::kMaxRetryAfterSeconds));
}

}  // namespace pq
