#include "engine/AdmissionRules.h"

#include <cctype>

#include "engine/TextUtil.h"

namespace pq {

bool IsPictureLink(const std::string& a) {
    return EndsWith(a, "gif") || EndsWith(a, "jpeg") || EndsWith(a, "jpg");
}

bool IsPictureLink(const std::string& a, const PictureFilter& filter) {
    return IsPictureLink(a) || (filter.png && EndsWith(a, "png")) ||
           (filter.webp && EndsWith(a, "webp"));
}

bool IsPageLink(const std::string& a) {
    if (!(EndsWith(a, "html") || EndsWith(a, "htm") || EndsWith(a, "shtml"))) return false;
    return a.find("help") == std::string::npos && a.find("submit") == std::string::npos &&
           a.find("chat") == std::string::npos;
}

std::string FileNameOfAddress(const std::string& a) {
    size_t slash = a.rfind('/');
    return slash == std::string::npos ? a : a.substr(slash + 1);
}

void SplitFileName(const std::string& name, std::string& base, std::string& ext) {
    size_t sep = name.find_last_of("/\\");
    size_t from = sep == std::string::npos ? 0 : sep + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < from) {
        base = name.substr(from);
        ext.clear();
    } else {
        base = name.substr(from, dot - from);
        ext = name.substr(dot);
    }
}

bool PassesPictureFilter(const std::string& localName, PictureFilter& filter) {
    std::string base, ext;
    SplitFileName(localName, base, ext);
    ext = ToLower(ext);
    if ((ext == ".jpeg" || ext == ".jpg") && !filter.jpg) return false;
    if (ext == ".gif" && !filter.gif) return false;
    if (ext == ".bmp" && !filter.bmp) return false;
    size_t b = 0;
    while (b < filter.keyword.size() && IsSpace(filter.keyword[b])) ++b;
    filter.keyword.erase(0, b);
    if (filter.keyword.empty()) return true;
    return localName.find(filter.keyword) != std::string::npos;
}

std::string BigPictureAddress(const std::string& e) {
    // The embedded address follows the last ':' that does not begin a port;
    // a ':' followed by digits and then '/' or the end is the embedded
    // address's own port and stays with it.
    size_t pos = e.size();
    while (pos > 0) {
        size_t colon = e.rfind(':', pos - 1);
        if (colon == std::string::npos) break;
        size_t i = colon + 1;
        while (i < e.size() && std::isdigit(static_cast<unsigned char>(e[i]))) ++i;
        bool beginsPort = i > colon + 1 && (i == e.size() || e[i] == '/');
        if (!beginsPort) return "http://" + e.substr(colon + 1);
        if (colon == 0) break;
        pos = colon;
    }
    return "http://" + e;
}

std::string BigPictureName(const std::string& localName) {
    std::string base, ext;
    SplitFileName(localName, base, ext);
    return base + "big" + ext;
}

bool StartsWithPictureSignature(const std::string& block) {
    return StartsWith(block, "\xFF\xD8\xFF") || StartsWith(block, "GIF87a") ||
           StartsWith(block, "GIF89a") || StartsWith(block, "BM");
}

bool StartsWithPictureSignature(const std::string& block, bool png, bool webp) {
    if (StartsWithPictureSignature(block)) return true;
    if (png && StartsWith(block, "\x89PNG\r\n\x1a\n")) return true;
    return webp && block.size() >= 12 && StartsWith(block, "RIFF") &&
           block.compare(8, 4, "WEBP") == 0;
}

bool LooksLikePage(const std::string& block, bool png, bool webp) {
    if (StartsWithPictureSignature(block, png, webp)) return false;
    return LooksLikePage(block);
}

bool LooksLikePage(const std::string& block) {
    if (StartsWithPictureSignature(block)) return false;
    std::string lower = ToLower(block);
    return lower.find("html") != std::string::npos || lower.find("title") != std::string::npos ||
           lower.find("head") != std::string::npos;
}

}  // namespace pq
