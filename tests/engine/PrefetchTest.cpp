// Pages fetched ahead: the project a search leaves is the same, name for
// name and byte for byte (project.inf: its page lines and its picture lines
// each in the same order), as with one page at a time, whatever order the
// answers arrive in; Stop drops what was fetched ahead at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "engine/CPelquinarDoc.h"
#include "tests/engine/CrawlFixture.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::PictureBytes;
using test::Route;

// project.inf with its page lines and its picture lines apart, each in
// their own order. Page lines are written as the walk reaches the pages,
// picture lines as the batches of committed pictures reach the disk, so
// how the two interleave depends on time, one page at a time or not; each
// sequence does not.
std::string PagesThenPictures(const std::string& record) {
    std::string head, pages, pictures;
    std::istringstream in(record);
    int n = 0;
    for (std::string line; std::getline(in, line); ++n) {
        std::string name;
        std::istringstream fields(line);
        std::string status;
        fields >> status >> name;
        const auto dot = name.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
        if (n < 7)
            head += line + "\n";
        else if (ext == ".gif" || ext == ".jpg" || ext == ".bmp")
            pictures += line + "\n";
        else
            pages += line + "\n";
    }
    return head + "pages:\n" + pages + "pictures:\n" + pictures;
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        const std::string name = e.path().filename().string();
        files[name] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (name == "project.inf") files[name] = PagesThenPictures(files[name]);
    }
    return files;
}

// A small site with what makes a walk's decisions depend on order: a
// redirect to a page linked directly too, one page under two addresses,
// pages that are missing, a page reached at two depths, pictures shared
// between pages, and answers that take different times.
void BuildSite(test::TestHttpServer& server) {
    auto page = [&](const std::string& target, const std::string& html, int delay) {
        Route r;
        r.body = "<html><title>" + target + "</title>" + html + "</html>";
        r.delayMs = delay;
        server.Set(target, r);
    };
    auto picture = [&](const std::string& target, char fill, int delay) {
        Route r;
        r.body = PictureBytes(300 + size_t(fill), fill);
        r.contentType = "image/gif";
        r.delayMs = delay;
        server.Set(target, r);
    };
    std::string index = "<img src=/logo.gif>";
    for (int i = 0; i < 12; ++i) index += "<a href=/doc" + std::to_string(i) + ".html>d</a>";
    index +=
        "<a href=/old.html>o</a><a href=/missing.html>m</a><a href=/stop.html>s</a>"
        "<a href=/dir/>dir</a><a href=/after.html>a</a>";
    page("/index.html", index, 0);
    for (int i = 0; i < 12; ++i) {
        const std::string n = std::to_string(i);
        std::string html = "<img src=/logo.gif><img src=/pic" + n + ".gif>";
        html += "<a href=/doc" + std::to_string((i + 1) % 12) + ".html>next</a>";
        if (i % 4 == 0) html += "<a href=/deep" + n + ".html>deep</a><a href=/gone" + n + ".html>";
        if (i == 5) html += "<a href=/new.html>new</a><a href=/dir/index.html>alias</a>";
        page("/doc" + n + ".html", html, (i * 7) % 13);
        picture("/pic" + n + ".gif", char('a' + i), (i * 5) % 11);
        page("/deep" + n + ".html", "<img src=/pic" + n + ".gif><img src=/deep" + n + ".gif>",
             (i * 3) % 7);
        picture("/deep" + n + ".gif", char('A' + i), 0);
    }
    picture("/logo.gif", 'L', 0);
    server.Redirect("/old.html", server.Url("/new.html"));
    page("/new.html", "<img src=/new.gif><a href=/doc3.html>3</a>", 4);
    picture("/new.gif", 'N', 2);
    page("/dir/", "<img src=/dir.gif>", 3);
    page("/dir/index.html", "<img src=/dir.gif>", 1);
    picture("/dir.gif", 'D', 0);
    page("/stop.html", "<img src=/late.gif>", 0);
    page("/after.html", "<img src=/after.gif>", 0);
    picture("/late.gif", 'l', 0);
    picture("/after.gif", 'f', 0);
}

