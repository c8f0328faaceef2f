// The GIF reader and the animation's playing, without a window: frames as
// Qt's own reader composes them, composition by disposal and transparency,
// the budget against data that expands past its frames, bad data, and the
// loop count and delays.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <random>

#include "browse/CGifAnimation.h"
#include "browse/CGifDecoder.h"
#include "tests/support/GifWriter.h"

namespace pq {
namespace {

using test::GifImage;

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

std::vector<uint8_t> Noise(int count, int colours, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out(static_cast<size_t>(count));
    for (uint8_t& v : out) v = uint8_t(random() % unsigned(colours));
    return out;
}

// Runs of a colour with noise between them: strings of every length.
std::vector<uint8_t> Runs(int count, int colours, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    while (int(out.size()) < count) {
        const uint8_t c = uint8_t(random() % unsigned(colours));
        out.insert(out.end(), std::min<size_t>(random() % 40 + 1, size_t(count) - out.size()), c);
    }
    return out;
}

std::vector<uint32_t> Palette(int n) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(uint32_t((i * 67 % 256) << 16 | (i * 29 % 256) << 8 | (255 - i)));
    return t;
}

struct Read {
    std::vector<QImage> frames;
    std::vector<int> delaysCs;
    CGifDecoder::Fault fault = CGifDecoder::Fault::None;
    int loopCount = -1;
    qint64 codes = 0, spent = 0;
};

Read ReadAll(const std::string& bytes, qint64 budget = CGifDecoder::kPixelBudget) {
    Read r;
    CGifDecoder gif(Bytes(bytes), budget);
    if (gif.ReadHeader()) {
        QImage frame;
        int delay = 0;
        while (gif.Next(&frame, &delay)) {
            r.frames.push_back(frame);
            r.delaysCs.push_back(delay);
        }
    }
    r.fault = gif.GetFault();
    r.loopCount = gif.LoopCount();
    r.codes = gif.CodesRead();
    r.spent = gif.PixelsSpent();
    return r;
}

// Pictures with real compression (the code table filling and clearing,
// codes growing to 12 bits), read here and by Qt's own reader: the same
// frames, pixel for pixel, and the same delays once played.
TEST(GifDecoder, ReadsTheFramesQtReads) {
    struct Case {
        const char* what;
        int width, height;
        std::vector<uint32_t> table;
        std::vector<GifImage> images;
    };
    const std::vector<Case> cases = {
        {"four colours of noise, the table filling and clearing",
         190,
         190,
         Palette(4),
         {GifImage(190, 190, Noise(190 * 190, 4, 1)).Delay(7)}},
        {"256 colours of noise",
         150,
         100,
         Palette(256),
         {GifImage(150, 100, Noise(150 * 100, 256, 2)).Delay(3)}},
        {"runs of 16 colours",
         199,
         199,
         Palette(16),
         {GifImage(199, 199, Runs(199 * 199, 16, 3)).Delay(1)}},
        {"two colours", 33, 7, Palette(2), {GifImage(33, 7, Noise(33 * 7, 2, 4)).Delay(5)}},
        {"interlaced, 53 rows",
         37,
         53,
         Palette(8),
         {GifImage(37, 53, Runs(37 * 53, 8, 5)).Delay(2).Interlace()}},
        {"three frames, a local table on the second",
         64,
         48,
         Palette(4),
         {GifImage(64, 48, Noise(64 * 48, 4, 6)).Delay(10),
          GifImage(64, 48, Runs(64 * 48, 32, 7)).Delay(20).Table(Palette(32)),
          GifImage(64, 48, Runs(64 * 48, 4, 8)).Delay(30)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = test::WriteGif(c.width, c.height, c.table, c.images, 0);
        const Read mine = ReadAll(bytes);
        EXPECT_EQ(mine.fault, CGifDecoder::Fault::None);
        EXPECT_EQ(mine.loopCount, 0);

        QByteArray data = Bytes(bytes);
        QBuffer buffer(&data);
        QImageReader qt(&buffer, "gif");
        std::vector<QImage> theirs;
        std::vector<int> theirDelays;
        for (QImage frame; qt.read(&frame);) {
            theirs.push_back(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            theirDelays.push_back(qt.nextImageDelay());
        }
        ASSERT_EQ(mine.frames.size(), c.images.size());
        ASSERT_EQ(theirs.size(), c.images.size());
        for (size_t i = 0; i < theirs.size(); ++i) {
            EXPECT_EQ(mine.frames[i].size(), QSize(c.width, c.height));
            EXPECT_TRUE(mine.frames[i] == theirs[i]) << "frame " << i;
            EXPECT_EQ(mine.delaysCs[i], c.images[i].delayCs);
            EXPECT_EQ(CGifAnimation::DelayMs(mine.delaysCs[i]), theirDelays[i]);
        }
    }
}

// A 4 × 1 screen, colours 1 red, 2 green, 3 blue: what each frame shows once
// the one before it is disposed of as it asks.
TEST(GifDecoder, ComposesFramesByDisposalAndTransparency) {
    const std::vector<uint32_t> table = {0x000000, 0xff0000, 0x00ff00, 0x0000ff};
    const QRgb none = 0, r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), b = qRgb(0, 0, 255);
    struct Case {
        const char* what;
        std::vector<GifImage> images;
        std::vector<std::vector<QRgb>> shown;
    };
    const GifImage red(4, 1, {1, 1, 1, 1});
    auto with = [](GifImage im, int disposal) { return im.Dispose(disposal); };
    const GifImage greenMiddle = GifImage(2, 1, {2, 2}).At(1, 0);
    const GifImage blueSeeThrough = GifImage(4, 1, {3, 0, 0, 3}).SeeThrough(0);
    const std::vector<Case> cases = {
        {"kept: the next frame draws over it",
         {with(red, 1), greenMiddle},
         {{r, r, r, r}, {r, g, g, r}}},
        {"unspecified is kept", {with(red, 0), greenMiddle}, {{r, r, r, r}, {r, g, g, r}}},
        {"to the background: its area cleared",
         {with(red, 1), with(greenMiddle, 2), blueSeeThrough},
         {{r, r, r, r}, {r, g, g, r}, {b, none, none, b}}},
        {"to the previous: the screen under it put back",
         {with(red, 1), with(greenMiddle, 3), blueSeeThrough},
         {{r, r, r, r}, {r, g, g, r}, {b, r, r, b}}},
        {"to the previous on the first frame: nothing under it",
         {with(greenMiddle, 3), blueSeeThrough},
         {{none, g, g, none}, {b, none, none, b}}},
        {"a transparent index lets the frame under it show",
         {with(red, 1), blueSeeThrough},
         {{r, r, r, r}, {b, r, r, b}}},
        {"a frame partly off the screen is cut at its edge",
         {GifImage(3, 1, {3, 3, 3}).At(2, 0)},
         {{none, none, b, b}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read read = ReadAll(test::WriteGif(4, 1, table, c.images, -1));
        EXPECT_EQ(read.fault, CGifDecoder::Fault::None);
        EXPECT_EQ(read.loopCount, -1);
        ASSERT_EQ(read.frames.size(), c.shown.size());
        for (size_t i = 0; i < c.shown.size(); ++i)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(read.frames[i].pixel(x, 0), c.shown[i][size_t(x)])
                    << "frame " << i << " x " << x;
    }
}

// Data that expands past its frames or past the picture's budget: the
// reading stops there, at a cost bounded by the frames, with the frames
// read before it.
TEST(GifDecoder, StopsWhereTheDataPassesItsFrameOrTheBudget) {
    const int side = 199;
    const qint64 area = side * side;
    // A frame that claims the largest size the format allows on a small
    // screen, its data expanding as far as it goes.
    std::string huge = test::MakeExpandingGif(side, side, {1}, 300000, 4000);
    const size_t descriptor = huge.find(',', 13);
    huge[descriptor + 5] = huge[descriptor + 6] = huge[descriptor + 7] = huge[descriptor + 8] =
        char(0xff);
    // A good frame, then one that expands too far.
    std::string twoFrames = test::MakeAnimatedGif(side, side, {{3, 5}}, 0);
    twoFrames.pop_back();  // the trailer
    const std::string expanding = test::MakeExpandingGif(side, side, {1});
    twoFrames += expanding.substr(expanding.find("\x21\xf9", 13));
    // Small frames, each composed on the whole screen.
    const GifImage dot(1, 1, {1});
    const std::vector<GifImage> hundreds(400, dot), more(900, dot);
    const qint64 kept = CGifDecoder::kKeptPixels / area;
    struct Case {
        const char* what;
        std::string bytes;
        qint64 budget;
        CGifDecoder::Fault fault;
        size_t frames;
        qint64 maxSpent;
    };
    const std::vector<Case> cases = {
        {"two frames expanding to 440 million pixels", test::MakeExpandingGif(),
         CGifDecoder::kPixelBudget, CGifDecoder::Fault::Overrun, 1, 2 * area},
        {"the second frame expands too far", twoFrames, CGifDecoder::kPixelBudget,
         CGifDecoder::Fault::Overrun, 2, 4 * area},
        {"a 65535 x 65535 frame past a small budget", huge, 1'000'000, CGifDecoder::Fault::Budget,
         1, 1'000'000},
        {"400 frames past a budget of 100 screens",
         test::WriteGif(side, side, Palette(4), hundreds, 0), 100 * area,
         CGifDecoder::Fault::Budget, 99, 100 * area},
        {"more frames than may be kept", test::WriteGif(side, side, Palette(4), more, 0),
         CGifDecoder::kPixelBudget, CGifDecoder::Fault::Budget, size_t(kept), kept * (area + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read read = ReadAll(c.bytes, c.budget);
        EXPECT_EQ(read.fault, c.fault);
        EXPECT_EQ(read.frames.size(), c.frames);
        EXPECT_LE(read.spent, c.maxSpent);
        // Each code stands for at least one pixel, or is one of the clear
        // codes a stream may hold: the codes read are bounded too.
        EXPECT_LE(read.codes, c.maxSpent + 2 * qint64(c.bytes.size()));
        ASSERT_FALSE(read.frames.empty());
        EXPECT_EQ(read.frames[0].size(), QSize(side, side));
    }
    // The expanding picture's first frame is whole: red all over.
    const Read hostile = ReadAll(test::MakeExpandingGif());
    ASSERT_EQ(hostile.frames.size(), 1u);
    EXPECT_EQ(hostile.frames[0].pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(hostile.frames[0].pixel(side - 1, side - 1), qRgb(255, 0, 0));
    EXPECT_LT(hostile.codes, area) << "the reading stopped where the frame was full";
}

TEST(GifDecoder, StopsWhenAskedBetweenCodes) {
    CGifDecoder gif(Bytes(test::MakeAnimatedGif(150, 150, {{1, 5}, {2, 5}}, 0)));
    ASSERT_TRUE(gif.ReadHeader());
    int asked = 0;
    gif.SetStop([&] { return ++asked > 1; });
    QImage frame;
    int delay = 0;
    EXPECT_FALSE(gif.Next(&frame, &delay));
    EXPECT_EQ(gif.GetFault(), CGifDecoder::Fault::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(gif.Next(&frame, &delay)) << "nothing after a stop";
}

TEST(GifDecoder, BadDataEndsTheFramesWithoutACrash) {
    const std::string good = test::MakeAnimatedGif(20, 10, {{1, 5}, {2, 5}}, 3);
    const size_t firstImage = good.find("\x21\xf9") + 8;
    const size_t secondFrame = good.find("\x21\xf9", firstImage);
    struct Case {
        const char* what;
        std::string bytes;
        bool header;
        CGifDecoder::Fault fault;
        size_t frames;
    };
    const std::vector<Case> cases = {
        {"nothing", "", false, CGifDecoder::Fault::NotGif, 0},
        {"no GIF", "<html>no picture</html>", false, CGifDecoder::Fault::NotGif, 0},
        {"the header alone", "GIF89a", false, CGifDecoder::Fault::NotGif, 0},
        {"a screen of no size", test::MakeGif(0, 0, {1}), false, CGifDecoder::Fault::NotGif, 0},
        {"a colour table cut short", good.substr(0, 17), false, CGifDecoder::Fault::NotGif, 0},
        {"a screen and no image", good.substr(0, 25) + ";", true, CGifDecoder::Fault::NoFrame, 0},
        {"an unknown block before any image", good.substr(0, 25) + "x", true,
         CGifDecoder::Fault::NoFrame, 0},
        {"an image descriptor cut short", good.substr(0, firstImage + 5), true,
         CGifDecoder::Fault::NoFrame, 0},
        {"the first image's data cut short", good.substr(0, firstImage + 10 + 40), true,
         CGifDecoder::Fault::None, 1},
        {"an unknown block after the first image", good.substr(0, secondFrame) + "x", true,
         CGifDecoder::Fault::None, 1},
        {"the second frame cut off with no trailer", good.substr(0, secondFrame), true,
         CGifDecoder::Fault::None, 1},
        {"a minimum code size past 11", good.substr(0, secondFrame + 18) + char(12) + "\x01", true,
         CGifDecoder::Fault::None, 1},
        {"the whole picture", good, true, CGifDecoder::Fault::None, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGifDecoder gif(Bytes(c.bytes));
        EXPECT_EQ(gif.ReadHeader(), c.header);
        QImage frame;
        int delay = 0;
        size_t frames = 0;
        while (gif.Next(&frame, &delay)) {
            ++frames;
            EXPECT_EQ(frame.size(), QSize(20, 10));
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(gif.GetFault(), c.fault);
    }
}

// Which frames a play goes through, one Advance at a time, until Advance
// says the last play is over (at most 40 steps).
TEST(GifAnimation, PlaysAsTheLoopCountSaysAndStaysOnTheLastFrame) {
    struct Case {
        const char* what;
        int frames;
        int loopCount;
        std::vector<int> shown;
    };
    const std::vector<Case> cases = {
        {"no looping extension: once", 3, -1, {0, 1, 2}},
        {"a loop count of 2: three plays", 3, 2, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
        {"a loop count of 1: two plays", 2, 1, {0, 1, 0, 1}},
        {"one frame: nothing to play", 1, 0, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGifAnimation a(std::vector<QImage>(size_t(c.frames), QImage(2, 2, QImage::Format_RGB32)),
                        {}, c.loopCount);
        std::vector<int> shown{a.Frame()};
        for (int i = 0; i < 40 && a.Advance(); ++i) shown.push_back(a.Frame());
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(a.Ended());
        EXPECT_FALSE(a.Advance());
        EXPECT_EQ(a.Frame(), c.frames - 1);
    }
    // 0 loops for ever.
    CGifAnimation endless(std::vector<QImage>(3, QImage(2, 2, QImage::Format_RGB32)), {}, 0);
    int wraps = 0;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(endless.Advance());
        wraps += endless.Frame() == 0;
    }
    EXPECT_EQ(wraps, 100);
    EXPECT_FALSE(endless.Ended());
}

TEST(GifAnimation, EachFrameStaysForItsOwnDelay) {
    CGifAnimation a(std::vector<QImage>(4, QImage(2, 2, QImage::Format_RGB32)), {4, 0, 25, 1}, 0);
    std::vector<int> delays;
    for (int i = 0; i < 5; ++i, a.Advance()) delays.push_back(a.DelayMs());
    EXPECT_EQ(delays, (std::vector<int>{40, 100, 250, 100, 40}))
        << "no delay, or 10 ms: 100 ms, as browsers show them";
    EXPECT_EQ(CGifAnimation::DelayMs(2), 20);
    // A delay missing from the list counts as none.
    CGifAnimation short_(std::vector<QImage>(2, QImage(2, 2, QImage::Format_RGB32)), {7}, 0);
    EXPECT_EQ(short_.DelayMs(), 70);
    short_.Advance();
    EXPECT_EQ(short_.DelayMs(), 100);
}

}  // namespace
}  // namespace pq
