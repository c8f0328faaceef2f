#include "engine/CLinkScanner.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/CUrl.h"
#include "engine/TextUtil.h"

namespace pq {

namespace {

enum class TagGroup { kNone, kLink, kEmbed, kTitle };

TagGroup GroupOf(const std::string& tag) {
    static constexpr std::array<std::string_view, 3> kLinkTags = {"a", "frame", "area"};
    static constexpr std::array<std::string_view, 6> kEmbedTags = {"img",   "body",   "bgsound",
                                                                   "embed", "applet", "meta"};
    for (auto t : kLinkTags)
        if (tag == t) return TagGroup::kLink;
    for (auto t : kEmbedTags)
        if (tag == t) return TagGroup::kEmbed;
    if (tag == "title") return TagGroup::kTitle;
    return TagGroup::kNone;
}

const TagAttribute* FirstOf(const std::vector<TagAttribute>& attributes,
                            std::initializer_list<std::string_view> names) {
    for (const auto& a : attributes)
        for (auto n : names)
            if (a.name == n) return &a;
    return nullptr;
}

}  // namespace

CLinkScanner::CLinkScanner() { Reset(); }

CLinkScanner::~CLinkScanner() = default;

void CLinkScanner::Reset() {
    links_.clear();
    pictures_.clear();
    title_ = "Untitled";
    collectPictures_ = false;
    stop_ = nullptr;
}

void CLinkScanner::SetBaseAddress(const std::string& address) {
    base_.reset();
    baseUrl_.clear();
    baseOrigin_.clear();
    baseFolder_.clear();
    // The base is rebuilt from scheme, host, port and path (query kept);
    // user name and password are dropped. Anything but https is read as http.
    std::string full = address;
    UrlParts parts;
    if (!SplitUrl(full, parts)) {
        full.insert(0, "http://");
        if (!SplitUrl(full, parts)) return;
    }
    std::string scheme = ToLower(parts.scheme) == "https" ? "https://" : "http://";
    std::string rebuilt = scheme + parts.HostPort() + parts.path;
    if (!parts.query.empty()) rebuilt += "?" + parts.query;
    auto url = std::make_unique<CUrl>();
    if (!url->Set(rebuilt)) return;
    base_ = std::move(url);
    baseUrl_ = base_->Url();
    const size_t hostStart = baseUrl_.find("://");
    const size_t pathStart =
        hostStart == std::string::npos ? std::string::npos : baseUrl_.find('/', hostStart + 3);
    if (pathStart == std::string::npos) return;  // no plain joins: the general path decides
    const size_t pathEnd = std::min(baseUrl_.find_first_of("?#", pathStart), baseUrl_.size());
    baseOrigin_ = baseUrl_.substr(0, pathStart);
    baseFolder_ = baseUrl_.substr(0, baseUrl_.rfind('/', pathEnd - 1) + 1);
}

bool CLinkScanner::ResolvePlain(std::string_view reference, std::string& resolved) const {
    if (baseOrigin_.empty() || reference.empty()) return false;
    // Letters, digits and "-._~/" only: nothing libcurl would encode or
    // rewrite, no scheme, query, fragment or escape.
    for (unsigned char c : reference) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (!plain) return false;
    }
    // No empty segments ("//" would start an authority or be kept as it is)
    // and no dot segments, which resolution removes.
    if (reference.find("//") != std::string_view::npos) return false;
    for (size_t from = 0; from <= reference.size();) {
        size_t end = reference.find('/', from);
        if (end == std::string_view::npos) end = reference.size();
        const std::string_view segment = reference.substr(from, end - from);
        if (segment == "." || segment == "..") return false;
        from = end + 1;
    }
    const std::string& prefix = reference[0] == '/' ? baseOrigin_ : baseFolder_;
    resolved.reserve(prefix.size() + reference.size());
    resolved.assign(prefix).append(reference);
    return true;
}

