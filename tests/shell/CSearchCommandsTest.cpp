#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "shell/CSearchCommands.h"
#include "store/ProjectFile.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        app.startDirectory = dir.Path();
        app.Load(QString::fromStdString(dir.Path() + "test.conf"));
        // The searches enter what they save into an index of the test's own.
        app.indexPath = dir.Path() + "data/pictures.sqlite";
        app.searchHost = server.HostPort();
    }
    void Finish() {
        doc.WaitForCrawl();
        ASSERT_TRUE(doc.WaitForDownloads(60000));
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void Serve(const std::string& target, const std::string& body, int status = 200) {
        test::Route r;
        r.status = status;
        r.body = body;
        server.Set(target, r);
    }

    test::TestHttpServer server;
    test::TempDir dir;
    CPelquinarApp app;
    CSearchState state;
    test::RecordingUi ui;
    CPelquinarDoc doc{state, ui};
    CSearchCommands commands{app, state, doc};
};

TEST(Trim, AddressKeywordsAndEngine) {
    EXPECT_EQ(CSearchCommands::TrimAddress("http://h/ \r\n \n"), "http://h/");
    EXPECT_EQ(CSearchCommands::TrimAddress("  http://h/"), "  http://h/");
    EXPECT_EQ(CSearchCommands::TrimKeywords("cats /"), "cats");
    EXPECT_EQ(CSearchCommands::TrimKeywords("cats/ "), "cats/");
    EXPECT_EQ(CSearchCommands::TrimKeywords("red cars\r\n"), "red cars");
    EXPECT_EQ(CSearchCommands::TrimKeywords("/"), "");
    EXPECT_EQ(CSearchCommands::EngineName("google Image Search"), "googleImageSearch");
    EXPECT_EQ(CSearchCommands::EngineName(" Google  Image Search "), "GoogleImageSearch");
}

TEST_F(Commands, ProjectNames) {
    std::string message;
    app.searchMode = "searchkey";
    SearchBarText bar{"", "red cars", "googleImageSearch"};
    const std::string base = commands.KeyBaseFolder();
    EXPECT_EQ(commands.MakeProjectName(bar, base, message), "googleImageSearch=red cars");
    EXPECT_EQ(message, "");
    std::filesystem::create_directories(base + "googleImageSearch=red cars");
    EXPECT_EQ(commands.MakeProjectName(bar, base, message), "googleImageSearch=red cars[1]");
    std::filesystem::create_directories(base + "googleImageSearch=red cars[1]");
    EXPECT_EQ(commands.MakeProjectName(bar, base, message), "googleImageSearch=red cars[2]");
    bar.keywords = "";
    EXPECT_EQ(commands.MakeProjectName(bar, base, message), "");
    EXPECT_EQ(message, "Please input keywords!");

    app.searchMode = "searchweb";
    const std::string web = commands.WebBaseFolder();
    struct Case {
        const char* address;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"http://H/a/b.htm?x=1&y=2", "H=a=b.htm?x=1"},
        {"www.site.com/pics/", "e.com=pics="},
        {"http://host", "host"},
        {"http://..", "..[1]"},
        {"http://", ""},
    };
    for (const auto& c : cases) {
        SearchBarText b{c.address, "", ""};
        EXPECT_EQ(commands.MakeProjectName(b, web, message), c.name) << c.address;
    }
    SearchBarText none{"", "", ""};
    EXPECT_EQ(commands.MakeProjectName(none, web, message), "");
    EXPECT_EQ(message, "Please input address!");
}

TEST_F(Commands, QueryAddressesKeepTheKeywordsAsTyped) {
    app.searchHost = "images.example";
    EXPECT_EQ(commands.KeywordQueryUrl("red cars"),
              "http://images.example/images?q=red "
              "cars&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N");
    EXPECT_EQ(commands.AdvancedKeywordQueryUrl("red cars"),
              "http://images.example/images?q=red cars&svnum=10&hl=it&start=0&sa=N");
    EXPECT_EQ(CSearchCommands::AdvancedWebFilterCode(true, false, false, 10, 500), "100100 10 500");
    EXPECT_EQ(CSearchCommands::AdvancedWebFilterCode(true, true, false, 0, 900), "100110 0 900");
    EXPECT_EQ(CSearchCommands::AdvancedKeyFilterCode(true, false), "910000 0 900");
}

