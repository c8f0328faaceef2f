#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "shell/CPelquinarApp.h"
#include "shell/SettingsKey.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

class Settings : public ::testing::Test {
protected:
    QString Path() const { return QString::fromStdString(dir.Path() + "Pelquinar.conf"); }
    void WriteIni(const std::string& text) {
        const std::string path = dir.Path() + "Pelquinar.conf";
        {
            std::ofstream out(path, std::ios::binary);
            out << text;
        }
        // QSettings keeps a file it has read and reads it again only when its
        // size or time changed: two texts of one length written within the
        // same millisecond would read as the first. Each write gets a time
        // of its own.
        static int writes = 0;
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++writes));
    }
    CPelquinarApp Loaded() {
        CPelquinarApp app;
        app.startDirectory = dir.Path();
        app.Load(Path());
        return app;
    }
    test::TempDir dir;
};

TEST_F(Settings, AnEmptyStoreGivesTheDefaults) {
    CPelquinarApp app = Loaded();
    EXPECT_EQ(app.thumbWidth, 80);
    EXPECT_EQ(app.thumbHeight, 80);
    EXPECT_EQ(app.thumbBorder, 15);
    EXPECT_EQ(app.slideDelay, 1);
    EXPECT_EQ(app.imageMinSize, 0);
    EXPECT_EQ(app.imageMaxSize, 900);
    EXPECT_TRUE(app.bGif && app.bJpg && app.bBmp && app.bThum);
    EXPECT_FALSE(app.bBig);
    EXPECT_EQ(app.maxLevels, 2);
    EXPECT_EQ(app.maxPages, 1);
    EXPECT_EQ(app.limit, 0);
    EXPECT_EQ(app.useProxy, "0");
    EXPECT_FALSE(app.UsesProxy());
    EXPECT_EQ(app.winMode, "left");
    EXPECT_EQ(app.listMode, "smallbmp");
    EXPECT_EQ(app.sListMode, "smallbmp");
    EXPECT_EQ(app.searchMode, "searchweb");
    EXPECT_EQ(app.tabMode, "search");
    EXPECT_EQ(app.dirCreate, "-1");
    EXPECT_EQ(app.searchHost, "images.google.com");
    EXPECT_TRUE(app.keywords.empty() && app.history.empty() && app.items.empty());
    EXPECT_FALSE(dir.Exists("Pelquinar.conf")) << "loading writes nothing";
}

TEST_F(Settings, FirstRunRuleIgnoresStoredPictureValues) {
    WriteIni("[General]\nthumbsize=200,30,2\nslidedelay=7\nbBig=1\n");
    CPelquinarApp first = Loaded();
    EXPECT_EQ(first.thumbWidth, 80);
    EXPECT_EQ(first.thumbHeight, 80);
    EXPECT_EQ(first.thumbBorder, 15);
    EXPECT_EQ(first.slideDelay, 1);
    EXPECT_FALSE(first.bBig);

    WriteIni("[General]\nthumbsize=200,30,2\nwinmode=right\nslidedelay=7\nbBig=1\nbGif=yes\n");
    CPelquinarApp later = Loaded();
    EXPECT_EQ(later.thumbWidth, 180) << "no wider than the options offer";
    EXPECT_EQ(later.thumbHeight, 80);
    EXPECT_EQ(later.thumbBorder, 15);
    EXPECT_EQ(later.slideDelay, 7);
    EXPECT_TRUE(later.bBig);
    EXPECT_FALSE(later.bGif) << "a flag is on exactly when it is \"1\"";
    EXPECT_FALSE(later.bJpg);
    EXPECT_EQ(later.winMode, "right");
}

