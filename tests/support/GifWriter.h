// Writes GIF89a files for tests and benchmarks without a library: frames of
// one colour index each, with their own delays and the looping extension;
// any frames with real LZW compression (offsets, local tables, interlace,
// disposal, transparency); and a file whose compressed data expands far
// past its frames, the kind a decoder must not follow to the end.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pq::test {

// Codes of one LZW stream, each written at the width a decoder reads it
// with: the width grows when the decoder's next free entry reaches the
// next power of two, up to 12 bits; after a clear code it starts again.
class GifCodeWriter {
public:
    explicit GifCodeWriter(int minCodeSize)
        : minCodeSize_(minCodeSize),
          clear_(1 << minCodeSize),
          end_(clear_ + 1),
          width_(minCodeSize + 1),
          next_(end_ + 1) {}

    void Clear() {
        Put(clear_);
        width_ = minCodeSize_ + 1;
        next_ = end_ + 1;
        first_ = true;
    }
    // A code for the decoder; after the first since a clear, each one adds
    // an entry while the table has room.
    void Code(int code) {
        Put(code);
        if (!first_ && next_ < 4096) ++next_;
        first_ = false;
        if (next_ == (1 << width_) && width_ < 12) ++width_;
    }
    // The next entry the decoder will define (what a run of one colour
    // sends to make its strings one longer each time).
    int Next() const { return next_; }
    // The end code, the last bits, and the data as sub-blocks after the
    // minimum code size byte, ending with the empty block.
    std::string Finish() {
        Put(end_);
        if (bits_ > 0) data_.push_back(uint8_t(acc_ & 0xff));
        std::string out(1, char(minCodeSize_));
        for (size_t i = 0; i < data_.size(); i += 255) {
            const size_t len = std::min<size_t>(255, data_.size() - i);
            out += char(len);
            out.append(reinterpret_cast<const char*>(data_.data() + i), len);
        }
        out += char(0);
        return out;
    }

private:
    void Put(int code) {
        acc_ |= uint32_t(code) << bits_;
        bits_ += width_;
        while (bits_ >= 8) {
            data_.push_back(uint8_t(acc_ & 0xff));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }

    int minCodeSize_, clear_, end_;
    int width_, next_;
    bool first_ = true;
    uint32_t acc_ = 0;
    int bits_ = 0;
    std::vector<uint8_t> data_;
};

struct GifFrameSpec {
    int colour = 0;   // an index into the four-colour table: black, red, green, blue
    int delayCs = 1;  // hundredths of a second
};

inline void PutU16(std::string& g, int v) {
    g += char(v & 0xff);
    g += char((v >> 8) & 0xff);
}

// The header, the logical screen of width × height with the four-colour
// table, and the looping extension unless loopCount is below 0 (0 loops for
// ever, n plays n more times).
inline std::string GifHeader(int width, int height, int loopCount) {
    std::string g = "GIF89a";
    PutU16(g, width);
    PutU16(g, height);
    g += char(0x81);  // global table of 4 entries
    g += char(0);
    g += char(0);
    g += std::string("\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff", 12);
    if (loopCount >= 0) {
        g += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01", 16);
        PutU16(g, loopCount);
        g += char(0);
    }
    return g;
}

// A graphic control block with the delay, and an image descriptor for the
// whole screen.
inline std::string GifFrameStart(int width, int height, int delayCs) {
    std::string g("\x21\xf9\x04\x00", 4);
    PutU16(g, delayCs);
    g += std::string("\x00\x00", 2);
    g += ',';
    PutU16(g, 0);
    PutU16(g, 0);
    PutU16(g, width);
    PutU16(g, height);
    g += char(0);
    return g;
}

// The LZW stream of pixels (colour indexes below 1 << minCodeSize) as a
// GIF encoder writes it: the longest string known so far each time, a new
// entry after each code, a clear code when the table is full.
inline std::string EncodeLzw(const std::vector<uint8_t>& pixels, int minCodeSize) {
    GifCodeWriter w(minCodeSize);
    const int clear = 1 << minCodeSize;
    std::unordered_map<uint32_t, int> known;  // (string's code << 8 | pixel) -> code
    int next = clear + 2;
    w.Clear();
    if (!pixels.empty()) {
        int current = pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            const uint32_t key = uint32_t(current) << 8 | pixels[i];
            const auto found = known.find(key);
            if (found != known.end()) {
                current = found->second;
                continue;
            }
            w.Code(current);
            if (next < 4096) {
                known[key] = next++;
            } else {
                w.Clear();
                known.clear();
                next = clear + 2;
            }
            current = pixels[i];
        }
        w.Code(current);
    }
    return w.Finish();
}

// One image of a picture written by WriteGif: its size and pixels, and
// what is not said otherwise: at the screen's top left, no delay, no
// disposal, nothing transparent, rows in order, the global table.
struct GifImage {
    GifImage(int w, int h, std::vector<uint8_t> p) : width(w), height(h), pixels(std::move(p)) {}
    GifImage& At(int x, int y) {
        left = x;
        top = y;
        return *this;
    }
    GifImage& Delay(int cs) {
        delayCs = cs;
        return *this;
    }
    GifImage& Dispose(int how) {
        disposal = how;
        return *this;
    }
    GifImage& SeeThrough(int index) {
        transparent = index;
        return *this;
    }
    GifImage& Interlace() {
        interlaced = true;
        return *this;
    }
    GifImage& Table(std::vector<uint32_t> t) {
        localTable = std::move(t);
        return *this;
    }