TEST_F(Commands, FilterCodesReadBack) {
    app.searchMode = "searchkey";
    commands.ApplyFilterCode("000000 0 900");
    EXPECT_EQ(state.mode, "key");
    app.searchMode = "searchweb";
    commands.ApplyFilterCode("000000 0 900");
    EXPECT_EQ(state.mode, "web");
    commands.ApplyFilterCode("100101 10 500");
    EXPECT_EQ(state.mode, "advancedweb");
    EXPECT_TRUE(state.filter.gif);
    EXPECT_FALSE(state.filter.jpg);
    EXPECT_TRUE(state.filter.bmp);
    commands.ApplyFilterCode("901000 0 900");
    EXPECT_EQ(state.mode, "advancedkey");
    EXPECT_FALSE(state.filter.thumbnails);
    EXPECT_TRUE(state.filter.big);
}

TEST_F(Commands, TheFourSearchesWriteTheirRecords) {
    Serve("/site/index.html", "<img src=a.gif>");
    Serve("/site/a.gif", test::PictureBytes(500));
    const std::string address = server.Url("/site/index.html");
    const std::string hostPath = server.HostPort() + "/site/index.html";

    app.searchMode = "searchweb";
    SearchStart web = commands.WebSearch(SearchBarText{address + " \r\n", "", ""});
    ASSERT_TRUE(web.started);
    Finish();
    EXPECT_EQ(web.projectFolder,
              commands.WebBaseFolder() + server.HostPort().substr(0) + "=site=index.html/");
    EXPECT_EQ(state.mode, "web");
    EXPECT_EQ(Read(web.projectFolder + "project.inf").substr(0, 120),
              ("1**00:00:00            \r\nVersion=1.1\r\nFILTER=000000 0 "
               "900\r\nKEYWORDS=\r\nSEARCHENGINE=\r\nURL=" +
               address + "\r\n             \r\n")
                  .substr(0, 120));
    EXPECT_EQ(app.history.front(), address);
    (void)hostPath;

    app.searchMode = "searchweb";
    AdvancedWebOptions o;
    o.projectName = "my gallery";
    o.depth = 1;
    o.gif = true;
    o.jpg = false;
    o.bmp = false;
    o.minKb = 0;
    o.maxKb = 500;
    SearchStart adv = commands.AdvancedWebSearch(SearchBarText{address, "", ""}, o);
    ASSERT_TRUE(adv.started);
    Finish();
    EXPECT_EQ(adv.projectFolder, commands.WebBaseFolder() + "my gallery/");
    EXPECT_EQ(state.mode, "advancedweb");
    EXPECT_EQ(app.maxLevels, 1) << "the dialog's depth is stored";
    EXPECT_EQ(app.imageMaxSize, 500);
    EXPECT_FALSE(app.bJpg);
    std::string inf = Read(adv.projectFolder + "project.inf");
    EXPECT_EQ(inf.substr(inf.find("Version")),
              std::string("Version=1.1\r\nFILTER=100100 0 500\r\nKEYWORDS=\r\n"
                          "SEARCHENGINE=\r\nURL=") +
                  address + "\r\n             \r\n" + inf.substr(inf.find("OK ")));
    EXPECT_EQ(inf.substr(0, 11), "1**00:00:00") << "the first picture writes the ** form";

    app.searchMode = "searchkey";
    const std::string q = "/images?q=red cars&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N";
    const std::string encoded =
        "/images?q=red%20cars&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N";
    Serve("/images?q=red%20cars&svnum=10&hl=it&lr=&ie=UTF-8&oe=UTF-8&start=0&sa=N",
          "<title>results</title>");
    SearchStart key =
        commands.KeywordSearch(SearchBarText{"", "red cars /", "google Image Search"});
    ASSERT_TRUE(key.started);
    Finish();
    EXPECT_EQ(key.projectFolder, commands.KeyBaseFolder() + "googleImageSearch=red cars/");
    EXPECT_EQ(key.startAddress, "http://" + server.HostPort() + q);
    EXPECT_EQ(state.mode, "key");
    EXPECT_TRUE(state.keywordFlag.load());
    inf = Read(key.projectFolder + "project.inf");
    EXPECT_EQ(
        inf,
        "0**00:00:00            \r\nVersion=1.10\r\nFILTER=000000 0 900\r\nKEYWORDS=red cars\r\n"
        "SEARCHENGINE=googleImageSearch\r\nURL=http://" +
            server.HostPort() + q + "\r\n             \r\nOK " + encoded.substr(1) +
            ".htm 22bytes http://" + server.HostPort() + encoded + "\r\n")
        << "item fields carry their spaces encoded, so the line keeps four fields";
    EXPECT_EQ(app.keywords.front(), "red cars");

    const std::string aq = "/images?q=red cars&svnum=10&hl=it&start=0&sa=N";
    SearchStart akey = commands.AdvancedKeywordSearch(
        SearchBarText{"", "red cars", "Google Image Search"}, true, false);
    ASSERT_TRUE(akey.started);
    Finish();
    EXPECT_EQ(akey.projectFolder, commands.KeyBaseFolder() + "GoogleImageSearch=red cars/");
    EXPECT_EQ(state.mode, "advancedkey");
    inf = Read(akey.projectFolder + "project.inf");
    EXPECT_EQ(
        inf.substr(0, inf.find("\r\n             \r\n")),
        "0 00:00:00            \r\nVersion=1.1\r\nFILTER=910000 0 900\r\nKEYWORDS=red cars\r\n"
        "SEARCHENGINE=GoogleImageSearch\r\nURL=http://" +
            server.HostPort() + aq);
    EXPECT_TRUE(app.bThum);
    EXPECT_FALSE(app.bBig);
    EXPECT_EQ(app.keywords, std::vector<std::string>{"red cars"})
        << "the same keywords are not listed twice";
}

