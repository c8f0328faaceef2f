// Pages fetched ahead of the walk. The crawl tells it, before each page, the
// pages it will visit next in its own order; a few fetchers of their own
// fetch the first of them at the same time, each into a bounded buffer. The
// walk then takes a page's answer when it reaches it, instead of fetching
// it, and decides everything about it as before (its name, its record line,
// its links, its pictures), in the same order. So the project a search
// leaves does not depend on which answer arrives first; only the order of
// the requests to the server does.
//
// Every fetch goes through a CPageFetcher of its own, so the host limits,
// Retry-After and the retries of a page hold as for the walk's own fetches.
// Memory: at most `capacity` answers (in flight or waiting), each at most
// one page buffer, besides one page buffer per fetcher.
//
// Threads: Want, Take and Stats on the crawl thread; Cancel from any thread;
// the fetchers are threads of their own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/CPageFetcher.h"

namespace pq {

class CHostGate;

class CPagePrefetcher {
public:
    struct Settings {
        bool useProxy = false;
        std::string proxy;
        std::string userAgent;
        CHostGate* gate = nullptr;
    };
    // What a fetch of a page gave, as the walk's own fetch would.
    struct Page {
        std::string address;  // after the redirects followed
        int rc = CPageFetcher::kFailed;
        std::string body;
        std::string failure;  // CPageFetcher::FailureText
    };
    struct Counts {
        int fetched = 0;  // fetches begun ahead
        int used = 0;     // answers the walk took
        int wasted = 0;   // answers dropped unused (or fetches cut off by Stop)
        size_t peakBytes = 0;
    };

    // fetchers: pages fetched at the same time; capacity: answers held at
    // once, in flight or waiting for the walk (at least fetchers).
    CPagePrefetcher(int fetchers, int capacity, const Settings& settings);
    ~CPagePrefetcher();
    CPagePrefetcher(const CPagePrefetcher&) = delete;
    CPagePrefetcher& operator=(const CPagePrefetcher&) = delete;

    // The pages the walk visits next, the one it is about to visit first:
    // the first `capacity` of them are fetched; answers held for pages it
    // will no longer visit are dropped.
    void Want(const std::vector<std::string>& next);
    // The answer for address, waited for when its fetch is under way; false
    // when it was not fetched ahead (the walk then fetches it itself) or the
    // search was stopped.
    bool Take(const std::string& address, Page& page);
    // Stops every fetch at once; Take returns false from then on.
    void Cancel();
    // Cancels, waits for the fetchers to end and drops every answer held.
    // Crawl thread.
    void Stop();

    Counts Stats() const;

private:
    enum class State { kQueued, kFetching, kDone };
    struct Slot {
        State state = State::kQueued;
        Page page;
    };
    void Run(CPageFetcher* fetcher);
    size_t HeldBytesLocked() const;

    const int capacity_;
    std::vector<std::unique_ptr<CPageFetcher>> fetchers_;
    std::vector<std::thread> threads_;

    mutable std::mutex mutex_;
    std::condition_variable workCv_;   // fetchers: a page to fetch
    std::condition_variable doneCv_;   // the walk: an answer arrived
    std::deque<std::string> wanted_;   // the window, in the walk's order
    std::vector<std::string> future_;  // the pages the walk will visit next
    std::unordered_map<std::string, Slot> slots_;
    bool cancelled_ = false;
    bool ending_ = false;
    Counts counts_;
};

}  // namespace pq
