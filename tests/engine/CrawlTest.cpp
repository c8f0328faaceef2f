#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/CContentsPage.h"
#include "tests/engine/CrawlFixture.h"

namespace pq {
namespace {

using test::CrawlFixture;

class Crawl : public CrawlFixture {
protected:
    // index -> a, b; a -> a1; a1 -> a2; b -> b1.
    void ServeTree() {
        server.Page("/index.html", "<title>Home</title><a href=a.html>A</a><a href=b.html>B</a>");
        server.Page("/a.html", "<title>A</title><a href=a1.html>");
        server.Page("/a1.html", "<a href=a2.html>");
        server.Page("/a2.html", "deep");
        server.Page("/b.html", "<a href=b1.html>");
        server.Page("/b1.html", "leaf");
    }
};

TEST_F(Crawl, WalksDepthFirstDownToMaxLevels) {
    ServeTree();
    struct Case {
        int maxLevels;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        {0, {"/index.html"}},
        {1, {"/index.html", "/a.html", "/b.html"}},
        {2, {"/index.html", "/a.html", "/a1.html", "/b.html", "/b1.html"}},
        {3, {"/index.html", "/a.html", "/a1.html", "/a2.html", "/b.html", "/b1.html"}},
    };
    for (const auto& c : cases) {
        test::TempDir fresh;
        size_t before = server.Requests().size();
        doc.SetProjectFolder(fresh.Path());
        Prepare("web", server.Url("/index.html"), c.maxLevels);
        // Requests go out in the walk's own order only one page at a time;
        // with pages fetched ahead only the decisions keep it.
        state.pagesAhead = 0;
        doc.SetProjectFolder(fresh.Path());
        doc.StartSearch(server.Url("/index.html"), "");
        doc.WaitForCrawl();
        auto all = Targets();
        std::vector<std::string> got(all.begin() + long(before), all.end());
        EXPECT_EQ(got, c.order) << "maxlevels " << c.maxLevels;
    }
}

TEST_F(Crawl, APageReachedTwiceIsFetchedAndLoggedOnce) {
    server.Page("/index.html", "<a href=a.html><a href=c.html>");
    server.Page("/a.html", "<a href=c.html><a href=index.html>");
    server.Page("/c.html", "c");
    Run("web", server.Url("/index.html"), 2);
    EXPECT_EQ(server.Count("/c.html"), 1);
    EXPECT_EQ(server.Count("/index.html"), 1);
    int cLines = 0;
    for (const auto& l : ItemLines())
        if (l.find("/c.html") != std::string::npos) ++cLines;
    EXPECT_EQ(cLines, 1);
}

TEST_F(Crawl, ALinkWaitingOnAShallowerLevelIsNotAddedAgain) {
    server.Page("/index.html", "<a href=a.html><a href=b.html>");
    server.Page("/a.html", "<a href=b.html>");
    server.Page("/b.html", "b");
    Run("web", server.Url("/index.html"), 2);
    // b.html is fetched once, at depth 1, from the start page's list; pages
    // fetched ahead may reach the server in any order, the record keeps the
    // walk's.
    EXPECT_EQ(server.Count("/index.html"), 1);
    EXPECT_EQ(server.Count("/a.html"), 1);
    EXPECT_EQ(server.Count("/b.html"), 1);
    const auto lines = ItemLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(" index.html "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" a.html "), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" b.html "), std::string::npos) << lines[2];
}

