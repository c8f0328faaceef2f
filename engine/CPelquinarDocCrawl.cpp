// The crawl thread of CPelquinarDoc: the depth-first walk of one search.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "engine/AdmissionRules.h"
#include "engine/CLinkScanner.h"
#include "engine/CPelquinarDoc.h"
#include "engine/TextUtil.h"
#include "store/ProjectFile.h"
#include "store/SizeText.h"

namespace pq {

int CPelquinarDoc::CrawlThreadProc() {
    std::string address = startAddress_;
    fetcher_.OpenSession(state_.useProxy, state_.proxy);
    fetcher_.SetUserAgent(state_.userAgent);
    // An open service's result pages come one after the other, spaced out
    // as its rules ask: they are never fetched ahead.
    if (state_.pagesAhead > 0 && state_.service == SearchService::kHtml) {
        CPagePrefetcher::Settings settings;
        settings.useProxy = state_.useProxy;
        settings.proxy = state_.proxy;
        settings.userAgent = state_.userAgent;
        settings.gate = &state_.gate;
        auto prefetcher =
            std::make_unique<CPagePrefetcher>(state_.pagesAhead, 2 * state_.pagesAhead, settings);
        std::lock_guard<std::mutex> lock(prefetchMutex_);
        prefetcher_ = std::move(prefetcher);
        if (stop_.load()) prefetcher_->Cancel();
    }
    state_.SetProjectFolder(projectFolder_);
    store::CreateProjectFile(projectFolder_, state_.header);
    state_.record.Open(projectFolder_);
    contents_.Open(projectFolder_);
    RegisterPage(CContentsPage::kRegistryKey, CContentsPage::kFileName, 0);
    ReadEarlierRuns();

    // The level stack grows as the walk descends: a large depth setting costs
    // nothing until a site is that deep.
    const int maxLevels = state_.maxLevels < 0 ? 0 : state_.maxLevels;
    currentDepth_ = 0;
    levels_[0].Clear();
    fetcher_.ResetNames();

    while (currentDepth_ >= 0 && !stop_.load()) {
        // Keep a bounded number of pictures ahead of the download workers.
        if (state_.queue.Pending() > kQueueAhead) {
            state_.queue.WaitForRoom(30);
            continue;
        }
        int d = currentDepth_;
        if (levels_[size_t(d)].cursor > 0) {
            address = levels_[size_t(d)].links[size_t(levels_[size_t(d)].cursor)];
            currentDepth_ = d + 1;
            EnsureLevels(currentDepth_);
        }
        std::string localName;
        fetcher_.LocalName(address, localName, pages_, true);
        if (prefetcher_) prefetcher_->Want(NextPages(address, kMaxPagesForeseen));
        if (pageReachedHook_) pageReachedHook_(address);
        const std::string before = address;
        int n = 0;
        const PageOutcome outcome = ProcessPage(address, localName, levels_[size_t(currentDepth_)]);
        if (outcome != PageOutcome::kFailed) {
            if (stop_.load()) break;
            LevelRecord& level = levels_[size_t(currentDepth_)];
            n = int(level.links.size());
            ItemRecord* known = nullptr;
            if (IsNewPage(address, &known)) {
                RegisterPage(address, localName, currentDepth_);
                if (address != before && IsNewPage(before))
                    RegisterPage(before, localName, currentDepth_);
                // Only a page that has its file gets an entry pointing at it.
                if (outcome == PageOutcome::kSaved)
                    contents_.AddEntry(localName, pageTitle_, address);
            } else if (maxLevels != 0) {
                if (currentDepth_ >= known->depth)
                    n = 0;
                else
                    known->depth = currentDepth_;
            }
            bool leave = false;
            for (size_t i = 0; i < level.pictures.size() && !leave; ++i) {
                QueuePicture(level.pictures[i], leave);
            }
            for (size_t i = 0; i < serviceResults_.size() && !leave; ++i)
                QueueServiceResult(serviceResults_[i], leave);
            serviceResults_.clear();
        } else {
            if (stop_.load()) break;
            if (address == startAddress_ || before == startAddress_) {
                // Without its first page the search has nothing to walk.
                for (int timer :
                     {ISearchUi::kPageTimer, ISearchUi::kFoundTimer, ISearchUi::kDownloadTimer})
                    ui_.StopActivityTimer(timer);
                {
                    std::lock_guard<std::mutex> lock(errorMutex_);
                    startPageError_ = pageProblem_.empty() ? fetchFailure_ : pageProblem_;
                    if (startPageError_.empty()) startPageError_ = "the page could not be fetched";
                }
                stop_ = true;
                startPageFailed_ = true;
            }
            n = 0;
        }

        if (currentDepth_ < maxLevels && n > 0) {
            address = levels_[size_t(currentDepth_)].links[0];
            ++currentDepth_;
            ClearLevel(currentDepth_);
        } else {
            ClearLevel(currentDepth_);
            --currentDepth_;
            while (currentDepth_ >= 0) {
                LevelRecord& level = levels_[size_t(currentDepth_)];
                if (level.cursor < int(level.links.size()) - 1) {
                    ++level.cursor;
                    break;
                }
                --currentDepth_;
            }
        }
    }

    {
        // Answers still under way or waiting are dropped at once.
        std::unique_ptr<CPagePrefetcher> prefetcher;
        {
            std::lock_guard<std::mutex> lock(prefetchMutex_);
            prefetcher.swap(prefetcher_);
        }
        if (prefetcher) {
            prefetcher->Stop();
            const CPagePrefetcher::Counts counts = prefetcher->Stats();
            prefetcher.reset();
            std::lock_guard<std::mutex> lock(prefetchMutex_);
            prefetchCounts_ = counts;
        }
    }
    contents_.Close();
    ClearRegistries();
    fetcher_.CloseSession();
    ui_.StopActivityTimer(ISearchUi::kPageTimer);
    ui_.StopActivityTimer(ISearchUi::kFoundTimer);
    state_.idleFlag = true;
    ui_.SearchEnded();
    ui_.AddHistoryEntry(std::to_string(state_.DownloadedCount()));
    currentDepth_ = 0;
    crawling_ = false;
    return 0;
}

std::string CPelquinarDoc::UniquePictureName(const std::string& wanted) {
    // The file name rules of every picture: one file of the project folder,
    // short enough, and not the name of another picture of the search.
    std::string name = PictureFileName(wanted);
    std::string base, ext;
    SplitFileName(name, base, ext);
    for (int n = 1; pictures_.HasLocalName(name); ++n) name = base + "__" + std::to_string(n) + ext;
    return name;
}

void CPelquinarDoc::QueueServiceResult(const ServiceResult& r, bool& leave) {
    if (stop_.load()) {
        leave = true;
        return;
    }
    const std::string& mode = state_.mode;
    bool take = false, big = false;
    if (mode == "advancedkey") {
        take = state_.filter.thumbnails;
        big = state_.filter.big;
    } else {
        take = true;
    }
    // The full picture stands in for a missing thumbnail, and the other way
    // round, so that an entry missing one address still gives a picture.
    const std::string thumb = r.thumbnail.empty() ? r.full : r.thumbnail;
    const std::string full = r.full.empty() ? r.thumbnail : r.full;
    if (!IsNewPicture(thumb)) return;
    const std::string name = UniquePictureName(r.fileName);
    const std::string bigName = BigPictureName(name);
    store::Credit credit = r.credit;
    credit.fullPicture = full;
    state_.queue.MakeRoom();
    // Each is queued unless the queue has it already (a continued project
    // enters what it holds as queued).
    if (take && !state_.queue.ContainsAddress(thumb)) {
        state_.SetCredit(thumb, credit);
        state_.queue.Append(name, thumb);
        contents_.AddCreditEntry(name, credit);
    }
    if (big && full != thumb && !state_.queue.ContainsAddress(full)) {
        state_.SetCredit(full, credit);
        state_.queue.Append(bigName, full);
        contents_.AddCreditEntry(bigName, credit);
    }
    RegisterPicture(thumb, name);
    if (big) RegisterPicture(full, bigName);
    ui_.SetPaneText(ISearchUi::kFoundPane,
                    std::string(kFoundLabel) + std::to_string(state_.queue.Queued()));
    if (stop_.load()) leave = true;
}

void CPelquinarDoc::QueuePicture(const std::string& picture, bool& leave) {
    if (!IsNewPicture(picture)) return;
    if (stop_.load()) {
        leave = true;
        return;
    }
    std::string e = picture;
    std::string localName;
    fetcher_.LocalName(e, localName, pictures_, false);
    const bool mail = StartsWith(e, "mailto:");
    if (mail) localName = e;

    bool take = false, big = false;
    const std::string& mode = state_.mode;
    if (mode == "key" || mode == "web") {
        take = true;
    } else if (mode == "advancedweb") {
        take = PassesPictureFilter(localName, state_.filter);
    } else if (mode == "advancedkey") {
        take = state_.filter.thumbnails;
        big = state_.filter.big;
    }
    if (state_.queue.ContainsAddress(e)) take = big = false;

    state_.queue.MakeRoom();
    if (!mail) {
        if (take) state_.queue.Append(localName, e);
        if (big) state_.queue.Append(BigPictureName(localName), BigPictureAddress(e));
    }
    ui_.SetPaneText(ISearchUi::kFoundPane,
                    std::string(kFoundLabel) + std::to_string(state_.queue.Queued()));
    if (stop_.load()) {
        leave = true;
        return;
    }
    if (!mail) RegisterPicture(e, localName);
    if (stop_.load()) leave = true;
}

CPelquinarDoc::PageOutcome CPelquinarDoc::ProcessPage(std::string& address, std::string& localName,
                                                      LevelRecord& level) {
    // A page reached again has nothing more to give: its level record stays
    // empty, and a page that failed the first time fails again without a
    // second fetch.
    level.Clear();
    if (state_.visitedSet.count(address))
        return failedPages_.count(address) ? PageOutcome::kFailed : PageOutcome::kSaved;
    state_.visited.push_back(address);
    state_.visitedSet.insert(address);
    const std::string requested = address;

    int size = 0;
    pageProblem_.clear();
    serviceResults_.clear();
    if (state_.service != SearchService::kHtml && state_.pageIntervalMs > 0) {
        // The service's rules for clients without a key: result pages
        // spaced out.
        const auto due = lastServicePage_ + std::chrono::milliseconds(state_.pageIntervalMs);
        while (!stop_.load() && std::chrono::steady_clock::now() < due)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lastServicePage_ = std::chrono::steady_clock::now();
    }
    int rc = FetchPage(address, size);
    if (rc == CPageFetcher::kCancelled) {
        failedPages_.insert(requested);
        return PageOutcome::kFailed;
    }

    std::string sizeText;
    bool saved = false;
    if (rc == CPageFetcher::kSuccess && state_.service != SearchService::kHtml) {
        // A result page of an open service: its JSON names the pictures and
        // the next page; no tag scanning.
        ServicePage page =
            ParseResultPage(state_.service, address, std::string_view(pageBuffer_.data(), size),
                            state_.Types(), std::max(state_.maxLevels, 1));
        if (!page.ok) {
            pageProblem_ = page.problem;
            rc = CPageFetcher::kFailed;
            failedPages_.insert(requested);
        } else {
            ui_.SetPaneText(ISearchUi::kPagePane,
                            std::string(kPageLabel) + std::to_string(state_.visited.size()));
            sizeText = SizeText(size);
            pageTitle_ = ServiceTitle(state_.service) + ": " + keywords_ + " (page " +
                         std::to_string(state_.visited.size()) + ")";
            localName = "results" + std::to_string(state_.visited.size()) + ".json";
            saved = SavePage(localName, size);
            if (!page.next.empty() && AdmitLink(page.next)) level.AddLink(page.next);
            serviceResults_ = std::move(page.results);
        }
    } else if (rc == CPageFetcher::kSuccess) {
        ui_.SetPaneText(ISearchUi::kPagePane,
                        std::string(kPageLabel) + std::to_string(state_.visited.size()));
        sizeText = SizeText(size);
        CLinkScanner scanner;
        scanner.Reset();
        scanner.SetStopFlag(&stop_);
        scanner.SetBaseAddress(address);
        scanner.SetCollectPictures(true);
        scanner.SetExtraPictureTypes(state_.filter.png, state_.filter.webp);
        scanner.Scan(pageBuffer_.data(), size);
        pageTitle_ = scanner.Title();
        saved = SavePage(localName, size);
        AdmitScannedLinks(scanner.Links(), level);
        AdmitScannedPictures(scanner.Pictures(), level);
    } else {
        failedPages_.insert(requested);
    }
    // "OK" says the page is in the folder; a page fetched but not written is
    // logged as failed.
    state_.record.AppendItemLine(projectFolder_, saved ? "OK" : "**", localName,
                                 saved ? sizeText : "", address);
    if (rc != CPageFetcher::kSuccess) return PageOutcome::kFailed;
    return saved ? PageOutcome::kSaved : PageOutcome::kFetched;
}

std::vector<std::string> CPelquinarDoc::NextPages(const std::string& address, size_t most) const {
    // A page visited before is not fetched again (the walk only looks it
    // up); a known page is fetched under its key, as the walk does.
    std::vector<std::string> next;
    if (!state_.visitedSet.count(address)) next.push_back(address);
    for (int k = currentDepth_ - 1; k >= 0 && next.size() < most; --k) {
        const LevelRecord& level = levels_[size_t(k)];
        for (size_t i = size_t(level.cursor) + 1; i < level.links.size() && next.size() < most;
             ++i) {
            const std::string& link = level.links[i];
            const bool upper =
                std::any_of(link.begin(), link.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
            if (upper) {
                std::string key = ToLower(link);
                if (pages_.Find(key)) {
                    if (!state_.visitedSet.count(key)) next.push_back(std::move(key));
                    continue;
                }
            }
            if (!state_.visitedSet.count(link)) next.push_back(link);
        }
    }
    return next;
}

int CPelquinarDoc::FetchPage(std::string& address, int& size) {
    CPagePrefetcher::Page ahead;
    if (prefetcher_ && prefetcher_->Take(address, ahead)) {
        address = ahead.address;
        fetchFailure_ = ahead.failure;
        size = int(ahead.body.size());
        std::copy(ahead.body.begin(), ahead.body.end(), pageBuffer_.begin());
        pageBuffer_[size_t(size)] = '\0';
        return ahead.rc;
    }
    const int rc = fetcher_.Fetch(address, pageBuffer_.data(), size, true);
    fetchFailure_ = fetcher_.FailureText();
    return rc;
}

CPagePrefetcher::Counts CPelquinarDoc::PrefetchCounts() const {
    std::lock_guard<std::mutex> lock(prefetchMutex_);
    return prefetchCounts_;
}

bool CPelquinarDoc::SavePage(std::string& localName, int size) {
    // A page never replaces a file the project did not make as a page: its
    // name is taken anew when another file holds it. A page reached under a
    // second address (an alias, a redirect), or again by a later run, writes
    // over its own copy.
    const bool saved = fetcher_.SaveNewPage(localName, projectFolder_, pageBuffer_.data(), size,
                                            pages_, [this](const std::string& file) {
                                                return MayReplacePage(file);
                                            }) == CPageFetcher::kSuccess;
    if (saved) pageFiles_.insert(std::string(FilePartOf(localName)));
    return saved;
}

bool CPelquinarDoc::MayReplacePage(const std::string& file) const {
    // The record and the contents page are never a page's copy, whatever an
    // earlier run wrote about them.
    if (file == store::kProjectFileName || EqualsNoCase(file, CContentsPage::kFileName))
        return false;
    std::string ext = ToLower(file.substr(std::min(file.size(), file.rfind('.'))));
    if (ext != ".htm" && ext != ".html" && ext != ".json") return false;
    if (pictures_.HasLocalName(file) || state_.IsDownloadedName(file)) return false;
    return pageFiles_.count(file) != 0;
}

void CPelquinarDoc::ReadEarlierRuns() {
    pageFiles_.clear();
    const store::BrowsedProject earlier = store::ReadProjectForBrowsing(projectFolder_);
    for (const auto& page : earlier.pages)
        pageFiles_.insert(page.localName.substr(0, page.localName.find('#')));
    if (!continued_) return;
    // The contents page is written anew by every run: the credits of the
    // pictures earlier runs saved go in again (credits.txt keeps them), in
    // the order they were saved. Pictures queued again by this run get
    // theirs as they are queued.
    std::unordered_set<std::string> listed;
    for (const auto& [name, credit] : store::ReadCreditLines(projectFolder_))
        if (state_.IsDownloadedName(name) && listed.insert(name).second)
            contents_.AddCreditEntry(name, credit);
}

}  // namespace pq
