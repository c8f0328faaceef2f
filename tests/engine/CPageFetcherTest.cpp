#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "engine/CPageFetcher.h"
#include "tests/support/RawHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

using test::Route;
using test::TestHttpServer;

class FetcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        buffer.assign(CPageFetcher::kPageBufferSize + 16, 'Z');
        ASSERT_EQ(fetcher.OpenSession(false, ""), CPageFetcher::kSuccess);
    }

    int Fetch(std::string& address, bool follow = true) {
        return fetcher.Fetch(address, buffer.data(), size, follow);
    }

    TestHttpServer server;
    CPageFetcher fetcher;
    std::vector<char> buffer;
    int size = -1;
};

TEST_F(FetcherTest, FetchesPageIntoBufferWithClosingZero) {
    server.Page("/a.html", "<html>hello</html>");
    std::string address = server.Url("/a.html");
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    EXPECT_EQ(size, 18);
    EXPECT_EQ(std::string(buffer.data(), size), "<html>hello</html>");
    EXPECT_EQ(buffer[size], '\0');
    EXPECT_EQ(fetcher.LastStatus(), 200);
    EXPECT_EQ(address, server.Url("/a.html"));
}

TEST_F(FetcherTest, SendsAGetWithAgentAndAcceptAndNoFragmentOverOneKeptConnection) {
    server.Page("/p.html", "x");
    server.Page("/q.html", "y");
    std::string address = server.Url("/p.html#part2");
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    std::string second = server.Url("/q.html");
    ASSERT_EQ(Fetch(second), CPageFetcher::kSuccess);
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/p.html");
    EXPECT_EQ(seen[0].version, "HTTP/1.1");
    EXPECT_EQ(seen[0].userAgent, "Halvendrake");
    EXPECT_EQ(seen[0].accept, "*/*");
    EXPECT_EQ(seen[1].remotePort, seen[0].remotePort) << "the second page reuses the connection";
}

TEST_F(FetcherTest, AServerThatClosesAfterEachAnswerStillServesEveryPage) {
    test::RawHttpServer closing([](const std::string& target) {
        const std::string body = "<title>" + target + "</title>";
        return test::RawHttpServer::Answer{
            "HTTP/1.1 200 OK\r\nConnection: close\r\n"
            "Content-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body};
    });
    for (const char* target : {"/a.html", "/b.html", "/c.html"}) {
        std::string address = closing.Url(target);
        ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess) << target;
        EXPECT_NE(std::string(buffer.data()).find(target), std::string::npos);
    }
}

TEST_F(FetcherTest, AddressWithoutSchemeGetsHttpPrefixAndCallerSeesIt) {
    server.Page("/a.html", "ok");
    std::string address = server.HostPort() + "/a.html";
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    EXPECT_EQ(address, "http://" + server.HostPort() + "/a.html");
    EXPECT_EQ(server.Count("/a.html"), 1);
}

TEST_F(FetcherTest, PrefixRuleCases) {
    server.Page("/a.html", "ok");
    struct Case {
        std::string address;
        int result;
        std::string after;  // the caller's address afterwards
    };
    const std::string hp = server.HostPort();
    const std::vector<Case> cases = {
        // Upper-case scheme: the lower-case copy names "http://", so no prefix.
        {"HTTP://" + hp + "/a.html", CPageFetcher::kSuccess, "HTTP://" + hp + "/a.html"},
        // "http://" only in the query: no prefix, and no scheme to fetch with.
        {hp + "/a.html?from=http://elsewhere/", CPageFetcher::kFailed,
         hp + "/a.html?from=http://elsewhere/"},
        // "https://" anywhere counts too.
        {hp + "/a.html?to=https://x/", CPageFetcher::kFailed, hp + "/a.html?to=https://x/"},
        // Schemes other than http and https are refused without a request.
        {"ftp://" + hp + "/a.html", CPageFetcher::kFailed, "ftp://" + hp + "/a.html"},
        {"file:///etc/passwd", CPageFetcher::kFailed, "file:///etc/passwd"},
        {"", CPageFetcher::kFailed, "http://"},
    };
    for (const auto& c : cases) {
        std::string address = c.address;
        EXPECT_EQ(Fetch(address), c.result) << c.address;
        EXPECT_EQ(address, c.after) << c.address;
    }
    EXPECT_EQ(server.TotalCount(), 1);
}

