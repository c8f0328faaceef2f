#include "engine/CPageFetcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include "engine/CHostGate.h"
#include "engine/CItemRegistry.h"
#include "engine/CUrl.h"
#include "engine/TextUtil.h"

namespace pq {

using Clock = std::chrono::steady_clock;

struct CPageFetcher::Transfer {
    CPageFetcher* self = nullptr;
    char* buffer = nullptr;
    int stored = 0;
    long status = 0;
    bool bufferFull = false;        // the page reached its cut; the rest is not read
    bool stoppedAtHeaders = false;  // a status without a body we want
    bool badLocation = false;       // the Location held a control byte
    std::string location;
    std::string retryAfter;
    Clock::time_point lastByte;
};

namespace {

bool HeaderNameIs(const char* line, size_t len, const char* name) {
    size_t n = std::strlen(name);
    return len > n && line[n] == ':' && EqualsNoCase(std::string_view(line, n), name);
}

// Errors that mean the request never reached the server.
bool IsNotSentError(CURLcode rc) {
    switch (rc) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SEND_ERROR:
            return true;
        default:
            return false;
    }
}

}  // namespace

CPageFetcher::CPageFetcher() { EnsureCurlGlobalInit(); }

CPageFetcher::~CPageFetcher() { CloseSession(); }

int CPageFetcher::OpenSession(bool useProxy, const std::string& proxy) {
    CloseSession();
    useProxy_ = useProxy;
    proxy_ = proxy;
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (!easy || !multi) {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        return kFailed;
    }
    std::lock_guard<std::mutex> lock(multiMutex_);
    easy_ = easy;
    multi_ = multi;
    return kSuccess;
}

void CPageFetcher::CloseSession() {
    std::lock_guard<std::mutex> lock(multiMutex_);
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
    easy_ = nullptr;
    multi_ = nullptr;
}

void CPageFetcher::SetCancel(bool on) {
    cancel_.store(on);
    if (on) {
        std::lock_guard<std::mutex> lock(multiMutex_);
        if (multi_) curl_multi_wakeup(multi_);
    }
}

void CPageFetcher::AddDefaultScheme(std::string& address) {
    std::string lower = ToLower(address);
    if (lower.find("http://") == std::string::npos && lower.find("https://") == std::string::npos)
        address.insert(0, "http://");
}

size_t CPageFetcher::OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t len = size * count;
    t->lastByte = Clock::now();
    if (len >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        // A new status line; an interim 1xx answer may come before the real one.
        long code = 0;
        const char* sp = static_cast<const char*>(std::memchr(data, ' ', len));
        if (sp) code = std::strtol(sp + 1, nullptr, 10);
        t->status = code;
        t->location.clear();
        t->badLocation = false;
        t->retryAfter.clear();
        return len;
    }
    if (HeaderNameIs(data, len, "retry-after")) {
        t->retryAfter.assign(data + 12, std::min<size_t>(len - 12, 64));
        return len;
    }
    if (HeaderNameIs(data, len, "location")) {
        std::string value = Trim(std::string_view(data + 9, len - 9));
        if (value.size() > kMaxLocationChars) value.resize(kMaxLocationChars);
        // A bare CR or another control byte inside the value is no address:
        // passed on it would split the project's records.
        t->badLocation = HasControl(value);
        t->location = value;
        return len;
    }
    bool endOfHeaders = (len == 2 && data[0] == '\r') || (len == 1 && data[0] == '\n');
    if (endOfHeaders && t->status >= 200 && t->status != 200) {
        // Only a 200 answer has a body worth reading.
        t->stoppedAtHeaders = true;
        return 0;
    }
    return len;
}

size_t CPageFetcher::OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t len = size * count;
    t->lastByte = Clock::now();
    if (t->self->cancel_.load()) return 0;
    size_t room = size_t(kMaxPageBytes - t->stored);
    size_t take = std::min(len, room);
    std::memcpy(t->buffer + t->stored, data, take);
    t->stored += int(take);
    if (take < len) {
        t->bufferFull = true;
        return 0;
    }
    return len;
}

