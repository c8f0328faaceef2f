#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "store/ProjectFile.h"
#include "store/SizeText.h"
#include "tests/support/TempDir.h"

namespace pq::store {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST(SizeText, Forms) {
    struct Case {
        long long bytes;
        const char* text;
    };
    const std::vector<Case> cases = {{0, "0bytes"},       {512, "512bytes"}, {1023, "1023bytes"},
                                     {1024, "1KB"},       {1535, "1KB"},     {1536, "2KB"},
                                     {1048063, "1023KB"}, {1048064, "1MB"},  {5 * 1048576, "5MB"}};
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(ProjectFile, CreationWritesTheSevenHeaderLinesOnceOnly) {
    test::TempDir dir;
    ProjectHeader h;
    h.statusText = "0 00:00:00";
    h.filterValue = "100011 10 500";
    h.urlLine = "URL=http://site/";
    EXPECT_TRUE(CreateProjectFile(dir.Path(), h));
    EXPECT_EQ(dir.ReadFile("project.inf"),
              "0 00:00:00            \r\nVersion=1.1\r\nFILTER=100011 10 500\r\nKEYWORDS=\r\n"
              "SEARCHENGINE=\r\nURL=http://site/\r\n             \r\n");
    ProjectHeader other;
    EXPECT_FALSE(CreateProjectFile(dir.Path(), other)) << "an existing file is left untouched";
    EXPECT_EQ(dir.ReadFile("project.inf").substr(0, 10), "0 00:00:00");
    EXPECT_FALSE(CreateProjectFile(dir.Path() + "missing/", h));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "project.inf.down"));

    // The header goes in whole or not at all: a killed run's half-made
    // temporary file is no obstacle and leaves nothing behind.
    test::TempDir killed;
    WriteFile(killed.Path() + "project.inf.down", "0 00:0");
    EXPECT_TRUE(CreateProjectFile(killed.Path(), h));
    EXPECT_EQ(killed.ReadFile("project.inf").substr(0, 10), "0 00:00:00");
    EXPECT_NE(killed.ReadFile("project.inf").find("URL=http://site/\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(killed.Path() + "project.inf.down"));
}

TEST(ProjectFile, StatusRewriteKeepsTheRestOfLineOne) {
    test::TempDir dir;
    ASSERT_TRUE(CreateProjectFile(dir.Path(), ProjectHeader{}));
    EXPECT_TRUE(UpdateStatusAndAppend(dir.Path(), "3**00:01:05", "a.jpg", "3KB", "http://h/a.jpg"));
    std::string text = dir.ReadFile("project.inf");
    EXPECT_EQ(text.substr(0, 25), "3**00:01:05            \r\n");
    EXPECT_EQ(text.substr(text.size() - 29), "OK a.jpg 3KB http://h/a.jpg\r\n");
    // A shorter text fills the line: no tail of the longer one is left.
    ProjectHeader adv;
    adv.statusText = "0 00:00:00";
    test::TempDir dir2;
    CreateProjectFile(dir2.Path(), adv);
    UpdateStatusAndAppend(dir2.Path(), "12**00:00:09", "b.gif", "1KB", "u");
    UpdateStatusAndAppend(dir2.Path(), "3**00:01:05", "c.gif", "1KB", "u");
    EXPECT_EQ(dir2.ReadFile("project.inf").substr(0, 24), "3**00:01:05           \r\n");
    EXPECT_EQ(ReadProjectSummary(dir2.Path(), 7).pictures, "3");
    EXPECT_FALSE(UpdateStatusAndAppend(dir.Path() + "nope/", "1**00:00:01", "x", "1KB", "u"));
    EXPECT_FALSE(AppendItemLine(dir.Path() + "nope/", "OK", "x", "1KB", "u"));
}

TEST(ProjectFile, AStatusThatDoesNotFitLineOneIsNotWritten) {
    // A damaged or foreign line 1, shorter than the status: writing it would
    // run into line 2.
    test::TempDir dir;
    WriteFile(dir.Path() + "project.inf", "x\r\nVersion=1.1\r\n");
    EXPECT_TRUE(UpdateStatusAndAppend(dir.Path(), "5**00:00:01", "a.jpg", "1KB", "http://h/a.jpg"));
    EXPECT_EQ(dir.ReadFile("project.inf"), "x\r\nVersion=1.1\r\nOK a.jpg 1KB http://h/a.jpg\r\n");
    // A file without any line end in its first bytes is no place for it either.
    test::TempDir dir2;
    WriteFile(dir2.Path() + "project.inf", std::string(500, 'z'));
    EXPECT_TRUE(UpdateStatusAndAppend(dir2.Path(), "5**00:00:01", "a.jpg", "1KB", "u"));
    EXPECT_EQ(dir2.ReadFile("project.inf"), std::string(500, 'z') + "OK a.jpg 1KB u\r\n");
}

TEST(ProjectFile, AnOpenRecordWritesWholeLinesBesideTheOneLineWriters) {
    test::TempDir dir;
    ProjectHeader adv;
    adv.statusText = "0 00:00:00";
    ASSERT_TRUE(CreateProjectFile(dir.Path(), adv));
    ProjectRecord record;
    EXPECT_FALSE(record.IsOpenFor(dir.Path()));
    ASSERT_TRUE(record.Open(dir.Path()));
    EXPECT_TRUE(record.IsOpenFor(dir.Path()));
    EXPECT_FALSE(record.IsOpenFor(dir.Path() + "other/"));
    // Threads append at once, and a one-line writer adds its line between.
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                record.UpdateStatusAndAppend(
                    dir.Path(), std::to_string(t) + "**00:00:0" + std::to_string(t),
                    "p" + std::to_string(t) + "_" + std::to_string(i) + ".gif", "2KB",
                    "http://h/a b");
        });
    for (auto& w : writers) w.join();
    EXPECT_TRUE(AppendItemLine(dir.Path(), "**", "page.htm", "", "http://h/"));
    EXPECT_TRUE(record.AppendItemLine(dir.Path(), "OK", "last.htm", "1KB", "http://h/last"));
    record.Close();
    EXPECT_TRUE(record.AppendItemLine(dir.Path(), "OK", "after.htm", "1KB", "http://h/after"))
        << "a line after Close still reaches the record";
    EXPECT_FALSE(record.AppendItemLine(dir.Path() + "missing/", "OK", "x", "1KB", "u"));

