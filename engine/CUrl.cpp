#include "engine/CUrl.h"

#include <mutex>
#include <new>
#include <vector>

namespace pq {

namespace {
// Spaces and schemes libcurl cannot fetch still parse, the way a browser's
// address splitter treats them; whether such an address is fetched is the
// caller's decision.
constexpr unsigned kParseFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE;

// "~pqN~" with the smallest N that occurs in neither text. One pass over
// each text: the numbers in use are collected, and N is the least absent
// one (at most the count of markers seen), so a text full of markers costs
// no more than its length.
std::string UnusedMarker(const std::string& a, const std::string& b) {
    std::vector<bool> used;
    auto collect = [&used](const std::string& text) {
        for (size_t i = text.find("~pq"); i != std::string::npos; i = text.find("~pq", i + 1)) {
            size_t j = i + 3;
            size_t value = 0;
            bool small = true;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
                value = value * 10 + size_t(text[j] - '0');
                small = small && j - i < 12;
                ++j;
            }
            if (j == i + 3 || j >= text.size() || text[j] != '~' || !small) continue;
            // A leading zero spells another marker than the number's own.
            if (text[i + 3] == '0' && j > i + 4) continue;
            if (value < text.size()) {
                if (used.size() <= value) used.resize(value + 1, false);
                used[value] = true;
            }
        }
    };
    collect(a);
    collect(b);
    size_t n = 0;
    while (n < used.size() && used[n]) ++n;
    return "~pq" + std::to_string(n) + "~";
}

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
    // libcurl percent-encodes the relative part it resolves (spaces even
    // become '+' in the query), while a reference is to keep its text. Such
    // bytes travel through the resolution as a marker that occurs nowhere
    // else, and come back as they were.
    auto needsMarker = [](unsigned char c) { return c == ' ' || c >= 0x80; };
    bool any = false;
    for (unsigned char c : reference) any = any || needsMarker(c);
    if (!any)
        return curl_url_set(handle_, CURLUPART_URL, reference.c_str(), kParseFlags) == CURLUE_OK;

    const std::string base = Url();
    const std::string marker = UnusedMarker(base, reference);
    static const char kHex[] = "0123456789abcdef";
    std::string masked;
    for (unsigned char c : reference) {
        if (needsMarker(c)) {
            masked += marker;
            masked += kHex[c >> 4];
            masked += kHex[c & 15];
        } else {
            masked += char(c);
        }
    }
    if (curl_url_set(handle_, CURLUPART_URL, masked.c_str(), kParseFlags) != CURLUE_OK)
        return false;
    std::string resolved = Url();
    std::string out;
    for (size_t i = 0; i < resolved.size();) {
        if (resolved.compare(i, marker.size(), marker) == 0 &&
            i + marker.size() + 2 <= resolved.size()) {
            auto hex = [](char h) { return h <= '9' ? h - '0' : h - 'a' + 10; };
            out +=
                char(hex(resolved[i + marker.size()]) * 16 + hex(resolved[i + marker.size() + 1]));
            i += marker.size() + 2;
        } else {
            out += resolved[i++];
        }
    }
    return curl_url_set(handle_, CURLUPART_URL, out.c_str(), kParseFlags) == CURLUE_OK;
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