int CPageFetcher::OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    return t->self->cancel_.load() ? 1 : 0;
}

int CPageFetcher::RunTransfer(Transfer& t) {
    // Drive the transfer through the multi interface so that SetCancel can wake
    // the wait at once and a silent server can be timed out precisely.
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return kFailed;
    t.lastByte = Clock::now();
    bool cancelled = false, timedOut = false;
    CURLcode rc = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            rc = CURLE_RECV_ERROR;
            break;
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
            if (msg->msg == CURLMSG_DONE) rc = msg->data.result;
        if (!running) break;
        if (cancel_.load()) {
            cancelled = true;
            break;
        }
        auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.lastByte)
                        .count();
        if (idle >= readTimeoutMs_) {
            timedOut = true;
            break;
        }
        long wait = std::min<long>(readTimeoutMs_ - idle, 1000);
        curl_multi_poll(multi_, nullptr, 0, int(std::max<long>(wait, 1)), nullptr);
    }
    curl_multi_remove_handle(multi_, easy_);

    if (cancelled || cancel_.load()) return kCancelled;
    if (timedOut) {
        failure_ = "the server sent nothing for " + std::to_string(readTimeoutMs_ / 1000) + " s";
        return kLibraryError;
    }
    switch (rc) {
        case CURLE_OK:
        case CURLE_WRITE_ERROR:
            break;
        case CURLE_COULDNT_CONNECT:
            failure_ = "connection refused";
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            failure_ = "host not found";
            break;
        case CURLE_COULDNT_RESOLVE_PROXY:
            failure_ = "proxy not found";
            break;
        case CURLE_OPERATION_TIMEDOUT:
            failure_ = "timed out";
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            failure_ = "the server's TLS certificate is not trusted";
            break;
        case CURLE_SSL_CONNECT_ERROR:
            failure_ = "the TLS connection failed";
            break;
        default:
            failure_ = curl_easy_strerror(rc);
    }
    if (rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && (t.bufferFull || t.stoppedAtHeaders)))
        return kSuccess;  // the status decides
    if (rc == CURLE_ABORTED_BY_CALLBACK) return kCancelled;
    if (rc == CURLE_OPERATION_TIMEDOUT && t.status == 0) return kFailed;  // connect time-out
    return IsNotSentError(rc) ? kFailed : kLibraryError;
}

namespace {
// The scheme an address starts with ("ftp" for "ftp://x"), or "" when it
// does not start with one followed by "://".
std::string LeadingScheme(const std::string& address) {
    size_t i = 0;
    while (i < address.size()) {
        char c = address[i];
        bool ok = std::isalpha(static_cast<unsigned char>(c)) ||
                  (i > 0 && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
                             c == '.'));
        if (!ok) break;
        ++i;
    }
    if (i == 0 || address.compare(i, 3, "://") != 0) return {};
    return ToLower(address.substr(0, i));
}
}  // namespace

