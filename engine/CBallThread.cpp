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
#include <limits>
#include <optional>
#include <thread>
#include <unordered_set>

#include "engine/AdmissionRules.h"
#include "engine/CHostGate.h"
#include "engine/CPageFetcher.h"
#include "engine/CRecordBatch.h"
#include "engine/CSearchState.h"
#include "engine/CUrl.h"
#include "engine/ISearchUi.h"
#include "engine/PictureHeader.h"
#include "engine/TextUtil.h"
#include "store/Credits.h"
#include "store/ProjectFile.h"
#include "store/SizeText.h"

namespace pq {

namespace {

std::atomic<long> gReadTimeoutMs{CPageFetcher::kDefaultReadTimeoutMs};
std::atomic<void (*)()> gBetweenEndReads{nullptr};

using Clock = std::chrono::steady_clock;

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

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

struct Transfer {
    const std::atomic<bool>* abort = nullptr;
    bool png = false;  // PNG and WebP signatures make a picture too
    bool webp = false;
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
    std::string retryAfter;   // of the last answer
    long status = 0;          // of the last answer's status line
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
    if (LooksLikePage(t.firstBlock, t.png, t.webp)) {
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
    // A redirect's own body ("Moved here") is no part of the picture.
    if (IsRedirect(t->status)) return len;
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

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t len = size * count;
    t->lastByte = Clock::now();
    constexpr std::string_view kRetry = "retry-after:";
    if (len >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        t->retryAfter.clear();
        // "HTTP/1.1 302 Found": the code after the first space.
        const char* end = data + len;
        const char* sp = static_cast<const char*>(std::memchr(data, ' ', len));
        t->status = 0;
        for (const char* p = sp ? sp + 1 : end; p < end && *p >= '0' && *p <= '9'; ++p)
            t->status = t->status * 10 + (*p - '0');
    } else if (len > kRetry.size() && EqualsNoCase(std::string_view(data, kRetry.size()), kRetry)) {
        t->retryAfter.assign(data + kRetry.size(), std::min<size_t>(len - kRetry.size(), 64));
    }
    return len;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->abort->load()) return 1;
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t->lastByte);
    return idle.count() >= gReadTimeoutMs.load() ? 1 : 0;
}

// One transfer of easy: through multi when there is one, so that an abort
// (with curl_multi_wakeup) ends a wait at once; alone otherwise.
CURLcode Perform(CURL* easy, CURLM* multi, const std::atomic<bool>& abort) {
    if (!multi || curl_multi_add_handle(multi, easy) != CURLM_OK) return curl_easy_perform(easy);
    CURLcode result = CURLE_OK;
    for (int running = 1; running;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) result = msg->data.result;
        if (!running) break;
        if (abort.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // The progress callback's read time-out is checked at least this
        // often.
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

}  // namespace

void CBallThread::SetReadTimeoutMs(long ms) { gReadTimeoutMs = ms; }

void CBallThread::SetBetweenEndReadsHook(void (*hook)()) { gBetweenEndReads = hook; }

CBallThread::CBallThread(CSearchState& state, ISearchUi& ui, std::string modeWord)
    : state_(state), ui_(ui), modeWord_(std::move(modeWord)) {
    EnsureCurlGlobalInit();
    multi_ = curl_multi_init();
    // The connection kept open between pictures lives in the multi handle.
    if (multi_) curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 2L);
}

CBallThread::~CBallThread() {
    // The thread calls Step of this object: it must end before we are gone.
    try {
        Kill(0, true);
    } catch (...) {
    }
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
}

void CBallThread::Abort() {
    abort_ = true;
    state_.gate.WakeAll();
    // A transfer waiting for its server sees the flag now, not at curl's
    // next progress call.
    if (multi_) curl_multi_wakeup(multi_);
}

void CBallThread::Step() {
    if (abort_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    const int index = state_.queue.TakeNext(kCommitWindow);
    if (index < 0) {
        // The crawl sets the idle flag only after it queued its last
        // picture, so the flag is read first: a queue found drained after
        // that is drained for good. (The other order could take pictures
        // queued between the two reads for none.)
        const bool crawlEnded = state_.idleFlag.load();
        if (auto hook = gBetweenEndReads.load()) hook();
        if (crawlEnded && state_.queue.Finished() >= state_.queue.Queued()) {
            // Drained (or nothing was ever queued). The first worker to find
            // it so after the crawl ended reports the end and leaves.
            bool expected = true;
            if (state_.idleFlag.compare_exchange_strong(expected, false)) {
                state_.batch.Flush();
                state_.record.Close();
                ui_.DownloadsEnded();
                PostCommand(kStop);
                return;
            }
        }
        state_.batch.FlushIfDue();
        state_.queue.WaitForEntries(kIdleSleepMs);
        return;
    }
    const CPictureQueue::Entry e = state_.queue.At(index);
    RunEntry(index, e.address, state_.ProjectFolder(), e.localName);
}

std::string CBallThread::Download(const std::string& address, const std::string& folder,
                                  const std::string& localName) {
    const int index = state_.queue.TakeNext(std::numeric_limits<int>::max());
    if (index < 0) return {};
    std::string result = RunEntry(index, address, folder, localName);
    // One picture on its own: its record is written before this returns.
    state_.batch.Flush();
    return result;
}

std::string CBallThread::RunEntry(int index, const std::string& address, const std::string& folder,
                                  const std::string& localName) {
    std::string result;
    std::optional<CPictureQueue::Arrival> arrival;
    try {
        arrival = Fetch(address, folder, localName, result);
    } catch (...) {
        // The entry is finished whatever happened, or the pictures after it
        // would wait for ever.
        state_.queue.Finish(index, std::nullopt, {});
        throw;
    }
    if (arrival) result = "YES";
    state_.queue.Finish(index, std::move(arrival),
                        [this](int, CPictureQueue::Arrival& a) { Commit(a); });
    return result;
}

namespace {

// Whether two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
    FILE* fa = std::fopen(a.c_str(), "rbe");
    FILE* fb = fa ? std::fopen(b.c_str(), "rbe") : nullptr;
    bool same = fa && fb;
    char ba[8192], bb[8192];
    while (same) {
        const size_t na = std::fread(ba, 1, sizeof ba, fa);
        const size_t nb = std::fread(bb, 1, sizeof bb, fb);
        same = na == nb && std::memcmp(ba, bb, na) == 0;
        if (na == 0 || na < sizeof ba) break;
    }
    if (same) same = std::feof(fa) && std::feof(fb);
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

// The key a host is counted under: its name in lower case, with its port.
std::string HostKey(const UrlParts& parts) { return ToLower(parts.HostPort()); }

}  // namespace

std::optional<CPictureQueue::Arrival> CBallThread::Fetch(const std::string& address,
                                                         const std::string& folder,
                                                         const std::string& localName,
                                                         std::string& result) {
    lastTransferBytes_ = 0;
    if (modeWord_ == "continue" && state_.IsDownloadedAddress(address)) return std::nullopt;
    // The user sent this picture to the trash from a project: it is not
    // fetched again.
    if (state_.keepDeletedAway && state_.index && state_.index->WasDeletedAddress(address)) {
        ui_.Log("Not fetched: " + address + ": it was deleted from a project before");
        result = "Deleted before";
        return std::nullopt;
    }

    const std::string name = PictureFileName(localName);
    std::string base, ext;
    SplitFileName(name, base, ext);
    std::string tempName = base + ".down";
    int fd = ::open((folder + tempName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    for (int k = 1; fd < 0 && errno == EEXIST && k < 1000; ++k) {
        tempName = base + "_" + std::to_string(k) + ".down";
        fd = ::open((folder + tempName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    }
    if (fd < 0) return std::nullopt;
    const std::string tempPath = folder + tempName;
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        return std::nullopt;
    }
    // Most pictures then reach the file in one or two writes (the buffer
    // outlives the fclose below).
    if (!fileBuffer_) fileBuffer_.reset(new char[kFileBufferBytes]);
    std::setvbuf(file, fileBuffer_.get(), _IOFBF, kFileBufferBytes);

    const bool advanced = state_.mode == "advancedweb";
    const long long minBytes = (long long)state_.imageMinKb * 1024;
    const long long maxBytes = (long long)state_.imageMaxKb * 1024;

    Transfer t;
    std::string error;
    long status = 0;
    UrlParts parts;
    std::string scheme;
    if (SplitUrl(address, parts)) scheme = ToLower(parts.scheme);
    if ((scheme == "http" || scheme == "https") && !easy_) easy_ = curl_easy_init();
    if ((scheme == "http" || scheme == "https") && easy_) {
        // Redirects are followed here rather than by libcurl: each hop is a
        // request to its own host and waits for that host's turn, so a
        // redirect to another host never escapes its limit.
        std::string current = address;
        int hops = 0;
        bool retried = false;
        for (;;) {
            UrlParts hop;
            if (!SplitUrl(current, hop)) {
                error = "Unsupported address";
                break;
            }
            const std::string host = HostKey(hop);
            const std::string wire = EncodeForRequest(current);
            t = Transfer{};
            t.abort = &abort_;
            t.png = state_.filter.png;
            t.webp = state_.filter.webp;
            t.file = file;
            t.maxBytes =
                advanced ? std::min(maxBytes, state_.pictureLimitBytes) : state_.pictureLimitBytes;
            error.clear();
            status = 0;
            HostPass pass(state_.gate, host, abort_);
            if (!pass) break;  // aborted while waiting
            t.lastByte = Clock::now();
            char errbuf[CURL_ERROR_SIZE] = {0};
            curl_easy_reset(easy_);
            curl_easy_setopt(easy_, CURLOPT_URL, wire.c_str());
            curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
            const std::string agent = state_.userAgent.empty() ? kAgentName : state_.userAgent;
            curl_easy_setopt(easy_, CURLOPT_USERAGENT, agent.c_str());
            curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy_, CURLOPT_MAXCONNECTS, 2L);
            curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errbuf);
            curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &OnBody);
            curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &t);
            curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &OnHeader);
            curl_easy_setopt(easy_, CURLOPT_HEADERDATA, &t);
            curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &OnProgress);
            curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, &t);
            const CURLcode rc = Perform(easy_, multi_, abort_);
            curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
            std::string next;
            if (rc == CURLE_OK && IsRedirect(status)) {
                char* location = nullptr;
                curl_easy_getinfo(easy_, CURLINFO_REDIRECT_URL, &location);
                if (location) next = location;
            }
            // A body shorter than one block is tested when it is complete.
            if (rc == CURLE_OK && next.empty() && !t.firstTested && !t.firstBlock.empty())
                TestFirstBlock(t);
            const bool ownStop = t.isPage || t.tooBig;
            if (rc != CURLE_OK && !ownStop) error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
            curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, nullptr);
            lastTransferBytes_ += t.received;
            if (abort_.load()) break;
            if (!next.empty()) {
                UrlParts to;
                const std::string toScheme = SplitUrl(next, to) ? ToLower(to.scheme) : "";
                if ((toScheme != "http" && toScheme != "https") || ++hops > kMaxRedirects) {
                    error = "Redirected too often, or to an address that is no web address";
                    break;
                }
                current = next;
                continue;  // nothing of a redirect's own body was kept
            }
            if (retried || (status != 429 && status != 503)) break;
            const int wait = RetryAfterSeconds(t.retryAfter);
            if (wait < 0) break;
            // The other transfers to this host wait too; those to other hosts
            // go on.
            retried = true;
            state_.gate.HoldOff(host, Clock::now() + std::chrono::seconds(wait));
            std::fflush(file);
            if (::ftruncate(::fileno(file), 0) != 0 || std::fseek(file, 0, SEEK_SET) != 0) break;
        }
    } else {
        error = "Unsupported address";
    }
    // The picture is whole in its file before it takes its final name, so a
    // killed run never leaves one cut short under that name; its record
    // line waits for the sync of its batch (CRecordBatch), which makes it
    // durable against a power cut too.
    bool writeOk = !t.writeFailed && std::fflush(file) == 0;
    if (!writeOk && !t.writeErrno) t.writeErrno = errno;
    writeOk = std::fclose(file) == 0 && writeOk;
    if (!writeOk && !t.writeErrno) t.writeErrno = errno;

    auto discard = [&](std::string why) {
        ::unlink(tempPath.c_str());
        if (why.size() > 254) why.resize(254);
        result = std::move(why);
        return std::nullopt;
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
    if (advanced && (state_.minWidth > 0 || state_.minHeight > 0)) {
        // The size on screen, from the header of what arrived: a picture
        // whose header says nothing cannot be shown to pass.
        int width = 0, height = 0;
        if (!PictureDimensions(tempPath, width, height)) {
            ui_.Log("Not saved: " + address +
                    ": its width and height cannot be read from its header, and this search "
                    "keeps only pictures " +
                    MinimumSizeText(state_.minWidth, state_.minHeight));
            return discard({});
        }
        if (width < state_.minWidth || height < state_.minHeight) return discard({});
    }
    return CPictureQueue::Arrival{tempPath, address, name, t.total};
}

