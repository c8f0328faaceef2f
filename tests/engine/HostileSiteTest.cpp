// Sites made to be awkward: what they send must never rewrite the project's
// own files, split its record, inject markup into its contents page, stall
// the crawl or fill the disk.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "engine/CLinkScanner.h"
#include "engine/CUrl.h"
#include "engine/TextUtil.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/RawHttpServer.h"

namespace pq {
namespace {

namespace fs = std::filesystem;

class HostileSite : public test::CrawlFixture {
protected:
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.Path() + name, std::ios::binary) << bytes;
    }
    // Every item line names a file that exists when it says "OK".
    void ExpectOkLinesNameFiles() {
        for (const std::string& line : ItemLines()) {
            ASSERT_GE(line.size(), 3u) << line;
            const std::string status = line.substr(0, 2);
            ASSERT_TRUE(status == "OK" || status == "**") << line;
            if (status != "OK") continue;
            std::string name = store::DecodeField(line.substr(3, line.find(' ', 3) - 3));
            EXPECT_TRUE(fs::exists(dir.Path() + std::string(FilePartOf(name)))) << line;
        }
    }
};

TEST_F(HostileSite, AFetchedPageNeverReplacesAFileTheSearchDidNotMakeForIt) {
    server.Page("/index.html",
                "<title>Home</title><a href=\"project.inf#.html\">1</a>"
                "<a href=\"HalvCon1.htm#.html\">2</a><a href=\"d/cat.jpg#.html\">3</a>");
    server.Page("/project.inf", "<html>EVIL\r\nOK evil.gif 1KB http://elsewhere/</html>");
    server.Page("/HalvCon1.htm", "<html>EVIL contents</html>");
    server.Page("/d/cat.jpg", "<html>EVIL picture</html>");
    // A picture an earlier run saved.
    WriteFile("cat.jpg", "\xFF\xD8\xFF picture bytes");
    Run("web", server.Url("/index.html"), 1);

    const std::string inf = dir.ReadFile("project.inf");
    EXPECT_EQ(inf.substr(0, 11), "0**00:00:00");
    EXPECT_EQ(inf.find("EVIL"), std::string::npos);
    const std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_EQ(contents.find("EVIL"), std::string::npos);
    EXPECT_NE(contents.find("</HTML>"), std::string::npos) << "the contents page is whole";
    EXPECT_EQ(dir.ReadFile("cat.jpg"), "\xFF\xD8\xFF picture bytes");
    // The pages were kept all the same, under names of their own.
    EXPECT_EQ(dir.ReadFile("project__1.inf"),
              "<html>EVIL\r\nOK evil.gif 1KB http://elsewhere/</html>");
    EXPECT_EQ(dir.ReadFile("HalvCon1__2.htm"), "<html>EVIL contents</html>");
    EXPECT_EQ(dir.ReadFile("cat__3.jpg"), "<html>EVIL picture</html>");
    ExpectOkLinesNameFiles();
}

TEST_F(HostileSite, APageReachedUnderTwoAddressesKeepsItsOneNameAndSoDoesASecondSearch) {
    // "/" redirects to the start page that the others link to directly, and
    // an old address redirects to a page linked under its own name too.
    server.Redirect("/", "/index.html");
    server.Page("/index.html",
                "<a href=/old/page.html>o</a><a href=/moved/new.html>n</a><a href=/>home</a>"
                "<img src=/p.gif>");
    server.Redirect("/old/page.html", "/moved/new.html");
    server.Page("/moved/new.html", "<a href=/index.html>back</a><img src=/q.gif>");
    Serve("/p.gif", test::PictureBytes(300, 'p'));
    Serve("/q.gif", test::PictureBytes(300, 'q'));
    WriteFile("notes.html", "the user's own");
    std::vector<std::string> firstFiles;
    for (int run = 0; run < 2; ++run) {
        Run("web", server.Url("/"), 2);
        std::vector<std::string> pages;
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            const std::string name = e.path().filename().string();
            EXPECT_EQ(name.find("__"), std::string::npos) << "run " << run << ": " << name;
            if (name.size() > 5 && name.substr(name.size() - 5) == ".html") pages.push_back(name);
        }
        std::sort(pages.begin(), pages.end());
        if (run == 0) firstFiles = pages;
        EXPECT_EQ(pages, firstFiles) << "run " << run;
        ExpectOkLinesNameFiles();
    }
    EXPECT_EQ(dir.ReadFile("notes.html"), "the user's own");
    EXPECT_TRUE(fs::exists(dir.Path() + "index.htm"));
    EXPECT_TRUE(fs::exists(dir.Path() + "page.html"));
}

