// Prints the tag scanner's throughput and the page fetcher's rate against the
// local test server. Figures only; nothing here passes or fails.
//   bench_engine [scan-rounds] [fetches]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/CLinkScanner.h"
#include "engine/CPageFetcher.h"
#include "engine/CUrl.h"
#include "tests/support/TestHttpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A page of about 700,000 bytes dense with tags: links, pictures, other tags
// and a little text, the mix of a large gallery page.
std::string MakeDensePage() {
    std::string page = "<html><head><title>Bench gallery</title></head><body background=bg.gif>\n";
    int i = 0;
    while (page.size() < 699000) {
        std::string n = std::to_string(i++);
        page += "<div class=\"item\"><a href=\"page" + n + ".html\"><img src=\"pics/p" + n +
                ".jpg\" alt=\"Picture " + n + "\" width=100 height=80></a>";
        page += "<a href=big/p" + n + ".jpeg>full size</a> <span>caption " + n + "</span>";
        page += "<!-- item " + n + " --><td background=t" + n + ".gif></div>\n";
    }
    page.resize(699999);
    return page;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    int fetches = argc > 2 ? std::atoi(argv[2]) : 500;

    std::string page = MakeDensePage();
    pq::CLinkScanner scanner;
    size_t links = 0, pictures = 0;
    auto start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        scanner.Reset();
        scanner.SetBaseAddress("http://bench.host:8080/gallery/index.html");
        scanner.SetCollectPictures(true);
        scanner.Scan(page.data(), int(page.size()));
        links = scanner.Links().size();
        pictures = scanner.Pictures().size();
    }
    double s = Seconds(start);
    std::printf(
        "scanner: %d x %zu bytes in %.3f s = %.1f MB/s (%zu links, %zu pictures per page)\n",
        rounds, page.size(), s, rounds * page.size() / s / 1e6, links, pictures);

    // A hostile reference: full of runs that look like the resolver's own
    // markers, with a space that makes it use one. Its cost must grow with
    // its length, not with the square of it. (The scanner refuses references
    // this long outright; the resolver is measured on its own.)
    for (size_t runs : {5000u, 20000u, 80000u}) {
        std::string hostile = "a b";
        for (size_t i = 0; i < runs; ++i) hostile += "~pq" + std::to_string(i) + "~";
        hostile += ".jpg";
        pq::CUrl url;
        url.Set("http://bench.host/dir/page.html");
        start = Clock::now();
        bool resolved = url.Resolve(hostile);
        std::printf("hostile reference: %zu marker-like runs, %zu bytes, resolved (%s) in %.4f s\n",
                    runs, hostile.size(), resolved ? "ok" : "refused", Seconds(start));
    }

    pq::test::TestHttpServer server;
    server.Page("/page.html", std::string(20000, 'x'));
    pq::CPageFetcher fetcher;
    fetcher.OpenSession(false, "");
    std::vector<char> buffer(pq::CPageFetcher::kPageBufferSize);
    int ok = 0;
    start = Clock::now();
    for (int i = 0; i < fetches; ++i) {
        std::string address = server.Url("/page.html");
        int size = 0;
        if (fetcher.Fetch(address, buffer.data(), size, true) == pq::CPageFetcher::kSuccess) ++ok;
    }
    s = Seconds(start);
    std::printf(
        "fetcher: %d of %d pages of 20,000 bytes (HTTP/1.1, one kept-open connection) in %.3f s = "
        "%.0f "
        "pages/s\n",
        ok, fetches, s, fetches / s);
    return ok == fetches ? 0 : 1;
}
