// The crawl thread of CPelquinarDoc: the depth-first walk of one search.
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
    state_.SetProjectFolder(projectFolder_);
    store::CreateProjectFile(projectFolder_, state_.header);
    state_.record.Open(projectFolder_);
    contents_.Open(projectFolder_);
    RegisterPage(CContentsPage::kRegistryKey, CContentsPage::kFileName, 0);

    // The level stack grows as the walk descends: a large depth setting costs
    // nothing until a site is that deep.
    const int maxLevels = state_.maxLevels < 0 ? 0 : state_.maxLevels;
    currentDepth_ = 0;
    levels_[0].Clear();
    fetcher_.ResetNames();

    while (currentDepth_ >= 0 && !stop_.load()) {
        // Keep a bounded number of pictures ahead of the download workers.
        if (state_.queue.Pending() > kQueueAhead) {
            state_.queue.WaitForWork(30);
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
        } else {
            if (stop_.load()) break;
            if (address == startAddress_ || before == startAddress_) {
                // Without its first page the search has nothing to walk.
                for (int timer :
                     {ISearchUi::kPageTimer, ISearchUi::kFoundTimer, ISearchUi::kDownloadTimer})
                    ui_.StopActivityTimer(timer);
                {
                    std::lock_guard<std::mutex> lock(errorMutex_);
                    startPageError_ = fetcher_.FailureText();
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
    int rc = fetcher_.Fetch(address, pageBuffer_.data(), size, true);
    if (rc == CPageFetcher::kCancelled) {
        failedPages_.insert(requested);
        return PageOutcome::kFailed;
    }

    std::string sizeText;
    bool saved = false;
    if (rc == CPageFetcher::kSuccess) {
        ui_.SetPaneText(ISearchUi::kPagePane,
                        std::string(kPageLabel) + std::to_string(state_.visited.size()));
        sizeText = SizeText(size);
        CLinkScanner scanner;
        scanner.Reset();
        scanner.SetStopFlag(&stop_);
        scanner.SetBaseAddress(address);
        scanner.SetCollectPictures(true);
        scanner.Scan(pageBuffer_.data(), size);
        pageTitle_ = scanner.Title();
        // A page never replaces a file it did not make: its name is taken
        // anew when another file holds it.
        saved = fetcher_.SaveNewPage(localName, projectFolder_, pageBuffer_.data(), size, pages_,
                                     [this, &address](const std::string& file) {
                                         return IsEarlierCopyOf(file, address);
                                     }) == CPageFetcher::kSuccess;
        AdmitScannedLinks(scanner.Links(), level);
        AdmitScannedPictures(scanner.Pictures(), level);
    } else {
        failedPages_.insert(requested);
    }
    // "OK" says the page is in the folder; a page fetched but not written is
    // logged as failed.
    state_.record.AppendItemLine(saved ? "OK" : "**", localName, saved ? sizeText : "", address);
    if (rc != CPageFetcher::kSuccess) return PageOutcome::kFailed;
    return saved ? PageOutcome::kSaved : PageOutcome::kFetched;
}

bool CPelquinarDoc::IsEarlierCopyOf(const std::string& file, const std::string& address) const {
    // The record and the contents page are never a page's copy, whatever an
    // earlier run wrote about them.
    if (file == store::kProjectFileName || EqualsNoCase(file, CContentsPage::kFileName))
        return false;
    std::string ext = ToLower(file.substr(std::min(file.size(), file.rfind('.'))));
    if (ext != ".htm" && ext != ".html") return false;
    auto it = earlierPages_.find(file);
    return it != earlierPages_.end() && it->second == CItemRegistry::KeyOf(address);
}

}  // namespace pq
