// A picture download worker. Each step takes the next entry of the picture
// queue, downloads it through its own libcurl handle into a temporary file,
// checks that a picture of acceptable size arrived, moves it to its final
// name in the project folder and records it (downloaded lists, status pane,
// project.inf). All workers share the "CGDIThread" class lock and hold it for
// a whole step, so one picture is downloaded at a time between them.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/CThread.h"

namespace pq {

class CSearchState;
class ISearchUi;

class CBallThread : public CGDIThread {
public:
    static constexpr int kBlockSize = 512;
    static constexpr int kMinPictureBytes = 100;
    static constexpr int kIdleSleepMs = 30;
    static constexpr const char* kAgentName = "Pelquinar";

    // modeWord: "continue" for a continued project, "new" otherwise.
    CBallThread(CSearchState& state, ISearchUi& ui, std::string modeWord);
    ~CBallThread() override;

    // Ends the transfer in flight at once and makes later steps do nothing.
    // Any thread.
    void Abort();

    // Downloads one picture: "YES" when it was saved, the transfer's error
    // text when it broke off, "" otherwise.
    std::string Download(const std::string& address, const std::string& folder,
                         const std::string& localName);

    // Bytes received by the last download, whatever became of them.
    long long LastTransferBytes() const { return lastTransferBytes_.load(); }
    const std::string& ModeWord() const { return modeWord_; }

    // A worker that hears nothing for this long gives the picture up.
    static void SetReadTimeoutMs(long ms);

protected:
    void Step() override;
    void RequestAbort() override { Abort(); }

private:
    CSearchState& state_;
    ISearchUi& ui_;
    std::string modeWord_;
    std::atomic<bool> abort_{false};
    std::atomic<long long> lastTransferBytes_{0};
};

// Ends a set of workers: each is told to stop, every transfer in flight is
// aborted (so none holds the shared lock for long), then each is joined.
// The list is empty afterwards.
void StopWorkers(std::vector<std::unique_ptr<CBallThread>>& workers);

}  // namespace pq