TEST_F(HostileSite, ControlBytesAndMarkupInAddressesStayOutOfTheRecords) {
    test::RawHttpServer raw([](const std::string& target) {
        test::RawHttpServer::Answer a;
        if (target == "/index.html") {
            a.bytes =
                "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                "<title>Home</title><a href=r.html>r</a><a href=m.html>m</a>";
        } else if (target == "/r.html") {
            a.bytes = "HTTP/1.0 302 Found\r\nLocation: /a.html\rX-Junk: 1\r\n\r\n";
        } else if (target == "/m.html") {
            a.bytes =
                "HTTP/1.0 302 Found\r\nLocation: /x.html?<img src=x onerror=alert(1)>\r\n\r\n";
        } else if (target.rfind("/x.html", 0) == 0) {
            a.bytes = "HTTP/1.0 200 OK\r\n\r\n<title>Fish & chips</title>landed";
        } else {
            a.bytes = "HTTP/1.0 200 OK\r\n\r\n<title>A</title>reached through a bad redirect";
        }
        return a;
    });
    Run("web", raw.Url("/index.html"), 1);

    // Split at CR LF only, every line is whole: no CR or LF inside one.
    for (const std::string& line : ProjectLines()) {
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
    auto items = ItemLines();
    ASSERT_EQ(items.size(), 3u) << dir.ReadFile("project.inf");
    // The redirect with a control byte is refused: the page fails.
    EXPECT_EQ(items[1], "** r.html  " + raw.Url("/r.html"));
    EXPECT_EQ(items[2].substr(0, 3), "OK ");

    const std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_EQ(contents.find("<img"), std::string::npos) << contents;
    EXPECT_NE(contents.find("<a href=\"m.html\"><li> Fish &amp; chips (m.html - " +
                            raw.Url("/x.html?&lt;img src=x onerror=alert(1)&gt;") + ")"),
              std::string::npos)
        << contents;
    ExpectOkLinesNameFiles();
}

TEST(ContentsPage, EntriesAreEscapedAndLinksStillLeadToTheFile) {
    struct Case {
        const char* localName;
        const char* title;
        const char* address;
        const char* expected;
    };
    const Case cases[] = {
        {"a.html", "Plain", "http://h/a.html",
         "<a href=\"a.html\"><li> Plain (a.html - http://h/a.html)<br>\r\n"},
        {"x.html#top", "Tom &amp; Jerry", "http://h/x.html#top",
         "<a href=\"x.html#top\"><li> Tom &amp; Jerry (x.html - http://h/x.html#top)<br>\r\n"},
        {"my page.htm", "\"q\"", "http://h/my page.htm?a=1&b=2",
         "<a href=\"my%20page.htm\"><li> &quot;q&quot; (my page.htm - "
         "http://h/my page.htm?a=1&amp;b=2)<br>\r\n"},
        {"show.asp?id=3.htm", "t", "http://h/show.asp?id=3\x01",
         "<a href=\"show.asp%3Fid=3.htm\"><li> t (show.asp?id=3.htm - http://h/show.asp?id=3%01)"
         "<br>\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CContentsPage::Entry(c.localName, c.title, c.address), c.expected) << c.localName;
}

TEST(HostileReference, MarkerLikeRunsResolveToTheTextAsWritten) {
    // Many runs that look like the resolver's own markers, and a space that
    // makes it use one: the result keeps every byte, and the work stays in
    // proportion to the text (bench_engine measures it).
    std::string reference = "pics/a b";
    for (int i = 0; i < 3000; ++i) reference += "~pq" + std::to_string(i) + "~";
    reference += "\xC3\xA9.jpg";
    CUrl url;
    ASSERT_TRUE(url.Set("http://h/dir/page.html"));
    ASSERT_TRUE(url.Resolve(reference));
    EXPECT_EQ(url.Url(), "http://h/dir/" + reference);
}

TEST(HostileReference, TheScannerStopsAtTheNextTagOnceStopIsSet) {
    std::string page;
    for (int i = 0; i < 1000; ++i) page += "<a href=p" + std::to_string(i) + ".html>";
    CLinkScanner scanner;
    scanner.SetBaseAddress("http://h/");
    std::atomic<bool> stop{false};
    scanner.SetStopFlag(&stop);
    scanner.Scan(page.data(), int(page.size()));
    EXPECT_EQ(scanner.Links().size(), 1000u);

    scanner.Reset();
    scanner.SetBaseAddress("http://h/");
    scanner.SetStopFlag(&stop);
    stop = true;
    scanner.Scan(page.data(), int(page.size()));
    EXPECT_TRUE(scanner.Links().empty());
}

TEST_F(HostileSite, AHugeDepthCostsNothingUntilTheSiteIsThatDeep) {
    server.Page("/index.html", "<a href=a.html>");
    server.Page("/a.html", "<a href=b.html>");
    server.Page("/b.html", "end");
    Run("web", server.Url("/index.html"), INT_MAX);
    EXPECT_EQ(server.Count("/b.html"), 1);
    EXPECT_EQ(ItemLines().size(), 3u);
}

TEST_F(HostileSite, AFailedPageReachedAgainGetsNoEntryAndNoSecondLine) {
    server.Page("/index.html", "<title>Home</title><a href=bad.html><a href=b.html>");
    test::Route broken;
    broken.status = 500;
    broken.body = "<a href=deep.html>";
    server.Set("/bad.html", broken);
    server.Page("/b.html", "<title>Bee</title><a href=bad.html><a href=c.html>");
    server.Page("/c.html", "<title>Sea</title>");
    server.Page("/deep.html", "<title>Deep</title>");
    Run("web", server.Url("/index.html"), 2);

    const std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_EQ(contents.find("bad.html"), std::string::npos) << contents;
    EXPECT_EQ(server.Count("/bad.html"), 1);
    EXPECT_EQ(server.Count("/deep.html"), 0);
    int badLines = 0;
    for (const auto& line : ItemLines())
        if (line.find("bad.html") != std::string::npos) ++badLines;
    EXPECT_EQ(badLines, 1);
    EXPECT_NE(contents.find("Sea (c.html"), std::string::npos) << "the walk goes on past it";
}

TEST_F(HostileSite, SpacesInNamesSurviveTheRecordAndContinue) {
    server.Page("/index.html", "<img src=\"my pic.jpg\">");
    test::Route pic;
    pic.body = test::PictureBytes(500);
    pic.contentType = "image/jpeg";
    server.Set("/my%20pic.jpg", pic);
    Run("web", server.Url("/index.html"), 0);
    ASSERT_TRUE(dir.Exists("my pic.jpg"));
    auto items = ItemLines();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1], "OK my%20pic.jpg 500bytes " + server.Url("/my%20pic.jpg"));

    store::BrowsedProject p = store::ReadProjectForBrowsing(dir.Path());
    ASSERT_EQ(p.pictures.size(), 1u);
    EXPECT_EQ(p.pictures[0].localName, "my pic.jpg");
    EXPECT_EQ(p.pictures[0].address, server.Url("/my pic.jpg"));
}

TEST_F(HostileSite, OverlongNamesAreShortenedAndNeverLoggedOkUnwritten) {
    const std::string longPage(300, 'p');
    const std::string longPicture(300, 'q');
    server.Page("/index.html", "<a href=" + longPage + ".html><img src=" + longPicture + ".gif>");
    server.Page("/" + longPage + ".html", "<title>Long</title>");
    test::Route pic;
    pic.body = test::PictureBytes(300);
    pic.contentType = "image/gif";
    server.Set("/" + longPicture + ".gif", pic);
    Run("web", server.Url("/index.html"), 1);

    int pages = 0, pictures = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_LE(name.size(), kMaxFileNameBytes) << name;
        if (name.rfind("ppp", 0) == 0 && name.size() > 5 && name.substr(name.size() - 5) == ".html")
            ++pages;
        if (name.rfind("qqq", 0) == 0 && name.substr(name.size() - 4) == ".gif") ++pictures;
    }
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(pictures, 1);
    EXPECT_EQ(state.DownloadedCount(), 1);
    ExpectOkLinesNameFiles();
}

