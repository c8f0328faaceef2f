// The picture queue between the crawl thread (the only producer) and the
// download workers. Entry i holds a local name, an address and a third text
// (left empty by the crawl). The lists grow by the crawl's resizing rule, so
// their size and the empty slots beyond the queued count behave as before;
// a mutex guards them, since a list resized by one thread while another reads
// it would be undefined. The counters are atomics, readable without the lock.
#pragma once

#include <atomic>
#include <mutex>
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
    // Adds 1 to the taken index when it is below the queued count.
    void AdvanceTaken();

    int Queued() const { return queued_.load(); }
    int Taken() const { return taken_.load(); }
    int Pending() const { return queued_.load() - taken_.load(); }
    int ListSize() const;

    // Continue: an entry already downloaded earlier, entered as taken.
    void AppendTaken(const std::string& localName, const std::string& address);

private:
    void MakeRoomLocked();

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::unordered_set<std::string> addresses_;
    std::atomic<int> queued_{0};
    std::atomic<int> taken_{0};
};

}  // namespace pq