    const std::string text = dir.ReadFile("project.inf");
    std::vector<std::string> lines;
    for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end - pos));
    ASSERT_EQ(lines.size(), 7u + 200u + 3u);
    EXPECT_EQ(lines[0].size(), 22u) << "line 1 keeps its length";
    EXPECT_EQ(lines[0].substr(1, 10), "**00:00:0" + lines[0].substr(0, 1));
    std::set<std::string> items(lines.begin() + 7, lines.end() - 3);
    EXPECT_EQ(items.size(), 200u);
    for (const auto& line : items)
        EXPECT_TRUE(line.rfind("OK p", 0) == 0 && line.size() > 20 &&
                    std::string_view(line).ends_with(".gif 2KB http://h/a%20b"))
            << line;
    EXPECT_EQ(lines[207], "** page.htm  http://h/");
    EXPECT_EQ(lines[208], "OK last.htm 1KB http://h/last");
    EXPECT_EQ(lines[209], "OK after.htm 1KB http://h/after");
    EXPECT_FALSE(record.Open(dir.Path() + "missing/"));
}

TEST(ProjectFile, ItemFieldsEncodeSpacesAndControlBytes) {
    struct Case {
        const char* plain;
        const char* written;
    };
    const Case cases[] = {
        {"a.jpg", "a.jpg"},
        {"my pic.jpg", "my%20pic.jpg"},
        {"a\rb\nc\td\x7f", "a%0Db%0Ac%09d%7F"},
        {"caf\xC3\xA9 x", "caf\xC3\xA9%20x"},
        // A "%" of the text's own: "%20" must not read back as a space.
        {"my%20page.html", "my%2520page.html"},
        {"100%", "100%25"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeField(c.plain), c.written) << c.plain;
        EXPECT_EQ(DecodeField(c.written), c.plain) << c.written;
    }
    // Other escapes an address held read back as they were.
    for (const char* kept : {"a%41b", "100%", "%zz", "%4", "%2"})
        EXPECT_EQ(DecodeField(kept), kept);
    EXPECT_EQ(FormatItemLine("**", "a b.htm", "", "http://h/a b.htm\r\nOK x"),
              "** a%20b.htm  http://h/a%20b.htm%0D%0AOK%20x");
    // A header value holding a line end stays on its line.
    ProjectHeader h;
    h.urlLine = "URL=http://h/\r\nOK evil";
    EXPECT_NE(FormatHeader(h).find("URL=http://h/%0D%0AOK evil\r\n"), std::string::npos);
}

