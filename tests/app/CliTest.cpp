// Runs the pelquinar-cli program against the local test server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/engine/CrawlFixture.h"
#include "tests/support/PictureHeaders.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output and standard error together
};

std::string Quote(const std::string& s);

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Every run reads and writes the settings file of the test, never the user's.
std::string gConfig;

RunResult RunCli(const std::string& args) {
    RunResult r;
    // A home of the test's own: the default start directory and the picture
    // index lie below it.
    const std::string home = gConfig.substr(0, gConfig.rfind('/'));
    std::string cmd = "HOME=" + Quote(home) +
                      " XDG_CONFIG_HOME= XDG_DATA_HOME= PELQUINAR_CONFIG=" + Quote(gConfig) + " " +
                      std::string(PQ_CLI_PATH) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override { gConfig = conf.Path() + "Pelquinar.conf"; }
    test::TempDir conf;
};

TEST_F(Cli, WebSearchRunsToTheEndAndReports) {
    test::TestHttpServer server;
    test::TempDir tmp;
    server.Page("/index.html", "<title>Site</title><img src=a.gif><a href=p.html>");
    server.Page("/p.html", "<img src=b.jpg><a href=q.html>");
    server.Page("/q.html", "<img src=c.gif>");
    for (const char* pic : {"/a.gif", "/b.jpg", "/c.gif"}) {
        test::Route r;
        r.body = test::PictureBytes(1000);
        server.Set(pic, r);
    }
    const std::string project = tmp.Path() + "new/sub/project";
    RunResult r = RunCli("web " + Quote(server.Url("/index.html")) + " --project " +
                         Quote(project) + " --depth 1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Pages searched: 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Pictures saved: 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Project folder: " + project + "/"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image Download:2"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(project + "/a.gif"));
    EXPECT_TRUE(std::filesystem::exists(project + "/b.jpg"));
    EXPECT_FALSE(std::filesystem::exists(project + "/c.gif"));
    EXPECT_TRUE(std::filesystem::exists(project + "/project.inf"));
    EXPECT_TRUE(std::filesystem::exists(project + "/HalvCon1.htm"));
    EXPECT_EQ(server.Count("/q.html"), 0);
}

TEST_F(Cli, ExitCodes) {
    test::TestHttpServer server;
    test::TempDir tmp;
    struct Case {
        std::string args;
        int code;
    };
    const std::string blocker = tmp.Path() + "file";
    std::FILE* f = std::fopen(blocker.c_str(), "w");
    std::fclose(f);
    const std::vector<Case> cases = {
        {"", 2},
        {"fly " + Quote(server.Url("/")), 2},
        {"web", 2},
        {"web " + Quote(server.Url("/a")) + " " + Quote(server.Url("/b")), 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --depth x",
         2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --depth", 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") +
             " --depth 9999999",
         2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --bogus", 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(blocker + "/inside"), 3},
        {"web " + Quote(server.Url("/nothing.html")) + " --project " + Quote(tmp.Path() + "p1"), 1},
        {"key", 2},
        {"key cats --types gif", 2},
        {"advanced-web " + Quote(server.Url("/")) + " --types tiff", 2},
        {"advanced-web " + Quote(server.Url("/")) + " --min ten", 2},
        {"advanced-web " + Quote(server.Url("/")) + " --min-width", 2},
        {"web " + Quote(server.Url("/")) + " --min-width 1920", 2},
        {"advanced-key cats --depth", 2},
        {"web " + Quote(server.Url("/")) + " --search-host 'a b'", 2},
        {"continue " + Quote(tmp.Path() + "no-such-project"), 2},
        {"demo extra", 2},
        {"web " + Quote(server.Url("/")) + " --start-dir " + Quote(blocker + "/inside"), 3},
    };
    for (const auto& c : cases) {
        RunResult r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args << "\n" << r.out;
        if (c.code == 2) {
            EXPECT_NE(r.out.find("usage: pelquinar-cli"), std::string::npos) << c.args;
        }
    }
}

}  // namespace
}  // namespace pq