void CBallThread::Commit(CPictureQueue::Arrival& a) {
    const std::string folder = a.tempPath.substr(0, a.tempPath.rfind('/') + 1);
    // What the index is to know of the picture, and what it decides: the
    // same bytes deleted before, or kept already.
    std::optional<uint64_t> hash;
    int64_t hashedSize = 0;
    if (state_.index) hash = store::HashFile(a.tempPath, &hashedSize);
    if (hash && state_.keepDeletedAway && state_.index->WasDeletedContent(*hash)) {
        ::unlink(a.tempPath.c_str());
        ui_.Log("Not kept: " + a.address + ": the same picture was deleted from a project before");
        return;
    }
    if (hash && state_.skipDuplicates) {
        const std::string copy = state_.index->FindCopy(a.tempPath, *hash, hashedSize);
        if (!copy.empty()) {
            ::unlink(a.tempPath.c_str());
            ui_.Log("Not kept: " + a.address + ": duplicate of " + copy);
            // Its line names the picture kept, so Continue does not fetch it
            // again and the browsing list shows that picture once.
            CRecordBatch::Line line;
            line.folder = folder;
            line.localName = copy.substr(copy.rfind('/') + 1);
            line.sizeText = SizeText(a.bytes);
            line.address = a.address;
            state_.batch.Add(std::move(line));
            return;
        }
    }
    std::string base, ext;
    SplitFileName(a.localName, base, ext);
    int suffix = 0;
    std::string finalName = a.localName;
    // Into place: a rename within the folder that never replaces a file; a
    // taken name moves on to the next suffix. The search for a free name is
    // bounded: every later picture waits for this commit.
    while (!MoveNoReplace(a.tempPath, folder + finalName)) {
        if (errno != EEXIST || suffix >= kMaxNameSuffix) {
            const int error = errno;
            ::unlink(a.tempPath.c_str());
            ui_.Log("Not saved: " + a.address + ": no free name for " + a.localName + " (" +
                    (error == EEXIST ? std::string("every suffix up to ") +
                                           std::to_string(kMaxNameSuffix) + " is taken"
                                     : std::string(std::strerror(error))) +
                    ")");
            return;
        }
        // A continued project may find the picture an earlier run saved but
        // was killed before it could record: the same bytes under the same
        // name are that picture, not a second one.
        if (modeWord_ == "continue" && !state_.IsDownloadedName(finalName) &&
            SameBytes(folder + finalName, a.tempPath)) {
            ::unlink(a.tempPath.c_str());
            break;
        }
        finalName = base + "_" + std::to_string(++suffix) + ext;
    }

    if (hash) {
        struct stat st;
        store::IndexedPicture p;
        p.path = folder + finalName;
        p.size = hashedSize;
        p.hash = *hash;
        if (::stat(p.path.c_str(), &st) == 0)
            p.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        state_.index->Put(p);
    }
    const std::string sizeText = SizeText(a.bytes);
    state_.AddDownloaded(DownloadedPicture{finalName, a.address, sizeText});
    const int count = state_.DownloadedCount();
    ui_.PictureSaved(count);
    ui_.SetPaneText(ISearchUi::kDownloadPane, "Image Download:" + std::to_string(count));
    // The picture is in place and shown; its record waits for the batch's
    // sync, so it never lists a picture that is not on the disk.
    CRecordBatch::Line line;
    line.folder = folder;
    line.localName = finalName;
    line.sizeText = sizeText;
    line.address = a.address;
    line.hasCredit = state_.CreditFor(a.address, line.credit);
    if (state_.writesStatusLine) {
        line.statusText = std::to_string(count) + "**" + state_.ElapsedText();
        state_.SetStatusText(line.statusText);
    }
    state_.batch.Add(std::move(line));
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
    // Every taken entry was finished by its worker; an arrival can wait only
    // if the queue was reset under the workers. Its file goes all the same.
    std::unordered_set<CSearchState*> states;
    for (auto& w : workers) states.insert(&w->State());
    for (CSearchState* s : states) {
        for (const std::string& path : s->queue.TakeWaitingArrivals()) ::unlink(path.c_str());
        // What was saved before the stop is recorded.
        s->batch.Flush();
    }
    workers.clear();
}

}  // namespace pq
