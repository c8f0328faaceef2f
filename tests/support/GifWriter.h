// Writes small GIF89a files for tests: frames of one colour index each, with
// an uncompressed LZW stream (a clear code every few codes keeps the code
// width fixed), so any size and frame count can be made without a library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pq::test {

// width × height, one frame per entry of frameColours (an index into a
// four-colour table: black, red, green, blue), 10 ms apart.
inline std::string MakeGif(int width, int height, const std::vector<int>& frameColours) {
    std::string g = "GIF89a";
    auto u16 = [&g](int v) {
        g += char(v & 0xff);
        g += char((v >> 8) & 0xff);
    };
    u16(width);
    u16(height);
    g += char(0x81);  // global table of 4 entries
    g += char(0);
    g += char(0);
    g += std::string("\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff", 12);
    if (frameColours.size() > 1)
        g += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int colour : frameColours) {
        g += std::string("\x21\xf9\x04\x00\x01\x00\x00\x00", 8);  // delay 1/100 s
        g += ',';
        u16(0);
        u16(0);
        u16(width);
        u16(height);
        g += char(0);
        const int minCode = 2, clear = 4, end = 5, bits = 3;
        g += char(minCode);
        std::vector<uint8_t> data;
        uint32_t acc = 0;
        int n = 0;
        auto put = [&](int code) {
            acc |= uint32_t(code) << n;
            n += bits;
            while (n >= 8) {
                data.push_back(uint8_t(acc & 0xff));
                acc >>= 8;
                n -= 8;
            }
        };
        const long pixels = long(width) * height;
        for (long i = 0; i < pixels; ++i) {
            if (i % 2 == 0) put(clear);
            put(colour & 3);
        }
        put(end);
        if (n > 0) data.push_back(uint8_t(acc & 0xff));
        for (size_t i = 0; i < data.size(); i += 255) {
            const size_t len = std::min<size_t>(255, data.size() - i);
            g += char(len);
            g.append(reinterpret_cast<const char*>(data.data() + i), len);
        }
        g += char(0);
    }
    g += ';';
    return g;
}

}  // namespace pq::test