int CPageFetcher::SingleRequest(std::string& address, char* buffer, int& size) {
    size = 0;
    failure_.clear();
    // Only http and https are fetched; another scheme is refused as it stands
    // rather than read as a host name behind "http://".
    std::string given = LeadingScheme(address);
    if (!given.empty() && given != "http" && given != "https") {
        failure_ = "\"" + given + ":\" addresses are not fetched, only http and https";
        return kFailed;
    }
    AddDefaultScheme(address);
    UrlParts parts;
    if (!easy_ || !SplitUrl(address, parts)) {
        failure_ = "not an address that can be fetched";
        return kFailed;
    }
    std::string scheme = ToLower(parts.scheme);
    bool https = scheme == "https";
    // libcurl may speak more than HTTP; this fetcher speaks nothing else.
    if (!https && scheme != "http") {
        failure_ = "only http and https addresses are fetched";
        return kFailed;
    }
    if (parts.host.empty()) {
        failure_ = "the address names no host";
        return kFailed;
    }

    // The fragment is never sent, nor are user name and password.
    std::string target = scheme + "://" + parts.HostPort() + parts.path;
    if (!parts.query.empty()) target += "?" + parts.query;

    Transfer t;
    t.self = this;
    t.buffer = buffer;
    const char firstByte = buffer[0];

    curl_easy_reset(easy_);
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    const std::string wire = EncodeForRequest(target);
    curl_easy_setopt(easy_, CURLOPT_URL, wire.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT,
                     userAgent_.empty() ? kAgentName : userAgent_.c_str());
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caBundle_.empty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, caBundle_.c_str());
    if (useProxy_) curl_easy_setopt(easy_, CURLOPT_PROXY, proxy_.c_str());
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CPageFetcher::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CPageFetcher::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CPageFetcher::OnProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, &t);

    int rc = kCancelled;
    {
        std::optional<HostPass> pass;
        if (gate_) pass.emplace(*gate_, ToLower(parts.HostPort()), cancel_, true);
        if (!pass || *pass) rc = RunTransfer(t);
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
    retryAfterSeconds_ =
        (t.status == 429 || t.status == 503) ? RetryAfterSeconds(t.retryAfter) : -1;
    if (retryAfterSeconds_ >= 0 && gate_)
        gate_->HoldOff(ToLower(parts.HostPort()),
                       Clock::now() + std::chrono::seconds(retryAfterSeconds_));
    curl_slist_free_all(headers);

    if (t.status > 0) lastStatus_ = int(t.status);
    if (rc == kSuccess && t.status != 200 && t.status != 301 && t.status != 302 && t.status != 303)
        failure_ = "the server answered " + std::to_string(t.status) +
                   (t.status == 404 ? " (not found)" : "");
    if (rc == kSuccess &&
        (t.badLocation ||
         ((t.status == 301 || t.status == 302 || t.status == 303) && t.location.empty())))
        failure_ = "a redirect without a usable address";
    if (rc == kSuccess) {
        switch (t.status) {
            case 200:
                buffer[t.stored] = '\0';
                size = t.stored;
                return kSuccess;
            case 301:
            case 302:
            case 303: {
                if (t.badLocation || t.location.empty()) {
                    rc = kFailed;
                    break;
                }
                UrlParts loc;
                if (SplitUrl(t.location, loc) && !loc.host.empty()) {
                    address = t.location;
                } else {
                    // A location without a host is taken from the server's root,
                    // on the same port and, for https, the same scheme.
                    std::string next = https ? "https://" + parts.HostPort() : parts.HostPort();
                    if (!StartsWith(t.location, "/")) next += "/";
                    address = next + t.location;
                }
                return kRedirected;
            }
            case 404:
            case 408:
            case 504:
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                rc = kNotFound;
                break;
            default:
                rc = kFailed;
                break;
        }
    }
    // Failures leave no page behind: size 0 and the buffer's first byte as it was.
    if (rc != kCancelled) buffer[0] = firstByte;
    size = 0;
    return rc;
}

int CPageFetcher::Fetch(std::string& address, char* buffer, int& size, bool followRedirects) {
    int rc = kFailed;
    bool waited = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        rc = SingleRequest(address, buffer, size);
        if (rc == kNotFound) continue;
        if (rc == kRedirected && followRedirects) continue;
        if (rc == kFailed && retryAfterSeconds_ >= 0 && !waited) {
            // The server asked us to come back later: once, after its wait.
            waited = true;
            const auto until = Clock::now() + std::chrono::seconds(retryAfterSeconds_);
            while (!cancel_.load() && Clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (cancel_.load()) return kCancelled;
            --attempt;
            continue;
        }
        break;
    }
    return rc;
}

namespace {

// Writes the bytes to path, creating the file; an existing file is replaced
// only when replace is set, and a symbolic link never followed. errno tells
// EEXIST when the name is taken.
bool WriteFile(const std::string& path, const char* buffer, int size, bool replace) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (replace ? O_TRUNC : O_EXCL);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    if (int injected = InjectedWriteError()) {
        ::close(fd);
        ::unlink(path.c_str());
        errno = injected;
        return false;
    }
    const char* p = buffer;
    size_t left = size > 0 ? size_t(size) : 0;
    bool ok = true;
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= size_t(n);
        }
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        int saved = errno;
        ::unlink(path.c_str());
        errno = saved;
    }
    return ok;
}

}  // namespace

