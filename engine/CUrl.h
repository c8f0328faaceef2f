// Thin RAII wrapper over libcurl's URL API (CURLU): splitting addresses into
// their parts and resolving references against a base (RFC 3986).
// Any thread may use its own CUrl objects; an object is not shared.
#pragma once

#include <curl/curl.h>

#include <string>

namespace pq {

// Makes sure curl_global_init ran once, before any handle is made. Cheap to
// call again; every class that creates curl handles calls it first.
void EnsureCurlGlobalInit();

// The parts of an address. Absent parts are empty; hasPort tells whether the
// address named its port explicitly.
struct UrlParts {
    std::string scheme;
    std::string host;
    std::string port;
    bool hasPort = false;
    std::string path;      // starts with "/"
    std::string query;     // without its "?"
    std::string fragment;  // without its "#"
    std::string user;
    std::string password;

    // "host" or "host:port" when the port was explicit.
    std::string HostPort() const { return hasPort ? host + ":" + port : host; }
    // The path as the rest of the address spells it: path, "?query", "#fragment".
    std::string PathWithExtra() const;
};

class CUrl {
public:
    CUrl();
    ~CUrl();
    CUrl(const CUrl& other);
    CUrl& operator=(const CUrl& other) = delete;

    // Parses an absolute address (a scheme is required). False when it cannot
    // be parsed; the object then holds nothing useful.
    bool Set(const std::string& address);
    // Resolves a reference against the address held now and holds the result.
    bool Resolve(const std::string& reference);
    // The whole address, or "" when none is held.
    std::string Url() const;
    UrlParts Parts() const;

private:
    std::string Get(CURLUPart part, unsigned flags = 0) const;
    CURLU* handle_;
};

// The address as it goes on the wire: bytes that a request line cannot carry
// (controls, space, and bytes above 127) percent-encoded; the rest unchanged.
// Records keep the address as found; only the request uses this form.
std::string EncodeForRequest(const std::string& address);

// Splits an absolute address; false when it has no scheme or cannot be parsed.
bool SplitUrl(const std::string& address, UrlParts& parts);

}  // namespace pq