TEST_F(FetcherTest, OtherSchemesThatSayHttpElsewhereAreRefusedWithoutReading) {
    // Named "http://" in the query, so not prefixed; the scheme itself is ftp.
    std::string address = "ftp://127.0.0.1:1/x?u=http://a/";
    EXPECT_EQ(Fetch(address), CPageFetcher::kFailed);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buffer[0], 'Z');
}

TEST_F(FetcherTest, NotFoundTimeoutAndGatewayAreTriedThreeTimesAndGiveSeven) {
    for (int status : {404, 408, 504}) {
        std::string target = "/s" + std::to_string(status) + ".html";
        Route r;
        r.status = status;
        r.body = "<html>error page</html>";
        server.Set(target, r);
        std::string address = server.Url(target);
        EXPECT_EQ(Fetch(address), CPageFetcher::kNotFound) << status;
        EXPECT_EQ(server.Count(target), 3) << status;
        EXPECT_EQ(size, 0);
        EXPECT_EQ(buffer[0], 'Z') << "a failed fetch leaves the first byte alone";
        EXPECT_EQ(fetcher.LastStatus(), status);
    }
}

TEST_F(FetcherTest, UnhandledStatusFailsAtOnceWithTwo) {
    Route r;
    r.status = 500;
    r.body = "oops";
    server.Set("/e.html", r);
    std::string address = server.Url("/e.html");
    EXPECT_EQ(Fetch(address), CPageFetcher::kFailed);
    EXPECT_EQ(server.Count("/e.html"), 1);
    EXPECT_EQ(fetcher.StatusText(), "WinInet error 500");
}

TEST_F(FetcherTest, RedirectChainStopsAfterThreeRequestsWithFour) {
    server.Redirect("/r1", server.Url("/r2"), 301);
    server.Redirect("/r2", server.Url("/r3"), 302);
    server.Redirect("/r3", server.Url("/r4"), 303);
    server.Page("/r4", "end");
    std::string address = server.Url("/r1");
    EXPECT_EQ(Fetch(address), CPageFetcher::kRedirected);
    EXPECT_EQ(address, server.Url("/r4"));
    EXPECT_EQ(server.Count("/r1") + server.Count("/r2") + server.Count("/r3"), 3);
    EXPECT_EQ(server.Count("/r4"), 0);
    EXPECT_EQ(fetcher.StatusText(), "Redirected, but not found");
}

TEST_F(FetcherTest, TwoRedirectsAreFollowed) {
    server.Redirect("/r1", server.Url("/r2"));
    server.Redirect("/r2", server.Url("/final.html"));
    server.Page("/final.html", "final");
    std::string address = server.Url("/r1");
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    EXPECT_EQ(address, server.Url("/final.html"));
    EXPECT_EQ(std::string(buffer.data(), size), "final");
}

TEST_F(FetcherTest, RelativeRedirectIsTakenFromTheHostRootKeepingThePort) {
    server.Redirect("/dir/page.html", "next.html");
    server.Redirect("/dir/abs.html", "/other/x.html");
    server.Page("/next.html", "root next");
    server.Page("/other/x.html", "other");

    std::string address = server.Url("/dir/page.html");
    EXPECT_EQ(Fetch(address, false), CPageFetcher::kRedirected);
    EXPECT_EQ(address, server.HostPort() + "/next.html");

    address = server.Url("/dir/abs.html");
    EXPECT_EQ(Fetch(address, false), CPageFetcher::kRedirected);
    EXPECT_EQ(address, server.HostPort() + "/other/x.html");

    address = server.Url("/dir/page.html");
    ASSERT_EQ(Fetch(address, true), CPageFetcher::kSuccess);
    EXPECT_EQ(address, server.Url("/next.html"));
    EXPECT_EQ(std::string(buffer.data(), size), "root next");
    EXPECT_EQ(server.Count("/dir/next.html"), 0);
}