namespace pq {
namespace {

// The fake image search service: result pages under "/images" whose
// thumbnails carry the full-size picture's address after their last colon.
class CliSearches : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        host = server.HostPort();
        const std::string q = "/images?q=blue%20birds&svnum=10&hl=it";
        server.Page(
            q + "&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N",
            "<a href=\"/images?q=blue birds&start=20\">next</a><a href=/elsewhere.html>x</a>"
            "<img src=\"/images?q=tbn:T1:" +
                host + "/full/robin.jpg\"><img src=/logo.gif>");
        server.Page(q + "&start=0&sa=N",
                    "<img src=\"/images?q=tbn:T1:" + host + "/full/robin.jpg\">");
        server.Page("/images?q=blue%20birds&start=20",
                    "<img src=\"/images?q=tbn:T2:" + host + "/full/jay.gif\">");
        Picture("/images?q=tbn:T1:" + host + "/full/robin.jpg", 't');
        Picture("/images?q=tbn:T2:" + host + "/full/jay.gif", 'u');
        Picture("/full/robin.jpg", 'r');
        Picture("/full/jay.gif", 'j');
        Picture("/logo.gif", 'l');
        server.Page("/site/index.html",
                    "<img src=a.gif><img src=b.jpg><img src=big.bmp><a href=two.html>");
        server.Page("/site/two.html", "<img src=cat.gif><img src=dog.gif>");
        Picture("/site/a.gif", 'a');
        Picture("/site/b.jpg", 'b');
        Picture("/site/big.bmp", 'm', 30 * 1024);
        Picture("/site/cat.gif", 'c');
        Picture("/site/dog.gif", 'd');
    }
    void Picture(const std::string& target, char fill, size_t size = 2000) {
        test::Route r;
        r.body = test::PictureBytes(size, fill);
        r.contentType = "image/gif";
        server.Set(target, r);
    }
    std::string Folder(const RunResult& r) {
        size_t at = r.out.find("Project folder: ");
        if (at == std::string::npos) return {};
        size_t end = r.out.find('\n', at);
        return r.out.substr(at + 16, end - at - 16);
    }
    std::vector<std::string> Pictures(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            std::string ext = e.path().extension().string();
            if (ext == ".gif" || ext == ".jpg" || ext == ".bmp")
                names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Settings() {
        std::ifstream in(gConfig);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    test::TestHttpServer server;
    test::TempDir start;
    std::string host;
};

TEST_F(CliSearches, WebUnderTheStartDirectoryEntersTheHistory) {
    RunResult r = RunCli("web " + Quote(server.Url("/site/index.html")) + " --start-dir " +
                         Quote(start.Path()) + " --depth 0");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Folder(r), start.Path() + "My Search/Websearch/" + host + "=site=index.html/");
    EXPECT_EQ(Pictures(Folder(r)), (std::vector<std::string>{"a.gif", "b.jpg", "big.bmp"}));
    std::string settings = Settings();
    EXPECT_NE(settings.find("History0=" + server.Url("/site/index.html")), std::string::npos)
        << settings;
    EXPECT_NE(settings.find("maxlevels=2"), std::string::npos) << "--depth is for this run only";
}

TEST_F(CliSearches, KeywordSearchFollowsResultPagesAndSavesThumbnails) {
    RunResult r =
        RunCli("key blue birds --search-host " + host + " --start-dir " + Quote(start.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Folder(r), start.Path() + "My Search/Keysearch/googleImageSearch=blue birds/");
    EXPECT_EQ(Pictures(Folder(r)), (std::vector<std::string>{"jay.gif", "robin.jpg"}));
    EXPECT_EQ(server.Count("/elsewhere.html"), 0);
    EXPECT_EQ(server.Count("/logo.gif"), 0);
    std::string settings = Settings();
    EXPECT_NE(settings.find("Keyword0=blue birds"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("searchhost=" + host), std::string::npos)
        << "--search-host is for this run only";
}

TEST_F(CliSearches, AdvancedKeywordSearchWithBigPicturesOnly) {
    RunResult r = RunCli("advanced-key blue birds --big --depth 0 --search-host " + host +
                         " --start-dir " + Quote(start.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Pictures(Folder(r)), std::vector<std::string>{"robinbig.jpg"});
    std::string inf = start.Path();
    std::ifstream in(Folder(r) + "project.inf");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("FILTER=901000 0 900\r\n"), std::string::npos) << text;
    std::string settings = Settings();
    EXPECT_NE(settings.find("bBig=1"), std::string::npos);
    EXPECT_NE(settings.find("bThum=0"), std::string::npos);
}

TEST_F(CliSearches, AdvancedWebSearchFiltersByTypeSizeAndName) {
    RunResult r =
        RunCli("advanced-web " + Quote(server.Url("/site/index.html")) +
               " --name birds --types gif,bmp --min 1 --max 20 --filter a --depth 1 --start-dir " +
               Quote(start.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Folder(r), start.Path() + "My Search/Websearch/birds/");
    // b.jpg: type; big.bmp: 30 KB is over 20; dog.gif: no "a" in the name.
    EXPECT_EQ(Pictures(Folder(r)), (std::vector<std::string>{"a.gif", "cat.gif"}));
    std::string settings = Settings();
    EXPECT_NE(settings.find("maxlevels=1"), std::string::npos) << "the dialog's depth is kept";
    EXPECT_NE(settings.find("imagemaxsize=20"), std::string::npos);
    EXPECT_NE(settings.find("bJpg=0"), std::string::npos);
}

TEST_F(CliSearches, TheSizeOnScreenTakesWholePixelsUpToItsBound) {
    for (const char* bad : {"--min-width x", "--min-width 100001", "--min-height -5",
                            "--min-height 1.5", "--min-width 99999999", "--min-height ''"}) {
        RunResult r = RunCli("advanced-web " + Quote(server.Url("/site/index.html")) + " " + bad +
                             " --start-dir " + Quote(start.Path()));
        EXPECT_EQ(r.exitCode, 2) << bad << "\n" << r.out;
        const std::string option = std::string(bad).substr(0, std::string(bad).find(' '));
        EXPECT_NE(
            r.out.find("pelquinar-cli: " + option + " takes a whole number of pixels, 0 to 100000"),
            std::string::npos)
            << bad << "\n"
            << r.out;
        EXPECT_NE(r.out.find("usage: pelquinar-cli"), std::string::npos) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(start.Path() + "My Search")) << "no search ran";
    EXPECT_EQ(Settings().find("imageminwidth"), std::string::npos) << "nor were settings written";
}

TEST_F(CliSearches, AdvancedWebSearchKeepsPicturesBySizeOnScreen) {
    server.Page("/walls/index.html",
                "<img src=wide.jpg><img src=narrow.jpg><img src=short.gif><img src=exact.bmp>"
                "<img src=blank.gif>");
    const std::pair<const char*, std::string> pictures[] = {
        {"/walls/wide.jpg", test::JpegOfSize(2560, 1440)},
        {"/walls/narrow.jpg", test::JpegOfSize(1919, 1080)},
        {"/walls/short.gif", test::GifOfSize(1920, 1079)},
        {"/walls/exact.bmp", test::BmpOfSize(1920, -1080)},
        {"/walls/blank.gif", std::string("GIF89a") + std::string(300, '\0')},
    };
    for (const auto& [target, body] : pictures) {
        test::Route r;
        r.body = body;
        r.contentType = "image/jpeg";
        server.Set(target, r);
    }
    const std::string site = Quote(server.Url("/walls/index.html"));
    RunResult r = RunCli("advanced-web " + site +
                         " --name walls --min-width 1920 --min-height 1080 --depth 0 --start-dir " +
                         Quote(start.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Pictures(Folder(r)), (std::vector<std::string>{"exact.bmp", "wide.jpg"}));
    EXPECT_NE(r.out.find("note: Not saved: " + server.Url("/walls/blank.gif") +
                         ": its width and height cannot be read from its header"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Pictures found: 5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Pictures saved: 2"), std::string::npos) << r.out;
    const std::string settings = Settings();
    EXPECT_NE(settings.find("imageminwidth=1920"), std::string::npos) << settings;
    EXPECT_NE(settings.find("imageminheight=1080"), std::string::npos) << settings;
    EXPECT_NE(ReadAll(Folder(r) + "project.inf").find("\r\nFILTER=100111 0 900\r\n"),
              std::string::npos)
        << "the record's filter line keeps its form";

    // Later advanced searches start from the stored bound; 0 takes it away.
    RunResult again = RunCli("advanced-web " + site + " --name again --depth 0 --start-dir " +
                             Quote(start.Path()));
    ASSERT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(Pictures(Folder(again)), (std::vector<std::string>{"exact.bmp", "wide.jpg"}));
    RunResult any = RunCli("advanced-web " + site +
                           " --name any --min-width 0 --min-height 0 --depth 0 --start-dir " +
                           Quote(start.Path()));
    ASSERT_EQ(any.exitCode, 0) << any.out;
    EXPECT_EQ(Pictures(Folder(any)),
              (std::vector<std::string>{"blank.gif", "exact.bmp", "narrow.jpg", "short.gif",
                                        "wide.jpg"}));
    EXPECT_EQ(any.out.find("note: Not saved"), std::string::npos) << any.out;
}

TEST_F(CliSearches, ContinueResumesAProject) {
    RunResult first = RunCli("web " + Quote(server.Url("/site/index.html")) +
                             " --depth 0 --start-dir " + Quote(start.Path()));
    ASSERT_EQ(first.exitCode, 0) << first.out;
    RunResult again = RunCli("continue " + Quote(Folder(first)) + " --depth 1");
    ASSERT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(Folder(again), Folder(first));
    EXPECT_EQ(Pictures(Folder(again)),
              (std::vector<std::string>{"a.gif", "b.jpg", "big.bmp", "cat.gif", "dog.gif"}));
    EXPECT_EQ(server.Count("/site/a.gif"), 1);
    EXPECT_NE(again.out.find("Pictures saved: 5"), std::string::npos) << again.out;
}

TEST_F(CliSearches, ContinueOfAKeywordProjectRunsInKeywordMode) {
    RunResult key = RunCli("key blue birds --depth 0 --search-host " + host + " --start-dir " +
                           Quote(start.Path()));
    ASSERT_EQ(key.exitCode, 0) << key.out;
    // A web search in between leaves the saved search bar in web mode.
    RunResult web = RunCli("web " + Quote(server.Url("/site/two.html")) +
                           " --depth 0 --start-dir " + Quote(start.Path()));
    ASSERT_EQ(web.exitCode, 0) << web.out;
    RunResult again = RunCli("continue " + Quote(Folder(key)) + " --depth 1 --search-host " + host);
    ASSERT_EQ(again.exitCode, 0) << again.out;
    // In keyword mode the next result page is followed and its thumbnail saved.
    EXPECT_EQ(Pictures(Folder(again)), (std::vector<std::string>{"jay.gif", "robin.jpg"}));
}

TEST_F(CliSearches, CtrlCStopsTheSearchAndLeavesNoPartialPicture) {
    test::Route slow;
    slow.body = test::PictureBytes(200000);
    slow.stallAfter = 50000;
    server.Set("/slow/big.gif", slow);
    server.Page("/slow/index.html", "<img src=big.gif><a href=next.html>");
    test::Route late;
    late.body = "late";
    late.delayMs = 30000;
    server.Set("/slow/next.html", late);
    const std::string project = start.Path() + "slow";
    std::string cmd = "PELQUINAR_CONFIG=" + Quote(gConfig) + " exec " + std::string(PQ_CLI_PATH) +
                      " web " + Quote(server.Url("/slow/index.html")) + " --project " +
                      Quote(project) + " > " + Quote(start.Path() + "out.txt") + " 2>&1";
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), (char*)nullptr);
        _exit(127);
    }
    while (server.Count("/slow/next.html") == 0 || server.Count("/slow/big.gif") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(start.Path() + "out.txt");
    std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("Stopped by the user."), std::string::npos) << out;
    for (const auto& e : std::filesystem::directory_iterator(project)) {
        std::string name = e.path().filename().string();
        EXPECT_NE(e.path().extension(), ".down") << name;
        EXPECT_NE(name, "big.gif");
    }
    std::ifstream contents(project + "/HalvCon1.htm");
    std::string page((std::istreambuf_iterator<char>(contents)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("</HTML>"), std::string::npos) << "the crawl's closing steps ran";
}

TEST_F(Cli, DemoSearchesTheSampleSite) {
    RunResult r = RunCli("demo");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    size_t at = r.out.find("Project folder: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::string folder = r.out.substr(at + 16, r.out.find('\n', at) - at - 16);
    int pictures = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::string ext = e.path().extension().string();
        if (ext == ".gif" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp") ++pictures;
    }
    EXPECT_EQ(pictures, 7);
    EXPECT_TRUE(std::filesystem::exists(folder + "project.inf"));
    EXPECT_TRUE(std::filesystem::exists(folder + "HalvCon1.htm"));
    EXPECT_NE(r.out.find("Pictures saved: 7"), std::string::npos);
    // The demo keeps to its own folder and settings.
    EXPECT_FALSE(std::filesystem::exists(gConfig));
    std::filesystem::path start =
        std::filesystem::path(folder).parent_path().parent_path().parent_path().parent_path();
    EXPECT_EQ(start.filename().string().rfind("pelquinar-demo-", 0), 0u) << start;
    std::filesystem::remove_all(start);
}

// A local fake of an open service: the documented answer shape, cut down,
// naming pictures on the same server.
class CliServices : public CliSearches {
protected:
    std::string Recorded(const std::string& file) {
        std::ifstream in(std::string(PQ_TEST_DATA_DIR) + file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (size_t at = text.find("HOST"); at != std::string::npos; at = text.find("HOST", at))
            text.replace(at, 4, host);
        return text;
    }
    void ServeOpenverse() {
        server.Page("/v1/images/?q=red%20cat&extension=jpg%2Cgif&page=1&page_size=20",
                    Recorded("openverse-page1.json"));
        server.Page("/v1/images/?q=red%20cat&extension=jpg%2Cgif&page=2&page_size=20",
                    R"({"result_count":3,"page_count":2,"page":2,"results":[]})");
        Picture("/pics/red-cat.jpg", 'R', 6000);
        Picture("/v1/images/4bc43a04-ef46-4544-a0c1-63c63f56e276/thumb/", 'r');
        Picture("/pics/kitten.gif", 'K', 5000);
        Picture("/v1/images/9f0e1d2c-0000-4000-8000-000000000002/thumb/", 'k');
    }
};

TEST_F(CliServices, OpenverseSearchCollectsThumbnailsBigPicturesAndCreditsAndContinues) {
    ServeOpenverse();
    const std::string args =
        "advanced-key red cat --thumbnails --big --engine openverse --depth 2 "
        "--search-host " +
        host + " --start-dir " + Quote(start.Path());
    RunResult r = RunCli(args);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string folder = Folder(r);
    EXPECT_EQ(folder, start.Path() + "My Search/Keysearch/Openverse=red cat/");
    EXPECT_EQ(Pictures(folder), (std::vector<std::string>{"kitten.gif", "kittenbig.gif",
                                                          "red-cat.jpg", "red-catbig.jpg"}));
    std::ifstream in(folder + "project.inf");
    std::string inf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(inf.find("SEARCHENGINE=Openverse\r\n"), std::string::npos) << inf;
    EXPECT_NE(inf.find("KEYWORDS=red cat\r\n"), std::string::npos) << inf;
    std::ifstream credits(folder + "credits.txt");
    std::string text((std::istreambuf_iterator<char>(credits)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("red-catbig.jpg\tRed cat on a wall\tJane Doe\tby-sa\t2.0\t"),
              std::string::npos)
        << text;
    for (const auto& req : server.Requests())
        EXPECT_EQ(req.userAgent.rfind("Pelquinar/1.10 (contact:", 0), 0u) << req.target;

    // Continue fetches nothing it has and loses nothing.
    std::filesystem::remove(folder + "kittenbig.gif");
    const std::string before = inf.substr(0, inf.find("\r\n"));
    RunResult again = RunCli("continue " + Quote(folder) + " --search-host " + host);
    ASSERT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(server.Count("/pics/red-cat.jpg"), 1) << "saved before: not fetched again";
    EXPECT_EQ(server.Count("/v1/images/?q=red%20cat&extension=jpg%2Cgif&page=1&page_size=20"), 2);
    EXPECT_EQ(Pictures(folder), (std::vector<std::string>{"kitten.gif", "kittenbig.gif",
                                                          "red-cat.jpg", "red-catbig.jpg"}));
    // The contents page, written anew, credits every picture of the project
    // once: those saved before as well as the one fetched again. So does a
    // second Continue.
    for (int run = 0; run < 2; ++run) {
        if (run == 1) {
            ASSERT_EQ(RunCli("continue " + Quote(folder)).exitCode, 0);
        }
        const std::string contents = ReadAll(folder + "HalvCon1.htm");
        for (const std::string name :
             {"kitten.gif", "kittenbig.gif", "red-cat.jpg", "red-catbig.jpg"}) {
            const std::string link = "<a href=\"" + name + "\">" + name + "</a>";
            const size_t at = contents.find(link);
            EXPECT_NE(at, std::string::npos) << name << " after run " << run << "\n" << contents;
            EXPECT_EQ(contents.find(link, at + 1), std::string::npos) << name << " twice";
        }
    }
}

TEST_F(CliServices, CommonsKeywordSearchAndTheServicesRefusals) {
    const std::string first =
        "/w/api.php?action=query&format=json&formatversion=2&generator=search&gsrnamespace=6"
        "&gsrsearch=cat%20filetype%3Abitmap&gsrlimit=20&gsroffset=0&prop=imageinfo"
        "&iiprop=url%7Csize%7Cmime%7Cextmetadata&iiurlwidth=180&maxlag=5";
    server.Page(first, Recorded("commons-page1.json"));
    Picture("/thumb/Tabby_cat_in_snow.jpg/180px-Tabby_cat_in_snow.jpg", 't');
    Picture("/upload/Old_cat.gif", 'o');
    Picture("/upload/Tabby_cat_in_snow.jpg", 'T', 9000);
    RunResult r = RunCli("key cat --engine commons --depth 1 --search-host " + host +
                         " --start-dir " + Quote(start.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Pictures(Folder(r)),
              (std::vector<std::string>{"Old cat.gif", "Tabby cat in snow.jpg"}));
    EXPECT_EQ(server.Count("/upload/Tabby_cat_in_snow.jpg"), 0) << "thumbnails only";

    // With big pictures, stopped half-way (a picture lost) and continued.
    RunResult big = RunCli(
        "advanced-key cat --thumbnails --big --engine commons --depth 1 "
        "--search-host " +
        host + " --start-dir " + Quote(start.Path()));
    ASSERT_EQ(big.exitCode, 0) << big.out;
    const std::string folder = Folder(big);
    EXPECT_EQ(Pictures(folder), (std::vector<std::string>{"Old cat.gif", "Tabby cat in snow.jpg",
                                                          "Tabby cat in snowbig.jpg"}))
        << "the GIF without a thumbnail is its own big picture";
    EXPECT_EQ(ReadAll(folder + "Tabby cat in snowbig.jpg"), test::PictureBytes(9000, 'T'));
    std::filesystem::remove(folder + "Tabby cat in snowbig.jpg");
    ASSERT_EQ(RunCli("continue " + Quote(folder)).exitCode, 0);
    EXPECT_EQ(ReadAll(folder + "Tabby cat in snowbig.jpg"), test::PictureBytes(9000, 'T'));
    EXPECT_EQ(server.Count("/upload/Old_cat.gif"), 2) << "once per search, not again on Continue";

    // A service that is busy without saying for how long, or answers with
    // something else than JSON: the start page fails, and says why.
    test::Route busy;
    busy.status = 429;
    busy.body = "slow down";
    server.Set(
        first.substr(0, first.find("cat%20")) + "dog" + first.substr(first.find("%20filetype")),
        busy);
    RunResult refused = RunCli("key dog --engine commons --search-host " + host + " --start-dir " +
                               Quote(start.Path()));
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    EXPECT_NE(refused.out.find("the start page failed: the server answered 429"), std::string::npos)
        << refused.out;
    server.Page("/v1/images/?q=owl&extension=jpg%2Cgif&page=1&page_size=20", "<html>no</html>");
    RunResult notJson = RunCli("key owl --engine openverse --search-host " + host +
                               " --start-dir " + Quote(start.Path()));
    EXPECT_EQ(notJson.exitCode, 1) << notJson.out;
    EXPECT_NE(notJson.out.find("the service's answer is not JSON"), std::string::npos)
        << notJson.out;
    EXPECT_EQ(RunCli("key owl --engine bing").exitCode, 2);
}

TEST_F(CliSearches, PngPicturesOnlyWhenAskedFor) {
    server.Page("/mixed/index.html", "<img src=a.gif><img src=p.png><a href=q.png>x</a>");
    test::Route png;
    png.contentType = "image/png";
    png.body = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(600, 'q') + "<title>x</title>";
    server.Set("/mixed/p.png", png);
    server.Set("/mixed/q.png", png);
    Picture("/mixed/a.gif", 'a');
    RunResult off = RunCli("web " + Quote(server.Url("/mixed/index.html")) +
                           " --depth 1 "
                           "--start-dir " +
                           Quote(start.Path()));
    ASSERT_EQ(off.exitCode, 0) << off.out;
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(Folder(off)))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{"HalvCon1.htm", "a.gif", "index.html", "project.inf"}))
        << "off: the folder is what it always was";
    EXPECT_EQ(server.Count("/mixed/p.png"), 0);

    {
        std::ofstream conf(gConfig, std::ios::app);
        conf << "bPng=1\n";
    }
    RunResult on = RunCli("web " + Quote(server.Url("/mixed/index.html")) +
                          " --depth 1 "
                          "--start-dir " +
                          Quote(start.Path()));
    ASSERT_EQ(on.exitCode, 0) << on.out;
    EXPECT_EQ(ReadAll(Folder(on) + "p.png"), png.body) << "its signature makes it a picture";
    EXPECT_EQ(ReadAll(Folder(on) + "q.png"), png.body) << "a linked PNG is a picture link";
}

}  // namespace
}  // namespace pq
