#include "engine/CBallThread.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/AdmissionRules.h"
#include "engine/CPageFetcher.h"
#include "engine/CSearchState.h"
#include "engine/CUrl.h"
#include "engine/ISearchUi.h"
#include "engine/TextUtil.h"
#include "store/ProjectFile.h"
#include "store/SizeText.h"

namespace pq {

namespace {

std::atomic<long> gReadTimeoutMs{CPageFetcher::kDefaultReadTimeoutMs};

using Clock = std::chrono::steady_clock;

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Moves from into place as to, never replacing an existing file: false with
// EEXIST when to is taken.
bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

struct Transfer {
    const std::atomic<bool>* abort = nullptr;
    FILE* file = nullptr;
    std::string firstBlock;
    bool firstTested = false;
    bool isPage = false;
    bool tooBig = false;
    bool writeFailed = false;
    int writeErrno = 0;
    long long total = 0;
    long long received = 0;
    long long maxBytes = -1;  // -1: no limit
    Clock::time_point lastByte;
};

// Appends one block to the file and counts it; false to stop the transfer.
bool TakeBlock(Transfer& t, const char* data, size_t len) {
    if (int injected = InjectedWriteError()) {
        errno = injected;
        t.writeFailed = true;
        t.writeErrno = injected;
        return false;
    }
    if (std::fwrite(data, 1, len, t.file) != len) {
        t.writeErrno = errno;
        t.writeFailed = true;
        return false;
    }
    t.total += (long long)len;
    if (t.maxBytes >= 0 && t.total > t.maxBytes) {
        t.tooBig = true;
        return false;
    }
    return true;
}

bool TestFirstBlock(Transfer& t) {
    t.firstTested = true;
    if (LooksLikePage(t.firstBlock)) {
        t.isPage = true;
        return false;
    }
    return TakeBlock(t, t.firstBlock.data(), t.firstBlock.size());
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t len = size * count;
    t->lastByte = Clock::now();
    t->received += (long long)len;
    if (t->abort->load()) return 0;
    size_t pos = 0;
    if (!t->firstTested) {
        size_t need = CBallThread::kBlockSize - t->firstBlock.size();
        size_t take = std::min(need, len);
        t->firstBlock.append(data, take);
        pos = take;
        if (t->firstBlock.size() < size_t(CBallThread::kBlockSize)) return len;
        if (!TestFirstBlock(*t)) return 0;
    }
    while (pos < len) {
        size_t take = std::min(len - pos, size_t(CBallThread::kBlockSize));
        if (!TakeBlock(*t, data + pos, take)) return 0;
        pos += take;
    }
    return len;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->lastByte = Clock::now();
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->abort->load()) return 1;
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t->lastByte);
    return idle.count() >= gReadTimeoutMs.load() ? 1 : 0;
}

}  // namespace

void CBallThread::SetReadTimeoutMs(long ms) { gReadTimeoutMs = ms; }

CBallThread::CBallThread(CSearchState& state, ISearchUi& ui, std::string modeWord)
    : state_(state), ui_(ui), modeWord_(std::move(modeWord)) {
    EnsureCurlGlobalInit();
}

CBallThread::~CBallThread() {
    // The thread calls Step of this object: it must end before we are gone.
    try {
        Kill(0, true);
    } catch (...) {
    }
}

void CBallThread::Abort() { abort_ = true; }

void CBallThread::Step() {
    ClassLock();
    if (abort_.load()) {
        ClassUnlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    int queued = state_.queue.Queued();
    int taken = state_.queue.Taken();
    if (taken >= queued) {
        // Drained (or nothing was ever queued). The first worker to find it
        // so after the crawl ended reports the end and leaves.
        bool expected = true;
        if (state_.idleFlag.compare_exchange_strong(expected, false)) {
            ui_.DownloadsEnded();
            PostCommand(kStop);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleSleepMs));
    } else {
        CPictureQueue::Entry e = state_.queue.At(taken);
        Download(e.address, state_.ProjectFolder(), e.localName);
    }
    ClassUnlock();
}

