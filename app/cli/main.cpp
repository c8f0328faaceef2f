// pelquinar-cli: the searches of the window, without a window. Progress goes
// to standard error; the summary and the project folder to standard output.
#include <signal.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/cli/CCliSearchUi.h"
#include "app/demo/CDemoServer.h"
#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"
#include "shell/CPelquinarApp.h"
#include "shell/CSearchCommands.h"

namespace {

enum ExitCode { kRan = 0, kStartFailed = 1, kBadUsage = 2, kNoFolder = 3 };

std::atomic<bool> gInterrupted{false};
void OnInterrupt(int) { gInterrupted = true; }

const char kUsage[] =
    "usage: pelquinar-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  web ADDRESS [--project DIR]     search a site (Go)\n"
    "  key KEYWORDS [--engine E]       search an image search service (Keywords Search)\n"
    "  advanced-web ADDRESS [--name NAME] [--types gif,jpg,bmp,png,webp] [--min KB]\n"
    "                                  [--max KB] [--min-width PX] [--min-height PX]\n"
    "                                  [--filter TEXT]   advanced web search; --min-width and\n"
    "                                  --min-height keep pictures at least that many pixels\n"
    "                                  wide and high, 0 to 100000 (0: any; default: the\n"
    "                                  settings imageminwidth and imageminheight)\n"
    "  advanced-key KEYWORDS [--thumbnails] [--big] [--engine E]   advanced keyword search\n"
    "  continue PROJECT_FOLDER         resume a stopped search\n"
    "  demo                            search a sample site served on 127.0.0.1\n"
    "  --version                       print the version\n"
    "\n"
    "options for every search:\n"
    "  --start-dir DIR                 where \"My Search\" lies, for this run (default: the\n"
    "                                  setting startdir, else ~/Pictures/Pelquinar/)\n"
    "  --depth N                       how many links deep to follow, 0 to 20 (default: the "
    "setting maxlevels)\n"
    "  --search-host HOST[:PORT]       the image search service, asked over plain http for an\n"
    "                                  open service (default: the service's setting)\n"
    "  --engine google|openverse|commons  (key, advanced-key) the search service (default google)\n"
    "  --transfers N                   pictures fetched at once, 1 to 6 (default: the setting\n"
    "                                  transfers, 6)\n"
    "  --pages-ahead N                 pages fetched ahead of the walk, 0 to 16; 0 fetches one\n"
    "                                  page at a time (default: the setting pagesahead, 4)\n"
    "  --host-connections N            requests to one site at once, 1 to 16 (default: the\n"
    "                                  setting hostconnections, 6)\n"
    "\n"
    "Settings are read from $PELQUINAR_CONFIG, or $XDG_CONFIG_HOME/Pelquinar/Pelquinar.conf.\n"
    "Exit codes: 0 the search ran, 1 the start page failed, 2 bad usage, 3 no project folder.\n";

int Usage(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "pelquinar-cli: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return kBadUsage;
}

bool ParseNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 7) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::atoi(text.c_str());
    return true;
}

std::string Elapsed(long seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return buf;
}

std::string AbsoluteFolder(const std::string& path) {
    std::string f = std::filesystem::absolute(path).lexically_normal().string();
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

// Makes the folder (and those above it) when missing and gives it back
// absolute with its trailing "/"; empty, after saying so, when it cannot.
std::string MakeFolder(const std::string& path, const char* what) {
    if (!pq::CSearchCommands::CreateProjectFolder(path)) {
        std::fprintf(stderr, "pelquinar-cli: cannot make the %s %s\n", what, path.c_str());
        return {};
    }
    return AbsoluteFolder(path);
}

// The name of the folder a project lies in ("Websearch", "Keysearch", ...).
std::string ProjectRootName(const std::string& projectFolder) {
    std::filesystem::path p = std::filesystem::absolute(projectFolder).lexically_normal();
    if (!p.has_filename()) p = p.parent_path();  // "x/proj/" names proj itself
    return p.parent_path().filename().string();
}

struct Command {
    std::string name;
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
};

// Splits the arguments; false (with why) on an option that the command does
// not take or that lacks its value.
bool Parse(const std::vector<std::string>& args, Command& c, std::string& why) {
    static const std::map<std::string, std::set<std::string>> kValueOptions = {
        {"web", {"--project"}},
        {"key", {"--engine"}},
        {"advanced-web",
         {"--name", "--types", "--min", "--max", "--min-width", "--min-height", "--filter"}},
        {"advanced-key", {"--engine"}},
        {"continue", {}},
    };
    static const std::set<std::string> kCommon = {"--start-dir",   "--depth",
                                                  "--search-host", "--transfers",
                                                  "--pages-ahead", "--host-connections"};
    c.name = args[0];
    auto known = kValueOptions.find(c.name);
    if (known == kValueOptions.end()) {
        why = "unknown command: " + c.name;
        return false;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (c.name == "advanced-key" && (a == "--thumbnails" || a == "--big")) {
                c.flags.insert(a);
                continue;
            }
            if (!kCommon.count(a) && !known->second.count(a)) {
                why = "unknown option for " + c.name + ": " + a;
                return false;
            }
            if (i + 1 >= args.size()) {
                why = a + " needs a value";
                return false;
            }
            c.values[a] = args[++i];
        } else {
            c.words.push_back(a);
        }
    }
    return true;
}

