#include "engine/PictureHeader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace pq {

namespace {

// Bytes of a picture by offset. Read gives fewer than asked only at the end.
class Source {
public:
    virtual ~Source() = default;
    virtual size_t Read(uint64_t offset, unsigned char* out, size_t n) = 0;
    bool ReadAll(uint64_t offset, unsigned char* out, size_t n) {
        return Read(offset, out, n) == n;
    }
};

class MemorySource : public Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    size_t Read(uint64_t offset, unsigned char* out, size_t n) override {
        if (offset >= bytes_.size()) return 0;
        const size_t take = std::min<uint64_t>(n, bytes_.size() - offset);
        std::memcpy(out, bytes_.data() + offset, take);
        return take;
    }

private:
    std::string_view bytes_;
};

// A file read through one window of kWindow bytes: the headers of every
// type lie in the first window, and a JPEG's segments are followed by
// moving the window, so a large segment is skipped, never read.
class FileSource : public Source {
public:
    static constexpr size_t kWindow = 64 * 1024;
    explicit FileSource(int fd) : fd_(fd), window_(kWindow) {}
    size_t Read(uint64_t offset, unsigned char* out, size_t n) override {
        if (n > kWindow) return 0;  // no header field is that long
        if (offset < start_ || offset + n > start_ + filled_) Fill(offset);
        if (offset < start_ || offset >= start_ + filled_) return 0;
        const size_t take = std::min<uint64_t>(n, start_ + filled_ - offset);
        std::memcpy(out, window_.data() + (offset - start_), take);
        return take;
    }

private:
    void Fill(uint64_t offset) {
        start_ = offset;
        filled_ = 0;
        if (offset > uint64_t(std::numeric_limits<off_t>::max()) - kWindow) return;
        while (filled_ < kWindow) {
            const ssize_t got =
                ::pread(fd_, window_.data() + filled_, kWindow - filled_, off_t(offset + filled_));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            filled_ += size_t(got);
        }
    }

    int fd_;
    std::vector<unsigned char> window_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
};

uint32_t Be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Le16(const unsigned char* p) { return uint32_t(p[1]) << 8 | p[0]; }
uint32_t Be32(const unsigned char* p) { return Be16(p) << 16 | Be16(p + 2); }
uint32_t Le32(const unsigned char* p) { return Le16(p + 2) << 16 | Le16(p); }
uint32_t Le24(const unsigned char* p) { return uint32_t(p[2]) << 16 | Le16(p); }

// Both positive and within an int.
bool Take(uint64_t w, uint64_t h, int& width, int& height) {
    constexpr uint64_t kMax = uint64_t(std::numeric_limits<int>::max());
    if (w == 0 || h == 0 || w > kMax || h > kMax) return false;
    width = int(w);
    height = int(h);
    return true;
}

bool Gif(const unsigned char* head, size_t got, int& width, int& height) {
    // "GIF87a" or "GIF89a", then the logical screen's width and height.
    if (got < 10) return false;
    return Take(Le16(head + 6), Le16(head + 8), width, height);
}

