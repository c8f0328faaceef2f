// The user interface's share of a search: what the window (or the headless
// front end) sets up before a search starts and what the engine's threads
// read and write while it runs. No widgets and no Qt.
//
// Threads: the fields above the line are written by the UI thread before
// StartSearch and only read while a search runs (except the filter keyword,
// which the crawl thread trims). Below the line: shared, atomic or guarded.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/CHostGate.h"
#include "engine/CPictureQueue.h"
#include "engine/CRecordBatch.h"
#include "engine/SearchService.h"
#include "store/Credits.h"
#include "store/PictureIndex.h"
#include "store/ProjectFile.h"

namespace pq {

struct PictureFilter {
    bool gif = true;
    bool jpg = true;
    bool bmp = true;
    // Kept only when the user asks: without them a search is as it always was.
    bool png = false;
    bool webp = false;
    std::string keyword;
    bool thumbnails = true;
    bool big = false;
};

// One picture saved in this search.
struct DownloadedPicture {
    std::string localName;
    std::string address;
    std::string sizeText;
};

class CSearchState {
public:
    CSearchState();

    // Search kind: "key", "web", "advancedkey" or "advancedweb".
    std::string mode = "web";
    PictureFilter filter;
    // The image search service's host (with an optional port): result pages
    // and result pictures are recognised by prefixes built from it.
    void SetSearchHost(const std::string& host);
    const std::string& ResultPagePrefix() const { return resultPagePrefix_; }
    const std::string& ResultPicturePrefix() const { return resultPicturePrefix_; }
    // The service a keyword search asks, its address ("https://..."), and
    // the User-Agent sent to it and to the pictures it names ("": each
    // fetcher's own). Result pages of a service are at least pageIntervalMs
    // apart.
    SearchService service = SearchService::kHtml;
    std::string serviceBase;
    std::string userAgent;
    int pageIntervalMs = 0;
    PictureTypes Types() const {
        return PictureTypes{filter.jpg, filter.gif, filter.bmp, filter.png, filter.webp};
    }
    // Settings a search reads.
    int maxLevels = 2;
    bool useProxy = false;
    std::string proxy;
    int imageMinKb = 0;
    int imageMaxKb = 900;
    // The smallest size on screen an advanced web search keeps, in pixels
    // (0: no bound), read from each picture's header once it has arrived.
    int minWidth = 0;
    int minHeight = 0;
    // No picture of any search grows past this: an endless answer is cut
    // off and discarded.
    long long pictureLimitBytes = kDefaultPictureLimitMb * 1024LL * 1024LL;
    static constexpr int kDefaultPictureLimitMb = 64;
    // Picture transfers at once (1: one at a time) and requests in flight
    // to one host, pages included.
    int transfersAtOnce = 6;
    int hostConnections = CHostGate::kDefaultPerHost;
    // Pages fetched ahead of the walk (0: one page at a time). Four leave
    // room among a host's six connections for the pictures.
    static constexpr int kDefaultPagesAhead = 4;
    int pagesAhead = kDefaultPagesAhead;
    // The picture index (none: nothing is looked up or entered). Every
    // picture a search saves is entered. With skipDuplicates, a picture
    // whose bytes equal one the index holds is not kept a second time: its
    // project.inf line names the picture there. With keepDeletedAway, a
    // picture the user sent to the trash from a project is not fetched (by
    // its address) or kept (by its bytes) again.
    std::shared_ptr<store::PictureIndex> index;
    bool skipDuplicates = false;
    bool keepDeletedAway = false;
    // The header of a new project.inf.
    store::ProjectHeader header;
    // Whether a saved picture writes the search's count and clock over line 1
    // of project.inf. Get Big Pictures adds to a project whose line 1 tells
    // its own search, and only appends.
    bool writesStatusLine = true;

    // ------------------------------------------------------------------
    std::atomic<bool> keywordFlag{false};
    std::atomic<bool> continueFlag{false};
    std::atomic<bool> idleFlag{true};
    // A picture could not be written and the user has been told.
    std::atomic<bool> writeErrorReported{false};

    CPictureQueue queue;
    CHostGate gate;
    // project.inf of the running search, open from the crawl's start until
    // the downloads end (not opened for Get Big Pictures: lines then go
    // through the per-line functions).
    store::ProjectRecord record;
    // The saved pictures' lines on their way into the record.
    CRecordBatch batch{record};

    // Project folder, copied from the job at crawl start.
    void SetProjectFolder(const std::string& folder);
    std::string ProjectFolder() const;

    // Elapsed time text of the search clock ("00:01:05"), kept by the UI.
    void SetElapsedText(const std::string& text);
    std::string ElapsedText() const;
    // The status text of project.inf line 1, as last written.
    void SetStatusText(const std::string& text);
    std::string StatusText() const;

    // The credits of a picture address of an open service. Crawl thread
    // writes, workers read.
    void SetCredit(const std::string& address, const store::Credit& credit);
    bool CreditFor(const std::string& address, store::Credit& credit) const;

    // Pictures saved in this search.
    int DownloadedCount() const { return downloadedCount_.load(); }
    void AddDownloaded(const DownloadedPicture& picture);  // also counts it
    bool IsDownloadedAddress(const std::string& address) const;
    // Whether a picture of this project already has that file name.
    bool IsDownloadedName(const std::string& localName) const;
    std::vector<DownloadedPicture> Downloaded() const;
    // Picture i of those saved, in the order they were saved; false when
    // there is no such picture yet.
    bool DownloadedAt(int i, DownloadedPicture& picture) const;
    void ResetDownloads();

    // Addresses ProcessPage was asked to fetch, in order. Crawl thread only
    // while a search runs.
    std::vector<std::string> visited;
    std::unordered_set<std::string> visitedSet;

private:
    std::string resultPagePrefix_;
    std::string resultPicturePrefix_;
    mutable std::mutex mutex_;
    std::string projectFolder_;
    std::string elapsedText_ = "00:00:00";
    std::string statusText_;
    std::vector<DownloadedPicture> downloaded_;
    std::unordered_set<std::string> downloadedAddresses_;
    std::unordered_set<std::string> downloadedNames_;
    std::unordered_map<std::string, store::Credit> credits_;
    std::atomic<int> downloadedCount_{0};
};

}  // namespace pq