TEST_F(Commands, EmptyInputStartsNothing) {
    app.searchMode = "searchweb";
    EXPECT_FALSE(commands.WebSearch(SearchBarText{" \r\n", "", ""}).started);
    app.searchMode = "searchkey";
    EXPECT_FALSE(commands.KeywordSearch(SearchBarText{"", " /", ""}).started);
    SearchStart a = commands.AdvancedWebSearch(SearchBarText{"", "", ""}, AdvancedWebOptions{});
    EXPECT_FALSE(a.started);
    EXPECT_EQ(a.message, "Please input address!");
    EXPECT_EQ(server.TotalCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "My Search"));
}

TEST_F(Commands, GoInKeywordModeWithoutKeywordsStillStartsInTheBaseFolder) {
    Serve("/x.html", "x");
    app.searchMode = "searchkey";
    SearchStart s = commands.WebSearch(SearchBarText{server.Url("/x.html"), "", ""});
    EXPECT_TRUE(s.started);
    EXPECT_EQ(s.message, "Please input keywords!");
    EXPECT_EQ(s.projectFolder, commands.WebBaseFolder());
    Finish();
}

TEST_F(Commands, AFolderThatCannotBeMadeStartsNothing) {
    std::ofstream(dir.Path() + "My Search") << "a file in the way";
    app.searchMode = "searchweb";
    SearchStart s = commands.WebSearch(SearchBarText{server.Url("/x.html"), "", ""});
    EXPECT_FALSE(s.started);
    EXPECT_TRUE(s.folderFailed);
    EXPECT_EQ(server.TotalCount(), 0);
}

