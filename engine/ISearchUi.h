// The one door from the engine to the user interface. The engine's threads
// (the crawl thread and the download workers) call it from their own thread;
// an implementation that owns widgets queues the work onto its UI thread.
#pragma once

#include <string>

namespace pq {

class ISearchUi {
public:
    // Status panes of the search layout.
    enum Pane { kPagePane = 0, kFoundPane = 1, kDownloadPane = 2 };
    // Timers: 18, 19, 20 animate the activity bars of panes 0, 1, 2;
    // 108 is the elapsed-time clock.
    enum Timer { kPageTimer = 18, kFoundTimer = 19, kDownloadTimer = 20, kClockTimer = 108 };

    virtual ~ISearchUi() = default;

    virtual void SetPaneText(int pane, const std::string& text) = 0;
    virtual void StartActivityTimer(int timerId) = 0;
    virtual void StopActivityTimer(int timerId) = 0;
    // The status bar's message text (the idle message after workers change).
    virtual void SetStatusMessage(const std::string& text) = 0;
    // The crawl has ended: the frame marks itself idle.
    virtual void SearchEnded() = 0;
    // The end of a crawl enters the search in the history, with the number
    // of pictures saved so far as decimal text.
    virtual void AddHistoryEntry(const std::string& downloadedCount) = 0;
    // A download worker saved a picture (downloaded count now `count`).
    virtual void PictureSaved(int count) = 0;
    // The last picture of the search has been downloaded; sent once a search.
    virtual void DownloadsEnded() = 0;
    // An error for the user to see (a worker that could not be started).
    virtual void ReportError(const std::string& message) = 0;
    // A line for the search's log: something the search left out and why,
    // worth reading but no reason to interrupt the user.
    virtual void Log(const std::string& line) = 0;
};

}  // namespace pq