// Runs the started search to its end, printing progress; Ctrl+C stops it.
void Follow(pq::CPelquinarDoc& doc, pq::CSearchState& state, pq::cli::CCliSearchUi& ui,
            long offsetSeconds, bool& stopped, std::string& elapsed) {
    const auto started = std::chrono::steady_clock::now();
    stopped = false;
    int tick = 0;
    for (;;) {
        long s = offsetSeconds + long(std::chrono::duration_cast<std::chrono::seconds>(
                                          std::chrono::steady_clock::now() - started)
                                          .count());
        elapsed = Elapsed(s);
        state.SetElapsedText(elapsed);
        if (gInterrupted.load() && !stopped) {
            // Ctrl+C is Stop: the crawl ends with its closing steps and the
            // workers go, leaving no half-written picture.
            doc.OnStop();
            stopped = true;
        }
        if (!doc.IsCrawling() && (stopped || ui.DownloadsHaveEnded())) break;
        if (++tick % 5 == 0) ui.PrintProgress(elapsed, false);
        ui.WaitDownloadsEnded(100);
    }
    doc.WaitForCrawl();
    doc.StopDownloads();
    ui.PrintProgress(elapsed, true);
    ui.FinishProgress();
}

void PrintSummary(const pq::CPelquinarDoc& doc, const pq::CSearchState& state,
                  const std::string& elapsed, bool stopped, const std::string& folder) {
    std::printf("Pages searched: %zu\n", state.visited.size());
    const pq::CPagePrefetcher::Counts ahead = doc.PrefetchCounts();
    if (ahead.fetched > 0)
        std::printf("Pages fetched ahead: %d (%d used, %d dropped)\n", ahead.fetched, ahead.used,
                    ahead.wasted);
    std::printf("Pictures found: %d\n", state.queue.Queued());
    std::printf("Pictures saved: %d\n", state.DownloadedCount());
    std::printf("Elapsed: %s\n", elapsed.c_str());
    if (stopped) std::printf("Stopped by the user.\n");
    std::printf("Project folder: %s\n", folder.c_str());
    std::fflush(stdout);
}

// Says why the start page failed, when it did.
int Outcome(const pq::CPelquinarDoc& doc) {
    if (!doc.StartPageFailed()) return kRan;
    std::fprintf(stderr, "pelquinar-cli: the start page failed: %s\n",
                 doc.StartPageError().c_str());
    return kStartFailed;
}

int RunDemo() {
    QString tmpl = QDir::tempPath() + "/pelquinar-demo-XXXXXX";
    QByteArray t = tmpl.toLocal8Bit();
    if (!mkdtemp(t.data())) {
        std::fprintf(stderr, "pelquinar-cli: cannot make a folder under %s\n",
                     qPrintable(QDir::tempPath()));
        return kNoFolder;
    }
    std::string startDir = AbsoluteFolder(t.constData());
    pq::CDemoServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "pelquinar-cli: cannot serve the demo site on 127.0.0.1\n");
        return kStartFailed;
    }
    std::printf("Demo: searching the sample site at %s\n", server.Url("/index.html").c_str());
    std::fflush(stdout);

    // The demo keeps its settings beside its projects: the user's own
    // histories are not touched.
    pq::CPelquinarApp app;
    app.startDirectory = startDir;
    app.Load(QString::fromStdString(startDir + "Pelquinar.conf"));
    app.indexPath = startDir + "pictures.sqlite";
    app.searchMode = "searchweb";
    app.maxLevels = 2;
    pq::CSearchState state;
    pq::cli::CCliSearchUi ui(stderr);
    pq::CPelquinarDoc doc(state, ui);
    pq::CSearchCommands commands(app, state, doc);
    pq::SearchBarText bar;
    bar.address = server.Url("/index.html");
    pq::SearchStart s = commands.WebSearch(bar);
    if (!s.started) return s.folderFailed ? kNoFolder : kStartFailed;
    bool stopped = false;
    std::string elapsed;
    Follow(doc, state, ui, 0, stopped, elapsed);
    app.Save();
    server.Stop();
    PrintSummary(doc, state, elapsed, stopped, s.projectFolder);
    std::printf("Open %sHalvCon1.htm for the pages, and project.inf for the record.\n",
                s.projectFolder.c_str());
    return Outcome(doc);
}