TEST(ProjectFile, BrowsingReaderDecodesNamesAndKeepsOlderLinesReadable) {
    test::TempDir dir;
    WriteFile(dir.Path() + "project.inf",
              "2**00:00:01   \r\nVersion=1.10\r\nFILTER=000000 0 900\r\nKEYWORDS=k\r\n"
              "SEARCHENGINE=e\r\nURL=http://site/\r\n             \r\n"
              "OK my%20page.htm 1KB http://site/my%20page.htm\r\n"
              "OK my%20pic.jpg 1KB http://site/my%20pic.jpg\r\n"
              // Written by an older version: the file's own name holds "%20".
              "OK old%20name.gif 1KB http://site/old%20name.gif\r\n");
    for (const char* f : {"my page.htm", "my pic.jpg", "old%20name.gif"})
        WriteFile(dir.Path() + f, "x");
    BrowsedProject p = ReadProjectForBrowsing(dir.Path());
    EXPECT_EQ(p.version, "1.10");
    ASSERT_EQ(p.pictures.size(), 2u);
    EXPECT_EQ(p.pictures[0].localName, "my pic.jpg");
    EXPECT_EQ(p.pictures[0].address, "http://site/my pic.jpg");
    EXPECT_EQ(p.pictures[1].localName, "old%20name.gif");
    ASSERT_EQ(p.pages.size(), 1u);
    EXPECT_EQ(p.pages[0].localName, "my page.htm");
    EXPECT_EQ(p.pages[0].address, "http://site/my page.htm");
}

TEST(ProjectFile, TheBrowsingReaderListsOnlyFilesOfTheProjectsOwnFolder) {
    // A damaged or foreign record naming files elsewhere: the browsing list
    // would show them, and Select All, Delete would trash them.
    test::TempDir home;
    const std::string folder = home.Path() + "My Search/Websearch/p/";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(home.Path() + "Documents");
    WriteFile(home.Path() + "Documents/thesis.odt", "years of work");
    WriteFile(home.Path() + "outside.gif", "GIF89a");
    WriteFile(folder + "mine.gif", "GIF89a");
    WriteFile(folder + "back\\slash.gif", "GIF89a");
    std::filesystem::create_symlink(home.Path() + "outside.gif", folder + "link.gif");
    std::filesystem::create_symlink(folder + "mine.gif", folder + "inner.gif");
    WriteFile(folder + "project.inf",
              "1**00:00:01   \r\nVersion=1.10\r\nFILTER=000000 0 900\r\nKEYWORDS=\r\n"
              "SEARCHENGINE=\r\nURL=http://x/\r\n             \r\n"
              "OK ../../../Documents/thesis.odt 1KB http://x/b.gif\r\n"
              "OK " +
                  home.Path() +
                  "outside.gif 1KB http://x/c.gif\r\n"
                  "OK back\\slash.gif 1KB http://x/d.gif\r\n"
                  "OK .. 1KB http://x/e.gif\r\n"
                  "OK link.gif 1KB http://x/f.gif\r\n"
                  "OK ../p/mine.gif 1KB http://x/g.gif\r\n"
                  "OK ../../x.html 1KB http://x/h.html\r\n"
                  "OK inner.gif 1KB http://x/i.gif\r\n"
                  "OK mine.gif 1KB http://x/a.gif\r\n");
    const BrowsedProject p = ReadProjectForBrowsing(folder);
    std::vector<std::string> names;
    for (const auto& pic : p.pictures) names.push_back(pic.localName);
    EXPECT_EQ(names, (std::vector<std::string>{"inner.gif", "mine.gif"}));
    EXPECT_TRUE(p.pages.empty());
}

