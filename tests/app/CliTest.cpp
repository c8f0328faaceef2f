// Runs the pelquinar-cli program against the local test server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/engine/CrawlFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output and standard error together
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

RunResult RunCli(const std::string& args) {
    RunResult r;
    std::string cmd = std::string(PQ_CLI_PATH) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Cli, WebSearchRunsToTheEndAndReports) {
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
    RunResult r = RunCli("web " + Quote(server.Url("/index.html")) + " --project " + Quote(project) + " --depth 1");
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

TEST(Cli, ExitCodes) {
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
        {"web " + Quote(server.Url("/")), 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --depth x", 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --depth", 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(tmp.Path() + "p") + " --bogus", 2},
        {"web " + Quote(server.Url("/")) + " --project " + Quote(blocker + "/inside"), 3},
        {"web " + Quote(server.Url("/nothing.html")) + " --project " + Quote(tmp.Path() + "p1"), 1},
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