TEST_F(Crawl, NewProjectFileAndContentsPageHaveExactBytes) {
    server.Page("/index.html", "<title>Home page</title><a href=a.html>");
    server.Page("/a.html", "no title here");
    const std::string start = server.Url("/index.html");
    Run("web", start, 1);
    std::string expectedHeader =
        "0**00:00:00            \r\nVersion=1.1\r\nFILTER=000000 0 900\r\n"
        "KEYWORDS=\r\nSEARCHENGINE=\r\nURL=" +
        start + "\r\n             \r\n";
    std::string inf = dir.ReadFile("project.inf");
    ASSERT_GE(inf.size(), expectedHeader.size());
    EXPECT_EQ(inf.substr(0, expectedHeader.size()), expectedHeader);
    EXPECT_EQ(ItemLines(),
              (std::vector<std::string>{"OK index.html 39bytes " + start,
                                        "OK a.html 13bytes " + server.Url("/a.html")}));
    std::string contents =
        "<HTML>\r\n<HEAD>\r\n<TITLE>Halvendrake Contents</TITLE>\r\n</HEAD\r\n<BODY>\r\n"
        "<H1><center>Halvendrake Table of Contents</center><br><br></H1>\r\n<UL>\r\n"
        "<a href=\"index.html\"><li> Home page (index.html - " +
        start +
        ")<br>\r\n"
        "<a href=\"a.html\"><li> Untitled (a.html - " +
        server.Url("/a.html") +
        ")<br>\r\n"
        "</UL>\r\n</BODY>\r\n</HTML>\r\n";
    EXPECT_EQ(dir.ReadFile("HalvCon1.htm"), contents);
    EXPECT_EQ(dir.ReadFile("index.html"), "<title>Home page</title><a href=a.html>");
}

TEST_F(Crawl, AnExistingProjectFileIsAppendedNotRewritten) {
    {
        std::FILE* f = std::fopen((dir.Path() + "project.inf").c_str(), "wb");
        std::fputs("5**00:10:00            \r\nVersion=1.10\r\n", f);
        std::fclose(f);
    }
    server.Page("/index.html", "x");
    Run("web", server.Url("/index.html"), 0);
    EXPECT_EQ(dir.ReadFile("project.inf"),
              "5**00:10:00            \r\nVersion=1.10\r\nOK index.html 1bytes " +
                  server.Url("/index.html") + "\r\n");
}

TEST_F(Crawl, AFailedStartPageEndsTheSearchWithHeadAndFootOnly) {
    const std::string start = server.Url("/missing.html");
    Run("web", start, 2);
    EXPECT_EQ(server.Count("/missing.html"), 3);
    EXPECT_EQ(dir.ReadFile("HalvCon1.htm"), CContentsPage::Head() + CContentsPage::Foot());
    EXPECT_EQ(ItemLines(), std::vector<std::string>{"** missing.html  " + start});
    EXPECT_EQ(ui.SearchEndedCount(), 1);
    EXPECT_EQ(ui.History(), std::vector<std::string>{"0"});
    EXPECT_TRUE(state.idleFlag.load() || ui.DownloadsEndedCount() == 1);
    EXPECT_EQ(ui.RunningTimers().count(18), 0u);
    EXPECT_EQ(ui.RunningTimers().count(19), 0u);
}

TEST_F(Crawl, AFailedInnerPageIsLoggedWithTwoSpacesAndSkipped) {
    server.Page("/index.html", "<a href=gone.html><a href=ok.html>");
    server.Page("/ok.html", "ok");
    Run("web", server.Url("/index.html"), 1);
    auto items = ItemLines();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1], "** gone.html  " + server.Url("/gone.html"));
    EXPECT_EQ(items[2], "OK ok.html 2bytes " + server.Url("/ok.html"));
    std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_EQ(contents.find("gone.html"), std::string::npos);
}

TEST_F(Crawl, ARedirectedPageGetsOneContentsEntryWithTheFinalAddress) {
    server.Page("/index.html", "<a href=old.html>");
    server.Redirect("/old.html", server.Url("/new.html"));
    server.Page("/new.html", "<title>New</title>");
    Run("web", server.Url("/index.html"), 1);
    std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_NE(contents.find("<a href=\"old.html\"><li> New (old.html - " + server.Url("/new.html") +
                            ")<br>\r\n"),
              std::string::npos);
    EXPECT_EQ(ItemLines().back(), "OK old.html 18bytes " + server.Url("/new.html"));
    EXPECT_EQ(dir.ReadFile("old.html"), "<title>New</title>");
}