TEST_F(Commands, ContinueFetchesOnlyWhatTheStoppedSearchHadNot) {
    Serve("/index.html", "<img src=a.gif><img src=b.gif><a href=p.html>");
    Serve("/p.html", "<img src=c.gif><img src=d.gif>");
    Serve("/a.gif", test::PictureBytes(400, 'a'));
    Serve("/b.gif", test::PictureBytes(400, 'b'));
    // c and d are not there yet: the first run saves a and b only.
    app.searchMode = "searchweb";
    app.maxLevels = 1;
    SearchStart first = commands.WebSearch(SearchBarText{server.Url("/index.html"), "", ""});
    ASSERT_TRUE(first.started);
    Finish();
    EXPECT_EQ(state.DownloadedCount(), 2);
    EXPECT_EQ(server.Count("/c.gif"), 1);

    Serve("/c.gif", test::PictureBytes(400, 'c'));
    Serve("/d.gif", test::PictureBytes(400, 'd'));
    {
        // The project ran for 65 seconds before it was stopped.
        std::string inf = Read(first.projectFolder + "project.inf");
        inf.replace(0, 11, "2**00:01:05");
        std::ofstream(first.projectFolder + "project.inf", std::ios::binary) << inf;
    }
    SearchStart again = commands.Continue(first.projectFolder);
    ASSERT_TRUE(again.started);
    EXPECT_EQ(again.elapsedSeconds, 65);
    EXPECT_EQ(again.projectFolder, first.projectFolder);
    Finish();
    EXPECT_EQ(server.Count("/a.gif"), 1) << "not fetched again";
    EXPECT_EQ(server.Count("/b.gif"), 1) << "not fetched again";
    EXPECT_EQ(server.Count("/c.gif"), 2);
    EXPECT_EQ(server.Count("/d.gif"), 2);
    EXPECT_EQ(state.DownloadedCount(), 4);
    std::string inf = Read(first.projectFolder + "project.inf");
    EXPECT_EQ(inf.substr(0, 11), "4**00:01:05");
    EXPECT_EQ(inf.find("VERSION"), std::string::npos);
    // The header, two pages and two pictures, then the same pages again and
    // the two new pictures.
    EXPECT_EQ(std::count(inf.begin(), inf.end(), '\n'), 7 + 4 + 4) << inf;
    for (const char* f : {"a.gif", "b.gif", "c.gif", "d.gif"})
        EXPECT_TRUE(std::filesystem::exists(first.projectFolder + f)) << f;
    EXPECT_FALSE(std::filesystem::exists(first.projectFolder + "a_1.gif"));
    // The pages fetched again go over their own earlier copies.
    EXPECT_FALSE(std::filesystem::exists(first.projectFolder + "index__1.html"));
    EXPECT_FALSE(std::filesystem::exists(first.projectFolder + "p__1.html"));
    EXPECT_EQ(state.queue.Queued(), 4);

    test::TempDir empty;
    SearchStart none = commands.Continue(empty.Path());
    EXPECT_FALSE(none.started);
    EXPECT_FALSE(none.message.empty());
}

TEST_F(Commands, ContinueWritesAPageWithAPercentInItsAddressOverItsOwnCopy) {
    // Every result page of an open service has "%20" in its address; so do
    // many pages of the web.
    Serve("/my%20page.html", "<img src=a%20b.gif><a href=\"next%2520x.html\">");
    Serve("/next%2520x.html", "end");
    Serve("/a%20b.gif", test::PictureBytes(400, 'a'));
    app.searchMode = "searchweb";
    app.maxLevels = 1;
    SearchStart first = commands.WebSearch(SearchBarText{server.Url("/my%20page.html"), "", ""});
    ASSERT_TRUE(first.started);
    Finish();
    const std::string folder = first.projectFolder;
    // A line of an older version, which wrote "%" as it stood.
    {
        std::ofstream(folder + "old%20one.html") << "older";
        store::AppendItemLine(folder, "OK", "placeholder", "5bytes", "http://h/old%20one.html");
        std::string inf = Read(folder + "project.inf");
        inf.replace(inf.find("placeholder"), 11, "old%20one.html");
        std::ofstream(folder + "project.inf", std::ios::binary) << inf;
    }
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(commands.Continue(folder).started) << run;
        Finish();
    }
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{"HalvCon1.htm", "a%20b.gif", "my%20page.html",
                                        "next%2520x.html", "old%20one.html", "project.inf"}));
    const auto p = store::ReadProjectForBrowsing(folder);
    ASSERT_EQ(p.pictures.size(), 1u);
    EXPECT_EQ(p.pictures[0].localName, "a%20b.gif");
    EXPECT_EQ(p.pictures[0].address, server.Url("/a%20b.gif"));
    ASSERT_GE(p.pages.size(), 3u);
    EXPECT_EQ(p.pages[0].localName, "my%20page.html");
    EXPECT_EQ(p.pages[0].address, server.Url("/my%20page.html"));
    EXPECT_EQ(p.pages[2].localName, "old%20one.html") << "an older line read as written";
    EXPECT_EQ(server.Count("/a%20b.gif"), 1) << "not fetched again";
}

