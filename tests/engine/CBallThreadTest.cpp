#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/CBallThread.h"
#include "tests/engine/CrawlFixture.h"

namespace pq {
namespace {

using test::CrawlFixture;
using test::PictureBytes;
using test::Route;

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Worker : public CrawlFixture {
protected:
    void SetUp() override {
        Prepare("web", server.Url("/"), 0);
        state.SetProjectFolder(dir.Path());
        store::CreateProjectFile(dir.Path(), state.header);
    }
    // Queues one entry and downloads it as a worker's step would.
    std::string DownloadOne(CBallThread& w, const std::string& target, const std::string& name) {
        state.queue.MakeRoom();
        state.queue.Append(name, server.Url(target));
        return w.Download(server.Url(target), dir.Path(), name);
    }
};

TEST_F(Worker, SavesAPictureAndRecordsIt) {
    state.SetElapsedText("00:01:05");
    CBallThread w(state, ui, "new");
    Serve("/p/cat.gif", PictureBytes(3000));
    EXPECT_EQ(DownloadOne(w, "/p/cat.gif", "cat.gif"), "YES");
    EXPECT_EQ(dir.ReadFile("cat.gif"), PictureBytes(3000));
    EXPECT_EQ(state.DownloadedCount(), 1);
    EXPECT_EQ(state.queue.Taken(), 1);
    EXPECT_EQ(ui.Saved(), std::vector<int>{1});
    EXPECT_EQ(ui.Pane(2), "Image Download:1");
    EXPECT_EQ(ItemLines(), std::vector<std::string>{"OK cat.gif 3KB " + server.Url("/p/cat.gif")});
    EXPECT_EQ(ProjectLines()[0], "1**00:01:05            ");
    EXPECT_EQ(state.StatusText(), "1**00:01:05");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"cat.gif", "project.inf"}));
}

TEST_F(Worker, RejectedResponsesLeaveNothingButTheTakenIndexAdvances) {
    struct Case {
        const char* target;
        std::string body;
        int status;
    };
    std::string jpegWithTitle = "\xFF\xD8\xFF\xE1 <x:xmpmeta><dc:title>Cat</dc:title><head>";
    jpegWithTitle.resize(800, 'j');
    const std::vector<Case> rejected = {
        {"/e1.jpg",
         "<HTML><HEAD><TITLE>Not here</TITLE></HEAD>" + std::string(200, ' ') + "</HTML>", 200},
        {"/e2.jpg", "xxxxx<title>" + std::string(300, 'x'), 200},
        {"/e3.gif", PictureBytes(99), 200},
        {"/e4.gif", PictureBytes(5000), 404},
        {"/e5.gif", "", 200},
    };
    CBallThread w(state, ui, "new");
    int taken = 0;
    for (const auto& c : rejected) {
        Serve(c.target, c.body, c.status);
        EXPECT_EQ(DownloadOne(w, c.target, std::string(c.target).substr(1)), "") << c.target;
        EXPECT_EQ(state.queue.Taken(), ++taken) << c.target;
    }
    EXPECT_EQ(state.DownloadedCount(), 0);
    EXPECT_TRUE(ItemLines().empty());
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"project.inf"});

    // A picture whose metadata says "title" in its first block is still a picture.
    Serve("/meta.jpg", jpegWithTitle);
    EXPECT_EQ(DownloadOne(w, "/meta.jpg", "meta.jpg"), "YES");
    Serve("/b.bmp", "BM" + std::string(98, 'h') + "<head>");
    EXPECT_EQ(DownloadOne(w, "/b.bmp", "b.bmp"), "YES");
    Serve("/exact.gif", PictureBytes(100));
    EXPECT_EQ(DownloadOne(w, "/exact.gif", "exact.gif"), "YES");
}

TEST_F(Worker, NamesNeverOverwriteExistingFiles) {
    CBallThread w(state, ui, "new");
    Serve("/1/a.jpg", PictureBytes(200, '1'));
    Serve("/2/a.jpg", PictureBytes(200, '2'));
    Serve("/3/a.jpg", PictureBytes(200, '3'));
    EXPECT_EQ(DownloadOne(w, "/1/a.jpg", "a.jpg"), "YES");
    EXPECT_EQ(DownloadOne(w, "/2/a.jpg", "a.jpg"), "YES");
    EXPECT_EQ(DownloadOne(w, "/3/a.jpg", "a.jpg"), "YES");
    EXPECT_EQ(dir.ReadFile("a.jpg"), PictureBytes(200, '1'));
    EXPECT_EQ(dir.ReadFile("a_1.jpg"), PictureBytes(200, '2'));
    EXPECT_EQ(dir.ReadFile("a_2.jpg"), PictureBytes(200, '3'));

    // '*' becomes 'x' before the existence test, so axb.gif is kept.
    {
        std::FILE* f = std::fopen((dir.Path() + "axb.gif").c_str(), "wb");
        std::fputs("old", f);
        std::fclose(f);
    }
    Serve("/star.gif", PictureBytes(300));
    EXPECT_EQ(DownloadOne(w, "/star.gif", "a*b.gif"), "YES");
    EXPECT_EQ(dir.ReadFile("axb.gif"), "old");
    EXPECT_EQ(dir.ReadFile("axb_1.gif"), PictureBytes(300));
    EXPECT_EQ(ItemLines().back(), "OK axb_1.gif 300bytes " + server.Url("/star.gif"));
}