TEST_F(Crawl, ARedirectedPageIsKnownUnderBothAddresses) {
    // index -> old (redirected to new), then p -> new and old again.
    server.Page("/index.html", "<a href=old.html><a href=p.html>");
    server.Redirect("/old.html", server.Url("/new.html"));
    server.Page("/new.html", "<title>New</title>");
    server.Page("/p.html", "<a href=new.html><a href=old.html>");
    Run("web", server.Url("/index.html"), 2);
    std::string contents = dir.ReadFile("HalvCon1.htm");
    size_t first = contents.find(server.Url("/new.html"));
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(contents.find(server.Url("/new.html"), first + 1), std::string::npos)
        << "registered under its final address too: no second entry";
    // old.html was visited already; new.html is known but not yet fetched
    // under that address, so it is fetched once more without an entry.
    EXPECT_EQ(server.Count("/old.html"), 1);
    EXPECT_EQ(server.Count("/new.html"), 2);
}

TEST_F(Crawl, StartPageWithoutSchemeIsFetchedAsHttp) {
    server.Page("/index.html", "<a href=a.html>");
    server.Page("/a.html", "a");
    Run("web", server.HostPort() + "/index.html", 1);
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/index.html", "/a.html"}));
}

TEST_F(Crawl, StopDuringASlowPageEndsTheCrawlPromptlyWithClosingSteps) {
    test::Route slow;
    slow.body = "<a href=x.html>";
    slow.delayMs = 30000;
    server.Page("/index.html", "<a href=slow.html>");
    server.Set("/slow.html", slow);
    Prepare("web", server.Url("/index.html"), 2);
    doc.StartSearch(server.Url("/index.html"), "");
    while (server.Count("/slow.html") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto t0 = std::chrono::steady_clock::now();
    doc.OnStop();
    doc.WaitForCrawl();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(doc.IsCrawling());
    EXPECT_EQ(doc.WorkerCount(), 0);
    EXPECT_EQ(ui.SearchEndedCount(), 1);
    std::string contents = dir.ReadFile("HalvCon1.htm");
    EXPECT_TRUE(contents.size() >= CContentsPage::Foot().size() &&
                contents.substr(contents.size() - CContentsPage::Foot().size()) ==
                    CContentsPage::Foot());
    // A cancelled fetch writes no line.
    for (const auto& l : ItemLines()) EXPECT_EQ(l.find("slow.html"), std::string::npos) << l;
    EXPECT_FALSE(doc.CanStop());
}

TEST_F(Crawl, StartSearchResetsPanesAndStartsTimersAndSixWorkers) {
    test::Route slow;
    slow.body = "x";
    slow.delayMs = 400;
    server.Set("/index.html", slow);
    Prepare("web", server.Url("/index.html"), 0);
    doc.StartSearch(server.Url("/index.html"), "");
    EXPECT_EQ(doc.WorkerCount(), 6);
    EXPECT_TRUE(doc.CanStop());
    EXPECT_EQ(ui.Pane(0), "Page Searched:0");
    EXPECT_EQ(ui.Pane(1), "Image Found:0");
    EXPECT_EQ(ui.Pane(2), "Image Download:0");
    // A new search while the first runs: the old workers go first.
    doc.StartSearch(server.Url("/index.html"), "");
    EXPECT_EQ(doc.WorkerCount(), 6);
    doc.WaitForCrawl();
    EXPECT_EQ(ui.Pane(0), "Page Searched:1");
    EXPECT_TRUE(doc.WaitForDownloads(30000));
}

TEST_F(Crawl, DeepSitesBeyondTwentyLevelsAreWalked) {
    for (int i = 0; i < 25; ++i)
        server.Page("/p" + std::to_string(i) + ".html",
                    "<a href=p" + std::to_string(i + 1) + ".html>");
    server.Page("/p25.html", "end");
    Run("web", server.Url("/p0.html"), 24);
    EXPECT_EQ(server.Count("/p24.html"), 1);
    EXPECT_EQ(server.Count("/p25.html"), 0);
}

}  // namespace
}  // namespace pq