std::string Join(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("");
    if (args[0] == "-h" || args[0] == "--help") {
        std::fputs(kUsage, stdout);
        return kRan;
    }
    if (args[0] == "--version") {
        std::printf("pelquinar-cli 1.10\n");
        return kRan;
    }

    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    if (args[0] == "demo") {
        if (args.size() > 1) return Usage("demo takes no arguments");
        return RunDemo();
    }

    Command cmd;
    std::string why;
    if (!Parse(args, cmd, why)) return Usage(why);
    const bool keywordCommand = cmd.name == "key" || cmd.name == "advanced-key";
    if (cmd.words.empty())
        return Usage(cmd.name + " needs " +
                     (keywordCommand           ? "keywords"
                      : cmd.name == "continue" ? "a project folder"
                                               : "an address"));
    if (!keywordCommand && cmd.words.size() > 1) return Usage("too many arguments for " + cmd.name);

    int depth = -1, minKb = -1, maxKb = -1;
    if (cmd.values.count("--depth") && !ParseNumber(cmd.values["--depth"], depth))
        return Usage("--depth takes a whole number");
    if (depth > pq::CPelquinarApp::kMaxDepth)
        return Usage("--depth takes 0 to " + std::to_string(pq::CPelquinarApp::kMaxDepth));
    if (cmd.values.count("--min") && !ParseNumber(cmd.values["--min"], minKb))
        return Usage("--min takes a whole number of KB");
    if (cmd.values.count("--max") && !ParseNumber(cmd.values["--max"], maxKb))
        return Usage("--max takes a whole number of KB");
    // The smallest size on screen, in pixels; -1: the setting.
    int minWidth = -1, minHeight = -1;
    for (auto [option, value] :
         {std::pair<const char*, int*>{"--min-width", &minWidth}, {"--min-height", &minHeight}}) {
        if (cmd.values.count(option) &&
            (!ParseNumber(cmd.values[option], *value) || *value > pq::CPelquinarApp::kMaxPixels))
            return Usage(std::string(option) + " takes a whole number of pixels, 0 to " +
                         std::to_string(pq::CPelquinarApp::kMaxPixels));
    }
    pq::SearchService service = pq::SearchService::kHtml;
    if (cmd.values.count("--engine") && !pq::ServiceFromWord(cmd.values["--engine"], service))
        return Usage("--engine takes google, openverse or commons");
    int transfers = -1;
    if (cmd.values.count("--transfers") &&
        (!ParseNumber(cmd.values["--transfers"], transfers) || transfers < 1 ||
         transfers > pq::CPelquinarApp::kMaxTransfers))
        return Usage("--transfers takes 1 to " + std::to_string(pq::CPelquinarApp::kMaxTransfers));
    int pagesAhead = -1, hostConnections = -1;
    if (cmd.values.count("--pages-ahead") &&
        (!ParseNumber(cmd.values["--pages-ahead"], pagesAhead) || pagesAhead < 0 ||
         pagesAhead > pq::CPelquinarApp::kMaxPagesAhead))
        return Usage("--pages-ahead takes 0 to " +
                     std::to_string(pq::CPelquinarApp::kMaxPagesAhead));
    if (cmd.values.count("--host-connections") &&
        (!ParseNumber(cmd.values["--host-connections"], hostConnections) || hostConnections < 1 ||
         hostConnections > pq::CPelquinarApp::kMaxHostConnections))
        return Usage("--host-connections takes 1 to " +
                     std::to_string(pq::CPelquinarApp::kMaxHostConnections));
    std::string searchHost = cmd.values.count("--search-host") ? cmd.values["--search-host"] : "";
    if (cmd.values.count("--search-host") &&
        (searchHost.empty() || searchHost.find_first_of(" /?#@") != std::string::npos))
        return Usage("--search-host takes HOST or HOST:PORT");

    pq::CPelquinarApp app;
    if (cmd.values.count("--start-dir")) {
        app.startDirectory = MakeFolder(cmd.values["--start-dir"], "start folder");
        if (app.startDirectory.empty()) return kNoFolder;
    }
    app.Load();
    if (!app.EnsureStartDirectory()) {
        std::fprintf(stderr, "pelquinar-cli: cannot make the start folder %s\n",
                     app.startDirectory.c_str());
        return kNoFolder;
    }

    // Overrides for this run only; the saved settings keep their values.
    const int savedLevels = app.maxLevels;
    const int savedTransfers = app.transfers;
    const int savedAhead = app.pagesAhead, savedConnections = app.hostConnections;
    if (transfers > 0) app.transfers = transfers;
    if (pagesAhead >= 0) app.pagesAhead = pagesAhead;
    if (hostConnections > 0) app.hostConnections = hostConnections;
    const std::string savedHost = app.searchHost;
    if (depth >= 0) app.maxLevels = depth;
    if (!searchHost.empty()) app.searchHost = app.serviceHostOverride = searchHost;

    // The search bar's mode follows the command, as a user would switch it.
    if (cmd.name == "continue") {
        const std::string parent = ProjectRootName(cmd.words[0]);
        if (parent == "Keysearch") app.searchMode = "searchkey";
        if (parent == "Websearch") app.searchMode = "searchweb";
    } else {
        app.searchMode = keywordCommand ? "searchkey" : "searchweb";
    }

    pq::CSearchState state;
    pq::cli::CCliSearchUi ui(stderr);
    pq::CPelquinarDoc doc(state, ui);
    pq::CSearchCommands commands(app, state, doc);
    pq::SearchBarText bar;
    pq::SearchStart s;

    if (cmd.name == "web") {
        bar.address = cmd.words[0];
        std::string project;
        if (cmd.values.count("--project")) {
            project = MakeFolder(cmd.values["--project"], "project folder");
            if (project.empty()) return kNoFolder;
        }
        s = commands.WebSearch(bar, project);
    } else if (cmd.name == "key") {
        bar.keywords = Join(cmd.words);
        if (service != pq::SearchService::kHtml) bar.engine = pq::ServiceTitle(service);
        s = commands.KeywordSearch(bar);
    } else if (cmd.name == "advanced-web") {
        bar.address = cmd.words[0];
        pq::AdvancedWebOptions o;
        std::string message;
        o.projectName =
            cmd.values.count("--name")
                ? cmd.values["--name"]
                : commands.MakeProjectName(
                      pq::SearchBarText{pq::CSearchCommands::TrimAddress(bar.address), "", ""},
                      commands.WebBaseFolder(), message);
        o.depth = app.maxLevels;
        o.gif = app.bGif;
        o.jpg = app.bJpg;
        o.bmp = app.bBmp;
        o.png = app.bPng;
        o.webp = app.bWebp;
        if (cmd.values.count("--types")) {
            o.gif = o.jpg = o.bmp = o.png = o.webp = false;
            std::string types = cmd.values["--types"] + ",";
            size_t pos = 0, comma;
            while ((comma = types.find(',', pos)) != std::string::npos) {
                std::string t = types.substr(pos, comma - pos);
                pos = comma + 1;
                if (t.empty()) continue;
                if (t == "gif")
                    o.gif = true;
                else if (t == "jpg" || t == "jpeg")
                    o.jpg = true;
                else if (t == "bmp")
                    o.bmp = true;
                else if (t == "png")
                    o.png = true;
                else if (t == "webp")
                    o.webp = true;
                else
                    return Usage("--types takes gif, jpg, bmp, png and webp, separated by commas");
            }
        }
        o.minKb = minKb >= 0 ? minKb : app.imageMinSize;
        o.maxKb = maxKb >= 0 ? maxKb : app.imageMaxSize;
        o.minWidth = minWidth >= 0 ? minWidth : app.imageMinWidth;
        o.minHeight = minHeight >= 0 ? minHeight : app.imageMinHeight;
        o.filterKeywords = cmd.values.count("--filter") ? cmd.values["--filter"] : "";
        s = commands.AdvancedWebSearch(bar, o);
    } else if (cmd.name == "advanced-key") {
        bar.keywords = Join(cmd.words);
        if (service != pq::SearchService::kHtml) bar.engine = pq::ServiceTitle(service);
        bool thumbs = app.bThum, big = app.bBig;
        if (cmd.flags.count("--thumbnails") || cmd.flags.count("--big")) {
            thumbs = cmd.flags.count("--thumbnails") != 0;
            big = cmd.flags.count("--big") != 0;
        }
        s = commands.AdvancedKeywordSearch(bar, thumbs, big);
    } else if (cmd.name == "continue") {
        s = commands.Continue(AbsoluteFolder(cmd.words[0]));
    }

    if (!s.started) {
        if (s.folderFailed) {
            std::fprintf(stderr, "pelquinar-cli: cannot make the project folder %s\n",
                         s.projectFolder.c_str());
            return kNoFolder;
        }
        return Usage(s.message.empty() ? "nothing to search for" : s.message);
    }
    if (!s.message.empty()) std::fprintf(stderr, "%s\n", s.message.c_str());

    bool stopped = false;
    std::string elapsed;
    Follow(doc, state, ui, s.elapsedSeconds, stopped, elapsed);

    if (cmd.name != "advanced-web") app.maxLevels = savedLevels;
    app.searchHost = savedHost;
    app.transfers = savedTransfers;
    app.pagesAhead = savedAhead;
    app.hostConnections = savedConnections;
    app.Save();
    PrintSummary(doc, state, elapsed, stopped, s.projectFolder);
    return Outcome(doc);
}
