// Crawl benchmark: serves a generated site on 127.0.0.1 and crawls it with
// pelquinar-cli at depth 2; prints pages per second, pictures per second and
// the crawler's peak memory.
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

#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

int main(int argc, char** argv) {
    int pages = 100, pictures = 5, bytes = 20000, delay = 0;
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
            delay = std::atoi(argv[i + 1]);
        else if (k == "--cli")
            cli = argv[i + 1];
    }
    if (pages < 1) pages = 1;

    // A tree two links deep: the start page links to k pages, each of those
    // to k more, until the site has the pages asked for.
    int k = std::max(1, int(std::ceil(std::sqrt(double(pages)))));
    pq::test::TestHttpServer server;
    std::string picture = "GIF89a";
    picture.resize(size_t(std::max(bytes, 6)), 'x');
    int made = 0;
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
            server.Set(name, r);
        }
        pq::test::Route r;
        r.body = html + "</body></html>";
        r.delayMs = delay;
        server.Set("/p" + std::to_string(p) + ".html", r);
        ++made;
    }

    pq::test::TempDir dir;
    std::string project = dir.Path() + "bench";
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", 1);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        std::string url = server.Url("/p0.html");
        execl(cli.c_str(), cli.c_str(), "web", url.c_str(), "--project", project.c_str(), "--depth",
              "2", (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    int saved = 0;
    for (const auto& e : std::filesystem::directory_iterator(project))
        if (e.path().extension() == ".gif") ++saved;
    int fetchedPages = 0;
    for (const auto& e : std::filesystem::directory_iterator(project))
        if (e.path().extension() == ".html") ++fetchedPages;
    std::printf("site: %d pages, %d pictures per page of %d bytes, %d ms per response\n", made,
                pictures, bytes, delay);
    std::printf(
        "crawl: exit %d, %d pages and %d pictures in %.2f s = %.1f pages/s, %.1f pictures/s\n",
        WIFEXITED(status) ? WEXITSTATUS(status) : -1, fetchedPages, saved, s, fetchedPages / s,
        saved / s);
    std::printf("peak memory of pelquinar-cli: %.1f MiB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
