// Small text helpers shared by the engine. Text is single-byte; case folding
// touches ASCII letters only, so bytes above 127 pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace pq {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

inline bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

inline bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// White space as the C library's isspace sees it in the "C" locale.
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b])) ++b;
    while (e > b && IsSpace(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// Control bytes (below 32, and DEL): text holding one cannot go into a line
// of a record or onto a request line as it is.
inline bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }
inline bool HasControl(std::string_view s) {
    for (unsigned char c : s)
        if (IsControl(c)) return true;
    return false;
}

// The part of a local name that names the file: all before its first "#".
inline std::string_view FilePartOf(std::string_view localName) {
    return localName.substr(0, localName.find('#'));
}

// A write error to pretend, for tests of what a full or failing disk does:
// the next writes of pages and pictures fail with this errno (0: none).
void InjectWriteError(int error);
int InjectedWriteError();

// The longest file name the program makes, in bytes. The file system allows
// 255; the rest leaves room for a "__n" or "_n" suffix and ".down".
inline constexpr size_t kMaxFileNameBytes = 200;

// A file name no longer than maxBytes: the base is shortened (never inside a
// UTF-8 sequence) and a short extension kept. Shorter names come back as
// they are.
std::string FitFileName(std::string_view name, size_t maxBytes = kMaxFileNameBytes);

// Whether a name can stand as one file of a project folder: not empty, not
// "." or "..", no "/", no control byte (a NUL would cut every path made from
// it short) and no longer than the file system allows.
bool IsPlainFileName(std::string_view name);

// The name a picture is saved under: fitted to kMaxFileNameBytes, "*" made
// "x", and "unknown.fil" for a name that cannot be one plain file (a "\" is
// refused too, since the project's record never lists such a name as a picture).
std::string PictureFileName(std::string_view wanted);

// A readable file name made of a title: every "/", "\" and control byte
// becomes "_", so the words around them are kept.
std::string CleanFileName(std::string_view title);

// Text for an HTML page: markup characters become character references.
// keepEntities leaves a character reference already in the text ("&amp;",
// "&#38;") as it is, for text taken from a page's own markup.
std::string HtmlText(std::string_view s, bool keepEntities = false);

}  // namespace pq