TEST_F(Commands, ContinueTakesTheKindFromTheProjectNotFromTheSearchBar) {
    Serve("/index.html", "<img src=a.gif><img src=b.gif>");
    Serve("/a.gif", test::PictureBytes(400, 'a'));
    app.searchMode = "searchweb";
    app.maxLevels = 0;
    SearchStart web =
        commands.WebSearch(SearchBarText{server.Url("/index.html"), "", ""}, dir.Path() + "mine/");
    ASSERT_TRUE(web.started);
    Finish();
    EXPECT_EQ(state.DownloadedCount(), 1);

    // A keyword search since left the search bar in keyword mode.
    app.searchMode = "searchkey";
    Serve("/b.gif", test::PictureBytes(400, 'b'));
    SearchStart again = commands.Continue(dir.Path() + "mine/");
    ASSERT_TRUE(again.started);
    EXPECT_EQ(state.mode, "web");
    EXPECT_FALSE(state.keywordFlag.load());
    Finish();
    EXPECT_EQ(server.Count("/b.gif"), 2) << "the missing picture is fetched";
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "mine/b.gif"));
}

TEST_F(Commands, ContinueReadsADamagedClockAsZero) {
    Serve("/index.html", "page");
    app.searchMode = "searchweb";
    app.maxLevels = 0;
    for (const char* line1 : {"0**99999999999:00:00", "0**2147483647:59:59", "0**01:99:00"}) {
        test::TempDir project;
        std::ofstream(project.Path() + "project.inf", std::ios::binary)
            << line1 << "\r\nVersion=1.1\r\nFILTER=000000 0 900\r\nKEYWORDS=\r\n"
            << "SEARCHENGINE=\r\nURL=" << server.Url("/index.html") << "\r\n             \r\n";
        SearchStart s = commands.Continue(project.Path());
        ASSERT_TRUE(s.started) << line1;
        EXPECT_EQ(s.elapsedSeconds, 0) << line1;
        Finish();
    }
}

TEST_F(Commands, TheSizeOnScreenGoesIntoTheSettingsAndTheSearchButNotTheRecord) {
    Serve("/index.html", "page");
    AdvancedWebOptions o;
    o.projectName = "walls";
    o.minKb = 10;
    o.maxKb = 500;
    o.minWidth = 1920;
    o.minHeight = 1080;
    SearchStart s = commands.AdvancedWebSearch(SearchBarText{server.Url("/index.html"), "", ""}, o);
    ASSERT_TRUE(s.started);
    Finish();
    EXPECT_EQ(app.imageMinWidth, 1920) << "Start keeps it for later searches";
    EXPECT_EQ(app.imageMinHeight, 1080);
    EXPECT_EQ(state.minWidth, 1920);
    EXPECT_EQ(state.minHeight, 1080);
    // The record's filter line is what every reader of project.inf knows.
    const std::string inf = Read(s.projectFolder + "project.inf");
    EXPECT_NE(inf.find("\r\nFILTER=100111 10 500\r\n"), std::string::npos) << inf;
    EXPECT_EQ(store::ReadProjectForBrowsing(s.projectFolder).filterValue, "100111 10 500");

    // Continued, the project searches with the settings' bound as it does
    // with their sizes in KB.
    app.imageMinWidth = 800;
    app.imageMinHeight = 0;
    SearchStart c = commands.Continue(s.projectFolder);
    ASSERT_TRUE(c.started);
    Finish();
    EXPECT_EQ(state.mode, "advancedweb");
    EXPECT_EQ(state.minWidth, 800);
    EXPECT_EQ(state.minHeight, 0);

    // Out of range from a caller: brought into 0 to 100000.
    o.projectName = "walls2";
    o.minWidth = -5;
    o.minHeight = 100001;
    ASSERT_TRUE(
        commands.AdvancedWebSearch(SearchBarText{server.Url("/index.html"), "", ""}, o).started);
    Finish();
    EXPECT_EQ(app.imageMinWidth, 0);
    EXPECT_EQ(app.imageMinHeight, CPelquinarApp::kMaxPixels);
}

TEST_F(Commands, TheDepthStaysWithinWhatTheDialogsOffer) {
    AdvancedWebOptions o;
    o.projectName = "deep";
    o.depth = 9999999;
    Serve("/index.html", "page");
    SearchStart s = commands.AdvancedWebSearch(SearchBarText{server.Url("/index.html"), "", ""}, o);
    ASSERT_TRUE(s.started);
    Finish();
    EXPECT_EQ(app.maxLevels, CPelquinarApp::kMaxDepth);
    EXPECT_EQ(state.maxLevels, CPelquinarApp::kMaxDepth);
}

}  // namespace
}  // namespace pq