std::string CBallThread::Download(const std::string& address, const std::string& folder,
                                  const std::string& localName) {
    lastTransferBytes_ = 0;
    // The final name: '*' cannot stay in a name, and the replacement comes
    // first so that the existence test sees the name really used.
    std::string name = FitFileName(localName);
    for (char& c : name)
        if (c == '*') c = 'x';
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        name = "unknown.fil";
    std::string base, ext;
    SplitFileName(name, base, ext);
    int suffix = 0;
    std::string finalName = name;
    while (Exists(folder + finalName)) finalName = base + "_" + std::to_string(++suffix) + ext;

    if (modeWord_ == "continue" && state_.IsDownloadedAddress(address)) {
        state_.queue.AdvanceTaken();
        return {};
    }

    std::string finalBase, unusedExt;
    SplitFileName(finalName, finalBase, unusedExt);
    std::string tempName = finalBase + ".down";
    int fd = ::open((folder + tempName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    for (int k = 1; fd < 0 && errno == EEXIST && k < 1000; ++k) {
        tempName = finalBase + "_" + std::to_string(k) + ".down";
        fd = ::open((folder + tempName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    }
    state_.queue.AdvanceTaken();
    if (fd < 0) return {};
    const std::string tempPath = folder + tempName;
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        return {};
    }

    const bool advanced = state_.mode == "advancedweb";
    const long long minBytes = (long long)state_.imageMinKb * 1024;
    const long long maxBytes = (long long)state_.imageMaxKb * 1024;

    Transfer t;
    t.abort = &abort_;
    t.file = file;
    t.maxBytes = advanced ? std::min(maxBytes, state_.pictureLimitBytes) : state_.pictureLimitBytes;
    t.lastByte = Clock::now();

    std::string error;
    long status = 0;
    CURLcode rc = CURLE_FAILED_INIT;
    UrlParts parts;
    std::string scheme;
    if (SplitUrl(address, parts)) scheme = ToLower(parts.scheme);
    CURL* easy = (scheme == "http" || scheme == "https") ? curl_easy_init() : nullptr;
    if (easy) {
        char errbuf[CURL_ERROR_SIZE] = {0};
        const std::string wire = EncodeForRequest(address);
        curl_easy_setopt(easy, CURLOPT_URL, wire.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, kAgentName);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errbuf);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
        rc = curl_easy_perform(easy);
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        // A body shorter than one block is tested when it is complete.
        if (rc == CURLE_OK && !t.firstTested && !t.firstBlock.empty()) TestFirstBlock(t);
        bool ownStop = t.isPage || t.tooBig;
        if (rc != CURLE_OK && !ownStop) error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
        curl_easy_cleanup(easy);
    } else {
        error = "Unsupported address";
    }
    lastTransferBytes_ = t.received;
    // The picture reaches the disk before it takes its final name: a crash
    // after the rename never leaves a picture cut short under that name.
    bool writeOk = !t.writeFailed && std::fflush(file) == 0;
    if (!writeOk && !t.writeErrno) t.writeErrno = errno;
    if (writeOk && ::fdatasync(::fileno(file)) != 0) {
        writeOk = false;
        t.writeErrno = errno;
    }
    writeOk = std::fclose(file) == 0 && writeOk;

    auto discard = [&](std::string result) {
        ::unlink(tempPath.c_str());
        if (result.size() > 254) result.resize(254);
        return result;
    };
    if (abort_.load()) return discard("Aborted");
    if (t.isPage || t.tooBig) return discard({});
    if (t.writeFailed)
        writeOk = false;  // the transfer stopped because the file could not take it
    else if (!error.empty())
        return discard(error);
    // An error status carries the server's error document, not the picture.
    if (writeOk && status >= 400) return discard({});
    if (!writeOk) {
        // Said once a search: the next pictures would fail the same way.
        if (!state_.writeErrorReported.exchange(true))
            ui_.ReportError("Pictures cannot be written in " + folder + ": " +
                            std::strerror(t.writeErrno ? t.writeErrno : EIO));
        return discard({});
    }
    if (t.total < kMinPictureBytes || (advanced && t.total < minBytes)) return discard({});

    // Into place: a rename within the folder that never replaces a file;
    // a name taken meanwhile moves on to the next suffix.
    while (!MoveNoReplace(tempPath, folder + finalName)) {
        if (errno != EEXIST) return discard({});
        finalName = base + "_" + std::to_string(++suffix) + ext;
    }

    std::string sizeText = SizeText(t.total);
    state_.AddDownloaded(DownloadedPicture{finalName, address, sizeText});
    int count = state_.DownloadedCount();
    ui_.PictureSaved(count);
    ui_.SetPaneText(ISearchUi::kDownloadPane, "Image Download:" + std::to_string(count));
    std::string statusText = std::to_string(count) + "**" + state_.ElapsedText();
    state_.SetStatusText(statusText);
    store::UpdateStatusAndAppend(folder, statusText, finalName, sizeText, address);
    return "YES";
}

void StopWorkers(std::vector<std::unique_ptr<CBallThread>>& workers) {
    int exitCode = 0;
    for (auto& w : workers) {
        try {
            w->Stop(exitCode, 0);
        } catch (const CThreadException&) {
        }
    }
    for (auto& w : workers) w->Abort();
    for (auto& w : workers) {
        try {
            w->Kill(0, true);
        } catch (const CThreadException&) {
        }
    }
    workers.clear();
}

}  // namespace pq