TEST(FitFileName, KeepsTheExtensionAndWholeCharacters) {
    EXPECT_EQ(FitFileName("short.jpg"), "short.jpg");
    EXPECT_EQ(FitFileName(std::string(300, 'a') + ".jpeg", 20), std::string(15, 'a') + ".jpeg");
    // A long "extension" is part of the name and is cut with it.
    EXPECT_EQ(FitFileName("a." + std::string(40, 'b'), 10), "a." + std::string(8, 'b'));
    // "é" is two bytes: the cut never falls between them.
    std::string accents;
    for (int i = 0; i < 10; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(FitFileName(accents + ".gif", 9), "\xC3\xA9\xC3\xA9.gif");
    // Bytes that are no UTF-8 are cut where they fall: never down to "."
    // (found by fuzzing).
    const std::string junk = ".1" + std::string(300, '\xad');
    EXPECT_EQ(FitFileName(junk, 200), junk.substr(0, 200));
}

TEST_F(HostileSite, AnEndlessPictureIsCutOffAtTheLimitAndDiscarded) {
    test::RawHttpServer raw([](const std::string& target) {
        test::RawHttpServer::Answer a;
        if (target == "/index.html") {
            a.bytes = "HTTP/1.0 200 OK\r\n\r\n<img src=endless.gif><img src=fine.gif>";
        } else if (target == "/fine.gif") {
            a.bytes =
                "HTTP/1.0 200 OK\r\nContent-Length: 200\r\n\r\nGIF89a" + std::string(194, 'f');
        } else {
            a.bytes = "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\nGIF89a";
            a.endless = true;
        }
        return a;
    });
    Prepare("web", raw.Url("/index.html"), 0);
    state.pictureLimitBytes = 1 << 20;
    doc.StartSearch(raw.Url("/index.html"), "");
    doc.WaitForCrawl();
    ASSERT_TRUE(doc.WaitForDownloads(60000));
    EXPECT_FALSE(dir.Exists("endless.gif"));
    EXPECT_TRUE(dir.Exists("fine.gif"));
    EXPECT_EQ(state.DownloadedCount(), 1);
    EXPECT_LT(raw.EndlessBytesSent(), 64LL << 20) << "the transfer was cut off near the limit";
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_NE(entry.path().extension(), ".down") << entry.path();
}

}  // namespace
}  // namespace pq
