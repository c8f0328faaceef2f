// Politeness between the transfers of one search: at most so many requests
// in flight at once in all, at most so many to one host, and a host that
// asked us to come back later (429 or 503 with Retry-After) is left alone
// until then. Waiting for one host never holds up transfers to another.
//
// Threads: any. The crawl thread enters with priority, so the walk that feeds
// the workers is never starved by them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pq {

class CHostGate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultPerHost = 6;
    static constexpr int kMaxRetryAfterSeconds = 60;

    // total: picture transfers in flight at once over all hosts (0: no
    // bound; pages, entered with priority, are not counted); perHost:
    // requests to one host, pages included (at least 1).
    void SetLimits(int total, int perHost);

    // Waits until a request to host may start, then counts it. False, without
    // counting, once stop is set.
    bool Enter(const std::string& host, const std::atomic<bool>& stop, bool priority = false);
    void Leave(const std::string& host, bool priority = false);
    // Requests to host wait until the given time.
    void HoldOff(const std::string& host, Clock::time_point until);
    // Wakes every waiter so that it sees its stop flag.
    void WakeAll();

    // Picture transfers in flight now; requests in flight to host.
    int Active() const;
    int Active(const std::string& host) const;
    // The most that were ever in flight at once to one host.
    int PeakPerHost() const;

private:
    struct Host {
        int active = 0;
        int priorityWaiting = 0;
        Clock::time_point notBefore{};
    };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unordered_map<std::string, Host> hosts_;
    int total_ = 0;
    int perHost_ = kDefaultPerHost;
    int active_ = 0;
    int peakPerHost_ = 0;
};

// RAII: one counted request, left when it goes out of scope.
class HostPass {
public:
    HostPass(CHostGate& gate, std::string host, const std::atomic<bool>& stop,
             bool priority = false)
        : gate_(gate),
          host_(std::move(host)),
          priority_(priority),
          entered_(gate_.Enter(host_, stop, priority)) {}
    ~HostPass() {
        if (entered_) gate_.Leave(host_, priority_);
    }
    HostPass(const HostPass&) = delete;
    HostPass& operator=(const HostPass&) = delete;
    explicit operator bool() const { return entered_; }

private:
    CHostGate& gate_;
    std::string host_;
    bool priority_;
    bool entered_;
};

// Seconds a Retry-After value asks for (delay seconds or an HTTP date),
// bounded to [0, kMaxRetryAfterSeconds]; -1 when there is none or it is not
// understood.
int RetryAfterSeconds(const std::string& value);

}  // namespace pq
