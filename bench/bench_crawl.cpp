// Crawl benchmark: serves a generated site on 127.0.0.1 and crawls it with
// pelquinar-cli at depth 2, once with one picture transfer at a time and once
// with six at once, at 0 ms and 20 ms per response (or the one --delay);
// prints both times, their ratio, the rates and the crawler's peak memory.
//   bench_crawl [--pages N] [--pictures M] [--bytes B] [--delay MS] [--cli PATH]
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

#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace {

struct Site {
    pq::test::TestHttpServer server;
    int pages = 0;
};

// A tree two links deep: the start page links to k pages, each of those to
// k more, until the site has the pages asked for.
void Build(Site& site, int pages, int pictures, int bytes, int delay) {
    const int k = std::max(1, int(std::ceil(std::sqrt(double(pages)))));
    std::string picture = "GIF89a";
    picture.resize(size_t(std::max(bytes, 6)), 'x');
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
            pq::test::Route r;
            r.body = picture;
            r.contentType = "image/gif";
            r.delayMs = delay;
            site.server.Set(name, r);
        }
        pq::test::Route r;
        r.body = html + "</body></html>";
        r.delayMs = delay;
        site.server.Set("/p" + std::to_string(p) + ".html", r);
        ++site.pages;
    }
}

struct Result {
    int exit = -1;
    int pages = 0;
    int pictures = 0;
    double seconds = 0;
    double peakMiB = 0;
};

Result Crawl(const std::string& cli, const std::string& url, const std::string& project,
             int transfers) {
    Result res;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", 1);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        const std::string n = std::to_string(transfers);
        execl(cli.c_str(), cli.c_str(), "web", url.c_str(), "--project", project.c_str(), "--depth",
              "2", "--transfers", n.c_str(), (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    res.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    res.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    res.peakMiB = ru.ru_maxrss / 1024.0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(project, ec)) {
        if (e.path().extension() == ".gif") ++res.pictures;
        if (e.path().extension() == ".html") ++res.pages;
    }
    return res;
}

void Print(const char* label, const Result& r) {
    std::printf(
        "  %-22s exit %d, %d pages and %d pictures in %6.2f s = %6.1f pages/s, %7.1f "
        "pictures/s, peak %.1f MiB\n",
        label, r.exit, r.pages, r.pictures, r.seconds, r.pages / r.seconds, r.pictures / r.seconds,
        r.peakMiB);
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 100, pictures = 5, bytes = 20000;
    std::vector<int> delays = {0, 20};
    std::string cli = PQ_CLI_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        if (k == "--pages")
            pages = std::atoi(argv[i + 1]);
        else if (k == "--pictures")
            pictures = std::atoi(argv[i + 1]);
        else if (k == "--bytes")
            bytes = std::atoi(argv[i + 1]);
        else if (k == "--delay")
            delays = {std::atoi(argv[i + 1])};
        else if (k == "--cli")
            cli = argv[i + 1];
    }
    if (pages < 1) pages = 1;

    pq::test::TempDir dir;
    int run = 0;
    for (int delay : delays) {
        Site site;
        Build(site, pages, pictures, bytes, delay);
        std::printf("site: %d pages, %d pictures per page of %d bytes, %d ms per response\n",
                    site.pages, pictures, bytes, delay);
        const std::string url = site.server.Url("/p0.html");
        const Result one = Crawl(cli, url, dir.Path() + "one" + std::to_string(run), 1);
        const Result many = Crawl(cli, url, dir.Path() + "many" + std::to_string(run), 6);
        ++run;
        Print("one transfer at a time:", one);
        Print("six at once:", many);
        std::printf("  time ratio (at once / one at a time): %.3f\n\n", many.seconds / one.seconds);
    }
    return 0;
}
