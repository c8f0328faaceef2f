#include "engine/CPelquinarDoc.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/AdmissionRules.h"
#include "engine/CBallThread.h"
#include "engine/CUrl.h"
#include "engine/TextUtil.h"

namespace pq {

CPelquinarDoc::CPelquinarDoc(CSearchState& state, ISearchUi& ui)
    : state_(state), ui_(ui), pageBuffer_(CPageFetcher::kPageBufferSize, '\0') {
    levels_.resize(1);
}

CPelquinarDoc::~CPelquinarDoc() {
    // No thread may outlive the job it works on.
    stop_ = true;
    fetcher_.SetCancel(true);
    JoinCrawl();
    StopDownloads();
    ClearRegistries();
}

void CPelquinarDoc::JoinCrawl() {
    if (crawlThread_.joinable()) crawlThread_.join();
}

void CPelquinarDoc::WaitForCrawl() { JoinCrawl(); }

void CPelquinarDoc::EndSearch() {
    StopDownloads();
    if (crawlThread_.joinable()) {
        // A crawl of an earlier search still runs: end it before reusing the
        // registries and the page buffer it works on.
        stop_ = true;
        fetcher_.SetCancel(true);
        CancelPrefetch();
        JoinCrawl();
    }
}

void CPelquinarDoc::StartSearch(const std::string& startAddress, const std::string& keywords) {
    EndSearch();
    startAddress_ = startAddress;
    ClearRegistries();
    keywords_ = keywords;

    state_.visited.clear();
    state_.visitedSet.clear();
    failedPages_.clear();
    stop_ = false;
    fetcher_.SetCancel(false);
    state_.idleFlag = false;

    for (int timer : {ISearchUi::kPageTimer, ISearchUi::kFoundTimer, ISearchUi::kDownloadTimer})
        ui_.StartActivityTimer(timer);
    ui_.SetPaneText(ISearchUi::kPagePane, std::string(kPageLabel) + "0");
    ui_.SetPaneText(ISearchUi::kFoundPane, std::string(kFoundLabel) + "0");
    ui_.SetPaneText(ISearchUi::kDownloadPane, std::string(kDownloadLabel) + "0");

    RemoveLeftoverTemporaryFiles(projectFolder_);
    state_.writeErrorReported = false;
    state_.gate.SetLimits(state_.transfersAtOnce, state_.hostConnections);
    fetcher_.SetGate(&state_.gate);
    std::string modeWord = state_.continueFlag.exchange(false) ? "continue" : "new";
    continued_ = modeWord == "continue";
    for (int i = 0; i < kWorkersPerSearch; ++i) AddDownloadWorker(modeWord);

    crawling_ = true;
    startPageFailed_ = false;
    crawlThread_ = std::thread([this] { CrawlThreadProc(); });
}

std::string CPelquinarDoc::StartPageError() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return startPageError_;
}

void CPelquinarDoc::RemoveLeftoverTemporaryFiles(const std::string& folder) {
    // A run that was killed leaves its ".down" files; no download of this
    // search has begun yet, so every one of them is a leftover. Only regular
    // files (or links, removed as links) of that ending go.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!EndsWith(name, ".down")) continue;
        std::error_code typeError;
        const auto status = it->symlink_status(typeError);
        if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status))
            std::filesystem::remove(it->path(), typeError);
    }
}

void CPelquinarDoc::CancelPrefetch() {
    std::lock_guard<std::mutex> lock(prefetchMutex_);
    if (prefetcher_) prefetcher_->Cancel();
}

void CPelquinarDoc::OnStop() {
    fetcher_.SetCancel(true);
    CancelPrefetch();
    stop_ = true;
    for (int timer : {ISearchUi::kClockTimer, ISearchUi::kPageTimer, ISearchUi::kFoundTimer,
                      ISearchUi::kDownloadTimer})
        ui_.StopActivityTimer(timer);
    StopDownloads();
    // Only once no worker runs: a worker that found the queue drained while
    // the flag said idle would take it for the end of the downloads and
    // clear it again.
    state_.idleFlag = true;
}

bool CPelquinarDoc::AddDownloadWorker(const std::string& modeWord) {
    auto worker = std::make_unique<CBallThread>(state_, ui_, modeWord);
    try {
        worker->Start();
    } catch (const CThreadException& e) {
        ui_.ReportError(e.Message());
        return false;
    }
    worker->SetPriority(-15);
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        workers_.push_back(std::move(worker));
    }
    ui_.SetStatusMessage(kIdleMessage);
    return true;
}