bool Png(const unsigned char* head, size_t got, int& width, int& height) {
    // The signature, then IHDR first of all chunks: its length (always 13)
    // and type at 8, width and height at 16. Decoders refuse an IHDR of
    // another length, so such a file is no picture anyone sees.
    if (got < 24 || Be32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
    const uint32_t w = Be32(head + 16), h = Be32(head + 20);
    // Larger values are not allowed in a PNG.
    if (w > 0x7fffffffu || h > 0x7fffffffu) return false;
    return Take(w, h, width, height);
}

bool Bmp(const unsigned char* head, size_t got, int& width, int& height) {
    // A 14-byte file header, then the bitmap header with its own size first.
    if (got < 18) return false;
    const uint32_t size = Le32(head + 14);
    if (size == 12) {
        // The old core header: 16-bit width and height.
        if (got < 22) return false;
        return Take(Le16(head + 18), Le16(head + 20), width, height);
    }
    // The 32-bit headers, from the shortest OS/2 one to version 5.
    if (size < 16 || size > 124 || got < 26) return false;
    const int32_t w = int32_t(Le32(head + 18));
    int32_t h = int32_t(Le32(head + 22));
    // A negative height is a picture stored top row first.
    if (w <= 0 || h == std::numeric_limits<int32_t>::min()) return false;
    if (h < 0) h = -h;
    return Take(uint64_t(w), uint64_t(h), width, height);
}

bool Webp(const unsigned char* head, size_t got, int& width, int& height) {
    // "RIFF", a size, "WEBP", then the first chunk: its type at 12, its
    // size at 16, its data from 20.
    if (got < 20 || std::memcmp(head + 8, "WEBP", 4) != 0) return false;
    const unsigned char* data = head + 20;
    const size_t have = got - 20;
    if (std::memcmp(head + 12, "VP8 ", 4) == 0) {
        // A lossy key frame: a 3-byte frame tag whose lowest bit is 0, the
        // start code, then 14-bit width and height (the top bits scale).
        if (have < 10 || (data[0] & 1) != 0) return false;
        if (data[3] != 0x9d || data[4] != 0x01 || data[5] != 0x2a) return false;
        return Take(Le16(data + 6) & 0x3fff, Le16(data + 8) & 0x3fff, width, height);
    }
    if (std::memcmp(head + 12, "VP8L", 4) == 0) {
        // Lossless: the signature byte, then width - 1 and height - 1 in 14
        // bits each, the alpha hint and a 3-bit version that is always 0
        // (decoders refuse any other).
        if (have < 5 || data[0] != 0x2f) return false;
        const uint32_t bits = Le32(data + 1);
        if ((bits >> 29) != 0) return false;
        return Take((bits & 0x3fff) + 1, ((bits >> 14) & 0x3fff) + 1, width, height);
    }
    if (std::memcmp(head + 12, "VP8X", 4) == 0) {
        // Extended: flags, three reserved bytes, then the canvas's width - 1
        // and height - 1 in 24 bits each.
        if (have < 10) return false;
        return Take(uint64_t(Le24(data + 4)) + 1, uint64_t(Le24(data + 7)) + 1, width, height);
    }
    return false;
}

// A JPEG's markers from just after its start of image to the first frame
// header (SOF0 to SOF15 but DHT, JPG and DAC, which share the range), or to
// the DHP segment of a hierarchical picture: its frames may be smaller
// steps towards the whole, whose size DHP gives, laid out as a frame header.
// Moves pos to the first byte at or after it that is 0xFF (ff true) or is
// not (ff false); false when there is none. A block at a time: a hostile
// file of nothing but stray or fill bytes costs a scan of memory, not a
// call per byte.
bool SkipTo(Source& src, uint64_t& pos, bool ff) {
    unsigned char block[4096];
    for (;;) {
        const size_t got = src.Read(pos, block, sizeof block);
        if (got == 0) return false;
        const unsigned char* end = block + got;
        const unsigned char* at =
            ff ? static_cast<const unsigned char*>(std::memchr(block, 0xff, got))
               : std::find_if(static_cast<const unsigned char*>(block), end,
                              [](unsigned char c) { return c != 0xff; });
        if (at && at != end) {
            pos += uint64_t(at - block);
            return true;
        }
        pos += got;
    }
}

bool Jpeg(Source& src, int& width, int& height) {
    uint64_t pos = 2;
    unsigned char b[5];
    for (;;) {
        // As decoders do, stray bytes before a marker are passed over; then
        // the marker's 0xFF and any fill bytes of 0xFF after it.
        if (!SkipTo(src, pos, true) || !SkipTo(src, pos, false)) return false;
        if (!src.ReadAll(pos, b, 1)) return false;
        const unsigned marker = b[0];
        ++pos;
        if (marker == 0x00) continue;  // a stuffed byte, no marker
        // Markers that stand alone: TEM, the restarts, a repeated start.
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8)) continue;
        // The end, or the scan, before any frame: no size to be had.
        if (marker == 0xd9 || marker == 0xda) return false;
        if (!src.ReadAll(pos, b, 2)) return false;
        const uint32_t length = Be16(b);  // counts its own two bytes
        if (length < 2) return false;
        const bool frame = (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 &&
                            marker != 0xcc) ||
                           marker == 0xde;
        if (frame) {
            // Precision, then height and width; a height of 0 is given later
            // (by a DNL marker after the first scan), which this does not
            // follow.
            if (length < 7 || !src.ReadAll(pos + 2, b, 5)) return false;
            return Take(Be16(b + 3), Be16(b + 1), width, height);
        }
        pos += length;
    }
}

bool Dimensions(Source& src, int& width, int& height) {
    unsigned char head[32];
    const size_t got = src.Read(0, head, sizeof head);
    auto starts = [&](const char* sig, size_t n) {
        return got >= n && std::memcmp(head, sig, n) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3)) return Jpeg(src, width, height);
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return Gif(head, got, width, height);
    if (starts("BM", 2)) return Bmp(head, got, width, height);
    if (starts("\x89PNG\r\n\x1a\n", 8)) return Png(head, got, width, height);
    if (starts("RIFF", 4)) return Webp(head, got, width, height);
    return false;
}

}  // namespace

bool PictureDimensions(const std::string& path, int& width, int& height) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    FileSource src(fd);
    const bool ok = Dimensions(src, width, height);
    ::close(fd);
    return ok;
}

bool PictureDimensionsOf(std::string_view bytes, int& width, int& height) {
    MemorySource src(bytes);
    return Dimensions(src, width, height);
}

std::string MinimumSizeText(int minWidth, int minHeight) {
    const std::string w = std::to_string(minWidth), h = std::to_string(minHeight);
    if (minWidth > 0 && minHeight > 0) return "at least " + w + "x" + h + " pixels";
    if (minWidth > 0) return "at least " + w + " pixels wide";
    if (minHeight > 0) return "at least " + h + " pixels high";
    return {};
}

}  // namespace pq
