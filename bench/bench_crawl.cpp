// Crawl benchmark: serves generated sites on 127.0.0.1 and crawls them with
// pelquinar-cli, the walk one page at a time and with pages fetched ahead, at
// 0 ms and 20 ms per response (or the one --delay). Two sites: a tree (the
// start page links to k pages, each of those to k more) and a site shaped
// like documentation (a start page linking to a few hundred pages, each with
// two to five pictures and links to its neighbours). Prints the times, their
// ratio, the page requests, the pages fetched ahead that were dropped, and
// the crawler's peak memory. Then a search of 3,000 pictures in this process
// with every sync made 15 ms slow, one at a time, against no delay.
//   bench_crawl [--pages N] [--pictures M] [--doc-pages N] [--bytes B] [--delay MS]
//               [--cli PATH] [--connections N]
//   bench_crawl --serve tree|docs [--delay MS]   serves one site until killed (for
//               profiling pelquinar-cli against it from another process)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CPelquinarDoc.h"
#include "engine/CRecordBatch.h"
#include "engine/CSearchState.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Picture(int bytes) {
    std::string picture = "GIF89a";
    picture.resize(size_t(std::max(bytes, 6)), 'x');
    return picture;
}

void Serve(pq::test::TestHttpServer& server, const std::string& target, const std::string& body,
           const char* type, int delay) {
    pq::test::Route r;
    r.body = body;
    r.contentType = type;
    r.delayMs = delay;
    server.Set(target, r);
}

// A tree two links deep: the start page links to k pages, each of those to
// k more, until the site has the pages asked for.
void BuildTree(pq::test::TestHttpServer& server, int pages, int pictures, int bytes, int delay) {
    const int k = std::max(1, int(std::ceil(std::sqrt(double(pages)))));
    const std::string picture = Picture(bytes);
    for (int p = 0; p < pages; ++p) {
        std::string html = "<html><title>Page " + std::to_string(p) + "</title><body>";
        for (int c = 1; c <= k; ++c) {
            int child = p * k + c;
            if (child < pages && (p == 0 || p <= k))
                html += "<a href=p" + std::to_string(child) + ".html>x</a>";
        }
        for (int j = 0; j < pictures; ++j) {
            std::string name = "/img/p" + std::to_string(p) + "_" + std::to_string(j) + ".gif";
            html += "<img src=" + name + ">";
            Serve(server, name, picture, "image/gif", delay);
        }
        Serve(server, "/p" + std::to_string(p) + ".html", html + "</body></html>", "text/html",
              delay);
    }
}

// Documentation: a contents page linking to every page; each page has two
// to five pictures (the shared logo and one to four figures of its own) and
// links to the contents and to its neighbours.
void BuildDocs(pq::test::TestHttpServer& server, int pages, int bytes, int delay) {
    const std::string picture = Picture(bytes);
    std::string contents = "<html><title>Manual</title><body><img src=/img/logo.gif>";
    for (int p = 1; p < pages; ++p)
        contents += "<li><a href=/doc/page" + std::to_string(p) + ".html>Chapter</a>";
    Serve(server, "/doc/index.html", contents + "</body></html>", "text/html", delay);
    Serve(server, "/img/logo.gif", picture, "image/gif", delay);
    for (int p = 1; p < pages; ++p) {
        const std::string n = std::to_string(p);
        std::string html = "<html><title>Chapter " + n + "</title><body><img src=/img/logo.gif>";
        html += "<a href=/doc/index.html>Contents</a>";
        if (p > 1) html += "<a href=/doc/page" + std::to_string(p - 1) + ".html>Previous</a>";
        if (p + 1 < pages) html += "<a href=/doc/page" + std::to_string(p + 1) + ".html>Next</a>";
        for (int j = 0; j < 1 + p % 4; ++j) {
            const std::string name = "/img/fig" + n + "_" + std::to_string(j) + ".gif";
            html += "<p>Figure<img src=" + name + ">";
            Serve(server, name, picture, "image/gif", delay);
        }
        Serve(server, "/doc/page" + n + ".html", html + "</body></html>", "text/html", delay);
    }
}

struct Result {
    int exit = -1;
    int pages = 0;
    int pictures = 0;
    int pageRequests = 0;
    int fetchedAhead = 0;
    int droppedAhead = 0;
    double seconds = 0;
    double peakMiB = 0;
};

Result Crawl(const std::string& cli, pq::test::TestHttpServer& server, const std::string& url,
             const std::string& project, int depth, int pagesAhead, int connections,
             const std::string& config) {
    Result res;
    const size_t before = server.Requests().size();
    const std::string out = project + ".out";
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::setenv("PELQUINAR_CONFIG", config.c_str(), 1);
        const std::string d = std::to_string(depth), a = std::to_string(pagesAhead),
                          c = std::to_string(connections);
        execl(cli.c_str(), cli.c_str(), "web", url.c_str(), "--project", project.c_str(), "--depth",
              d.c_str(), "--pages-ahead", a.c_str(), "--host-connections", c.c_str(),
              (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    res.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    res.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    res.peakMiB = ru.ru_maxrss / 1024.0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(project, ec)) {
        if (e.path().extension() == ".gif") ++res.pictures;
        if (e.path().extension() == ".html") ++res.pages;
    }
    const auto requests = server.Requests();
    for (size_t i = before; i < requests.size(); ++i)
        if (requests[i].target.size() > 5 &&
            requests[i].target.compare(requests[i].target.size() - 5, 5, ".html") == 0)
            ++res.pageRequests;
    if (FILE* f = std::fopen(out.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f))
            std::sscanf(line, "Pages fetched ahead: %d (%*d used, %d dropped)", &res.fetchedAhead,
                        &res.droppedAhead);
        std::fclose(f);
    }
    return res;
}

