#include "app/cli/CCliSearchUi.h"

#include <unistd.h>

namespace pq::cli {

CCliSearchUi::CCliSearchUi(std::FILE* out) : out_(out), tty_(::isatty(::fileno(out)) == 1) {
    panes_[0] = "Page Searched:0";
    panes_[1] = "Image Found:0";
    panes_[2] = "Image Download:0";
}

void CCliSearchUi::SetPaneText(int pane, const std::string& text) {
    if (pane < 0 || pane > 2) return;
    std::lock_guard<std::mutex> lock(mutex_);
    panes_[pane] = text;
}

void CCliSearchUi::SearchEnded() {}

void CCliSearchUi::DownloadsEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    downloadsEnded_ = true;
    cv_.notify_all();
}

bool CCliSearchUi::WaitDownloadsEnded(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms),
                        [this] { return downloadsEnded_.load(); });
}

void CCliSearchUi::ReportError(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
    std::fprintf(out_, "error: %s\n", message.c_str());
}

void CCliSearchUi::Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
    std::fprintf(out_, "note: %s\n", line.c_str());
}

void CCliSearchUi::PrintProgress(const std::string& elapsed, bool force) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string counters = panes_[0] + "  " + panes_[1] + "  " + panes_[2];
    if (!force && counters == lastPrinted_ && !tty_) return;
    lastPrinted_ = counters;
    std::string line = counters + "  " + elapsed;
    if (tty_) {
        std::fprintf(out_, "\r%s\033[K", line.c_str());
        lineOpen_ = true;
    } else {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}

void CCliSearchUi::FinishProgress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
    std::fflush(out_);
}

}  // namespace pq::cli
