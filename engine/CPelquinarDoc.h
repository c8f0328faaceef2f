// The search job: starts a search (counters and registries reset, download
// workers and the crawl thread started), stops it, and owns what the crawl
// thread works on: the fetch session, the page and picture registries, the
// stack of link levels, the page buffer and the contents page.
//
// Threads: StartSearch, OnStop, StopDownloads and the destructor run on the
// user-interface thread. CrawlThreadProc and everything it calls run on the
// crawl thread, which alone touches the registries, levels and buffer while
// it lives; StartSearch touches them only after the previous crawl ended.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/CContentsPage.h"
#include "engine/CItemRegistry.h"
#include "engine/CPageFetcher.h"
#include "engine/CPagePrefetcher.h"
#include "engine/CSearchState.h"
#include "engine/ISearchUi.h"
#include "engine/SearchService.h"

namespace pq {

class CBallThread;

// The links and pictures of the page at one depth, and the cursor: the index
// of the link being explored below it.
struct LevelRecord {
    std::vector<std::string> links;
    std::unordered_set<std::string> linkSet;  // the same links, for look-ups
    std::vector<std::string> pictures;
    int cursor = 0;

    void AddLink(const std::string& a) {
        links.push_back(a);
        linkSet.insert(a);
    }
    void Clear() {
        links.clear();
        linkSet.clear();
        pictures.clear();
        cursor = 0;
    }
};

class CPelquinarDoc {
public:
    static constexpr const char* kPageLabel = "Page Searched:";
    static constexpr const char* kFoundLabel = "Image Found:";
    static constexpr const char* kDownloadLabel = "Image Download:";
    static constexpr const char* kIdleMessage = "Ready";
    static constexpr int kWorkersPerSearch = 6;
    // The crawl waits while more pictures than this wait for a worker: enough
    // that six transfers at once never run dry while the next page is
    // fetched, few enough that Stop has little to throw away.
    static constexpr int kQueueAhead = 8 * kWorkersPerSearch;
    // How far ahead the walk's next pages are listed for the pages fetched
    // ahead: answers held for pages beyond it are dropped.
    static constexpr size_t kMaxPagesForeseen = 32;

    CPelquinarDoc(CSearchState& state, ISearchUi& ui);
    ~CPelquinarDoc();
    CPelquinarDoc(const CPelquinarDoc&) = delete;
    CPelquinarDoc& operator=(const CPelquinarDoc&) = delete;

    // The folder of the current project, with its trailing "/"; set before
    // StartSearch.
    void SetProjectFolder(const std::string& folder) { projectFolder_ = folder; }
    const std::string& ProjectFolder() const { return projectFolder_; }

    // Starts a search and returns at once. A crawl of an earlier search that
    // is still running is stopped (and waited for) first.
    void StartSearch(const std::string& startAddress, const std::string& keywords);
    // Ends whatever runs of an earlier search: the crawl (its closing steps
    // run) and the download workers. The search commands call it before they
    // touch the shared state for a new search.
    void EndSearch();
    // Removes the temporary files an earlier, killed run left in folder.
    static void RemoveLeftoverTemporaryFiles(const std::string& folder);
    // The Stop command.
    void OnStop();
    // Stops the pages fetched ahead at once. Any thread.
    void CancelPrefetch();
    // Stop is enabled exactly while a search runs.
    bool CanStop() const { return !state_.idleFlag.load(); }
    void StopDownloads();
    bool AddDownloadWorker(const std::string& modeWord);
    int WorkerCount() const;

    // Waits for the crawl thread to end (it ends by itself or after OnStop).
    void WaitForCrawl();
    bool IsCrawling() const { return crawling_.load(); }
    // Whether the last search ended because its first page failed.
    bool StartPageFailed() const { return startPageFailed_.load(); }
    // Why it failed, for the user. Read once the crawl has ended.
    std::string StartPageError() const;
    // Waits until the download workers have drained the queue after the crawl
    // ended (or were stopped). Returns false on time-out.
    bool WaitForDownloads(int timeoutMs);

    // Registries and levels. Crawl thread, or any thread while no crawl runs.
    void ClearRegistries();
    void ClearLevel(int depth);
    bool IsNewPage(const std::string& address, ItemRecord** found = nullptr);
    bool IsNewPicture(const std::string& address, ItemRecord** found = nullptr);
    void RegisterPage(const std::string& address, const std::string& localName, int depth);
    void RegisterPicture(const std::string& address, const std::string& localName);
    // The link rule's admission test for a page link found at the current depth.
    bool AdmitLink(const std::string& address);
    void SetCurrentDepthForTest(int depth);
    LevelRecord& Level(int depth);
    const CItemRegistry& PageRegistry() const { return pages_; }
    const CItemRegistry& PictureRegistry() const { return pictures_; }