// The names whose contents differ, or that only one of the two holds: what
// a failure says instead of both folders' whole contents.
std::string Differences(const std::map<std::string, std::string>& a,
                        const std::map<std::string, std::string>& b) {
    std::string out;
    for (const auto& [name, bytes] : a) {
        const auto other = b.find(name);
        if (other == b.end())
            out += " only in the first: " + name + ";";
        else if (other->second != bytes)
            out += " differs: " + name + ";";
    }
    for (const auto& [name, bytes] : b)
        if (!a.count(name)) out += " only in the second: " + name + ";";
    return out;
}

struct Outcome {
    std::map<std::string, std::string> files;
    CPagePrefetcher::Counts ahead;
};

// One search with the given pages ahead; with stopAt, Stop is pressed when
// the walk reaches that page, once every picture queued before it is in.
Outcome Search(test::TestHttpServer& server, int pagesAhead, int depth,
               const std::string& stopAt = {}) {
    test::TempDir dir;
    test::RecordingUi ui;
    CSearchState state;
    state.mode = "web";
    state.maxLevels = depth;
    state.pagesAhead = pagesAhead;
    state.header.urlLine = "URL=" + server.Url("/index.html");
    state.idleFlag = false;
    CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(dir.Path());
    if (!stopAt.empty()) {
        doc.SetPageReachedHook([&](const std::string& address) {
            if (address != server.Url(stopAt)) return;
            while (state.queue.Finished() < state.queue.Queued())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            doc.OnStop();
        });
    }
    doc.StartSearch(server.Url("/index.html"), "");
    doc.WaitForCrawl();
    EXPECT_TRUE(doc.WaitForDownloads(60000));
    doc.StopDownloads();
    return Outcome{FolderContents(dir.Path()), doc.PrefetchCounts()};
}

TEST(PagesAhead, TheProjectIsTheSameAsOnePageAtATime) {
    test::TestHttpServer server;
    BuildSite(server);
    for (int depth : {1, 3}) {
        const Outcome one = Search(server, 0, depth);
        EXPECT_EQ(one.ahead.fetched, 0);
        ASSERT_GT(one.files.size(), 20u);
        for (int ahead : {2, 6}) {
            const Outcome many = Search(server, ahead, depth);
            EXPECT_TRUE(many.files == one.files) << "depth " << depth << ", " << ahead
                                                 << " ahead:" << Differences(many.files, one.files);
            EXPECT_GT(many.ahead.used, 0) << "depth " << depth << ", " << ahead << " ahead";
        }
    }
    // Stop pressed midway: the same part of the walk is in the folder.
    const Outcome one = Search(server, 0, 2, "/stop.html");
    EXPECT_EQ(one.files.count("late.gif"), 0u);
    EXPECT_EQ(one.files.count("stop.html"), 0u);
    EXPECT_EQ(one.files.count("doc11.html"), 1u);
    const Outcome many = Search(server, 6, 2, "/stop.html");
    EXPECT_TRUE(many.files == one.files) << Differences(many.files, one.files);
}

TEST(PagesAhead, StopEndsTheFetchesAheadAtOnce) {
    test::TestHttpServer server;
    std::string index;
    for (int i = 0; i < 8; ++i) {
        index += "<a href=/slow" + std::to_string(i) + ".html>s</a>";
        Route r;
        r.body = "slow";
        r.delayMs = 30000;
        server.Set("/slow" + std::to_string(i) + ".html", r);
    }
    server.Page("/index.html", index);
    test::TempDir dir;
    test::RecordingUi ui;
    CSearchState state;
    state.maxLevels = 1;
    state.pagesAhead = 4;
    state.idleFlag = false;
    CPelquinarDoc doc(state, ui);
    doc.SetProjectFolder(dir.Path());
    doc.StartSearch(server.Url("/index.html"), "");
    // Wait until the slow pages are asked for, several at once.
    for (int i = 0; i < 2000 && server.TotalCount() < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(server.TotalCount(), 4) << "pages are fetched ahead at the same time";
    doc.OnStop();
    doc.WaitForCrawl();
    EXPECT_FALSE(doc.IsCrawling());
    const CPagePrefetcher::Counts counts = doc.PrefetchCounts();
    // The start page may have come through a fetcher too; no slow one did.
    EXPECT_LE(counts.used, 1);
    EXPECT_GE(counts.wasted, 3) << "what was under way was dropped";
    server.Stop();
}

}  // namespace
}  // namespace pq
