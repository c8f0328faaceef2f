// Transfers at once: the same project as one at a time, politeness per host,
// and servers that ask us to come back later. Against servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "engine/CBallThread.h"
#include "engine/CHostGate.h"
#include "engine/CPelquinarDoc.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/RawHttpServer.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::PictureBytes;
using test::Route;

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        files[e.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

// One whole search into folder with the given number of transfers at once;
// the most requests that were in flight to the server at one time.
int SearchInto(const std::string& folder, const std::string& start, int transfers) {
    test::RecordingUi ui;
    CSearchState state;
    state.mode = "advancedweb";
    state.imageMinKb = 2;
    state.imageMaxKb = 40;
    state.maxLevels = 2;
    state.transfersAtOnce = transfers;
    state.header.urlLine = "URL=" + start;
    state.idleFlag = false;
    CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(folder);
    doc.StartSearch(start, "");
    doc.WaitForCrawl();
    EXPECT_TRUE(doc.WaitForDownloads(60000));
    doc.StopDownloads();
    return state.gate.PeakPerHost();
}

TEST(Transfers, AtOnceTheProjectFolderIsTheSameAsOneAtATime) {
    test::TestHttpServer server;
    // Colliding names (three "x.gif" from three folders, and a "keep.gif"
    // the user already had), a redirect, a 404 and pictures outside the
    // size limits; the earliest pictures answer slowest, so transfers end in
    // another order than they were queued.
    std::string index = "<title>Mixed</title><a href=two.html>two</a>";
    for (int i = 0; i < 3; ++i) index += "<img src=d" + std::to_string(i) + "/x.gif>";
    index += "<img src=keep.gif><img src=moved.gif><img src=gone.gif>";
    index += "<img src=small.gif><img src=large.gif>";
    std::string two = "<title>Two</title>";
    for (int i = 0; i < 12; ++i) two += "<img src=many/p" + std::to_string(i) + ".gif>";
    two += "<img src=d0/x.gif><img src=d9/x.gif>";
    server.Page("/index.html", index);
    server.Page("/two.html", two);
    auto picture = [&](const std::string& target, size_t size, char fill, int delay) {
        Route r;
        r.contentType = "image/gif";
        r.body = PictureBytes(size, fill);
        r.delayMs = delay;
        server.Set(target, r);
    };
    for (int i = 0; i < 3; ++i)
        picture("/d" + std::to_string(i) + "/x.gif", 3000, char('a' + i), 80 - 20 * i);
    picture("/d9/x.gif", 3000, 'z', 0);
    picture("/keep.gif", 4000, 'k', 30);
    picture("/new.gif", 5000, 'n', 0);
    Route moved;
    moved.status = 302;
    moved.location = "/new.gif";
    server.Set("/moved.gif", moved);
    picture("/small.gif", 1000, 's', 0);
    picture("/large.gif", 50 * 1024, 'l', 0);
    for (int i = 0; i < 12; ++i)
        picture("/many/p" + std::to_string(i) + ".gif", 2500 + 100 * i, char('A' + i),
                (12 - i) * 5);

    test::TempDir dir;
    const std::string one = dir.Path() + "one/", many = dir.Path() + "many/";
    for (const auto& f : {one, many}) {
        fs::create_directories(f);
        std::ofstream(f + "keep.gif") << "the user's own";
    }
    SearchInto(one, server.Url("/index.html"), 1);
    EXPECT_GT(SearchInto(many, server.Url("/index.html"), 6), 2)
        << "the transfers did run at the same time";

    const auto a = FolderContents(one), b = FolderContents(many);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) {
        ASSERT_TRUE(b.count(name)) << name << " is missing";
        EXPECT_EQ(b.at(name), bytes) << name;
    }
    // What the site made of it, so that equal does not mean equally empty.
    EXPECT_EQ(a.at("keep.gif"), "the user's own");
    EXPECT_EQ(a.at("keep_1.gif"), PictureBytes(4000, 'k'));
    EXPECT_EQ(a.at("x.gif"), PictureBytes(3000, 'a'));
    EXPECT_EQ(a.at("x__1.gif"), PictureBytes(3000, 'b'));
    EXPECT_TRUE(a.count("new.gif") || a.count("moved.gif"));
    EXPECT_FALSE(a.count("gone.gif"));
    EXPECT_FALSE(a.count("small.gif"));
    EXPECT_FALSE(a.count("large.gif"));
    EXPECT_EQ(store::ReadProjectForBrowsing(many).pictures.size(), 18u);
}

TEST(Transfers, AtMostTheSetNumberOfRequestsGoToOneHost) {
    test::TestHttpServer server;
    std::string page = "<title>Busy</title>";
    for (int i = 0; i < 24; ++i) {
        page += "<img src=p" + std::to_string(i) + ".gif>";
        Route r;
        r.contentType = "image/gif";
        r.body = PictureBytes(1500, char('a' + i));
        r.delayMs = 25;
        server.Set("/p" + std::to_string(i) + ".gif", r);
    }
    server.Page("/index.html", page);
    test::RecordingUi ui;
    CSearchState state;
    state.hostConnections = 2;
    state.idleFlag = false;
    test::TempDir dir;
    CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(dir.Path());
    doc.StartSearch(server.Url("/index.html"), "");
    doc.WaitForCrawl();
    ASSERT_TRUE(doc.WaitForDownloads(60000));
    EXPECT_EQ(state.DownloadedCount(), 24);
    EXPECT_EQ(state.gate.PeakPerHost(), 2);
}