void Print(const std::string& label, const Result& r) {
    std::printf(
        "  %-26s exit %d, %4d pages (%4d page requests) and %5d pictures in %6.2f s = %6.1f "
        "pages/s, %7.1f pictures/s, peak %.1f MiB",
        label.c_str(), r.exit, r.pages, r.pageRequests, r.pictures, r.seconds, r.pages / r.seconds,
        r.pictures / r.seconds, r.peakMiB);
    if (r.fetchedAhead > 0)
        std::printf(", %d fetched ahead, %d dropped", r.fetchedAhead, r.droppedAhead);
    std::printf("\n");
}

// A search in this process: 60 pages of 50 pictures, at 0 ms.
double SearchWithSlowSyncs(int syncDelayMs, int& saved, int& syncs) {
    pq::test::TestHttpServer server;
    BuildTree(server, 60, 50, 2000, 0);
    pq::test::TempDir dir;
    pq::test::RecordingUi ui;
    pq::CSearchState state;
    state.maxLevels = 2;
    state.header.urlLine = "URL=" + server.Url("/p0.html");
    state.idleFlag = false;
    pq::CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(dir.Path());
    pq::CRecordBatch::SetSyncDelayMs(syncDelayMs);
    const auto t0 = Clock::now();
    doc.StartSearch(server.Url("/p0.html"), "");
    doc.WaitForCrawl();
    doc.WaitForDownloads(600000);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    doc.StopDownloads();
    pq::CRecordBatch::SetSyncDelayMs(0);
    saved = state.DownloadedCount();
    syncs = state.batch.Syncs();
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 100, pictures = 5, docPages = 300, bytes = 20000, connections = 6;
    std::vector<int> delays = {0, 20};
    std::string cli = PQ_CLI_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        if (k == "--pages")
            pages = std::atoi(argv[i + 1]);
        else if (k == "--pictures")
            pictures = std::atoi(argv[i + 1]);
        else if (k == "--doc-pages")
            docPages = std::atoi(argv[i + 1]);
        else if (k == "--bytes")
            bytes = std::atoi(argv[i + 1]);
        else if (k == "--delay")
            delays = {std::atoi(argv[i + 1])};
        else if (k == "--cli")
            cli = argv[i + 1];
        else if (k == "--connections")
            connections = std::atoi(argv[i + 1]);
    }
    pages = std::max(pages, 1);
    docPages = std::max(docPages, 2);

    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--serve") != 0) continue;
        pq::test::TestHttpServer server;
        const bool docs = std::strcmp(argv[i + 1], "docs") == 0;
        if (docs)
            BuildDocs(server, docPages, bytes, delays.size() == 1 ? delays[0] : 0);
        else
            BuildTree(server, pages, pictures, bytes, delays.size() == 1 ? delays[0] : 0);
        std::printf("%s\n", server.Url(docs ? "/doc/index.html" : "/p0.html").c_str());
        std::fflush(stdout);
        for (;;) ::pause();
    }

    pq::test::TempDir dir;
    const std::string config = dir.Path() + "bench.conf";
    int run = 0;
    for (int delay : delays) {
        // The documentation site once more with twice the connections to the
        // host: with six, pages and pictures together fill them.
        for (int site = 0; site < (delay > 0 ? 3 : 2); ++site) {
            pq::test::TestHttpServer server;
            std::string url;
            int depth = 0;
            const int conns = site == 2 ? 2 * connections : connections;
            if (site == 0) {
                BuildTree(server, pages, pictures, bytes, delay);
                url = server.Url("/p0.html");
                depth = 2;
                std::printf(
                    "tree site: %d pages, %d pictures per page of %d bytes, %d ms per "
                    "response, depth %d, %d connections to the host\n",
                    pages, pictures, bytes, delay, depth, conns);
            } else {
                BuildDocs(server, docPages, bytes, delay);
                url = server.Url("/doc/index.html");
                depth = 3;
                std::printf(
                    "documentation site: %d pages, 2 to 5 pictures per page (a shared "
                    "logo and 1 to 4 figures) of %d bytes, %d ms per response, depth %d, "
                    "%d connections to the host\n",
                    docPages, bytes, delay, depth, conns);
            }
            const std::string tag = std::to_string(run++);
            const Result one =
                Crawl(cli, server, url, dir.Path() + "one" + tag, depth, 0, conns, config);
            const Result ahead = Crawl(cli, server, url, dir.Path() + "ahead" + tag, depth,
                                       pq::CSearchState::kDefaultPagesAhead, conns, config);
            Print("one page at a time:", one);
            Print(std::to_string(pq::CSearchState::kDefaultPagesAhead) + " pages fetched ahead:",
                  ahead);
            std::printf("  time ratio (ahead / one at a time): %.3f\n\n",
                        ahead.seconds / one.seconds);
        }
    }

    int saved = 0, syncs = 0, slowSaved = 0, slowSyncs = 0;
    const double plain = SearchWithSlowSyncs(0, saved, syncs);
    const double slow = SearchWithSlowSyncs(15, slowSaved, slowSyncs);
    std::printf(
        "slow disk: %d pictures at 0 ms in %.2f s (%d syncs); with every sync 15 ms, one "
        "at a time: %d pictures in %.2f s (%d syncs), %.2f s longer\n",
        saved, plain, syncs, slowSaved, slow, slowSyncs, slow - plain);
    return 0;
}