    int left = 0, top = 0, width, height;
    std::vector<uint8_t> pixels;  // width × height colour indexes, row by row
    int delayCs = 0;
    int disposal = 0;      // 0 to 3
    int transparent = -1;  // the transparent index, or none
    bool interlaced = false;
    std::vector<uint32_t> localTable;  // 0xRRGGBB; empty: the global table
};

// A colour table's flag bits and its entries, padded to a power of two of
// at least 2 entries.
inline int PutTable(std::string& g, std::vector<uint32_t> table) {
    int bits = 0;
    while ((2u << bits) < table.size()) ++bits;
    table.resize(size_t(2) << bits, 0);
    for (uint32_t c : table) {
        g += char((c >> 16) & 0xff);
        g += char((c >> 8) & 0xff);
        g += char(c & 0xff);
    }
    return bits;
}

// A picture of width × height with the global table and the images,
// looping as loopCount says (below 0: no looping extension).
inline std::string WriteGif(int width, int height, const std::vector<uint32_t>& globalTable,
                            const std::vector<GifImage>& images, int loopCount) {
    std::string g = "GIF89a";
    PutU16(g, width);
    PutU16(g, height);
    std::string table;
    const int globalBits = PutTable(table, globalTable);
    g += char(0x80 | 0x70 | globalBits);
    g += char(0);
    g += char(0);
    g += table;
    if (loopCount >= 0) {
        g += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01", 16);
        PutU16(g, loopCount);
        g += char(0);
    }
    for (const GifImage& im : images) {
        g += std::string("\x21\xf9\x04", 3);
        g += char((im.disposal << 2) | (im.transparent >= 0 ? 1 : 0));
        PutU16(g, im.delayCs);
        g += char(im.transparent >= 0 ? im.transparent : 0);
        g += char(0);
        g += ',';
        PutU16(g, im.left);
        PutU16(g, im.top);
        PutU16(g, im.width);
        PutU16(g, im.height);
        std::string local;
        const int localBits = im.localTable.empty() ? -1 : PutTable(local, im.localTable);
        g += char((localBits >= 0 ? 0x80 | localBits : 0) | (im.interlaced ? 0x40 : 0));
        g += local;
        const size_t entries = im.localTable.empty() ? globalTable.size() : im.localTable.size();
        int minCodeSize = 2;
        while ((size_t(1) << minCodeSize) < entries) ++minCodeSize;
        // An interlaced image stores every 8th row from 0, every 8th from
        // 4, every 4th from 2, then every 2nd from 1.
        std::vector<uint8_t> stored;
        if (im.interlaced) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < im.height; y += step)
                    stored.insert(stored.end(), im.pixels.begin() + y * im.width,
                                  im.pixels.begin() + (y + 1) * im.width);
        } else {
            stored = im.pixels;
        }
        g += EncodeLzw(stored, minCodeSize);
    }
    g += ';';
    return g;
}

// width × height, one frame of one colour per entry, looping as loopCount
// says. Each frame's stream sends a clear code every two codes, so its
// codes keep their width and any size can be written.
inline std::string MakeAnimatedGif(int width, int height, const std::vector<GifFrameSpec>& frames,
                                   int loopCount) {
    std::string g = GifHeader(width, height, loopCount);
    for (const GifFrameSpec& f : frames) {
        g += GifFrameStart(width, height, f.delayCs);
        GifCodeWriter w(2);
        const long pixels = long(width) * height;
        for (long i = 0; i < pixels; ++i) {
            if (i % 2 == 0) w.Clear();
            w.Code(f.colour & 3);
        }
        g += w.Finish();
    }
    g += ';';
    return g;
}

// One frame per entry of frameColours, 10 ms apart, looping for ever when
// there is more than one.
inline std::string MakeGif(int width, int height, const std::vector<int>& frameColours) {
    std::vector<GifFrameSpec> frames;
    for (int c : frameColours) frames.push_back({c, 1});
    return MakeAnimatedGif(width, height, frames, frameColours.size() > 1 ? 0 : -1);
}

// A picture whose frames' data expands far past their width × height: each
// stream sends a run of one colour that fills the code table with ever
// longer strings, then repeats the code of a string of repeatLength pixels
// repeats times, never clearing the table. frameColours gives each frame's
// colour. The default, two 199 × 199 frames, is a file of about 650 KB
// whose data expands to about 440 million pixels. *expanded, when given,
// receives the number of pixels all frames' data expands to.
inline std::string MakeExpandingGif(int width = 199, int height = 199,
                                    const std::vector<int>& frameColours = {1, 2},
                                    int repeats = 212000, int repeatLength = 998,
                                    long long* expanded = nullptr) {
    std::string g = GifHeader(width, height, 0);
    long long total = 0;
    for (int colour : frameColours) {
        g += GifFrameStart(width, height, 10);
        GifCodeWriter w(2);
        w.Clear();
        w.Code(colour & 3);
        total += 1;
        // Each code names the entry being defined: the last string and its
        // own first pixel, one longer than the one before.
        for (int length = 2; w.Next() < 4096; ++length) {
            w.Code(w.Next());
            total += length;
        }
        // Entry 6 holds two pixels, each later entry one more.
        const int code = repeatLength + 4;
        for (int i = 0; i < repeats; ++i) w.Code(code);
        total += (long long)repeats * repeatLength;
        g += w.Finish();
    }
    g += ';';
    if (expanded) *expanded = total;
    return g;
}

}  // namespace pq::test
