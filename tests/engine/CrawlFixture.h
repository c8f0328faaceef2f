// A search job wired to a local test server, a temporary project folder and a
// recording user interface.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/CPelquinarDoc.h"
#include "engine/CSearchState.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq::test {

class CrawlFixture : public ::testing::Test {
protected:
    // Prepares a search of the given kind as the search commands do.
    void Prepare(const std::string& mode, const std::string& start, int maxLevels) {
        state.mode = mode;
        state.keywordFlag = mode == "key" || mode == "advancedkey";
        state.maxLevels = maxLevels;
        state.header = store::ProjectHeader{};
        state.header.urlLine = "URL=" + start;
        state.queue.Reset();
        state.ResetDownloads();
        state.idleFlag = false;
        doc.SetProjectFolder(dir.Path());
    }

    // Runs a whole search: crawl, then downloads.
    void Run(const std::string& mode, const std::string& start, int maxLevels) {
        Prepare(mode, start, maxLevels);
        doc.StartSearch(start, "");
        doc.WaitForCrawl();
        ASSERT_TRUE(doc.WaitForDownloads(60000)) << "downloads did not end";
    }

    void Serve(const std::string& target, const std::string& body, int status = 200) {
        Route r;
        r.status = status;
        r.body = body;
        r.contentType = "image/gif";
        server.Set(target, r);
    }

    // The targets the server was asked for, in order.
    std::vector<std::string> Targets() const {
        std::vector<std::string> t;
        for (const auto& r : server.Requests()) t.push_back(r.target);
        return t;
    }

    // project.inf split into lines (without CR LF).
    std::vector<std::string> ProjectLines() const {
        std::vector<std::string> lines;
        std::string text = dir.ReadFile("project.inf");
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find("\r\n", pos);
            if (end == std::string::npos) {
                lines.push_back(text.substr(pos));
                break;
            }
            lines.push_back(text.substr(pos, end - pos));
            pos = end + 2;
        }
        return lines;
    }

    // The item lines after the seven header lines.
    std::vector<std::string> ItemLines() const {
        auto lines = ProjectLines();
        if (lines.size() <= 7) return {};
        return std::vector<std::string>(lines.begin() + 7, lines.end());
    }

    TestHttpServer server;
    TempDir dir;
    RecordingUi ui;
    CSearchState state;
    CPelquinarDoc doc{state, ui};
};

// An image body of the given size that no page test mistakes for a page.
inline std::string PictureBytes(size_t size, char fill = 'p') {
    std::string s = "GIF89a";
    s.resize(size, fill);
    return s;
}

}  // namespace pq::test