TEST_F(Worker, NamesThatCannotBeOneFileAreRefusedAndTheSearchForAFreeNameEnds) {
    CBallThread w(state, ui, "new");
    Serve("/n.jpg", PictureBytes(300, 'n'));
    for (const std::string bad : {std::string("x\0y.jpg", 7), std::string("x\ny.jpg"),
                                  std::string("a\\b.jpg"), std::string("..")}) {
        EXPECT_EQ(DownloadOne(w, "/n.jpg", bad), "YES");
        EXPECT_FALSE(std::filesystem::exists(dir.Path() + "x")) << "cut short at the NUL";
    }
    EXPECT_EQ(dir.ReadFile("unknown.fil"), PictureBytes(300, 'n'));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "unknown_3.fil"));

    // Every name a picture may take is taken: it is dropped, its temporary
    // file goes, the log says why, and the next picture is saved.
    std::ofstream(dir.Path() + "b.jpg") << "mine";
    for (int k = 1; k <= CBallThread::kMaxNameSuffix; ++k)
        std::ofstream(dir.Path() + "b_" + std::to_string(k) + ".jpg") << "mine";
    const int before = state.DownloadedCount();
    Serve("/b.jpg", PictureBytes(300, 'b'));
    DownloadOne(w, "/b.jpg", "b.jpg");
    EXPECT_EQ(state.DownloadedCount(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "b.down"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "b_1001.jpg"));
    ASSERT_EQ(ui.LogLines().size(), 1u);
    EXPECT_NE(ui.LogLines()[0].find(server.Url("/b.jpg")), std::string::npos) << ui.LogLines()[0];
    EXPECT_EQ(DownloadOne(w, "/n.jpg", "next.jpg"), "YES");
    EXPECT_EQ(dir.ReadFile("next.jpg"), PictureBytes(300, 'n'));
}

TEST_F(Worker, AdvancedWebSizeLimits) {
    state.mode = "advancedweb";
    state.imageMinKb = 10;
    state.imageMaxKb = 500;
    CBallThread w(state, ui, "new");
    Serve("/small.gif", PictureBytes(9 * 1024));
    Serve("/huge.gif", PictureBytes(600 * 1024));
    Serve("/fine.gif", PictureBytes(100 * 1024));
    EXPECT_EQ(DownloadOne(w, "/small.gif", "small.gif"), "");
    EXPECT_EQ(DownloadOne(w, "/huge.gif", "huge.gif"), "");
    EXPECT_GT(w.LastTransferBytes(), 500 * 1024);
    EXPECT_LT(w.LastTransferBytes(), 600 * 1024) << "the transfer stops once past the maximum";
    EXPECT_EQ(DownloadOne(w, "/fine.gif", "fine.gif"), "YES");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"fine.gif", "project.inf"}));

    // Other kinds of search have no size limits.
    state.mode = "web";
    EXPECT_EQ(DownloadOne(w, "/small.gif", "small.gif"), "YES");
}

TEST_F(Worker, ContinueSkipsPicturesAlreadyDownloadedWithoutFetching) {
    state.AddDownloaded(DownloadedPicture{"old.gif", server.Url("/old.gif"), "1KB"});
    Serve("/old.gif", PictureBytes(500));
    CBallThread cont(state, ui, "continue");
    EXPECT_EQ(DownloadOne(cont, "/old.gif", "old.gif"), "");
    EXPECT_EQ(server.Count("/old.gif"), 0);
    EXPECT_EQ(state.queue.Taken(), 1);
    CBallThread fresh(state, ui, "new");
    EXPECT_EQ(DownloadOne(fresh, "/old.gif", "old.gif"), "YES");
}

