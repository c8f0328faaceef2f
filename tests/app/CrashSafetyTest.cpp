// What a killed run leaves, what a full disk does, and the reasons a start
// page failed: against pelquinar-cli and the engine, on 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/TextUtil.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

extern char** environ;

namespace pq {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code = -1;
    std::string out;
};

// Runs pelquinar-cli with a home (and so a picture index) and settings of
// the test's own.
CliRun Cli(const std::vector<std::string>& args, const std::string& home) {
    std::string cmd =
        "HOME='" + home + "' XDG_DATA_HOME= PELQUINAR_CONFIG='" + home + "conf' " + std::string(PQ_CLI_PATH);
    for (const auto& a : args) cmd += " '" + a + "'";
    cmd += " 2>&1";
    CliRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(StartPage, TheCliSaysWhyItFailed) {
    test::TempDir home;
    test::TestHttpServer server;
    struct Case {
        std::string address;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/", "connection refused"},
        {"ftp://127.0.0.1/pics/", "\"ftp:\" addresses are not fetched"},
        {server.Url("/missing.html"), "404 (not found)"},
    };
    int n = 0;
    for (const auto& c : cases) {
        CliRun r = Cli({"web", c.address, "--project", home.Path() + "p" + std::to_string(n++)},
                       home.Path());
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.out.find("the start page failed: "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.reason), std::string::npos) << c.address << "\n" << r.out;
    }
    CliRun v = Cli({"--version"}, home.Path());
    EXPECT_EQ(v.code, 0);
    EXPECT_NE(v.out.find("1.10"), std::string::npos);
    CliRun help = Cli({"--help"}, home.Path());
    EXPECT_NE(help.out.find("Pictures/Pelquinar"), std::string::npos) << "the start folder rule";
}

class Engine : public test::CrawlFixture {};

TEST_F(Engine, TemporaryFilesOfAKilledRunGoAndNothingElse) {
    server.Page("/index.html", "page");
    std::ofstream(dir.Path() + "a.down") << "half";
    std::ofstream(dir.Path() + "b_1.down") << "half";
    std::ofstream(dir.Path() + "keep.txt") << "mine";
    fs::create_directory(dir.Path() + "folder.down");
    std::ofstream(dir.Path() + "outside.jpg") << "target";
    fs::create_symlink(dir.Path() + "outside.jpg", dir.Path() + "link.down");
    Run("web", server.Url("/index.html"), 0);
    EXPECT_FALSE(fs::exists(dir.Path() + "a.down"));
    EXPECT_FALSE(fs::exists(dir.Path() + "b_1.down"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path() + "link.down")));
    EXPECT_TRUE(fs::exists(dir.Path() + "outside.jpg"));
    EXPECT_TRUE(fs::exists(dir.Path() + "keep.txt"));
    EXPECT_TRUE(fs::is_directory(dir.Path() + "folder.down"));
}

TEST_F(Engine, AFullDiskLogsNothingAsSavedAndLeavesNoPartialFile) {
    server.Page("/index.html", "<img src=a.gif><img src=b.gif><a href=p.html>");
    server.Page("/p.html", "<title>P</title>");
    for (const char* p : {"/a.gif", "/b.gif"}) {
        test::Route r;
        r.contentType = "image/gif";
        r.body = test::PictureBytes(5000);
        server.Set(p, r);
    }
    InjectWriteError(ENOSPC);
    Run("web", server.Url("/index.html"), 1);
    InjectWriteError(0);
    for (const auto& line : ItemLines()) EXPECT_EQ(line.substr(0, 3), "** ") << line;
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "project.inf" || name == "HalvCon1.htm") << name;
    }
    EXPECT_EQ(state.DownloadedCount(), 0);
    ASSERT_EQ(ui.Errors().size(), 1u) << "said once";
    EXPECT_NE(ui.Errors()[0].find(std::strerror(ENOSPC)), std::string::npos) << ui.Errors()[0];
}

TEST(CrashSafety, AKilledSearchLeavesAWholeRecordAndContinueCompletesIt) {
    test::TempDir home;
    test::TestHttpServer server;
    std::string page = "<title>Many</title>";
    const int pictures = 16;
    for (int i = 0; i < pictures; ++i) {
        page += "<img src=p" + std::to_string(i) + ".gif>";
        test::Route r;
        r.contentType = "image/gif";
        r.body = test::PictureBytes(20000, char('a' + i));
        r.delayMs = 40 + 10 * (i % 4);
        server.Set("/p" + std::to_string(i) + ".gif", r);
    }
    server.Page("/index.html", page);
    int round = 0, checked = 0;
    for (int killAfterMs : {250, 700, 1400}) {
        const std::string project = home.Path() + "proj" + std::to_string(round++) + "/";
        const std::string cli = PQ_CLI_PATH;
        const std::string url = server.Url("/index.html");
        const std::string env1 = "HOME=" + home.Path(),
                          env2 = "PELQUINAR_CONFIG=" + home.Path() + "conf";
        std::vector<char*> argv = {
            const_cast<char*>(cli.c_str()),     const_cast<char*>("web"),
            const_cast<char*>(url.c_str()),     const_cast<char*>("--project"),
            const_cast<char*>(project.c_str()), nullptr};
        std::vector<char*> envp = {const_cast<char*>(env1.c_str()), const_cast<char*>(env2.c_str()),
                                   nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        // The record parses: every line but perhaps the last is whole, and
        // every picture it lists is there in full.
        const store::BrowsedProject p = store::ReadProjectForBrowsing(project);
        if (!p.found) continue;  // killed before the search had begun
        ++checked;
        for (const auto& pic : p.pictures)
            EXPECT_EQ(fs::file_size(project + pic.localName), 20000u) << pic.localName;
        // No picture under its final name is cut short.
        for (const auto& e : fs::directory_iterator(project)) {
            if (e.path().extension() == ".gif") {
                EXPECT_EQ(fs::file_size(e.path()), 20000u) << e.path();
            }
        }

        CliRun again = Cli({"continue", project}, home.Path());
        ASSERT_EQ(again.code, 0) << again.out;
        int gifs = 0;
        for (const auto& e : fs::directory_iterator(project)) {
            EXPECT_NE(e.path().extension(), ".down") << "a leftover stays: " << e.path();
            if (e.path().extension() == ".gif") {
                ++gifs;
                EXPECT_EQ(fs::file_size(e.path()), 20000u) << e.path();
            }
        }
        EXPECT_EQ(gifs, pictures) << "after Continue every picture is there, once (kill at "
                                  << killAfterMs << " ms)";
    }
    EXPECT_GE(checked, 2) << "the kills came before any search had begun";
}

}  // namespace
}  // namespace pq
