#include "engine/CRecordBatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "store/ProjectFile.h"

namespace pq {

namespace {

std::atomic<int> gSyncDelayMs{0};
std::mutex gSlowDevice;  // one sync at a time, as one device serves them

}  // namespace

void CRecordBatch::SetSyncDelayMs(int ms) { gSyncDelayMs = ms; }

bool CRecordBatch::SyncFolder(const std::string& folder) {
    if (const int delay = gSyncDelayMs.load()) {
        std::lock_guard<std::mutex> lock(gSlowDevice);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // The whole file system at once: the pictures' data and the renames
    // that named them, however many there are.
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

void CRecordBatch::Add(Line line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.empty()) oldest_ = Clock::now();
    lines_.push_back(std::move(line));
    if (lines_.size() >= kMaxPictures) FlushLocked();
}

void CRecordBatch::FlushIfDue() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!lines_.empty() && Clock::now() - oldest_ >= kMaxWait) FlushLocked();
}

void CRecordBatch::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushLocked();
}

size_t CRecordBatch::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

int CRecordBatch::Syncs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return syncs_;
}

void CRecordBatch::FlushLocked() {
    if (lines_.empty()) return;
    std::vector<Line> lines;
    lines.swap(lines_);
    // One sync for the folders of the batch (one in a search, two at most
    // when Get Big Pictures works beside it).
    std::vector<std::string> synced;
    for (const Line& l : lines) {
        if (std::find(synced.begin(), synced.end(), l.folder) != synced.end()) continue;
        SyncFolder(l.folder);
        ++syncs_;
        synced.push_back(l.folder);
    }
    // Then the lines, folder by folder in their order, each batch in one
    // write with the last status.
    for (const std::string& folder : synced) {
        std::vector<store::ProjectRecord::PictureLine> items;
        std::string status;
        for (const Line& l : lines) {
            if (l.folder != folder) continue;
            if (l.hasCredit) store::AppendCreditLine(folder, l.localName, l.credit, l.address);
            items.push_back({l.localName, l.sizeText, l.address});
            if (!l.statusText.empty()) status = l.statusText;
        }
        record_.AppendPictureLines(folder, items, status);
    }
}

}  // namespace pq
