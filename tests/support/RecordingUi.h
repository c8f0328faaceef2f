// An ISearchUi for tests: records every call, from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/ISearchUi.h"

namespace pq::test {

class RecordingUi : public ISearchUi {
public:
    void SetPaneText(int pane, const std::string& text) override {
        std::lock_guard<std::mutex> l(m_);
        panes_[pane] = text;
        paneHistory_.push_back(text);
    }
    void StartActivityTimer(int id) override {
        std::lock_guard<std::mutex> l(m_);
        timers_.insert(id);
    }
    void StopActivityTimer(int id) override {
        std::lock_guard<std::mutex> l(m_);
        timers_.erase(id);
    }
    void SetStatusMessage(const std::string& text) override {
        std::lock_guard<std::mutex> l(m_);
        status_ = text;
    }
    void SearchEnded() override {
        std::lock_guard<std::mutex> l(m_);
        ++searchEnded_;
        cv_.notify_all();
    }
    void AddHistoryEntry(const std::string& count) override {
        std::lock_guard<std::mutex> l(m_);
        history_.push_back(count);
    }
    void PictureSaved(int count) override {
        std::lock_guard<std::mutex> l(m_);
        saved_.push_back(count);
    }
    void DownloadsEnded() override {
        std::lock_guard<std::mutex> l(m_);
        ++downloadsEnded_;
        cv_.notify_all();
    }
    void ReportError(const std::string& message) override {
        std::lock_guard<std::mutex> l(m_);
        errors_.push_back(message);
    }
    void Log(const std::string& line) override {
        std::lock_guard<std::mutex> l(m_);
        log_.push_back(line);
    }

    std::string Pane(int pane) const {
        std::lock_guard<std::mutex> l(m_);
        auto it = panes_.find(pane);
        return it == panes_.end() ? std::string() : it->second;
    }
    std::vector<std::string> PaneHistory() const {
        std::lock_guard<std::mutex> l(m_);
        return paneHistory_;
    }
    std::set<int> RunningTimers() const {
        std::lock_guard<std::mutex> l(m_);
        return timers_;
    }
    int SearchEndedCount() const {
        std::lock_guard<std::mutex> l(m_);
        return searchEnded_;
    }
    int DownloadsEndedCount() const {
        std::lock_guard<std::mutex> l(m_);
        return downloadsEnded_;
    }
    std::vector<std::string> History() const {
        std::lock_guard<std::mutex> l(m_);
        return history_;
    }
    std::vector<int> Saved() const {
        std::lock_guard<std::mutex> l(m_);
        return saved_;
    }
    std::vector<std::string> Errors() const {
        std::lock_guard<std::mutex> l(m_);
        return errors_;
    }
    std::vector<std::string> LogLines() const {
        std::lock_guard<std::mutex> l(m_);
        return log_;
    }
    std::string StatusMessage() const {
        std::lock_guard<std::mutex> l(m_);
        return status_;
    }
    // Waits until DownloadsEnded was called (true) or the time is up.
    bool WaitDownloadsEnded(int timeoutMs) {
        std::unique_lock<std::mutex> l(m_);
        return cv_.wait_for(l, std::chrono::milliseconds(timeoutMs),
                            [this] { return downloadsEnded_ > 0; });
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::map<int, std::string> panes_;
    std::vector<std::string> paneHistory_;
    std::set<int> timers_;
    std::string status_;
    int searchEnded_ = 0;
    int downloadsEnded_ = 0;
    std::vector<std::string> history_;
    std::vector<int> saved_;
    std::vector<std::string> errors_;
    std::vector<std::string> log_;
};

}  // namespace pq::test