    // Applies the link rule and the picture-source rule to a scanned page's
    // lists, filling the level record.
    void AdmitScannedLinks(const std::vector<std::string>& links, LevelRecord& level);
    void AdmitScannedPictures(const std::vector<std::string>& pictures, LevelRecord& level);

    // For tests: called on the crawl thread when the walk reaches a page,
    // before it is fetched (or taken from those fetched ahead). Set before
    // StartSearch.
    void SetPageReachedHook(std::function<void(const std::string& address)> hook) {
        pageReachedHook_ = std::move(hook);
    }
    // What fetching pages ahead did in the last crawl (zero when it was off).
    CPagePrefetcher::Counts PrefetchCounts() const;

    CPageFetcher& Fetcher() { return fetcher_; }
    const std::string& PageTitle() const { return pageTitle_; }
    CSearchState& State() { return state_; }
    ISearchUi& Ui() { return ui_; }

private:
    enum class PageOutcome { kFailed, kFetched, kSaved };
    int CrawlThreadProc();
    // Fetches, scans and saves one page. localName comes back changed when
    // its file name was taken.
    PageOutcome ProcessPage(std::string& address, std::string& localName, LevelRecord& level);
    // Whether a page may be written over file: only a file the project's
    // record lists as a page (of this run or an earlier one into the
    // folder), never the record, the contents page or a picture.
    bool MayReplacePage(const std::string& file) const;
    // Saves the page buffer's size bytes as localName (changed when its name
    // was taken); true when the page is in the folder.
    bool SavePage(std::string& localName, int size);
    // The pages the walk visits after address, the page it is about to
    // visit: the rest of each level's links from the deepest level up, those
    // not visited yet.
    std::vector<std::string> NextPages(const std::string& address, size_t most) const;
    // Fetches address into the page buffer, or takes its answer fetched ahead.
    int FetchPage(std::string& address, int& size);
    // What the project's record says of earlier runs into the folder: their
    // pages (for MayReplacePage) and, for a continued search, the credits of
    // the pictures they saved (for the contents page).
    void ReadEarlierRuns();
    void QueuePicture(const std::string& picture, bool& leave);
    // Queues a picture of an open service (thumbnail and, when asked, big
    // picture) with its credits.
    void QueueServiceResult(const ServiceResult& result, bool& leave);
    std::string UniquePictureName(const std::string& wanted);
    void EnsureLevels(int depth);
    void JoinCrawl();

    CSearchState& state_;
    ISearchUi& ui_;

    std::string startAddress_;
    std::string keywords_;
    std::string projectFolder_;
    std::atomic<bool> stop_{false};
    CPageFetcher fetcher_;
    CItemRegistry pages_{1200};
    CItemRegistry pictures_{2400};
    std::vector<LevelRecord> levels_;
    int currentDepth_ = 0;
    std::vector<char> pageBuffer_;
    std::unordered_set<std::string> failedPages_;  // requested addresses whose fetch failed
    std::unordered_set<std::string> pageFiles_;    // files the record lists as pages
    bool continued_ = false;                       // this search continues a project
    std::string fetchFailure_;                     // why the last page fetch failed
    std::function<void(const std::string&)> pageReachedHook_;
    // Made and ended by the crawl thread; OnStop cancels it from the UI thread.
    mutable std::mutex prefetchMutex_;
    std::unique_ptr<CPagePrefetcher> prefetcher_;
    CPagePrefetcher::Counts prefetchCounts_;
    std::string pageTitle_;
    std::string pageProblem_;                    // why the last page was unusable, or ""
    std::vector<ServiceResult> serviceResults_;  // of the last service page
    std::chrono::steady_clock::time_point lastServicePage_{};
    CContentsPage contents_;

    std::thread crawlThread_;
    std::atomic<bool> crawling_{false};
    std::atomic<bool> startPageFailed_{false};
    mutable std::mutex errorMutex_;
    std::string startPageError_;

    mutable std::mutex workersMutex_;
    std::vector<std::unique_ptr<CBallThread>> workers_;
};

}  // namespace pq
