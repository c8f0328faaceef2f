// The records of saved pictures, written in batches. A picture is renamed
// into place as soon as it is committed, but its project.inf line (and its
// credits line) is written only once the picture is on the disk: one sync
// of the folder's file system covers a whole batch, so a slow device (a
// memory stick, a network folder) pays one sync per batch instead of one per
// picture. After a power cut the record therefore never lists a picture that
// is not whole; a picture whose line was still waiting is found again by
// Continue, as after a kill.
//
// Threads: Add runs under the picture queue's commit lock, in queue order;
// FlushIfDue and Flush from any worker or from the thread that stops them.
// One mutex keeps the lines in the order they were added.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "store/Credits.h"

namespace pq {

namespace store {
class ProjectRecord;
}

class CRecordBatch {
public:
    using Clock = std::chrono::steady_clock;
    // A batch is written when it holds this many pictures, or when its
    // oldest picture has waited this long.
    static constexpr size_t kMaxPictures = 64;
    static constexpr std::chrono::milliseconds kMaxWait{200};

    struct Line {
        std::string folder;
        std::string localName;
        std::string sizeText;
        std::string address;
        std::string statusText;  // over line 1 with this line; "" leaves line 1 alone
        bool hasCredit = false;
        store::Credit credit;
    };

    explicit CRecordBatch(store::ProjectRecord& record) : record_(record) {}

    // Queues the line; writes the batch when it is full.
    void Add(Line line);
    // Writes the batch when its oldest line has waited long enough.
    void FlushIfDue();
    // Syncs and writes what waits, now.
    void Flush();
    size_t Waiting() const;

    // Syncs performed so far (for tests and benchmarks).
    int Syncs() const;

    // A test seam for slow devices: every sync of the program's pictures
    // takes at least ms longer, one at a time, as one device serves them.
    static void SetSyncDelayMs(int ms);
    // Makes what was written in folder durable: one sync of its file system.
    static bool SyncFolder(const std::string& folder);

private:
    void FlushLocked();

    store::ProjectRecord& record_;
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
    Clock::time_point oldest_{};
    int syncs_ = 0;
};

}  // namespace pq
