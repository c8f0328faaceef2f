// The size on screen read from a picture's header: every type, the edges of
// each field, and headers cut short or made to mislead.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/PictureHeader.h"
#include "tests/support/PictureHeaders.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

using namespace test;

struct Case {
    const char* what;
    std::string bytes;
    bool readable;
    int width = 0;
    int height = 0;
};

// The bytes in a block of exactly their size, so that a read past the end
// is an error the address sanitizer reports rather than a look at spare
// capacity.
bool DimensionsOfExact(const std::string& bytes, int& w, int& h) {
    std::unique_ptr<char[]> exact(new char[bytes.size() ? bytes.size() : 1]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    return PictureDimensionsOf(std::string_view(exact.get(), bytes.size()), w, h);
}

std::string WriteFile(const TempDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.Path() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string Replaced(std::string s, size_t at, const std::string& with) {
    s.replace(at, with.size(), with);
    return s;
}

// A hierarchical JPEG: its DHP segment gives the whole picture's size, and
// its first frame (differential or not) may be a smaller step towards it.
std::string HierarchicalJpeg(int w, int h, int firstW, int firstH, unsigned sof = 0xc5) {
    std::string s = JpegOfSize(firstW, firstH, 0, sof);
    std::string dhp("\xFF\xDE\x00\x11\x08", 5);
    headers::Be16(dhp, uint32_t(h));
    headers::Be16(dhp, uint32_t(w));
    dhp += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    s.insert(s.find(std::string("\xFF") + char(sof)), dhp);
    return s;
}

std::vector<Case> Readable() {
    return {
        {"gif", GifOfSize(1920, 1080), true, 1920, 1080},
        {"gif87a", Replaced(GifOfSize(640, 480), 0, "GIF87a"), true, 640, 480},
        {"gif largest", GifOfSize(65535, 65535), true, 65535, 65535},
        {"bmp", BmpOfSize(1920, 1080), true, 1920, 1080},
        {"bmp top-down", BmpOfSize(1920, -1080), true, 1920, 1080},
        {"bmp v5 header", BmpOfSize(1919, 1080, 124), true, 1919, 1080},
        {"bmp OS/2 2.x header", BmpOfSize(800, 600, 64), true, 800, 600},
        {"bmp core header", BmpCoreOfSize(1920, 1079), true, 1920, 1079},
        {"bmp largest", BmpOfSize(0x7fffffff, -0x7fffffff), true, 0x7fffffff, 0x7fffffff},
        {"png", PngOfSize(1920, 1080), true, 1920, 1080},
        {"png largest", PngOfSize(0x7fffffff, 1), true, 0x7fffffff, 1},
        {"jpeg baseline", JpegOfSize(1920, 1080), true, 1920, 1080},
        {"jpeg progressive", JpegOfSize(1921, 1081, 0, 0xc2), true, 1921, 1081},
        {"jpeg extended", JpegOfSize(300, 200, 0, 0xc1), true, 300, 200},
        {"jpeg lossless", JpegOfSize(300, 200, 0, 0xc3), true, 300, 200},
        {"jpeg arithmetic", JpegOfSize(300, 200, 0, 0xc9), true, 300, 200},
        {"jpeg last frame kind", JpegOfSize(17, 9, 0, 0xcf), true, 17, 9},
        {"jpeg hierarchical", HierarchicalJpeg(1920, 1080, 960, 540), true, 1920, 1080},
        {"jpeg hierarchical, plain first frame", HierarchicalJpeg(1921, 1081, 480, 270, 0xc0), true,
         1921, 1081},
        {"jpeg large metadata", JpegOfSize(4000, 3000, 200000), true, 4000, 3000},
        {"jpeg fill bytes",
         Replaced(JpegOfSize(5, 6), 2, std::string("\xFF\xFF\xFF\xE0\x00\x0e", 6)), true, 5, 6},
        {"jpeg stray bytes before a marker",
         std::string("\xFF\xD8\xFF\xE0\x00\x04"
                     "ab\x00\x00\x00\xFF\xC0\x00\x11\x08\x00\x07\x00\x09",
                     20),
         true, 9, 7},
        {"jpeg restart and repeated start marker",
         std::string("\xFF\xD8\xFF\xD0\xFF\xD8\xFF\x01\xFF\xC0\x00\x0b\x08\x00\x02\x00\x03", 17),
         true, 3, 2},
        {"webp lossy", WebpVp8OfSize(1920, 1080), true, 1920, 1080},
        {"webp lossy largest", WebpVp8OfSize(16383, 16383), true, 16383, 16383},
        {"webp lossy scale bits", WebpVp8OfSize(0xc000 | 1920, 0x4000 | 1080), true, 1920, 1080},
        {"webp lossless", WebpVp8lOfSize(1920, 1080), true, 1920, 1080},
        {"webp lossless largest", WebpVp8lOfSize(16384, 16384), true, 16384, 16384},
        {"webp extended", WebpVp8xOfSize(1920, 1080), true, 1920, 1080},
        {"webp extended largest", WebpVp8xOfSize(1 << 24, 1 << 24), true, 1 << 24, 1 << 24},
    };
}

TEST(PictureHeader, ReadsTheSizeOfEveryType) {
    TempDir dir;
    for (const Case& c : Readable()) {
        int w = -1, h = -1;
        ASSERT_TRUE(DimensionsOfExact(c.bytes, w, h)) << c.what;
        EXPECT_EQ(w, c.width) << c.what;
        EXPECT_EQ(h, c.height) << c.what;
        int fw = -1, fh = -1;
        ASSERT_TRUE(PictureDimensions(WriteFile(dir, "p", c.bytes), fw, fh)) << c.what;
        EXPECT_EQ(fw, c.width) << c.what;
        EXPECT_EQ(fh, c.height) << c.what;
    }
}

TEST(PictureHeader, MisleadingOrBrokenHeadersGiveNoSize) {
    const std::string jpeg = JpegOfSize(1920, 1080);
    const std::vector<Case> cases = {
        {"empty", "", false},
        {"a page", "<html><head><title>x</title></head></html>" + std::string(200, ' '), false},
        {"unknown type", "II*\0" + std::string(300, '\0'), false},
        {"gif of no width", GifOfSize(0, 1080), false},
        {"gif of no height", GifOfSize(1920, 0), false},
        {"gif other version", Replaced(GifOfSize(1920, 1080), 3, "90a"), false},
        {"bmp negative width", BmpOfSize(-1920, 1080), false},
        {"bmp no height", BmpOfSize(1920, 0), false},
        {"bmp height beyond any int", BmpOfSize(1920, int32_t(0x80000000u)), false},
        {"bmp unknown header size 13", BmpOfSize(1920, 1080, 13), false},
        {"bmp header size 125", BmpOfSize(1920, 1080, 125), false},
        {"bmp header size 0", BmpOfSize(1920, 1080, 0), false},
        {"bmp core of no width", BmpCoreOfSize(0, 5), false},
        {"png no IHDR first", Replaced(PngOfSize(1920, 1080), 12, "tEXt"), false},
        {"png width too large", PngOfSize(0x80000000u, 1080), false},
        {"png height too large", PngOfSize(1920, 0xffffffffu), false},
        {"png of no width", PngOfSize(0, 1080), false},
        {"png IHDR of another length",
         Replaced(PngOfSize(1920, 1080), 8, std::string("\x00\x00\x00\x0e", 4)), false},
        {"riff that is no webp", Replaced(WebpVp8OfSize(1920, 1080), 8, "AVI "), false},
        {"webp unknown first chunk", Replaced(WebpVp8OfSize(1920, 1080), 12, "ALPH"), false},
        {"webp lossy not a key frame",
         Replaced(WebpVp8OfSize(1920, 1080), 20, std::string("\x51", 1)), false},
        {"webp lossy bad start code",
         Replaced(WebpVp8OfSize(1920, 1080), 23, std::string("\x9d\x01\x2b", 3)), false},
        {"webp lossy of no width", WebpVp8OfSize(0, 1080), false},
        {"webp lossless bad signature",
         Replaced(WebpVp8lOfSize(1920, 1080), 20, std::string("\x2e", 1)), false},
        // Width and height would still read 1920x1080: only the version says no.
        {"webp lossless of another version",
         Replaced(WebpVp8lOfSize(1920, 1080), 24, std::string("\x21", 1)), false},
        {"jpeg hierarchical of no height", HierarchicalJpeg(1920, 0, 960, 540), false},
        {"jpeg scan before any frame", std::string("\xFF\xD8\xFF\xDA\x00\x0c", 6) + jpeg.substr(2),
         false},
        {"jpeg end before any frame", std::string("\xFF\xD8\xFF\xD9", 4) + jpeg.substr(2), false},
        {"jpeg segment length 0", std::string("\xFF\xD8\xFF\xE0\x00\x00", 6) + jpeg.substr(2),
         false},
        {"jpeg segment length 1", std::string("\xFF\xD8\xFF\xE0\x00\x01", 6) + jpeg.substr(2),
         false},
        {"jpeg segment past the end", std::string("\xFF\xD8\xFF\xE1\xff\xff", 6) + jpeg.substr(2),
         false},
        {"jpeg frame header too short",
         std::string("\xFF\xD8\xFF\xC0\x00\x05\x08\x04\x38\x07\x80", 11) + std::string(200, 0),
         false},
        {"jpeg height given later (DNL)", JpegOfSize(1920, 0), false},
        {"jpeg of no width", JpegOfSize(0, 1080), false},
        {"jpeg all fill bytes", std::string("\xFF\xD8", 2) + std::string(5000, '\xff'), false},
        {"jpeg no marker at all", std::string("\xFF\xD8\xFF", 3) + std::string(5000, 'p'), false},
        // DAC and JPG share the frame markers' range and are no frames: read
        // as one, their bytes would give 0x0102 x 0x0304.
        {"jpeg DAC is no frame",
         std::string("\xFF\xD8\xFF\xCC\x00\x08\x00\x01\x02\x03\x04\x05", 12) + std::string(200, 0),
         false},
        {"jpeg JPG is no frame",
         std::string("\xFF\xD8\xFF\xC8\x00\x08\x00\x01\x02\x03\x04\x05", 12) + std::string(200, 0),
         false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        int w = 7, h = 9;
        EXPECT_FALSE(DimensionsOfExact(c.bytes, w, h)) << c.what << ": " << w << "x" << h;
        EXPECT_EQ(w, 7) << c.what << ": left alone";
        EXPECT_EQ(h, 9) << c.what;
        EXPECT_FALSE(PictureDimensions(WriteFile(dir, "p", c.bytes), w, h)) << c.what;
    }
}

TEST(PictureHeader, AHeaderCutShortAnywhereIsNeverReadPastItsEnd) {
    // Every start of every picture: either no size, or the picture's own
    // once its frame header is whole; never a read past the end (the
    // sanitizer would stop the test).
    for (const Case& c : Readable()) {
        if (c.bytes.size() > 4096) continue;
        bool seen = false;
        for (size_t n = 0; n <= c.bytes.size(); ++n) {
            int w = 0, h = 0;
            if (DimensionsOfExact(c.bytes.substr(0, n), w, h)) {
                EXPECT_EQ(w, c.width) << c.what << " cut at " << n;
                EXPECT_EQ(h, c.height) << c.what << " cut at " << n;
                seen = true;
            } else {
                EXPECT_FALSE(seen) << c.what << ": readable before " << n << " but not at it";
            }
        }
        EXPECT_TRUE(seen) << c.what;
    }
    // The header ends where each type says: one byte less is no size.
    const std::vector<std::pair<std::string, size_t>> ends = {
        {GifOfSize(1, 1), 10},      {BmpOfSize(1, 1), 26},     {BmpCoreOfSize(1, 1), 22},
        {PngOfSize(1, 1), 24},      {WebpVp8OfSize(1, 1), 30}, {WebpVp8lOfSize(1, 1), 25},
        {WebpVp8xOfSize(1, 1), 30},
    };
    for (const auto& [bytes, end] : ends) {
        int w = 0, h = 0;
        EXPECT_TRUE(DimensionsOfExact(bytes.substr(0, end), w, h)) << bytes.substr(0, 4) << end;
        EXPECT_FALSE(DimensionsOfExact(bytes.substr(0, end - 1), w, h)) << bytes.substr(0, 4);
    }
}

TEST(PictureHeader, AFileIsReadBySeekingPastLargeSegments) {
    TempDir dir;
    // The frame header lands on each side of, and across, the edges of the
    // reader's 64 KB window, and far past it.
    const size_t jfifEnd = 2 + 18;
    const size_t beforeFrame = 5 + 64 + 5 + 16 + 12;  // DQT and DHT
    for (size_t frameAt : {size_t(65536 - 11), size_t(65536 - 5), size_t(65536 - 1), size_t(65536),
                           size_t(65536 + 3), size_t(131072 - 2), size_t(3 * 1024 * 1024)}) {
        // Metadata of one APP1 segment or more: 4 bytes of marker and
        // length each.
        size_t metadata = frameAt - jfifEnd - beforeFrame;
        const size_t segments = (metadata + 65536) / 65537;
        metadata -= 4 * segments;
        const std::string bytes = JpegOfSize(1920, 1080, metadata);
        ASSERT_EQ(bytes.substr(frameAt, 2), "\xFF\xC0") << frameAt;
        int w = 0, h = 0;
        ASSERT_TRUE(PictureDimensions(WriteFile(dir, "big.jpg", bytes), w, h)) << frameAt;
        EXPECT_EQ(w, 1920) << frameAt;
        EXPECT_EQ(h, 1080) << frameAt;
        // Cut just before the frame's last byte of width: no size.
        EXPECT_FALSE(
            PictureDimensions(WriteFile(dir, "cut.jpg", bytes.substr(0, frameAt + 8)), w, h))
            << frameAt;
    }
    int w = 0, h = 0;
    EXPECT_FALSE(PictureDimensions(dir.Path() + "no-such-file.jpg", w, h));
    EXPECT_FALSE(PictureDimensions(dir.Path(), w, h)) << "a folder";
}

TEST(PictureHeader, TheBoundsAsTheLogSaysThem) {
    EXPECT_EQ(MinimumSizeText(1920, 1080), "at least 1920x1080 pixels");
    EXPECT_EQ(MinimumSizeText(1920, 0), "at least 1920 pixels wide");
    EXPECT_EQ(MinimumSizeText(0, 1080), "at least 1080 pixels high");
    EXPECT_EQ(MinimumSizeText(0, 0), "");
}

}  // namespace
}  // namespace pq
