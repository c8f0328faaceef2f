// The advanced web search's smallest size on screen: pictures served by a
// local server, kept or left out by the size their headers give once they
// have arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CBallThread.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/PictureHeaders.h"

namespace pq {
namespace {

using namespace test;

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ScreenSize : public CrawlFixture {
protected:
    void SetUp() override {
        Prepare("advancedweb", server.Url("/"), 0);
        state.filter.png = state.filter.webp = true;
        state.SetProjectFolder(dir.Path());
        store::CreateProjectFile(dir.Path(), state.header);
    }
    std::string DownloadOne(CBallThread& w, const std::string& target, const std::string& name) {
        state.queue.MakeRoom();
        state.queue.Append(name, server.Url(target));
        return w.Download(server.Url(target), dir.Path(), name);
    }
};

// A picture of each type at w x h.
struct Type {
    const char* ext;
    std::string (*make)(int w, int h);
};
const std::vector<Type> kTypes = {
    {"jpg", [](int w, int h) { return JpegOfSize(w, h); }},
    {"gif", [](int w, int h) { return GifOfSize(w, h); }},
    {"bmp", [](int w, int h) { return BmpOfSize(w, h); }},
    {"topdown.bmp", [](int w, int h) { return BmpOfSize(w, -h); }},
    {"core.bmp", [](int w, int h) { return BmpCoreOfSize(w, h); }},
    {"png", [](int w, int h) { return PngOfSize(uint32_t(w), uint32_t(h)); }},
    {"webp", [](int w, int h) { return WebpVp8OfSize(w, h); }},
    {"lossless.webp", [](int w, int h) { return WebpVp8lOfSize(w, h); }},
    {"extended.webp", [](int w, int h) { return WebpVp8xOfSize(w, h); }},
};

TEST_F(ScreenSize, KeepsAndDropsAtTheExactBoundsForEveryType) {
    struct Case {
        int w, h, minW, minH;
        bool kept;
    };
    const std::vector<Case> cases = {
        {1920, 1080, 1920, 1080, true},
        {1919, 1080, 1920, 1080, false},
        {1920, 1079, 1920, 1080, false},
        {1921, 1081, 1920, 1080, true},
        {1919, 1079, 1920, 1080, false},
        {800, 600, 0, 0, true},
        {800, 600, 800, 0, true},
        {799, 4000, 800, 0, false},
        {800, 600, 0, 600, true},
        {4000, 599, 0, 600, false},
        {1, 1, 1, 1, true},
    };
    CBallThread worker(state, ui, "new");
    std::vector<std::string> expected = {"project.inf"};
    int n = 0;
    for (const Type& type : kTypes) {
        for (const Case& c : cases) {
            state.minWidth = c.minW;
            state.minHeight = c.minH;
            const std::string name = "p" + std::to_string(++n) + "." + type.ext;
            const std::string target = "/" + name;
            const std::string body = type.make(c.w, c.h);
            Serve(target, body);
            const std::string why = type.ext + std::string(" ") + std::to_string(c.w) + "x" +
                                    std::to_string(c.h) + " against " + std::to_string(c.minW) +
                                    "x" + std::to_string(c.minH);
            EXPECT_EQ(DownloadOne(worker, target, name), c.kept ? "YES" : "") << why;
            if (c.kept) {
                expected.push_back(name);
                EXPECT_EQ(dir.ReadFile(name), body) << why;
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(dir.Path()), expected) << "what was left out left no file behind";
    EXPECT_EQ(int(ItemLines().size()), int(expected.size()) - 1);
    EXPECT_TRUE(ui.LogLines().empty()) << ui.LogLines().front();
}

TEST_F(ScreenSize, APictureWhoseHeaderCannotBeReadIsDroppedWhileABoundIsSet) {
    // A JPEG whose markers end before any frame header, and a BMP of an
    // unknown header: both pictures by their signatures, of no known size.
    std::string noFrame = JpegOfSize(1920, 1080);
    noFrame = noFrame.substr(0, noFrame.find("\xFF\xC0"));
    noFrame.resize(400, '\x11');
    const std::string oddBmp = BmpOfSize(1920, 1080, 13);
    Serve("/noframe.jpg", noFrame);
    Serve("/odd.bmp", oddBmp);
    CBallThread worker(state, ui, "new");

    state.minWidth = 1920;
    state.minHeight = 1080;
    EXPECT_EQ(DownloadOne(worker, "/noframe.jpg", "noframe.jpg"), "");
    state.minHeight = 0;
    EXPECT_EQ(DownloadOne(worker, "/odd.bmp", "odd.bmp"), "");
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"project.inf"});
    const std::vector<std::string> log = ui.LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "Not saved: " + server.Url("/noframe.jpg") +
                          ": its width and height cannot be read from its header, and this "
                          "search keeps only pictures at least 1920x1080 pixels");
    EXPECT_EQ(log[1], "Not saved: " + server.Url("/odd.bmp") +
                          ": its width and height cannot be read from its header, and this "
                          "search keeps only pictures at least 1920 pixels wide");