TEST_F(Settings, Corrections) {
    struct Case {
        const char* ini;
        int maxSize, slide, levels, pages;
    };
    const std::vector<Case> cases = {
        {"slidedelay=0\nimagemaxsize=2\nmaxlevels=0\nmaxpages=0\n", 900, 1, 2, 1},
        {"slidedelay=3\nimagemaxsize=3\nmaxlevels=5\nmaxpages=4\n", 3, 3, 5, 4},
        {"slidedelay=x\nimagemaxsize=-5\nmaxlevels=abc\nmaxpages=\n", 900, 1, 2, 1},
        // A depth beyond what the options offer would make every search
        // walk without end.
        {"slidedelay=1\nimagemaxsize=9\nmaxlevels=2147483647\nmaxpages=1\n", 9, 1, 20, 1},
        {"slidedelay=1\nimagemaxsize=9\nmaxlevels=-3\nmaxpages=1\n", 9, 1, 2, 1},
    };
    for (const auto& c : cases) {
        WriteIni(std::string("[General]\nwinmode=left\n") + c.ini);
        CPelquinarApp app = Loaded();
        EXPECT_EQ(app.imageMaxSize, c.maxSize) << c.ini;
        EXPECT_EQ(app.slideDelay, c.slide) << c.ini;
        EXPECT_EQ(app.maxLevels, c.levels) << c.ini;
        EXPECT_EQ(app.maxPages, c.pages) << c.ini;
    }
    // Values beyond what the options offer come into their ranges: a huge
    // thumbnail would take gigabytes, a huge delay overflows the timer.
    struct Bounded {
        const char* ini;
        int w, h, border, slide, minKb, maxKb;
    };
    const std::vector<Bounded> bounded = {
        {"thumbsize=100000,100000,15\n", 180, 180, 15, 1, 0, 900},
        {"thumbsize=181,40,21\n", 180, 40, 20, 1, 0, 900},
        {"thumbsize=180,179,20\nslidedelay=60\n", 180, 179, 20, 60, 0, 900},
        {"slidedelay=3000000\n", 80, 80, 15, 60, 0, 900},
        {"slidedelay=61\nimageminsize=-1\nimagemaxsize=5000000\n", 80, 80, 15, 60, 0, 1000000},
        {"slidedelay=-4\nimageminsize=99999999999\n", 80, 80, 15, 1, 1000000, 900},
    };
    for (const auto& c : bounded) {
        WriteIni(std::string("[General]\nwinmode=left\n") + c.ini);
        CPelquinarApp app = Loaded();
        EXPECT_EQ(app.thumbWidth, c.w) << c.ini;
        EXPECT_EQ(app.thumbHeight, c.h) << c.ini;
        EXPECT_EQ(app.thumbBorder, c.border) << c.ini;
        EXPECT_EQ(app.slideDelay, c.slide) << c.ini;
        EXPECT_EQ(app.imageMinSize, c.minKb) << c.ini;
        EXPECT_EQ(app.imageMaxSize, c.maxKb) << c.ini;
    }
    // Transfers at once and connections per host: within their ranges.
    const std::vector<std::tuple<const char*, int, int>> limits = {
        {"", 6, 6},
        {"transfers=1\nhostconnections=16\n", 1, 16},
        {"transfers=0\nhostconnections=0\n", 6, 6},
        {"transfers=7\nhostconnections=17\n", 6, 6},
        {"transfers=-2\nhostconnections=x\n", 6, 6},
    };
    for (const auto& [ini, transfers, perHost] : limits) {
        WriteIni(std::string("[General]\nwinmode=left\n") + ini);
        CPelquinarApp app = Loaded();
        EXPECT_EQ(app.transfers, transfers) << ini;
        EXPECT_EQ(app.hostConnections, perHost) << ini;
    }
    for (const char* v : {"yes", "1", "on"}) {
        WriteIni(std::string("[General]\nuseproxy=") + v + "\n");
        EXPECT_TRUE(Loaded().UsesProxy()) << v;
    }
    for (const char* v : {"0", ""}) {
        WriteIni(std::string("[General]\nuseproxy=") + v + "\n");
        EXPECT_FALSE(Loaded().UsesProxy()) << v;
        EXPECT_EQ(Loaded().useProxy, "0");
    }
}

TEST_F(Settings, TheSmallestSizeOnScreenIsReadIntoItsRange) {
    struct Case {
        const char* ini;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"", 0, 0},
        {"imageminwidth=1920\nimageminheight=1080\n", 1920, 1080},
        {"imageminwidth=100000\nimageminheight=100001\n", 100000, 100000},
        {"imageminwidth=-1\nimageminheight=99999999999\n", 0, 100000},
        {"imageminwidth=-99999999999\nimageminheight=0\n", 0, 0},
        {"imageminwidth=abc\nimageminheight=\n", 0, 0},
        {"imageminwidth=1920px\nimageminheight=1080.5\n", 1920, 1080},
    };
    // Settings of an earlier run, and a file that has only these two: they
    // are read either way.
    for (const char* head : {"[General]\nwinmode=left\n", "[General]\n"}) {
        for (const Case& c : cases) {
            WriteIni(std::string(head) + c.ini);
            CPelquinarApp app = Loaded();
            EXPECT_EQ(app.imageMinWidth, c.width) << head << c.ini;
            EXPECT_EQ(app.imageMinHeight, c.height) << head << c.ini;
        }
    }
    CPelquinarApp app = Loaded();
    app.imageMinWidth = 2560;
    app.imageMinHeight = 1440;
    app.Save();
    EXPECT_NE(dir.ReadFile("Pelquinar.conf").find("imageminwidth=2560"), std::string::npos);
    CPelquinarApp back = Loaded();
    EXPECT_EQ(back.imageMinWidth, 2560);
    EXPECT_EQ(back.imageMinHeight, 1440);
}

