// pelquinar-cli: runs a search without a window and reports its progress on
// standard error.
//
//   pelquinar-cli web ADDRESS --project DIR [--depth N]
//
// Exit codes: 0 the search ran, 1 the start page failed, 2 bad usage,
// 3 the project folder could not be made.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/CCliSearchUi.h"
#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"

namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted = true; }

const char kUsage[] =
    "usage: pelquinar-cli web ADDRESS --project DIR [--depth N]\n"
    "\n"
    "  web ADDRESS        search the site at ADDRESS for pictures\n"
    "  --project DIR      the project folder (made when missing)\n"
    "  --depth N          how many links deep to follow (default 2)\n";

int Usage(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "pelquinar-cli: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseDepth(const std::string& text, int& depth) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    depth = std::atoi(text.c_str());
    return true;
}

std::string ElapsedText(std::chrono::steady_clock::duration d) {
    long s = long(std::chrono::duration_cast<std::chrono::seconds>(d).count());
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    if (args[0] == "-h" || args[0] == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] != "web") return Usage("unknown command: " + args[0]);

    std::string address, project;
    int depth = 2;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--project" || a == "--depth") {
            if (i + 1 >= args.size()) return Usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--project") {
                project = v;
            } else if (!ParseDepth(v, depth)) {
                return Usage("--depth takes a whole number: " + v);
            }
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option: " + a);
        } else if (address.empty()) {
            address = a;
        } else {
            return Usage("more than one address");
        }
    }
    if (address.empty()) return Usage("no address");
    if (project.empty()) return Usage("no --project folder");

    std::error_code ec;
    std::filesystem::create_directories(project, ec);
    if (!std::filesystem::is_directory(project)) {
        std::fprintf(stderr, "pelquinar-cli: cannot make the project folder %s\n", project.c_str());
        return 3;
    }
    std::string folder = std::filesystem::absolute(project).lexically_normal().string();
    if (folder.empty() || folder.back() != '/') folder += '/';

    pq::CSearchState state;
    state.mode = "web";
    state.keywordFlag = false;
    state.maxLevels = depth;
    state.header = pq::store::ProjectHeader{};
    state.header.urlLine = "URL=" + address;
    state.queue.Reset();
    state.ResetDownloads();
    state.idleFlag = false;

    pq::cli::CCliSearchUi ui(stderr);
    pq::CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(folder);

    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const auto started = std::chrono::steady_clock::now();
    doc.StartSearch(address, "");
    bool stopped = false;
    int tick = 0;
    for (;;) {
        std::string elapsed = ElapsedText(std::chrono::steady_clock::now() - started);
        state.SetElapsedText(elapsed);
        if (gInterrupted.load() && !stopped) {
            // Ctrl+C is the Stop command: the crawl ends with its closing
            // steps and the workers are stopped, leaving no partial file.
            doc.OnStop();
            stopped = true;
        }
        if (!doc.IsCrawling() && (stopped || ui.DownloadsHaveEnded())) break;
        if (++tick % 5 == 0) ui.PrintProgress(elapsed, false);
        ui.WaitDownloadsEnded(100);
    }
    doc.WaitForCrawl();
    doc.StopDownloads();
    std::string elapsed = ElapsedText(std::chrono::steady_clock::now() - started);
    ui.PrintProgress(elapsed, true);
    ui.FinishProgress();

    std::printf("Pages searched: %zu\n", state.visited.size());
    std::printf("Pictures found: %d\n", state.queue.Queued());
    std::printf("Pictures saved: %d\n", state.DownloadedCount());
    std::printf("Elapsed: %s\n", elapsed.c_str());
    if (stopped) std::printf("Stopped by the user.\n");
    std::printf("Project folder: %s\n", folder.c_str());
    return doc.StartPageFailed() ? 1 : 0;
}