TEST_F(Worker, ContinueTakesBackAPictureAKilledRunSavedButNeverRecorded) {
    // A run killed between the rename and the record left these: the same
    // bytes the site serves, and a file of the user's under a taken name.
    {
        std::ofstream(dir.Path() + "orphan.gif", std::ios::binary) << PictureBytes(800, 'o');
        std::ofstream(dir.Path() + "other.gif", std::ios::binary) << "the user's own";
    }
    Serve("/orphan.gif", PictureBytes(800, 'o'));
    Serve("/other.gif", PictureBytes(900, 't'));
    CBallThread cont(state, ui, "continue");
    EXPECT_EQ(DownloadOne(cont, "/orphan.gif", "orphan.gif"), "YES");
    EXPECT_EQ(DownloadOne(cont, "/other.gif", "other.gif"), "YES");
    EXPECT_EQ(FilesIn(dir.Path()),
              (std::vector<std::string>{"orphan.gif", "other.gif", "other_1.gif", "project.inf"}));
    EXPECT_EQ(dir.ReadFile("other.gif"), "the user's own");
    EXPECT_EQ(ItemLines(),
              (std::vector<std::string>{"OK orphan.gif 800bytes " + server.Url("/orphan.gif"),
                                        "OK other_1.gif 900bytes " + server.Url("/other.gif")}));
}

TEST_F(Worker, TransferErrorsAndKillLeaveNoTemporaryFile) {
    Route stall;
    stall.body = PictureBytes(50000);
    stall.stallAfter = 10000;
    server.Set("/stall.gif", stall);
    state.queue.MakeRoom();
    state.queue.Append("stall.gif", server.Url("/stall.gif"));
    auto w = std::make_unique<CBallThread>(state, ui, "new");
    w->Start();
    while (!std::filesystem::exists(dir.Path() + "stall.down"))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    while (w->LastTransferBytes() == 0 && server.Count("/stall.gif") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto t0 = std::chrono::steady_clock::now();
    w->Kill(0, true);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    EXPECT_FALSE(w->IsAlive());
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"project.inf"});

    // A server that goes away mid-transfer: the error text comes back.
    CBallThread::SetReadTimeoutMs(300);
    CBallThread w2(state, ui, "new");
    std::string result = DownloadOne(w2, "/stall.gif", "stall.gif");
    CBallThread::SetReadTimeoutMs(CPageFetcher::kDefaultReadTimeoutMs);
    EXPECT_FALSE(result.empty());
    EXPECT_NE(result, "YES");
    EXPECT_LE(result.size(), 254u);
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"project.inf"});
}

class Search : public CrawlFixture {};

TEST_F(Search, ASmallSiteEndToEnd) {
    const std::string index =
        "<title>Gallery</title><img src=pics/a.gif><a href=p2.html>next</a><a href=big/b.jpg>b</a>"
        "<img src=pics/a.gif><img src=missing.gif><img src=tiny.gif>";
    const std::string p2 =
        "<img src=pics/c.jpeg><img src=other/a.gif><body background=pics/A.GIF#x>";
    server.Page("/index.html", index);
    server.Page("/p2.html", p2);
    Serve("/pics/a.gif", PictureBytes(2048, 'a'));
    Serve("/big/b.jpg", PictureBytes(1500, 'b'));
    Serve("/pics/c.jpeg", PictureBytes(4096, 'c'));
    Serve("/other/a.gif", PictureBytes(700, 'o'));
    Serve("/tiny.gif", PictureBytes(50));
    state.SetElapsedText("00:00:07");
    Run("web", server.Url("/index.html"), 1);
    EXPECT_EQ(ui.DownloadsEndedCount(), 1);
    EXPECT_EQ(server.Count("/pics/a.gif"), 1) << "one picture key, one download";
    EXPECT_EQ(FilesIn(dir.Path()),
              (std::vector<std::string>{"HalvCon1.htm", "a.gif", "a__1.gif", "b.jpg", "c.jpeg",
                                        "index.html", "p2.html", "project.inf"}));
    EXPECT_EQ(dir.ReadFile("a__1.gif"), PictureBytes(700, 'o'));
    std::vector<std::string> expected = {
        "OK index.html " + std::to_string(index.size()) + "bytes " + server.Url("/index.html"),
        "OK a.gif 2KB " + server.Url("/pics/a.gif"),
        "OK b.jpg 1KB " + server.Url("/big/b.jpg"),
        "OK p2.html " + std::to_string(p2.size()) + "bytes " + server.Url("/p2.html"),
        "OK c.jpeg 4KB " + server.Url("/pics/c.jpeg"),
        "OK a__1.gif 700bytes " + server.Url("/other/a.gif"),
    };
    auto items = ItemLines();
    // Downloads run beside the crawl: compare as sets, then the order of pages.
    std::multiset<std::string> got(items.begin(), items.end()),
        want(expected.begin(), expected.end());
    EXPECT_EQ(got, want);
    EXPECT_EQ(ProjectLines()[0], "4**00:00:07            ");
    EXPECT_EQ(state.DownloadedCount(), 4);
    EXPECT_EQ(ui.Saved().size(), 4u);
    EXPECT_EQ(ui.History().size(), 1u);
}