int CPelquinarDoc::WorkerCount() const {
    std::lock_guard<std::mutex> lock(workersMutex_);
    return int(workers_.size());
}

void CPelquinarDoc::StopDownloads() {
    std::vector<std::unique_ptr<CBallThread>> workers;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        workers.swap(workers_);
    }
    if (workers.empty()) return;
    StopWorkers(workers);
    state_.record.Close();
    ui_.SetStatusMessage(kIdleMessage);
}

bool CPelquinarDoc::WaitForDownloads(int timeoutMs) {
    // The downloads have ended once the crawl is over and a worker has left
    // by itself (the first one to find the queue drained does), or when no
    // workers run at all.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!crawling_.load()) {
            std::lock_guard<std::mutex> lock(workersMutex_);
            bool oneEnded = workers_.empty();
            for (auto& w : workers_)
                if (!w->IsAlive()) oneEnded = true;
            if (oneEnded) return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void CPelquinarDoc::ClearRegistries() {
    pages_.Clear();
    pictures_.Clear();
}

void CPelquinarDoc::EnsureLevels(int depth) {
    if (depth >= int(levels_.size())) levels_.resize(size_t(depth) + 1);
}

LevelRecord& CPelquinarDoc::Level(int depth) {
    EnsureLevels(depth);
    return levels_[size_t(depth)];
}

void CPelquinarDoc::ClearLevel(int depth) { Level(depth).Clear(); }

void CPelquinarDoc::SetCurrentDepthForTest(int depth) {
    currentDepth_ = depth;
    EnsureLevels(depth);
}

bool CPelquinarDoc::IsNewPage(const std::string& address, ItemRecord** found) {
    ItemRecord* rec = pages_.Find(CItemRegistry::KeyOf(address));
    if (found) *found = rec;
    return rec == nullptr;
}

bool CPelquinarDoc::IsNewPicture(const std::string& address, ItemRecord** found) {
    ItemRecord* rec = pictures_.Find(CItemRegistry::KeyOf(address));
    if (found) *found = rec;
    return rec == nullptr;
}

void CPelquinarDoc::RegisterPage(const std::string& address, const std::string& localName,
                                 int depth) {
    std::string key = CItemRegistry::KeyOf(address);
    ItemRecord rec{localName, depth};
    pages_.Store(key, rec);
    if (localName != "index.htm" || key.find("index.htm") != std::string::npos) return;
    // A folder's page saved as index.htm is also the server's default
    // document: register the usual names of the server's root, on the same
    // port (and scheme), as known.
    UrlParts parts;
    if (!SplitUrl(key, parts) || parts.host.empty()) return;
    std::string root =
        (ToLower(parts.scheme) == "https" ? "https://" : "http://") + parts.HostPort() + "/";
    for (const char* doc : {"index.htm", "index.html", "default.htm", "default.html"})
        pages_.Store(root + doc, rec);
}

void CPelquinarDoc::RegisterPicture(const std::string& address, const std::string& localName) {
    pictures_.Store(CItemRegistry::KeyOf(address), ItemRecord{localName, -1});
}

bool CPelquinarDoc::AdmitLink(const std::string& address) {
    if (!IsNewPage(address)) return true;  // the depth rule decides later
    for (int d = 0; d < currentDepth_ && d < int(levels_.size()); ++d)
        if (levels_[size_t(d)].linkSet.count(address)) return false;
    return true;
}

void CPelquinarDoc::AdmitScannedLinks(const std::vector<std::string>& links, LevelRecord& level) {
    const bool keywordMode = state_.mode == "key" || state_.mode == "advancedkey";
    for (const std::string& a : links) {
        if (keywordMode) {
            // Only further pages of search results are followed.
            if (StartsWith(a, state_.ResultPagePrefix()) && AdmitLink(a)) level.AddLink(a);
            continue;
        }
        if (IsPictureLink(a, state_.filter)) {
            if (IsNewPicture(a)) level.pictures.push_back(a);
        } else if (IsPageLink(a)) {
            if (AdmitLink(a)) level.AddLink(a);
        }
    }
}

void CPelquinarDoc::AdmitScannedPictures(const std::vector<std::string>& pictures,
                                         LevelRecord& level) {
    for (const std::string& p : pictures) {
        if (state_.keywordFlag.load() && !StartsWith(p, state_.ResultPicturePrefix())) continue;
        if (StartsWith(FileNameOfAddress(p), "mailto")) continue;
        if (IsNewPicture(p)) level.pictures.push_back(p);
    }
}

}  // namespace pq
