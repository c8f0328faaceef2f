// Local names and page saving: no network needed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/CItemRegistry.h"
#include "engine/CPageFetcher.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

// Names an address the way the crawl does: ask for the name, then register
// the address under it.
std::string NameAndRegister(CPageFetcher& f, CItemRegistry& map, std::string address, bool isPage) {
    std::string name;
    f.LocalName(address, name, map, isPage);
    map.Store(CItemRegistry::KeyOf(address), ItemRecord{name, isPage ? 0 : -1});
    return name;
}

TEST(LocalName, FolderPagesGetIndexWithSearchWideCounter) {
    CPageFetcher f;
    CItemRegistry pages;
    EXPECT_EQ(NameAndRegister(f, pages, "http://h/a/", true), "index.htm");
    EXPECT_EQ(NameAndRegister(f, pages, "http://h/b/", true), "index__1.htm");
    EXPECT_EQ(NameAndRegister(f, pages, "http://h/", true), "index__2.htm");

    // The same address (in any case) comes back with its first name, and the
    // caller's address becomes the registry key.
    std::string again = "HTTP://H/B/";
    std::string name;
    f.LocalName(again, name, pages, true);
    EXPECT_EQ(name, "index__1.htm");
    EXPECT_EQ(again, "http://h/b/");
    EXPECT_EQ(f.NameCounter(), 2);

    f.ResetNames();
    EXPECT_EQ(f.NameCounter(), 0);
}

TEST(LocalName, CandidateRules) {
    struct Case {
        const char* address;
        bool isPage;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"http://h/img/", false, "unknown.fil"},
        {"http://h", false, "unknown.fil"},
        {"http://h/dir/show.asp", true, "show.asp.htm"},
        {"http://h/news", true, "news.htm"},
        {"http://h/x/Page.HTML", true, "Page.HTML"},
        {"http://h/x/page.htm", true, "page.htm"},
        {"http://h/show.asp?id=3", true, "show.asp?id=3.htm"},
        {"http://h/x.html#top", true, "x.html#top"},
        {"http://h/pics/cat.JPG", false, "cat.JPG"},
        {"h/pics/cat.gif", false, "cat.gif"},
        // "." and ".." would leave the project folder or name it.
        {"http://h/a?x=/..", true, "index.htm"},
        {"http://h/a?x=/.", false, "unknown.fil"},
        // All fragment: no file name of its own.
        {"http://h/#.html", true, "index.htm"},
        {"htt.inf#.html", true, "index.htm"},
        {"http://h/#x", false, "unknown.fil"},
    };
    for (const auto& c : cases) {
        CPageFetcher f;
        CItemRegistry map;
        std::string address = c.address;
        std::string name;
        f.LocalName(address, name, map, c.isPage);
        EXPECT_EQ(name, c.name) << c.address;
        EXPECT_EQ(address, c.address) << "a new address is left as it is";
    }
}

TEST(LocalName, TakenNamesGetTheCounterBeforeTheFirstDot) {
    CPageFetcher f;
    CItemRegistry pics;
    NameAndRegister(f, pics, "http://h/1/photo.jpg", false);
    NameAndRegister(f, pics, "http://h/1/a.b.gif", false);
    NameAndRegister(f, pics, "http://h/1/index", false);
    EXPECT_EQ(NameAndRegister(f, pics, "http://h/2/photo.jpg", false), "photo__1.jpg");
    EXPECT_EQ(NameAndRegister(f, pics, "http://h/2/a.b.gif", false), "a__2.b.gif");
    EXPECT_EQ(NameAndRegister(f, pics, "http://h/2/index", false), "index__3");
    // Names are compared without regard to case.
    EXPECT_EQ(NameAndRegister(f, pics, "http://h/3/PHOTO.JPG", false), "PHOTO__4.JPG");
}

TEST(LocalName, AKnownAddressWinsOverATakenName) {
    CPageFetcher f;
    CItemRegistry map;
    map.Store("http://h/x/pic.gif", ItemRecord{"other.gif", -1});
    map.Store("http://h/y/zzz.gif", ItemRecord{"pic.gif", -1});
    std::string address = "http://h/x/pic.gif";
    std::string name;
    f.LocalName(address, name, map, false);
    EXPECT_EQ(name, "other.gif");
    EXPECT_EQ(f.NameCounter(), 0);
}

TEST(SavePage, WritesTheBytesUnderTheNameCutAtHash) {
    test::TempDir dir;
    const char data[] = "ab\0cd";
    EXPECT_EQ(CPageFetcher::SavePage("x.html#top", dir.Path(), data, 5), CPageFetcher::kSuccess);
    EXPECT_EQ(dir.ReadFile("x.html"), std::string(data, 5));
    // A name with a query string is fine on this file system.
    EXPECT_EQ(CPageFetcher::SavePage("show.asp?id=3.htm", dir.Path(), data, 2),
              CPageFetcher::kSuccess);
    EXPECT_EQ(dir.ReadFile("show.asp?id=3.htm"), "ab");
    // A file already there is never written over.
    EXPECT_EQ(CPageFetcher::SavePage("x.html", dir.Path(), data, 1), CPageFetcher::kFileNotCreated);
    EXPECT_EQ(dir.ReadFile("x.html"), std::string(data, 5));
}

TEST(SavePage, FailuresGiveThreeAndWriteNothingOutsideTheFolder) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.Path() + "inner");
    const std::string inner = dir.Path() + "inner/";
    EXPECT_EQ(CPageFetcher::SavePage("a.htm", dir.Path() + "missing/", "x", 1),
              CPageFetcher::kFileNotCreated);
    for (const char* bad : {"../escape.htm", "..", ".", "", "#only", "sub/dir.htm"})
        EXPECT_EQ(CPageFetcher::SavePage(bad, inner, "x", 1), CPageFetcher::kFileNotCreated) << bad;
    EXPECT_FALSE(dir.Exists("escape.htm"));
    EXPECT_EQ(CPageFetcher::SavePage(std::string(300, 'n') + ".htm", inner, "x", 1),
              CPageFetcher::kFileNotCreated);
}

TEST(Registry, KeysAreLowerCaseAndCutAtHash) {
    EXPECT_EQ(CItemRegistry::KeyOf("HTTP://H/Page.html#Top"), "http://h/page.html");
    EXPECT_EQ(CItemRegistry::KeyOf("http://h/a#b#c"), "http://h/a");
    CItemRegistry r;
    r.Store("k", ItemRecord{"Name.GIF", -1});
    EXPECT_TRUE(r.HasLocalName("name.gif"));
    r.Store("k", ItemRecord{"other.gif", -1});
    EXPECT_FALSE(r.HasLocalName("name.gif")) << "a replaced record frees its old name";
    EXPECT_TRUE(r.HasLocalName("OTHER.gif"));
    r.Clear();
    EXPECT_EQ(r.Size(), 0u);
    EXPECT_FALSE(r.HasLocalName("other.gif"));
}

}  // namespace
}  // namespace pq