int CPageFetcher::SavePage(const std::string& localName, const std::string& folder,
                           const char* buffer, int size) {
    const std::string name(FilePartOf(localName));
    // A local name is one file of the project folder, never a path out of it.
    if (!IsPlainFileName(name)) return kFileNotCreated;
    return WriteFile(folder + name, buffer, size, false) ? kSuccess : kFileNotCreated;
}

int CPageFetcher::SaveNewPage(std::string& localName, const std::string& folder, const char* buffer,
                              int size, const CItemRegistry& nameMap,
                              const std::function<bool(const std::string&)>& mayReplace) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name(FilePartOf(localName));
        if (!IsPlainFileName(name)) return kFileNotCreated;
        const bool replace = mayReplace && mayReplace(name);
        if (WriteFile(folder + name, buffer, size, replace)) return kSuccess;
        if (errno != EEXIST) return kFileNotCreated;
        // The name belongs to a file this page did not make (the project's
        // record, the contents page, a picture): the page takes another.
        std::string next;
        do {
            next = WithCounter(localName);
        } while (nameMap.HasLocalName(FilePartOf(next)));
        localName = next;
    }
    return kFileNotCreated;
}

std::string CPageFetcher::WithCounter(const std::string& localName) {
    ++nameCounter_;
    std::string suffix = "__" + std::to_string(nameCounter_);
    std::string name = localName;
    const size_t fileEnd = FilePartOf(name).size();
    size_t dot = name.find('.');
    name.insert(dot < fileEnd ? dot : fileEnd, suffix);
    return name;
}

void CPageFetcher::LocalName(std::string& address, std::string& localName,
                             const CItemRegistry& nameMap, bool isPage) {
    std::string candidate;
    std::string full = address;
    AddDefaultScheme(full);
    UrlParts parts;
    if (SplitUrl(full, parts)) {
        std::string path = parts.PathWithExtra();
        candidate = path.substr(path.rfind('/') + 1);
    }
    // A name the file system cannot take is shortened (the fragment of a
    // page's name is no part of its file).
    const size_t filePart = FilePartOf(candidate).size();
    if (filePart > kMaxFileNameBytes)
        candidate = FitFileName(candidate.substr(0, filePart)) + candidate.substr(filePart);
    // "." and ".." would name the folder itself or its parent, a name that
    // is all fragment ("#.html") would name no file at all, and a control
    // byte would cut the path short.
    const std::string_view file = FilePartOf(candidate);
    if (!IsPlainFileName(file)) candidate.clear();

    if (candidate.empty()) {
        candidate = isPage ? "index.htm" : "unknown.fil";
    } else if (isPage) {
        size_t dot = candidate.rfind('.');
        std::string ext = dot == std::string::npos ? std::string() : ToLower(candidate.substr(dot));
        if (ext.find('#') == std::string::npos && ext != ".htm" && ext != ".html")
            candidate += ".htm";
    }

    std::string key = ToLower(address);
    if (const ItemRecord* known = nameMap.Find(key)) {
        address = key;
        localName = known->localName;
        return;
    }
    // The file a name makes is what may not be taken twice: a page's name is
    // compared without its fragment.
    if (nameMap.HasLocalName(FilePartOf(candidate))) candidate = WithCounter(candidate);
    localName = candidate;
}

std::string CPageFetcher::StatusText() const {
    switch (lastStatus_) {
        case 301:
        case 302:
        case 303:
            return "Redirected, but not found";
        case 400:
        case 404:
        case 410:
            return "Page or file not found";
        case 401:
        case 402:
        case 403:
        case 407:
            return "Proxy authentication required";
        case 408:
        case 504:
            return "Timed out on request";
        default:
            return "WinInet error " + std::to_string(lastStatus_);
    }
}

}  // namespace pq