std::string CLinkScanner::ExtensionOf(const std::string& address) {
    size_t slash = address.rfind('/');
    size_t from = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = address.rfind('.');
    if (dot == std::string::npos || dot < from) return {};
    std::string ext = ToLower(std::string_view(address).substr(dot));
    return ext.substr(0, ext.find('#'));
}

bool CLinkScanner::IsKnownExtension(const std::string& ext) {
    static constexpr std::array<std::string_view, 19> kKnown = {
        "",     ".com", ".htm", ".html", ".shtm", ".htms", ".shtml", ".gif", ".jpg", ".jpeg",
        ".wav", ".au",  ".asp", ".bmp",  ".pdf",  ".txt",  ".class", ".mid", ".midi"};
    for (auto k : kKnown)
        if (ext == k) return true;
    return false;
}

bool CLinkScanner::IsPageExtension(const std::string& ext) {
    static constexpr std::array<std::string_view, 8> kPage = {".htm",  ".html", ".shtml", ".shtm",
                                                              ".htms", "",      ".com",   ".asp"};
    for (auto k : kPage)
        if (ext == k) return true;
    return false;
}

bool CLinkScanner::Resolve(const std::string& reference, std::string& resolved) {
    if (!base_) return false;
    // A reference this long cannot come out at an address of the allowed
    // length but through thousands of dot segments; it is not worth the
    // work of resolving.
    if (reference.size() > size_t(kMaxReferenceChars)) return false;
    if (reference.empty() || reference[0] == '#') {
        // A same-document reference is the page itself (RFC 3986, 5.2.2);
        // older libcurl resolves an empty one to the page's folder instead.
        resolved = baseUrl_.substr(0, baseUrl_.find('#')) + reference;
    } else if (ResolvePlain(reference, resolved)) {
        // joined without a parse
    } else {
        CUrl url(*base_);
        if (!url.Resolve(reference)) return false;
        resolved = url.Url();
    }
    return !resolved.empty() && resolved.size() <= size_t(kMaxAddressChars);
}

bool CLinkScanner::WantsAttributes(const std::string& tagName) {
    return GroupOf(tagName) != TagGroup::kNone;
}

bool CLinkScanner::HandleTag(const std::string& tagName, int closePos,
                             const std::vector<TagAttribute>& attributes) {
    // Stop is honoured within one tag, however long the page.
    if (stop_ && stop_->load(std::memory_order_relaxed)) return false;
    switch (GroupOf(tagName)) {
        case TagGroup::kLink: {
            const TagAttribute* ref = FirstOf(attributes, {"src", "href"});
            if (!ref || !Knows(ExtensionOf(ref->value))) break;
            if (StartsWith(ToLower(ref->value), "mailto:")) {
                pictures_.push_back(ToLower(ref->value));
                break;
            }
            std::string resolved;
            if (!Resolve(ref->value, resolved)) break;
            if (IsPageExtension(ExtensionOf(resolved)))
                links_.push_back(std::move(resolved));
            else if (collectPictures_)
                pictures_.push_back(std::move(resolved));
            break;
        }
        case TagGroup::kEmbed: {
            const TagAttribute* ref = FirstOf(attributes, {"src", "background", "code"});
            if (!ref || !Knows(ExtensionOf(ref->value))) break;
            std::string resolved;
            if (!Resolve(ref->value, resolved)) break;
            if (collectPictures_ && !IsPageExtension(ExtensionOf(resolved)))
                pictures_.push_back(std::move(resolved));
            break;
        }
        case TagGroup::kTitle: {
            // Only the first title counts: the title is taken while it still
            // holds the placeholder.
            if (title_ != "Untitled") break;
            int from = closePos + 1;
            int to = from;
            while (to < length_ && body_[to] != '<' && body_[to] != '\0') ++to;
            title_.assign(body_ + from, body_ + to);
            break;
        }
        case TagGroup::kNone:
            break;
    }
    return true;
}

}  // namespace pq