TEST_F(Search, DownloadsEndOnceEvenWithoutPictures) {
    server.Page("/index.html", "<a href=a.html>");
    server.Page("/a.html", "none");
    Run("web", server.Url("/index.html"), 1);
    EXPECT_TRUE(ui.WaitDownloadsEnded(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ui.DownloadsEndedCount(), 1);
}

// The crawl queues its last picture and ends between a worker's two reads of
// the end: the worker must not take the downloads for ended.
CSearchState* gEndingState = nullptr;
std::atomic<bool> gEndingDone{false};
void QueueLastPictureAndEnd() {
    if (!gEndingState || gEndingDone.exchange(true)) return;
    gEndingState->queue.MakeRoom();
    gEndingState->queue.Append("last.gif", gEndingState->header.urlLine.substr(4) + "last.gif");
    gEndingState->idleFlag = true;
}

TEST_F(Worker, TheEndOfTheDownloadsWaitsForAPictureQueuedAsTheCrawlEnds) {
    Serve("/last.gif", PictureBytes(400, 'l'));
    gEndingState = &state;
    gEndingDone = false;
    CBallThread::SetBetweenEndReadsHook(&QueueLastPictureAndEnd);
    CBallThread w(state, ui, "new");
    w.Start();
    ASSERT_TRUE(ui.WaitDownloadsEnded(20000));
    w.Kill(0, true);
    CBallThread::SetBetweenEndReadsHook(nullptr);
    gEndingState = nullptr;
    EXPECT_TRUE(gEndingDone.load());
    EXPECT_EQ(state.DownloadedCount(), 1) << "the last picture was saved before the end was told";
    EXPECT_EQ(dir.ReadFile("last.gif"), PictureBytes(400, 'l'));
}

TEST_F(Search, TheCrawlWaitsWhileTooManyPicturesAreWaiting) {
    std::string page1;
    const int pictures = CPelquinarDoc::kQueueAhead + 25;
    for (int i = 0; i < pictures; ++i) {
        page1 += "<img src=p" + std::to_string(i) + ".gif>";
        Route r;
        r.body = PictureBytes(200);
        r.delayMs = 15;
        server.Set("/p" + std::to_string(i) + ".gif", r);
    }
    server.Page("/index.html", page1 + "<a href=next.html>");
    std::atomic<int> pendingAtNext{-1};
    Route next;
    next.body = "end";
    next.onRequest = [&] { pendingAtNext = state.queue.Pending(); };
    server.Set("/next.html", next);
    Run("web", server.Url("/index.html"), 1);
    EXPECT_GE(pendingAtNext.load(), 0);
    EXPECT_LE(pendingAtNext.load(), CPelquinarDoc::kQueueAhead);
    EXPECT_EQ(state.DownloadedCount(), pictures);
}

TEST_F(Search, KeywordSearchQueuesThumbnailsAndBigPictures) {
    const std::string host = server.HostPort();
    state.SetSearchHost(host);
    state.filter.thumbnails = true;
    state.filter.big = true;
    const std::string results = "/images?q=cats";
    server.Page(results, "<img src=\"/images?q=tbn:T1:" + host +
                             "/full/cat.jpg\"><img src=/logo.gif>"
                             "<a href=\"/images?q=cats&start=20\">2</a><a href=/about.html>");
    server.Page("/images?q=cats&start=20",
                "<img src=\"/images?q=tbn:T2:" + host + "/full/dog.gif\">");
    Serve("/images?q=tbn:T1:" + host + "/full/cat.jpg", PictureBytes(300, 't'));
    Serve("/full/cat.jpg", PictureBytes(3000, 'c'));
    Serve("/images?q=tbn:T2:" + host + "/full/dog.gif", PictureBytes(300, 'u'));
    Serve("/full/dog.gif", PictureBytes(3000, 'd'));
    Run("advancedkey", server.Url(results), 1);
    EXPECT_EQ(server.Count("/about.html"), 0);
    EXPECT_EQ(server.Count("/logo.gif"), 0);
    EXPECT_EQ(dir.ReadFile("cat.jpg"), PictureBytes(300, 't'));
    EXPECT_EQ(dir.ReadFile("catbig.jpg"), PictureBytes(3000, 'c'));
    EXPECT_EQ(dir.ReadFile("dogbig.gif"), PictureBytes(3000, 'd'));
    EXPECT_EQ(state.DownloadedCount(), 4);
}

TEST_F(Search, AdvancedKeywordSearchWithNeitherFlagQueuesNothing) {
    const std::string host = server.HostPort();
    state.SetSearchHost(host);
    state.filter.thumbnails = false;
    state.filter.big = false;
    server.Page("/images?q=x", "<img src=\"/images?q=tbn:T1:" + host + "/full/cat.jpg\">");
    Run("advancedkey", server.Url("/images?q=x"), 0);
    EXPECT_EQ(state.queue.Queued(), 0);
    EXPECT_EQ(ui.Pane(1), "Image Found:0");
}

}  // namespace
}  // namespace pq
