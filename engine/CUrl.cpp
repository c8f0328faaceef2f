#include "engine/CUrl.h"

#include <mutex>
#include <new>

namespace pq {

namespace {
// Spaces and schemes libcurl cannot fetch still parse, the way a browser's
// address splitter treats them; whether such an address is fetched is the
// caller's decision.
constexpr unsigned kParseFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE;
}  // namespace

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string UrlParts::PathWithExtra() const {
    std::string s = path;
    if (!query.empty()) s += "?" + query;
    if (!fragment.empty()) s += "#" + fragment;
    return s;
}

CUrl::CUrl() : handle_(curl_url()) {
    if (!handle_) throw std::bad_alloc();
}

CUrl::~CUrl() { curl_url_cleanup(handle_); }

CUrl::CUrl(const CUrl& other) : handle_(curl_url_dup(other.handle_)) {
    if (!handle_) throw std::bad_alloc();
}

bool CUrl::Set(const std::string& address) {
    // A NUL inside the text would silently shorten it; refuse instead.
    if (address.find('\0') != std::string::npos) return false;
    return curl_url_set(handle_, CURLUPART_URL, address.c_str(), kParseFlags) == CURLUE_OK;
}

bool CUrl::Resolve(const std::string& reference) {
    if (reference.find('\0') != std::string::npos) return false;
    return curl_url_set(handle_, CURLUPART_URL, reference.c_str(), kParseFlags) == CURLUE_OK;
}

std::string CUrl::Get(CURLUPart part, unsigned flags) const {
    char* text = nullptr;
    if (curl_url_get(handle_, part, &text, flags) != CURLUE_OK || !text) return {};
    std::string s(text);
    curl_free(text);
    return s;
}

std::string CUrl::Url() const { return Get(CURLUPART_URL); }

UrlParts CUrl::Parts() const {
    UrlParts p;
    p.scheme = Get(CURLUPART_SCHEME);
    p.host = Get(CURLUPART_HOST);
    p.port = Get(CURLUPART_PORT);
    p.hasPort = !p.port.empty();
    p.path = Get(CURLUPART_PATH);
    p.query = Get(CURLUPART_QUERY);
    p.fragment = Get(CURLUPART_FRAGMENT);
    p.user = Get(CURLUPART_USER);
    p.password = Get(CURLUPART_PASSWORD);
    return p;
}

std::string EncodeForRequest(const std::string& address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    for (unsigned char c : address) {
        if (c <= 0x20 || c >= 0x7f) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool SplitUrl(const std::string& address, UrlParts& parts) {
    CUrl url;
    if (!url.Set(address)) return false;
    parts = url.Parts();
    return true;
}

}  // namespace pq
