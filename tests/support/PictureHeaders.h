// Picture files of a given size on screen, made by hand for tests: each is a
// header as its type lays it out, then bytes that stand for the picture
// (no decoder is asked to show them). Every one is at least 200 bytes, so
// a download takes it for a picture.
#pragma once

#include <cstdint>
#include <string>

namespace pq::test {

namespace headers {

inline void Le16(std::string& s, uint32_t v) {
    s += char(v & 0xff);
    s += char((v >> 8) & 0xff);
}
inline void Le24(std::string& s, uint32_t v) {
    Le16(s, v);
    s += char((v >> 16) & 0xff);
}
inline void Le32(std::string& s, uint32_t v) {
    Le16(s, v);
    Le16(s, v >> 16);
}
inline void Be16(std::string& s, uint32_t v) {
    s += char((v >> 8) & 0xff);
    s += char(v & 0xff);
}
inline void Be32(std::string& s, uint32_t v) {
    Be16(s, v >> 16);
    Be16(s, v);
}
// Filler after the header, free of anything a page test looks for.
inline std::string Padded(std::string s, size_t size = 200) {
    if (s.size() < size) s.resize(size, '\x11');
    return s;
}

}  // namespace headers

inline std::string GifOfSize(int w, int h) {
    std::string s = "GIF89a";
    headers::Le16(s, uint32_t(w));
    headers::Le16(s, uint32_t(h));
    s += std::string("\x80\x00\x00", 3);
    return headers::Padded(s);
}

// A BITMAPINFOHEADER picture (or another header of infoSize bytes with its
// 32-bit fields); a negative h is one stored top row first.
inline std::string BmpOfSize(int w, int h, uint32_t infoSize = 40) {
    std::string s = "BM";
    headers::Le32(s, 0);   // file size (readers ignore it)
    headers::Le32(s, 0);   // reserved
    headers::Le32(s, 54);  // where the rows start
    headers::Le32(s, infoSize);
    headers::Le32(s, uint32_t(w));
    headers::Le32(s, uint32_t(h));
    headers::Le16(s, 1);   // planes
    headers::Le16(s, 24);  // bits per pixel
    return headers::Padded(s);
}

// The old 12-byte core header: 16-bit width and height.
inline std::string BmpCoreOfSize(int w, int h) {
    std::string s = "BM";
    headers::Le32(s, 0);
    headers::Le32(s, 0);
    headers::Le32(s, 26);
    headers::Le32(s, 12);
    headers::Le16(s, uint32_t(w));
    headers::Le16(s, uint32_t(h));
    headers::Le16(s, 1);
    headers::Le16(s, 24);
    return headers::Padded(s);
}

inline std::string PngOfSize(uint32_t w, uint32_t h) {
    std::string s("\x89PNG\r\n\x1a\n", 8);
    headers::Be32(s, 13);
    s += "IHDR";
    headers::Be32(s, w);
    headers::Be32(s, h);
    s += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    headers::Be32(s, 0);                          // CRC (readers of the size skip it)
    return headers::Padded(s);
}

// A JPEG's segments up to its first scan: JFIF, metadataBytes of APP1
// segments (as many as that takes), a quantisation table, a Huffman table
// (DHT, 0xC4, which lies in the frame markers' range and is no frame),
// then the frame header of the given marker (0xC0 baseline, 0xC2
// progressive, ...).
inline std::string JpegOfSize(int w, int h, size_t metadataBytes = 0, unsigned sof = 0xc0) {
    std::string s("\xFF\xD8", 2);
    s += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
    while (metadataBytes > 0) {
        const size_t take = metadataBytes < 65533 ? metadataBytes : 65533;
        s += std::string("\xFF\xE1", 2);
        headers::Be16(s, uint32_t(take + 2));
        s += std::string(take, '\x22');
        metadataBytes -= take;
    }
    s += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
    // The standard DC luminance table: 12 codes.
    s += std::string("\xFF\xC4\x00\x1F\x00", 5);
    s += std::string("\x00\x01\x05\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00", 16);
    for (char v = 0; v < 12; ++v) s += v;
    s += '\xFF';
    s += char(sof);
    headers::Be16(s, 17);
    s += '\x08';
    headers::Be16(s, uint32_t(h));
    headers::Be16(s, uint32_t(w));
    s += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    s += std::string("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 14);
    s += std::string(40, '\x33');
    s += std::string("\xFF\xD9", 2);
    return headers::Padded(s);
}

namespace headers {
inline std::string Riff(const std::string& chunk, const std::string& data) {
    std::string s = "RIFF";
    Le32(s, uint32_t(4 + 8 + data.size()));
    s += "WEBP" + chunk;
    Le32(s, uint32_t(data.size()));
    return s + data;
}
}  // namespace headers

// Lossy WebP: a VP8 key frame.
inline std::string WebpVp8OfSize(int w, int h) {
    std::string d("\x50\x02\x00\x9d\x01\x2a", 6);  // frame tag (key frame), start code
    headers::Le16(d, uint32_t(w));
    headers::Le16(d, uint32_t(h));
    return headers::Padded(headers::Riff("VP8 ", d + std::string(180, '\x44')));
}

// Lossless WebP: 14 bits each of width - 1 and height - 1.
inline std::string WebpVp8lOfSize(int w, int h) {
    std::string d = "\x2f";
    headers::Le32(d, uint32_t(w - 1) | uint32_t(h - 1) << 14);
    return headers::Padded(headers::Riff("VP8L", d + std::string(180, '\x44')));
}

// Extended WebP: the canvas size in 24 bits each.
inline std::string WebpVp8xOfSize(int w, int h) {
    std::string d(4, '\0');
    headers::Le24(d, uint32_t(w - 1));
    headers::Le24(d, uint32_t(h - 1));
    return headers::Padded(headers::Riff("VP8X", d) + std::string(180, '\x44'));
}

}  // namespace pq::test