    // Without a bound nothing is read: both are kept as they always were.
    state.minWidth = state.minHeight = 0;
    EXPECT_EQ(DownloadOne(worker, "/noframe.jpg", "noframe.jpg"), "YES");
    EXPECT_EQ(DownloadOne(worker, "/odd.bmp", "odd.bmp"), "YES");
    EXPECT_EQ(ui.LogLines().size(), 2u);
}

TEST_F(ScreenSize, OnlyTheAdvancedWebSearchHasTheBound) {
    state.minWidth = 1920;
    state.minHeight = 1080;
    Serve("/small.gif", GifOfSize(16, 16));
    CBallThread worker(state, ui, "new");
    EXPECT_EQ(DownloadOne(worker, "/small.gif", "small.gif"), "");
    for (const char* mode : {"web", "key", "advancedkey"}) {
        state.mode = mode;
        EXPECT_EQ(DownloadOne(worker, "/small.gif", std::string(mode) + ".gif"), "YES") << mode;
    }
}

TEST_F(ScreenSize, AWholeSearchKeepsTheWallpapersAndSaysWhatItCouldNotMeasure) {
    // Large metadata before a JPEG's frame header is skipped over, not read;
    // the size bounds in KB still hold beside the size on screen.
    state.imageMinKb = 0;
    state.imageMaxKb = 900;
    state.minWidth = 1920;
    state.minHeight = 1080;
    server.Page("/index.html",
                "<title>Walls</title><img src=wide.jpg><img src=thumb.jpg><img src=exif.jpg>"
                "<img src=tall.png><img src=blank.gif><img src=huge.bmp><img src=narrow.webp>"
                "<img src=short.gif><img src=exact.bmp>");
    Serve("/wide.jpg", JpegOfSize(1921, 1081));
    Serve("/narrow.webp", WebpVp8lOfSize(1919, 1080));
    Serve("/short.gif", GifOfSize(1920, 1079));
    Serve("/exact.bmp", BmpOfSize(1920, -1080));
    Serve("/thumb.jpg", JpegOfSize(192, 108));
    Serve("/exif.jpg", JpegOfSize(1920, 1080, 300 * 1024));
    Serve("/tall.png", PngOfSize(1080, 1920));
    Serve("/blank.gif", std::string("GIF89a") + std::string(300, '\0'));
    Serve("/huge.bmp", headers::Padded(BmpOfSize(7680, 4320), 901 * 1024));
    // The search writes its own record.
    std::filesystem::remove(dir.Path() + "project.inf");
    Run("advancedweb", server.Url("/index.html"), 0);
    std::vector<std::string> pictures;
    for (const std::string& name : FilesIn(dir.Path()))
        if (name.find(".htm") == std::string::npos && name != "project.inf")
            pictures.push_back(name);
    EXPECT_EQ(pictures, (std::vector<std::string>{"exact.bmp", "exif.jpg", "wide.jpg"}));
    EXPECT_EQ(dir.ReadFile("exif.jpg"), JpegOfSize(1920, 1080, 300 * 1024));
    const std::vector<std::string> log = ui.LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(server.Url("/blank.gif")), std::string::npos) << log[0];
}

}  // namespace
}  // namespace pq