TEST(Transfers, ARedirectToAnotherHostWaitsForThatHostsTurn) {
    // Three sites whose pictures all live on one picture host: the limit of
    // that host holds for what reaches it through redirects.
    test::TestHttpServer pictures;
    std::atomic<int> inFlight{0}, peak{0};
    for (int i = 0; i < 12; ++i) {
        Route r;
        r.contentType = "image/gif";
        r.body = PictureBytes(1500, char('a' + i));
        r.onRequest = [&] {
            const int now = ++inFlight;
            for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            --inFlight;
        };
        pictures.Set("/p" + std::to_string(i) + ".gif", r);
    }
    test::TestHttpServer sites[3];
    std::string index = "<title>Sites</title>";
    for (int i = 0; i < 12; ++i) {
        const std::string target = "/p" + std::to_string(i) + ".gif";
        sites[i % 3].Redirect(target, pictures.Url(target));
        index += "<img src=" + sites[i % 3].Url(target) + ">";
    }
    sites[0].Page("/index.html", index);
    test::RecordingUi ui;
    CSearchState state;
    state.hostConnections = 1;
    state.idleFlag = false;
    test::TempDir dir;
    CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(dir.Path());
    doc.StartSearch(sites[0].Url("/index.html"), "");
    doc.WaitForCrawl();
    ASSERT_TRUE(doc.WaitForDownloads(60000));
    EXPECT_EQ(state.DownloadedCount(), 12);
    EXPECT_EQ(peak.load(), 1) << "one request at a time reaches the picture host";
    EXPECT_EQ(dir.ReadFile("p5.gif"), PictureBytes(1500, 'f'));
}

// A server that answers the first request for each target with 429 and
// Retry-After: 1, and the second with what was asked for.
class BusyServer {
public:
    explicit BusyServer(std::string body)
        : server_([this, body](const std::string& target) {
              std::lock_guard<std::mutex> lock(m_);
              const auto now = std::chrono::steady_clock::now();
              times_[target].push_back(now);
              if (times_[target].size() == 1)
                  return test::RawHttpServer::Answer{
                      "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\n"
                      "Content-Length: 4\r\nConnection: close\r\n\r\nbusy"};
              return test::RawHttpServer::Answer{
                  "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body};
          }) {}
    std::string Url(const std::string& target) const { return server_.Url(target); }
    std::vector<std::chrono::steady_clock::time_point> Times(const std::string& target) {
        std::lock_guard<std::mutex> lock(m_);
        return times_[target];
    }

private:
    std::mutex m_;
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> times_;
    test::RawHttpServer server_;
};

class RetryAfter : public test::CrawlFixture {};

TEST_F(RetryAfter, APictureIsAskedForOnceMoreAfterTheWait) {
    BusyServer busy(PictureBytes(3000, 'r'));
    Prepare("web", busy.Url("/"), 0);
    state.SetProjectFolder(dir.Path());
    store::CreateProjectFile(dir.Path(), state.header);
    CBallThread w(state, ui, "new");
    state.queue.MakeRoom();
    state.queue.Append("r.gif", busy.Url("/r.gif"));
    EXPECT_EQ(w.Download(busy.Url("/r.gif"), dir.Path(), "r.gif"), "YES");
    const auto times = busy.Times("/r.gif");
    ASSERT_EQ(times.size(), 2u) << "one wait, one retry";
    EXPECT_GE(times[1] - times[0], std::chrono::milliseconds(950));
    EXPECT_EQ(dir.ReadFile("r.gif"), PictureBytes(3000, 'r'));
}

TEST_F(RetryAfter, APageIsAskedForOnceMoreAfterTheWait) {
    BusyServer busy("<title>Later</title>");
    CPageFetcher fetcher;
    ASSERT_EQ(fetcher.OpenSession(false, ""), CPageFetcher::kSuccess);
    std::vector<char> buffer(CPageFetcher::kPageBufferSize);
    int size = 0;
    std::string address = busy.Url("/later.html");
    EXPECT_EQ(fetcher.Fetch(address, buffer.data(), size, true), CPageFetcher::kSuccess);
    const auto times = busy.Times("/later.html");
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], std::chrono::milliseconds(950));
    EXPECT_EQ(std::string(buffer.data(), size_t(size)), "<title>Later</title>");
}

TEST(RetryAfterText, SecondsAndDatesAreBoundedAndNonsenseIsNone) {
    EXPECT_EQ(RetryAfterSeconds(" 1 "), 1);
    EXPECT_EQ(RetryAfterSeconds("0"), 0);
    EXPECT_EQ(RetryAfterSeconds("3600"), CHostGate::kMaxRetryAfterSeconds);
    EXPECT_EQ(RetryAfterSeconds("99999999999999"), CHostGate::kMaxRetryAfterSeconds);
    EXPECT_EQ(RetryAfterSeconds("Wed, 21 Oct 2015 07:28:00 GMT"), 0) << "a date gone by";
    EXPECT_EQ(RetryAfterSeconds(""), -1);
    EXPECT_EQ(RetryAfterSeconds("soon"), -1);
    EXPECT_EQ(RetryAfterSeconds("-5"), -1);
}

TEST(HostGateTest, AWaitForOneHostDoesNotHoldUpAnother) {
    CHostGate gate;
    gate.SetLimits(0, 1);
    std::atomic<bool> stop{false};
    gate.HoldOff("slow:80", CHostGate::Clock::now() + std::chrono::seconds(30));
    ASSERT_TRUE(gate.Enter("fast:80", stop));
    EXPECT_EQ(gate.Active("fast:80"), 1);
    gate.Leave("fast:80");
    // A waiter for the held-off host gives up when told to stop.
    std::thread waiter([&] { EXPECT_FALSE(gate.Enter("slow:80", stop)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    gate.WakeAll();
    waiter.join();
    EXPECT_EQ(gate.Active(), 0);
}

}  // namespace
}  // namespace pq
