#include "engine/TextUtil.h"

#include <atomic>

namespace pq {

namespace {
std::atomic<int> gInjectedWriteError{0};
}  // namespace

void InjectWriteError(int error) { gInjectedWriteError = error; }
int InjectedWriteError() { return gInjectedWriteError.load(); }

std::string FitFileName(std::string_view name, size_t maxBytes) {
    if (name.size() <= maxBytes) return std::string(name);
    std::string_view ext;
    size_t dot = name.rfind('.');
    // Only a short extension is worth keeping; a long one is part of the name.
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= 16) ext = name.substr(dot);
    size_t keep = maxBytes - ext.size();
    // Never end inside a UTF-8 sequence: when the cut falls on a
    // continuation byte, back off to the lead byte of its sequence (at most
    // three bytes back). Bytes that are no UTF-8 are cut where they fall.
    if (keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
        size_t lead = keep;
        while (lead > 0 && keep - lead < 3 &&
               (static_cast<unsigned char>(name[lead]) & 0xC0) == 0x80)
            --lead;
        if ((static_cast<unsigned char>(name[lead]) & 0xC0) == 0xC0) keep = lead;
    }
    std::string out(name.substr(0, keep));
    out += ext;
    return out;
}

namespace {

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (char c : name)
        if (c == '/' || IsControlByte(c)) return false;
    return true;
}

std::string PictureFileName(std::string_view wanted) {
    std::string name = FitFileName(wanted);
    for (char& c : name)
        if (c == '*') c = 'x';
    if (!IsPlainFileName(name) || name.find('\\') != std::string::npos) name = "unknown.fil";
    return name;
}

std::string CleanFileName(std::string_view title) {
    std::string out(title);
    for (char& c : out)
        if (c == '/' || c == '\\' || IsControlByte(c)) c = '_';
    return out;
}

namespace {

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Length of a character reference starting at s[i] ("&name;", "&#123;",
// "&#x1F;"), or 0 when none starts there.
size_t EntityLength(std::string_view s, size_t i) {
    size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        ++j;
        bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex) ++j;
        size_t digits = j;
        while (j < s.size() && j - digits < 8 &&
               ((s[j] >= '0' && s[j] <= '9') ||
                (hex && ((s[j] >= 'a' && s[j] <= 'f') || (s[j] >= 'A' && s[j] <= 'F')))))
            ++j;
        if (j == digits) return 0;
    } else {
        size_t name = j;
        while (j < s.size() && j - name < 32 && IsAlnum(s[j])) ++j;
        if (j == name) return 0;
    }
    return (j < s.size() && s[j] == ';') ? j + 1 - i : 0;
}

}  // namespace

std::string HtmlText(std::string_view s, bool keepEntities) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '&':
                if (keepEntities) {
                    if (size_t n = EntityLength(s, i)) {
                        out.append(s.substr(i, n));
                        i += n - 1;
                        break;
                    }
                }
                out += "&amp;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace pq
