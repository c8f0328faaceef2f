// The picture queue between the crawl thread (the only producer) and the
// download workers. Workers transfer at the same time, but what they fetched
// is committed (named, moved into place, recorded) in queue order, so the
// names a search gives never depend on which transfer ends first. Entry i holds a local name, an
// address and a third text (left empty by the crawl). The lists grow by the crawl's resizing rule,
// so their size and the empty slots beyond the queued count behave as before; a mutex guards them,
// since a list resized by one thread while another reads it would be undefined. The counters are
// atomics, readable without the lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace pq {

class CPictureQueue {
public:
    struct Entry {
        std::string localName;
        std::string address;
        std::string third;
    };

    // Empties the lists and sets the three counters to 0.
    void Reset();

    // Before an entry is added: when the queued count is greater than the
    // list size minus 6, or the lists are empty, resize them to the queued
    // count plus 30.
    void MakeRoom();
    // Writes the entry at the queued count, then adds 1 to it. The lists
    // must have room (MakeRoom) — if not, they grow by the same rule.
    void Append(const std::string& localName, const std::string& address);
    // Whether some entry of the address list names the same resource as
    // address: equal once both are in their request form, so "a b.jpg" and
    // "a%20b.jpg" are one picture.
    bool ContainsAddress(const std::string& address) const;

    // Consumer side. Entry i (empty texts outside the lists).
    Entry At(int i) const;

    int Queued() const { return queued_.load(); }
    int Taken() const { return taken_.load(); }
    int Pending() const { return queued_.load() - taken_.load(); }
    int ListSize() const;

    // Continue: an entry already downloaded earlier, entered as taken (and
    // as finished).
    void AppendTaken(const std::string& localName, const std::string& address);

    // Transfers at once. The index of the next entry to fetch, now taken, or
    // -1 when none is queued or when it lies window entries or more past the
    // oldest unfinished one (what arrived waits in temporary files until its
    // turn; the window bounds how many).
    int TakeNext(int window);

    // A picture that arrived whole in its temporary file.
    struct Arrival {
        std::string tempPath;
        std::string address;
        std::string localName;
        long long bytes = 0;
    };
    using Committer = std::function<void(int index, Arrival& arrival)>;
    // Hands in the outcome of taken entry index: an arrival, or nothing when
    // the entry came to nothing. Every arrival whose earlier entries have all
    // finished is then passed to commit, in queue order, one at a time
    // (under the commit lock: commit must not call back into the queue's
    // commit side).
    void Finish(int index, std::optional<Arrival> arrival, const Committer& commit);
    // Entries finished so far, from the first on: once it equals Queued(),
    // nothing is in flight or waiting.
    int Finished() const { return finished_.load(); }
    // Workers: waits up to ms for an entry to be queued or finished. One
    // worker is woken per entry queued or finished, not all of them.
    void WaitForEntries(int ms);
    // The crawl: waits up to ms for an entry to be taken or finished (the
    // pictures waiting have become fewer).
    void WaitForRoom(int ms);
    // The temporary files of arrivals still waiting for an earlier entry.
    // Left only when workers were stopped mid-way: the caller removes them.
    std::vector<std::string> TakeWaitingArrivals();

private:
    void MakeRoomLocked();

    mutable std::mutex mutex_;
    std::condition_variable entriesCv_;  // workers: an entry was queued or finished
    std::condition_variable roomCv_;     // the crawl: an entry was taken or finished
    std::vector<Entry> entries_;
    std::unordered_set<std::string> addresses_;
    std::atomic<int> queued_{0};
    std::atomic<int> taken_{0};

    std::mutex commitMutex_;
    std::map<int, std::optional<Arrival>> outcomes_;  // finished out of order
    std::atomic<int> finished_{0};
};

}  // namespace pq
