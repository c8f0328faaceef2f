#include "engine/SearchService.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "engine/AdmissionRules.h"
#include "engine/TextUtil.h"

namespace pq {

namespace {

using Json = nlohmann::json;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A string member of an object, or "" (a missing, null or other member).
std::string Text(const Json& object, const char* key) {
    if (!object.is_object()) return {};
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

long long Number(const Json& object, const char* key, long long fallback) {
    if (!object.is_object()) return fallback;
    auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer()) return fallback;
    return it->get<long long>();
}

// The value of a query parameter of an address, or "".
std::string Param(const std::string& address, const std::string& name) {
    const size_t q = address.find('?');
    if (q == std::string::npos) return {};
    size_t from = q + 1;
    while (from < address.size()) {
        size_t end = address.find('&', from);
        if (end == std::string::npos) end = address.size();
        const std::string pair = address.substr(from, end - from);
        if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
        from = end + 1;
    }
    return {};
}

// The address with the parameter's value replaced (or the parameter added).
std::string WithParam(const std::string& address, const std::string& name,
                      const std::string& value) {
    const size_t q = address.find('?');
    if (q == std::string::npos) return address + "?" + name + "=" + value;
    size_t from = q + 1;
    while (from <= address.size()) {
        size_t end = address.find('&', from);
        if (end == std::string::npos) end = address.size();
        if (address.compare(from, name.size() + 1, name + "=") == 0)
            return address.substr(0, from + name.size() + 1) + value + address.substr(end);
        from = end + 1;
    }
    return address + "&" + name + "=" + value;
}

int ToInt(const std::string& text, int fallback) {
    if (text.empty() || text.size() > 6) return fallback;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Whether a picture of this extension (".jpg") is one the search keeps.
bool Wanted(const std::string& extension, const PictureTypes& t) {
    const std::string e = Lower(extension);
    if (e == ".jpg" || e == ".jpeg") return t.jpg;
    if (e == ".gif") return t.gif;
    if (e == ".bmp") return t.bmp;
    if (e == ".png") return t.png;
    if (e == ".webp") return t.webp;
    return false;
}

std::string ExtensionOf(const std::string& fileName) {
    std::string base, ext;
    SplitFileName(fileName, base, ext);
    return ext;
}

std::string ExtensionForMime(const std::string& mime) {
    const std::string m = Lower(mime);
    if (m == "image/jpeg") return ".jpg";
    if (m == "image/gif") return ".gif";
    if (m == "image/png") return ".png";
    if (m == "image/webp") return ".webp";
    if (m == "image/bmp" || m == "image/x-ms-bmp") return ".bmp";
    return {};
}

// The last path segment of an address, without query or fragment.
std::string LastSegment(const std::string& address) {
    std::string path = address.substr(0, address.find_first_of("?#"));
    return path.substr(path.rfind('/') + 1);
}

// Markup out, the common character references decoded: Commons gives the
// creator as a fragment of HTML.
std::string PlainText(const std::string& html) {
    std::string out;
    bool inTag = false;
    for (char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            out += c;
    }
    static const std::pair<const char*, const char*> kRefs[] = {
        {"&amp;", "&"}, {"&lt;", "<"},   {"&gt;", ">"},  {"&quot;", "\""},
        {"&#39;", "'"}, {"&#039;", "'"}, {"&nbsp;", " "}};
    for (const auto& [ref, ch] : kRefs)
        for (size_t at = out.find(ref); at != std::string::npos; at = out.find(ref, at + 1))
            out.replace(at, std::string(ref).size(), ch);
    // Runs of white space (line ends included) become one space.
    std::string flat;
    for (char c : out) {
        const bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (space && (flat.empty() || flat.back() == ' ')) continue;
        flat += space ? ' ' : c;
    }
    while (!flat.empty() && flat.back() == ' ') flat.pop_back();
    return flat;
}

std::string MetaValue(const Json& meta, const char* key) {
    if (!meta.is_object()) return {};
    auto it = meta.find(key);
    if (it == meta.end()) return {};
    return Text(*it, "value");
}

bool IsWebAddress(const std::string& a) {
    const std::string l = Lower(a.substr(0, 8));
    return l.rfind("http://", 0) == 0 || l.rfind("https://", 0) == 0;
}

// "The service said: ..." from an error answer, or "".
std::string ErrorOf(const Json& doc) {
    if (!doc.is_object()) return {};
    if (auto it = doc.find("error"); it != doc.end()) {
        std::string info = Text(*it, "info");
        if (info.empty()) info = Text(*it, "code");
        if (info.empty() && it->is_string()) info = it->get<std::string>();
        return "the service said: " + (info.empty() ? std::string("error") : info);
    }
    if (doc.contains("detail") && !doc.contains("results"))
        return "the service said: " +
               (Text(doc, "detail").empty() ? std::string("error") : Text(doc, "detail"));
    return {};
}

void ReadOpenverse(const Json& doc, const std::string& pageAddress, const PictureTypes& types,
                   int pagesWanted, ServicePage& page) {
    auto results = doc.find("results");
    if (results == doc.end() || !results->is_array()) {
        page.problem = "the service's answer has no results";
        return;
    }
    page.ok = true;
    for (const Json& r : *results) {
        ServiceResult out;
        out.full = Text(r, "url");
        out.thumbnail = Text(r, "thumbnail");
        if (!IsWebAddress(out.full)) out.full.clear();
        if (!IsWebAddress(out.thumbnail)) out.thumbnail.clear();
        std::string ext = Text(r, "filetype");
        ext = ext.empty() ? ExtensionOf(LastSegment(out.full)) : "." + Lower(ext);
        if (ext == ".jpeg") ext = ".jpg";
        if ((out.full.empty() && out.thumbnail.empty()) || !Wanted(ext, types)) {
            ++page.skipped;
            continue;
        }
        std::string name = CleanFileName(LastSegment(out.full));
        if (Lower(ExtensionOf(name)) != ext &&
            !(ext == ".jpg" && Lower(ExtensionOf(name)) == ".jpeg")) {
            const std::string id = Text(r, "id");
            name = (id.empty() ? std::string("picture") : CleanFileName(id)) + ext;
        }
        out.fileName = name;
        out.credit.title = Text(r, "title");
        out.credit.creator = Text(r, "creator");
        out.credit.license = Text(r, "license");
        out.credit.licenseVersion = Text(r, "license_version");
        out.credit.licenseUrl = Text(r, "license_url");
        out.credit.landingPage = Text(r, "foreign_landing_url");
        page.results.push_back(std::move(out));
    }
    const int current = ToInt(Param(pageAddress, "page"), 1);
    const long long count = Number(doc, "page_count", 0);
    if (current < pagesWanted && current < count && current < kOpenverseMaxPages)
        page.next = WithParam(pageAddress, "page", std::to_string(current + 1));
}

void ReadCommons(const Json& doc, const std::string& pageAddress, const PictureTypes& types,
                 int pagesWanted, ServicePage& page) {
    const Json* pages = nullptr;
    auto query = doc.find("query");
    if (query != doc.end() && query->is_object()) {
        auto p = query->find("pages");
        if (p != query->end() && (p->is_array() || p->is_object())) pages = &*p;
    }
    if (!pages) {
        // No "query" at all is how the API answers a search that found nothing.
        page.ok = true;
        return;
    }
    page.ok = true;
    std::vector<const Json*> ordered;
    for (const Json& p : *pages) ordered.push_back(&p);
    std::stable_sort(ordered.begin(), ordered.end(), [](const Json* a, const Json* b) {
        return Number(*a, "index", 0) < Number(*b, "index", 0);
    });
    for (const Json* p : ordered) {
        ServiceResult out;
        const Json* info = nullptr;
        if (auto ii = p->find("imageinfo"); ii != p->end() && ii->is_array() && !ii->empty())
            info = &(*ii)[0];
        if (!info) {
            ++page.skipped;
            continue;
        }
        out.full = Text(*info, "url");
        out.thumbnail = Text(*info, "thumburl");
        if (!IsWebAddress(out.full)) out.full.clear();
        if (!IsWebAddress(out.thumbnail)) out.thumbnail.clear();
        std::string ext = ExtensionForMime(Text(*info, "mime"));
        if (ext.empty()) ext = ExtensionOf(LastSegment(out.full));
        if ((out.full.empty() && out.thumbnail.empty()) || !Wanted(ext, types)) {
            ++page.skipped;
            continue;
        }
        std::string title = Text(*p, "title");
        const size_t colon = title.find(':');
        // A title may hold any text, a "/" or a NUL among it: the file keeps
        // its words, never a path or a cut-short name.
        std::string name =
            CleanFileName(colon == std::string::npos ? title : title.substr(colon + 1));
        if (name.empty()) name = CleanFileName(LastSegment(out.full));
        if (Lower(ExtensionOf(name)) != Lower(ext) &&
            !(ext == ".jpg" && Lower(ExtensionOf(name)) == ".jpeg"))
            name += ext;
        out.fileName = name;
        const auto meta = info->find("extmetadata");
        const Json& m = meta == info->end() ? Json() : *meta;
        out.credit.title = PlainText(MetaValue(m, "ObjectName"));
        if (out.credit.title.empty()) {
            std::string base, e;
            SplitFileName(name, base, e);
            out.credit.title = base;
        }
        out.credit.creator = PlainText(MetaValue(m, "Artist"));
        out.credit.license = PlainText(MetaValue(m, "LicenseShortName"));
        out.credit.licenseUrl = MetaValue(m, "LicenseUrl");
        out.credit.landingPage = Text(*info, "descriptionurl");
        page.results.push_back(std::move(out));
    }
    const int offset = ToInt(Param(pageAddress, "gsroffset"), 0);
    const int current = offset / kServicePageSize + 1;
    auto cont = doc.find("continue");
    if (cont != doc.end() && cont->is_object() && current < pagesWanted) {
        const long long nextOffset = Number(*cont, "gsroffset", -1);
        if (nextOffset > offset)
            page.next = WithParam(pageAddress, "gsroffset", std::to_string(nextOffset));
    }
}

}  // namespace

std::string ServiceTitle(SearchService s) {
    switch (s) {
        case SearchService::kOpenverse:
            return "Openverse";
        case SearchService::kCommons:
            return "Wikimedia Commons";
        default:
            return "Google Image Search";
    }
}

std::string ServiceRecordName(SearchService s) {
    std::string name;
    for (char c : ServiceTitle(s))
        if (c != ' ') name += c;
    return name;
}

std::string ServiceWord(SearchService s) {
    switch (s) {
        case SearchService::kOpenverse:
            return "openverse";
        case SearchService::kCommons:
            return "commons";
        default:
            return "google";
    }
}

SearchService ServiceFromName(std::string_view name) {
    std::string squeezed;
    for (char c : name)
        if (c != ' ') squeezed += char(std::tolower(static_cast<unsigned char>(c)));
    if (squeezed == "openverse") return SearchService::kOpenverse;
    if (squeezed == "wikimediacommons" || squeezed == "commons") return SearchService::kCommons;
    return SearchService::kHtml;
}

bool ServiceFromWord(std::string_view word, SearchService& service) {
    const std::string w = Lower(word);
    if (w == "google")
        service = SearchService::kHtml;
    else if (w == "openverse")
        service = SearchService::kOpenverse;
    else if (w == "commons")
        service = SearchService::kCommons;
    else
        return false;
    return true;
}

std::string DefaultServiceBase(SearchService s) {
    switch (s) {
        case SearchService::kOpenverse:
            return "https://api.openverse.org";
        case SearchService::kCommons:
            return "https://commons.wikimedia.org";
        default:
            return {};
    }
}

int ServicePageIntervalMs(SearchService s) {
    // Openverse lets a client without a key make about one request a
    // second; Wikimedia asks for requests one after another, which the
    // crawl does anyway.
    return s == SearchService::kOpenverse ? 1000 : 0;
}

std::string ServiceUserAgent(const std::string& contact) {
    return "Pelquinar/1.10 (contact: " + (contact.empty() ? std::string("not set") : contact) + ")";
}

std::string QueryEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string FirstResultPage(SearchService service, const std::string& base,
                            const std::string& keywords, const PictureTypes& types) {
    std::string root = base;
    while (!root.empty() && root.back() == '/') root.pop_back();
    if (service == SearchService::kOpenverse) {
        std::string extensions;
        for (const auto& [on, ext] : {std::pair{types.jpg, "jpg"}, std::pair{types.gif, "gif"},
                                      std::pair{types.png, "png"}, std::pair{types.webp, "webp"}})
            if (on) extensions += std::string(extensions.empty() ? "" : "%2C") + ext;
        return root + "/v1/images/?q=" + QueryEncode(keywords) +
               (extensions.empty() ? "" : "&extension=" + extensions) +
               "&page=1&page_size=" + std::to_string(kServicePageSize);
    }
    if (service == SearchService::kCommons) {
        // Only raster pictures (no drawings, documents or films), in the
        // File: namespace.
        return root +
               "/w/api.php?action=query&format=json&formatversion=2&generator=search"
               "&gsrnamespace=6&gsrsearch=" +
               QueryEncode(keywords + " filetype:bitmap") +
               "&gsrlimit=" + std::to_string(kServicePageSize) +
               "&gsroffset=0&prop=imageinfo&iiprop=url%7Csize%7Cmime%7Cextmetadata"
               "&iiurlwidth=180&maxlag=5";
    }
    return {};
}

ServicePage ParseResultPage(SearchService service, const std::string& pageAddress,
                            std::string_view body, const PictureTypes& types, int pagesWanted) {
    ServicePage page;
    const Json doc = Json::parse(body.begin(), body.end(), nullptr, false);
    if (doc.is_discarded()) {
        page.problem = "the service's answer is not JSON";
        return page;
    }
    if (const std::string error = ErrorOf(doc); !error.empty()) {
        page.problem = error;
        return page;
    }
    if (!doc.is_object()) {
        page.problem = "the service's answer has no results";
        return page;
    }
    if (service == SearchService::kOpenverse)
        ReadOpenverse(doc, pageAddress, types, pagesWanted, page);
    else if (service == SearchService::kCommons)
        ReadCommons(doc, pageAddress, types, pagesWanted, page);
    else
        page.problem = "not an open service";
    return page;
}

}  // namespace pq