TEST_F(FetcherTest, RedirectToAnotherSchemeIsNotFetched) {
    server.Redirect("/away", "ftp://" + server.HostPort() + "/file.jpg");
    std::string address = server.Url("/away");
    EXPECT_EQ(Fetch(address), CPageFetcher::kFailed);
    EXPECT_EQ(server.TotalCount(), 1);
}

TEST_F(FetcherTest, LongBodyIsCutAtLimitWithAndWithoutContentLength) {
    std::string body(800000, 'a');
    for (size_t i = 0; i < body.size(); ++i) body[i] = char('a' + i % 26);
    Route with;
    with.body = body;
    server.Set("/big.html", with);
    Route without = with;
    without.contentLength = false;
    server.Set("/big-nolen.html", without);
    for (const char* target : {"/big.html", "/big-nolen.html"}) {
        std::string address = server.Url(target);
        ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess) << target;
        ASSERT_EQ(size, CPageFetcher::kMaxPageBytes) << target;
        EXPECT_EQ(std::memcmp(buffer.data(), body.data(), size_t(size)), 0) << target;
        EXPECT_EQ(buffer[size], '\0') << target;
        EXPECT_EQ(buffer[size + 1], 'Z') << "nothing is written past the zero byte";
    }
}

TEST_F(FetcherTest, BodyWithoutContentLengthIsReadToTheEnd) {
    Route r;
    r.body = std::string(25000, 'q');
    r.contentLength = false;
    server.Set("/n.html", r);
    std::string address = server.Url("/n.html");
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    EXPECT_EQ(size, 25000);
}

TEST_F(FetcherTest, EmptyBodyIsASuccessOfSizeZero) {
    server.Page("/empty.html", "");
    std::string address = server.Url("/empty.html");
    ASSERT_EQ(Fetch(address), CPageFetcher::kSuccess);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(FetcherTest, RefusedConnectionFailsWithTwo) {
    TestHttpServer closed;
    std::string address = closed.Url("/x.html");
    closed.Stop();
    EXPECT_EQ(Fetch(address), CPageFetcher::kFailed);
}

TEST_F(FetcherTest, WithoutSessionEveryFetchFails) {
    CPageFetcher unopened;
    server.Page("/a.html", "ok");
    std::string address = server.Url("/a.html");
    EXPECT_EQ(unopened.Fetch(address, buffer.data(), size, true), CPageFetcher::kFailed);
    EXPECT_EQ(server.TotalCount(), 0);
}

TEST_F(FetcherTest, SilentServerTimesOutWithFive) {
    fetcher.SetReadTimeoutMs(300);
    Route stall;
    stall.body = std::string(5000, 's');
    stall.stallAfter = 1000;
    server.Set("/stall.html", stall);
    Route late;
    late.body = "late";
    late.delayMs = 3000;
    server.Set("/late.html", late);
    for (const char* target : {"/stall.html", "/late.html"}) {
        std::string address = server.Url(target);
        EXPECT_EQ(Fetch(address), CPageFetcher::kLibraryError) << target;
        EXPECT_EQ(size, 0);
        EXPECT_EQ(buffer[0], 'Z') << target;
        EXPECT_LE(server.Count(target), 1) << "a 5 is not tried again";
    }
}

TEST_F(FetcherTest, CancelAbortsAStalledReadAtOnceWithOne) {
    Route stall;
    stall.body = std::string(5000, 's');
    stall.stallAfter = 1000;
    server.Set("/stall.html", stall);
    std::thread stopper([this] {
        // Once the server has answered part of the body and stalled.
        for (int i = 0; i < 2000 && server.Count("/stall.html") == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fetcher.SetCancel(true);
    });
    std::string address = server.Url("/stall.html");
    auto start = std::chrono::steady_clock::now();
    int rc = Fetch(address);
    auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_EQ(rc, CPageFetcher::kCancelled);
    EXPECT_EQ(size, 0);
    // Far below the 30-second read time-out: the cancel did end the wait.
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(server.Count("/stall.html"), 1);
}

TEST_F(FetcherTest, CancelDuringASlowAnswerAndBeforeAFetchGivesOne) {
    Route late;
    late.body = "late";
    late.delayMs = 20000;
    server.Set("/late.html", late);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        fetcher.SetCancel(true);
    });
    std::string address = server.Url("/late.html");
    EXPECT_EQ(Fetch(address), CPageFetcher::kCancelled);
    stopper.join();

    server.Page("/a.html", "ok");
    address = server.Url("/a.html");
    EXPECT_EQ(Fetch(address), CPageFetcher::kCancelled) << "the flag stays set until cleared";
    fetcher.SetCancel(false);
    EXPECT_EQ(Fetch(address), CPageFetcher::kSuccess);
}

