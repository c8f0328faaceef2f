// Fetches the pages of one search: one HTTP/1.1 GET at a time into the job's
// page buffer, over a connection kept open between pages, redirects followed
// here (never by libcurl), a few failures retried; saves pages to the project
// folder and chooses local file names.
//
// Threads: every operation runs on the search's crawl thread, except
// SetCancel, which the user-interface thread calls to stop a fetch at once.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace pq {

class CHostGate;
class CItemRegistry;

class CPageFetcher {
public:
    // Result codes of Fetch and SavePage.
    enum Result : int {
        kSuccess = 0,
        kCancelled = 1,
        kFailed = 2,          // no session, bad address, not sent, or an unhandled status
        kFileNotCreated = 3,  // SavePage
        kRedirected = 4,      // the caller's address now holds the new one
        kLibraryError = 5,    // the transfer broke off after it had begun
        kNotFound = 7,        // 404, 408 or 504
    };

    static constexpr int kPageBufferSize = 700000;
    static constexpr int kMaxPageBytes = kPageBufferSize - 1;  // room for the closing zero
    static constexpr long kConnectTimeoutMs = 4000;
    // A server that sends nothing for this long fails the request with 5.
    static constexpr long kDefaultReadTimeoutMs = 30000;
    static constexpr int kMaxLocationChars = 500;
    static constexpr const char* kAgentName = "Halvendrake";

    CPageFetcher();
    ~CPageFetcher();
    CPageFetcher(const CPageFetcher&) = delete;
    CPageFetcher& operator=(const CPageFetcher&) = delete;

    // 0, or 2 when the session cannot be made. The proxy text is used as given
    // when useProxy is set; otherwise the system's own proxy settings apply.
    int OpenSession(bool useProxy, const std::string& proxy);
    void CloseSession();
    void ResetNames() { nameCounter_ = 0; }

    // Up to three attempts: a 7 is tried again, and so is a 4 when
    // followRedirects is set (with the new address). A 429 or 503 answer
    // with Retry-After is tried once more after that wait (at most 60 s). buffer must hold
    // kPageBufferSize bytes; on success it holds size bytes and a zero byte.
    int Fetch(std::string& address, char* buffer, int& size, bool followRedirects);

    // Writes size bytes of buffer to a new file folder + localName (cut at
    // its first "#"); 0, or 3 when the file cannot be created or written. A
    // file already there is never replaced.
    static int SavePage(const std::string& localName, const std::string& folder, const char* buffer,
                        int size);
    // As SavePage, but a name taken on disk does not fail the save: unless
    // mayReplace says the file is this page's own (from an earlier run of
    // the project), the page takes the next "__n" name of the counter that
    // nameMap does not hold, and localName comes back changed.
    int SaveNewPage(std::string& localName, const std::string& folder, const char* buffer, int size,
                    const CItemRegistry& nameMap,
                    const std::function<bool(const std::string& fileName)>& mayReplace);

    // The file name for the item at address. nameMap holds the items named
    // so far; an address named before gets its old name back (and address
    // becomes its key), a name already taken (its part before "#") gets
    // "__n" from the counter. A name too long for the file system is
    // shortened, its extension kept.
    void LocalName(std::string& address, std::string& localName, const CItemRegistry& nameMap,
                   bool isPage);

    // A short text for the last HTTP status, for the log of a failed page.
    std::string StatusText() const;
    // Why the last fetch failed, in words for the user ("connection
    // refused", "host not found", ...); "" after a success.
    std::string FailureText() const { return failure_; }
    int LastStatus() const { return lastStatus_; }
    int NameCounter() const { return nameCounter_; }

    // The cancel flag. Setting it aborts a transfer in progress at once.
    void SetCancel(bool on);
    bool IsCancelled() const { return cancel_.load(); }

    void SetReadTimeoutMs(long ms) { readTimeoutMs_ = ms; }
    // The User-Agent of the requests; "" for kAgentName.
    void SetUserAgent(const std::string& agent) { userAgent_ = agent; }
    // Requests pass through gate (with priority over the picture workers),
    // so the search's limits per host count the pages too. nullptr: none.
    void SetGate(CHostGate* gate) { gate_ = gate; }
    // Certificates of HTTPS servers are checked against the system's store,
    // or against this PEM bundle when one is given.
    void SetCaBundle(const std::string& path) { caBundle_ = path; }

    // Adds "http://" in front of an address that names neither "http://" nor
    // "https://" anywhere (compared in lower case).
    static void AddDefaultScheme(std::string& address);

private:
    struct Transfer;
    // localName with "__n" of the next counter value before its first dot.
    std::string WithCounter(const std::string& localName);
    int SingleRequest(std::string& address, char* buffer, int& size);
    int RunTransfer(Transfer& t);

    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    std::mutex multiMutex_;  // keeps multi_ alive while SetCancel wakes it
    std::string proxy_;
    bool useProxy_ = false;
    int nameCounter_ = 0;
    int lastStatus_ = 0;
    int retryAfterSeconds_ = -1;  // of the last answer; -1: none
    CHostGate* gate_ = nullptr;
    std::string userAgent_;
    std::string failure_;
    std::atomic<bool> cancel_{false};
    long readTimeoutMs_ = kDefaultReadTimeoutMs;
    std::string caBundle_;
};

}  // namespace pq
