// The headless front end's user interface: the three counters on standard
// error, one line updated in place on a terminal, plain lines otherwise.
// Any thread may call it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "engine/ISearchUi.h"

namespace pq::cli {

class CCliSearchUi : public ISearchUi {
public:
    explicit CCliSearchUi(std::FILE* out);

    void SetPaneText(int pane, const std::string& text) override;
    void StartActivityTimer(int) override {}
    void StopActivityTimer(int) override {}
    void SetStatusMessage(const std::string&) override {}
    void SearchEnded() override;
    void AddHistoryEntry(const std::string&) override {}
    void PictureSaved(int) override {}
    void DownloadsEnded() override;
    void ReportError(const std::string& message) override;
    void Log(const std::string& line) override;

    // Prints the progress line now (with the elapsed time), if it changed or
    // force is set.
    void PrintProgress(const std::string& elapsed, bool force);
    // Ends the line updated in place.
    void FinishProgress();
    bool DownloadsHaveEnded() const { return downloadsEnded_.load(); }
    // Waits up to ms for the end of the downloads.
    bool WaitDownloadsEnded(int ms);

private:
    std::FILE* out_;
    bool tty_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::string panes_[3];
    std::string lastPrinted_;
    std::atomic<bool> downloadsEnded_{false};
    bool lineOpen_ = false;
};

}  // namespace pq::cli