TEST_F(FetcherTest, StatusTextFollowsTheLastStatus) {
    struct Case {
        int status;
        const char* text;
    };
    const std::vector<Case> cases = {
        {400, "Page or file not found"},
        {410, "Page or file not found"},
        {401, "Proxy authentication required"},
        {403, "Proxy authentication required"},
        {407, "Proxy authentication required"},
        {408, "Timed out on request"},
        {503, "WinInet error 503"},
    };
    for (const auto& c : cases) {
        std::string target = "/t" + std::to_string(c.status);
        Route r;
        r.status = c.status;
        server.Set(target, r);
        std::string address = server.Url(target);
        Fetch(address);
        EXPECT_EQ(fetcher.StatusText(), c.text) << c.status;
    }
}

TEST_F(FetcherTest, ProxyWhenAskedCarriesTheRequest) {
    // The test server plays the proxy: a proxied HTTP request names the whole
    // address as its target.
    server.Page("http://pictures.invalid/p.html", "via proxy");
    CPageFetcher proxied;
    ASSERT_EQ(proxied.OpenSession(true, server.Url("")), CPageFetcher::kSuccess);
    std::string address = "http://pictures.invalid/p.html";
    ASSERT_EQ(proxied.Fetch(address, buffer.data(), size, true), CPageFetcher::kSuccess);
    EXPECT_EQ(std::string(buffer.data(), size), "via proxy");
}

}  // namespace
}  // namespace pq

namespace pq {
namespace {

// A self-signed certificate for 127.0.0.1, made for the test.
class Https : public ::testing::Test {
protected:
    void SetUp() override {
        cert = dir.Path() + "cert.pem";
        key = dir.Path() + "key.pem";
        std::string cmd =
            "openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + key + "' -out '" + cert +
            "' -days 1 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "openssl could not make a certificate";
        server = std::make_unique<test::TestHttpServer>(cert, key);
        buffer.assign(CPageFetcher::kPageBufferSize, 'Z');
        ASSERT_EQ(fetcher.OpenSession(false, ""), CPageFetcher::kSuccess);
    }
    test::TempDir dir;
    std::string cert, key;
    std::unique_ptr<test::TestHttpServer> server;
    CPageFetcher fetcher;
    std::vector<char> buffer;
    int size = 0;
};

TEST_F(Https, AnUntrustedCertificateIsRefused) {
    server->Page("/s.html", "secret");
    std::string address = server->Url("/s.html");
    EXPECT_EQ(fetcher.Fetch(address, buffer.data(), size, true), CPageFetcher::kFailed);
    EXPECT_EQ(server->Count("/s.html"), 0) << "nothing is sent before the server is trusted";
}

TEST_F(Https, ATrustedServerIsFetchedAndRelativeRedirectsStayOnHttps) {
    fetcher.SetCaBundle(cert);
    server->Redirect("/dir/old.html", "new.html");
    server->Page("/new.html", "over https");
    std::string address = server->Url("/dir/old.html");
    EXPECT_EQ(fetcher.Fetch(address, buffer.data(), size, false), CPageFetcher::kRedirected);
    EXPECT_EQ(address, "https://" + server->HostPort() + "/new.html");
    address = server->Url("/dir/old.html");
    ASSERT_EQ(fetcher.Fetch(address, buffer.data(), size, true), CPageFetcher::kSuccess);
    EXPECT_EQ(std::string(buffer.data(), size_t(size)), "over https");
}

}  // namespace
}  // namespace pq
