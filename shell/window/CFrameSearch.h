// The frame's search commands: Go, the keyword and advanced searches, Stop,
// Continue, the search bar's mode and the address list; and what the
// engine reports while a search runs (queued through CFrameSearchUi): the
// pane texts, the activity bars, the clock, the end of the crawl and of
// the downloads.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>

#include "shell/CSearchCommands.h"
#include "shell/window/FrameParts.h"

class QTimer;

namespace pq {

class CFrameHistory;
class CFrameLayout;
class CFramePreview;
class CFrameSearchUi;

class CFrameSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kClockMs = 1000;

    CFrameSearch(FrameParts& parts, CFrameLayout& layout, CFramePreview& preview,
                 CFrameHistory& history, QObject* parent = nullptr);

    bool Run(int id);
    // The engine's calls, queued onto this thread.
    void Connect(CFrameSearchUi& ui);

    // From the start of a search until its downloads have ended or Stop.
    bool Searching() const { return running_; }
    long long ElapsedSeconds() const { return elapsedSeconds_; }
    // The one-shot search-ended timers (38 and 48).
    void StartEndTimer(int id);
    // Closing: a search in progress ends cleanly.
    void EndForClose();
    void RefreshHistoryLists();

private:
    void Go();
    void KeywordsSearch();
    void AdvancedSearch();
    void Stop();
    void ContinueProject();
    void SetSearchMode(const std::string& mode);
    void ClearHistoryAddress();
    void Started(const SearchStart& s, bool continuing = false);
    void OnStatusMessage(const QString& text);
    void OnClockTick();
    void OnSearchEnded();
    void OnDownloadsEnded();

    FrameParts& p_;
    CFrameLayout& layout_;
    CFramePreview& preview_;
    CFrameHistory& history_;
    SearchStart current_;  // the search started last
    QTimer* clock_;
    QTimer* endTimer38_;
    QTimer* endTimer48_;
    long long elapsedSeconds_ = 0;
    bool running_ = false;
};

}  // namespace pq
