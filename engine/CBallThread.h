// A picture download worker. Each step takes the next entry of the picture
// queue and downloads it through the worker's own libcurl handle (kept for
// the worker's life, so its connection is reused) into a temporary file, and
// checks that a picture of acceptable size arrived. The workers of a search
// transfer at the same time, within the politeness limits of the search's
// host gate; what arrived is then committed in queue order by the queue:
// moved to its final name in the project folder and recorded (downloaded
// lists, status pane, project.inf).
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/CPictureQueue.h"
#include "engine/CThread.h"

namespace pq {

class CSearchState;
class ISearchUi;

class CBallThread : public CGDIThread {
public:
    static constexpr int kBlockSize = 512;
    static constexpr int kMinPictureBytes = 100;
    static constexpr int kIdleSleepMs = 30;
    // How far past the oldest unfinished entry a worker may take: what
    // arrived early waits in its temporary file for its turn.
    static constexpr int kCommitWindow = 64;
    // The suffixes a picture may try for a free name ("a_1.jpg" ...) before
    // it is dropped.
    static constexpr int kMaxNameSuffix = 1000;
    // Redirects one picture may follow.
    static constexpr int kMaxRedirects = 10;
    static constexpr const char* kAgentName = "Pelquinar";

    // modeWord: "continue" for a continued project, "new" otherwise.
    CBallThread(CSearchState& state, ISearchUi& ui, std::string modeWord);
    ~CBallThread() override;

    // Ends the transfer in flight at once and makes later steps do nothing.
    // Any thread.
    void Abort();

    // Takes the next queue entry and downloads it as address: "YES" when the
    // picture arrived whole (it is saved now, or in queue order once the
    // entries before it are done), the transfer's error text when it broke
    // off, "" otherwise.
    std::string Download(const std::string& address, const std::string& folder,
                         const std::string& localName);

    // Bytes received by the last download, whatever became of them.
    long long LastTransferBytes() const { return lastTransferBytes_.load(); }
    const std::string& ModeWord() const { return modeWord_; }
    CSearchState& State() { return state_; }

    // A worker that hears nothing for this long gives the picture up.
    static void SetReadTimeoutMs(long ms);
    // For tests of the end of the downloads: called on the worker's thread
    // between its reading of the crawl's idle flag and its test for a drained
    // queue (nullptr: nothing).
    static void SetBetweenEndReadsHook(void (*hook)());

protected:
    void Step() override;
    void RequestAbort() override { Abort(); }

private:
    // Fetches one picture into a temporary file of folder; the arrival, or
    // nothing with the reason in result.
    std::optional<CPictureQueue::Arrival> Fetch(const std::string& address,
                                                const std::string& folder,
                                                const std::string& localName, std::string& result);
    // Moves an arrival to its final name and records it. Called by the queue
    // in queue order, under its commit lock.
    void Commit(CPictureQueue::Arrival& arrival);
    // Takes entry index (already taken) to its end.
    std::string RunEntry(int index, const std::string& address, const std::string& folder,
                         const std::string& localName);

    CSearchState& state_;
    ISearchUi& ui_;
    std::string modeWord_;
    std::atomic<bool> abort_{false};
    std::atomic<long long> lastTransferBytes_{0};
    CURL* easy_ = nullptr;  // worker thread only
    // The temporary file's buffer, made once for the worker's life (not
    // cleared for every picture).
    static constexpr size_t kFileBufferBytes = 64 * 1024;
    std::unique_ptr<char[]> fileBuffer_;
    // Drives easy_, so that Abort wakes a transfer that waits for a silent
    // server at once (curl_multi_wakeup may be called from any thread);
    // made with the object, used by the worker thread.
    CURLM* multi_ = nullptr;
};

// Ends a set of workers: each is told to stop, every transfer in flight is
// aborted, then each is joined. Pictures that had arrived whole are still
// committed in queue order; no temporary file stays. The list is empty
// afterwards.
void StopWorkers(std::vector<std::unique_ptr<CBallThread>>& workers);

}  // namespace pq