TEST_F(Settings, ListsStopAtTheFirstGapAndOnlyFiftyComeBack) {
    WriteIni("[General]\nKeyword0=cats\nKeyword1=dogs\nKeyword3=birds\nHistory0=http://a/\n");
    CPelquinarApp app = Loaded();
    EXPECT_EQ(app.keywords, (std::vector<std::string>{"cats", "dogs"}));
    EXPECT_EQ(app.history, std::vector<std::string>{"http://a/"});

    app.keywords.clear();
    for (int i = 0; i < 60; ++i) app.keywords.push_back("k" + std::to_string(i));
    app.Save();
    SettingsKey key;
    key.Open(Path());
    std::string text;
    EXPECT_TRUE(key.Read("Keyword59", text));
    EXPECT_EQ(text, "k59");
    EXPECT_FALSE(key.Read("Keyword3x", text));
    key.Close();
    CPelquinarApp again = Loaded();
    ASSERT_EQ(again.keywords.size(), 50u);
    EXPECT_EQ(again.keywords[49], "k49");
    EXPECT_EQ(again.history, std::vector<std::string>{"http://a/"});
}

TEST_F(Settings, TheStartDirectoryComesFromTheSettingUnlessGivenForTheRun) {
    // No setting: the user's Pictures folder, never the current directory.
    WriteIni("[General]\nwinmode=left\n");
    {
        CPelquinarApp app;
        app.Load(QString::fromStdString(dir.Path() + "Pelquinar.conf"));
        EXPECT_EQ(app.startDirectory, CPelquinarApp::DefaultStartDirectory());
        EXPECT_NE(app.startDirectory.find("/Pelquinar/"), std::string::npos);
    }
    WriteIni("[General]\nwinmode=left\nstartdir=" + dir.Path() + "pics\n");
    CPelquinarApp app;
    app.Load(QString::fromStdString(dir.Path() + "Pelquinar.conf"));
    EXPECT_EQ(app.startDirectory, dir.Path() + "pics/");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "pics")) << "loading makes nothing";
    EXPECT_TRUE(app.EnsureStartDirectory());
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "pics"));

    // An override is for this run: the setting is written back unchanged.
    CPelquinarApp once;
    once.startDirectory = dir.Path() + "other/";
    once.Load(QString::fromStdString(dir.Path() + "Pelquinar.conf"));
    EXPECT_EQ(once.startDirectory, dir.Path() + "other/");
    once.Save();
    CPelquinarApp back;
    back.Load(QString::fromStdString(dir.Path() + "Pelquinar.conf"));
    EXPECT_EQ(back.startDirectory, dir.Path() + "pics/");
}