TEST(ProjectFile, ConcurrentWritersNeverTearLines) {
    test::TempDir dir;
    ASSERT_TRUE(CreateProjectFile(dir.Path(), ProjectHeader{}));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                std::string name = "t" + std::to_string(t) + "_" + std::to_string(i) + ".gif";
                if (t % 2)
                    AppendItemLine(dir.Path(), "OK", name, "1KB",
                                   "http://h/" + std::string(300, 'x'));
                else
                    UpdateStatusAndAppend(dir.Path(), std::to_string(i) + "**00:00:01", name, "1KB",
                                          "http://h/" + std::string(300, 'y'));
            }
        });
    }
    for (auto& th : threads) th.join();
    std::string text = dir.ReadFile("project.inf");
    size_t pos = 0, lines = 0;
    std::set<std::string> names;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(pos, end - pos);
        if (++lines > 7) {
            ASSERT_EQ(line.substr(0, 3), "OK ") << line;
            std::string name = line.substr(3, line.find(' ', 3) - 3);
            ASSERT_EQ(line.size(), name.size() + 317) << line;
            names.insert(name);
        }
        pos = end + 2;
    }
    EXPECT_EQ(lines, 7u + 800u);
    EXPECT_EQ(names.size(), 800u);
}

TEST(ProjectFile, BrowsingReaderListsExistingPicturesOnly) {
    test::TempDir dir;
    WriteFile(dir.Path() + "project.inf",
              "4**01:02:03   \r\nVersion=1.1\r\nFILTER=100110 10 500\r\nKEYWORDS=big cats\r\n"
              "SEARCHENGINE=Images\r\nURL=http://site/x.html\r\n             \r\n"
              "OK index.html 3KB http://site/\r\n"
              "** gone.htm  http://site/gone.htm\r\n"
              "OK a.jpg 2KB http://site/a.jpg\r\n"
              "OK b.GIF 1KB http://site/b.GIF\r\n"
              "OK deleted.jpg 1KB http://site/deleted.jpg\r\n"
              "** c.bmp 1KB http://site/c.bmp\r\n"
              "OK d.bmp 5KB http://site/d.bmp\r\n"
              "OK e.jpeg 1KB http://site/e.jp");  // a writer still at work
    for (const char* f : {"a.jpg", "b.GIF", "c.bmp", "d.bmp", "e.jpeg", "index.html"})
        WriteFile(dir.Path() + f, "x");
    BrowsedProject p = ReadProjectForBrowsing(dir.Path());
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.elapsed, "01:02:03");
    EXPECT_EQ(p.url, "http://site/x.html");
    EXPECT_EQ(p.keywords, "big cats");
    EXPECT_EQ(p.engine, "Images");
    EXPECT_EQ(p.filterValue, "100110 10 500");
    ASSERT_EQ(p.pictures.size(), 4u);
    EXPECT_EQ(p.pictures[0].localName, "a.jpg");
    EXPECT_EQ(p.pictures[0].typeText, "JPEG Image");
    EXPECT_EQ(p.pictures[0].address, "http://site/a.jpg");
    EXPECT_EQ(p.pictures[1].typeText, "GIF Image");
    EXPECT_EQ(p.pictures[2].typeText, "BMP Image");
    EXPECT_EQ(p.pictures[3].address, "http://site/e.jp");

    test::TempDir empty;
    BrowsedProject none = ReadProjectForBrowsing(empty.Path());
    EXPECT_FALSE(none.found);
    EXPECT_TRUE(none.pictures.empty());
}

TEST(ProjectFile, SummaryReaderForTheHistories) {
    test::TempDir dir;
    WriteFile(
        dir.Path() + "project.inf",
        "17**00:00:09            \r\nVersion=1.1\r\nFILTER=000000 0 900\r\nKEYWORDS=cats  \r\n"
        "SEARCHENGINE=\r\nURL=http://first/\r\n             \r\nIMAGE=42\r\nURL=http://second/\r\n"
        "OK a 1KB u\r\nOK b 1KB u\r\nURL=http://too-late/\r\n");
    ProjectSummary s = ReadProjectSummary(dir.Path(), 11);
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.pictures, "17");
    EXPECT_EQ(s.keywords, "cats");
    EXPECT_EQ(s.image, "42");
    EXPECT_EQ(s.url, "http://second/");
    EXPECT_GT(s.modified, 0);
    EXPECT_EQ(ReadProjectSummary(dir.Path(), 14).url, "http://too-late/");

    test::TempDir noStar;
    WriteFile(noStar.Path() + "project.inf", "9 00:00:01   \r\n");
    EXPECT_EQ(ReadProjectSummary(noStar.Path(), 14).pictures, "9 00:00:01");
    test::TempDir missing;
    EXPECT_FALSE(ReadProjectSummary(missing.Path(), 14).found);
}

}  // namespace
}  // namespace pq::store
