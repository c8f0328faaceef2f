#include "engine/CTagParser.h"

#include <cstring>

#include "engine/TextUtil.h"

namespace pq {

namespace {

// Index of the first byte c in [from, end), or -1.
int FindByte(const char* body, int from, int end, char c) {
    if (from >= end) return -1;
    const void* p = std::memchr(body + from, c, size_t(end - from));
    return p ? int(static_cast<const char*>(p) - body) : -1;
}

// Quotes count as blanks in attribute names and values; the rest is trimmed.
std::string CleanText(const char* begin, const char* end) {
    std::string s(begin, end);
    for (char& c : s)
        if (c == '"') c = ' ';
    return Trim(s);
}

}  // namespace

bool CTagParser::HandleTag(const std::string&, int, const std::vector<TagAttribute>&) {
    return true;
}

bool CTagParser::WantsAttributes(const std::string&) { return true; }

void CTagParser::Scan(const char* body, int length) {
    body_ = body;
    length_ = length > 0 ? length : 0;
    int offset = 0;
    while (offset < length_) {
        if (!FindTag(offset)) break;
        if (!HandleTag(tagName_, offset, attributes_)) break;
    }
}

bool CTagParser::FindTag(int& offset) {
    for (;;) {
        tagName_.clear();
        attributes_.clear();
        int lt = FindByte(body_, offset, length_, '<');
        if (lt < 0) {
            offset = length_;
            return false;
        }
        offset = lt + 1;
        if (offset >= length_) return false;
        char first = body_[offset];
        // Comments, declarations and "<>" are not tags; look again from here.
        if (first == ' ' || first == '!' || first == '>') continue;

        int gt = FindByte(body_, offset, length_, '>');
        if (gt < 0) {
            offset = length_;
            return false;
        }
        int nameEnd = offset;
        while (nameEnd < gt) {
            char c = body_[nameEnd];
            if (c == ' ' || c == '\r' || c == '\n') break;
            ++nameEnd;
        }
        tagName_ = ToLower(std::string_view(body_ + offset, size_t(nameEnd - offset)));
        offset = gt;
        if (WantsAttributes(tagName_)) SplitAttributes(nameEnd, gt);
        return true;
    }
}

void CTagParser::SplitAttributes(int begin, int end) {
    // The region runs from the character that ended the name up to and
    // including the closing '>' at end.
    const int regionEnd = end + 1;
    int pos = begin;
    while (pos < regionEnd) {
        while (pos < regionEnd && body_[pos] == ' ') ++pos;
        int eq = FindByte(body_, pos, regionEnd, '=');
        if (eq < 0) return;
        std::string name = ToLower(CleanText(body_ + pos, body_ + eq));
        if (name.empty()) return;

        const int valueStart = eq + 1;
        pos = valueStart;
        while (pos < regionEnd && body_[pos] == ' ') ++pos;
        int stop = -1;
        for (int i = pos; i < regionEnd; ++i) {
            char c = body_[i];
            if (c == '"' || c == ' ' || c == '>') {
                stop = i;
                break;
            }
        }
        std::string value;
        if (stop < 0) {
            pos = regionEnd;
        } else {
            pos = stop;
            if (body_[pos] == '"') {
                // An unclosed quote runs to the end of the tag, not past it.
                int close = FindByte(body_, pos + 1, end, '"');
                pos = close < 0 ? end : close;
            }
            value = CleanText(body_ + valueStart, body_ + pos);
        }
        attributes_.push_back(TagAttribute{std::move(name), std::move(value), valueStart});
    }
}

}  // namespace pq