TEST_F(Settings, SaveWritesEveryValueAndLongValuesComeBackWhole) {
    CPelquinarApp app = Loaded();
    app.proxy = std::string(300, 'p') + ":8080";
    app.items = {"/tmp/a", "/tmp/b"};
    app.maxLevels = 4;
    app.bBig = true;
    app.thumbWidth = 120;
    app.searchHost = "127.0.0.1:9999";
    app.password = "s e c=r,e;t";
    app.Save();
    std::ifstream in(dir.Path() + "Pelquinar.conf");
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* name :
         {"thumbsize",     "slidedelay",    "imageminsize", "imagemaxsize", "bGif",
          "bJpg",          "bBmp",          "bThum",        "bBig",         "winmode",
          "listmode",      "slistmode",     "searchmode",   "tabmode",      "dircreate",
          "maxlevels",     "maxpages",      "limit",        "useproxy",     "proxy",
          "port",          "username",      "password",     "Item0",        "Item1",
          "searchhost",    "startdir",      "picturelimit", "transfers",    "hostconnections",
          "imageminwidth", "imageminheight"})
        EXPECT_NE(file.find(std::string(name) + "="), std::string::npos) << name;
    CPelquinarApp back = Loaded();
    EXPECT_EQ(back.proxy, std::string(300, 'p') + ":8080");
    EXPECT_EQ(back.items, (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
    EXPECT_EQ(back.maxLevels, 4);
    EXPECT_TRUE(back.bBig);
    EXPECT_EQ(back.thumbWidth, 120);
    EXPECT_EQ(back.thumbHeight, 80);
    EXPECT_EQ(back.searchHost, "127.0.0.1:9999");
    EXPECT_EQ(back.password, "s e c=r,e;t");
}

TEST_F(Settings, AMalformedOrUnreadableFileGivesDefaultsAndIsKeptUntilExit) {
    static const char kJunk[] = "\x00\x01[[[General\nwinmode\n=\n\xff\xfe=broken\n[";
    const std::string junk = std::string(kJunk, sizeof kJunk - 1) + "maxlevels=7";
    WriteIni(junk);
    CPelquinarApp app = Loaded();
    EXPECT_EQ(app.thumbWidth, 80);
    EXPECT_EQ(dir.ReadFile("Pelquinar.conf"), junk) << "loading leaves the file alone";

    WriteIni("[General]\nwinmode=right\nmaxlevels=5\n");
    ::chmod((dir.Path() + "Pelquinar.conf").c_str(), 0);
    if (::geteuid() != 0) {
        CPelquinarApp locked = Loaded();
        EXPECT_EQ(locked.maxLevels, 2);
    }
    ::chmod((dir.Path() + "Pelquinar.conf").c_str(), 0644);

    // A folder where the file should be: nothing can be read or written.
    test::TempDir other;
    std::string asDir = other.Path() + "conf";
    ::mkdir(asDir.c_str(), 0755);
    CPelquinarApp none;
    none.Load(QString::fromStdString(asDir));
    EXPECT_EQ(none.maxLevels, 2);
    none.Save();
}

TEST_F(Settings, TheFileComesFromTheEnvironment) {
    ::setenv("PELQUINAR_CONFIG", "/some/where.conf", 1);
    EXPECT_EQ(SettingsKey::DefaultPath(), "/some/where.conf");
    ::unsetenv("PELQUINAR_CONFIG");
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(SettingsKey::DefaultPath().toStdString(), dir.Path() + "Pelquinar/Pelquinar.conf");
    CPelquinarApp app;
    app.Load();
    app.maxLevels = 6;
    app.Save();
    EXPECT_TRUE(dir.Exists("Pelquinar/Pelquinar.conf"));
}

TEST_F(Settings, TheSharedThumbnailCacheIsOnUnlessTurnedOff) {
    EXPECT_TRUE(Loaded().bThumbCache) << "absent";
    const std::pair<const char*, bool> cases[] = {
        {"0", false}, {"1", true}, {"", true}, {"no", true}};
    for (auto [text, on] : cases) {
        WriteIni(std::string("[General]\nwinmode=left\nbThumbCache=") + text + "\n");
        EXPECT_EQ(Loaded().bThumbCache, on) << text;
    }
    CPelquinarApp app = Loaded();
    app.bThumbCache = false;
    app.Save();
    EXPECT_FALSE(Loaded().bThumbCache);
    std::ifstream in(dir.Path() + "Pelquinar.conf");
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(file.find("bThumbCache=0"), std::string::npos);
}

TEST_F(Settings, TheIndexSettingsAreOffUnlessTurnedOn) {
    CPelquinarApp absent = Loaded();
    EXPECT_FALSE(absent.bNoDuplicates);
    EXPECT_FALSE(absent.bDeletedStay);
    WriteIni("[General]\nwinmode=left\nbNoDuplicates=1\nbDeletedStay=yes\n");
    CPelquinarApp app = Loaded();
    EXPECT_TRUE(app.bNoDuplicates);
    EXPECT_FALSE(app.bDeletedStay) << "a flag is on exactly when it is \"1\"";
    app.bDeletedStay = true;
    app.bNoDuplicates = false;
    app.Save();
    CPelquinarApp back = Loaded();
    EXPECT_FALSE(back.bNoDuplicates);
    EXPECT_TRUE(back.bDeletedStay);
}

TEST(HistoryRule, NewEntriesGoFirstWithoutDuplicates) {
    std::vector<std::string> list = {"b", "a", "c"};
    CPelquinarApp::AddToHistory(list, "a");
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b", "c"}));
    CPelquinarApp::AddToHistory(list, "d");
    EXPECT_EQ(list, (std::vector<std::string>{"d", "a", "b", "c"}));
    CPelquinarApp::AddToHistory(list, "A");
    EXPECT_EQ(list.front(), "A");
    EXPECT_EQ(list.size(), 5u) << "comparisons are exact";
}

}  // namespace
}  // namespace pq
