// Histories by date and kind, built from project folders with file times
// set; the folder skeleton and categories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "store/Categories.h"
#include "store/History.h"
#include "tests/support/TempDir.h"

namespace pq::store {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kDay = 86400;

class History : public ::testing::Test {
protected:
    std::string Web() const { return dir.Path() + "My Search/Websearch/"; }
    std::string Key() const { return dir.Path() + "My Search/Keysearch/"; }
    // A project with its project.inf changed `age` seconds before now.
    void Project(const std::string& root, const std::string& name, std::time_t age,
                 const std::string& line1 = "3**00:00:09", const std::string& url = "http://site/",
                 const std::string& keywords = "") {
        fs::create_directories(root + name);
        const std::string inf = root + name + "/project.inf";
        std::ofstream(inf, std::ios::binary)
            << line1
            << "            \r\nVersion=1.1\r\nFILTER=000000 0 900\r\nKEYWORDS=" << keywords
            << "\r\nSEARCHENGINE=\r\nURL=" << url << "\r\n             \r\n";
        utimbuf t{now - age, now - age};
        ::utime(inf.c_str(), &t);
    }
    test::TempDir dir;
    std::time_t now = std::time(nullptr);
};

TEST_F(History, DateGroupBoundaries) {
    EXPECT_EQ(GroupOf(now - (30 * kDay + 23 * 3600), now), DateGroup::kThisMonth);
    EXPECT_EQ(GroupOf(now - 31 * kDay, now), DateGroup::kLastMonth);
    EXPECT_EQ(GroupOf(now - 60 * kDay - 100, now), DateGroup::kLastMonth);
    EXPECT_EQ(GroupOf(now - 61 * kDay, now), DateGroup::kBeforeLastMonth);
    EXPECT_EQ(GroupOf(now + 5000, now), DateGroup::kThisMonth) << "a date to come counts as now";

    Project(Web(), "young", 30 * kDay + 23 * 3600);
    Project(Web(), "month", 31 * kDay);
    Project(Key(), "old", 61 * kDay, "5**00:00:01", "http://h/images?q=cats", "cats");
    Project(Web(), "today", 10);
    fs::create_directories(Web() + "no-record");               // no project.inf: in no list
    fs::create_directories(Web() + "dir-record/project.inf");  // not a file either
    const DateGroups g = BuildDateGroups({Web(), Key()}, now);
    ASSERT_EQ(g.Of(DateGroup::kThisMonth).size(), 2u);
    EXPECT_EQ(g.Of(DateGroup::kThisMonth)[0].name, "young") << "oldest first within a group";
    EXPECT_EQ(g.Of(DateGroup::kThisMonth)[1].name, "today");
    ASSERT_EQ(g.Of(DateGroup::kLastMonth).size(), 1u);
    ASSERT_EQ(g.Of(DateGroup::kBeforeLastMonth).size(), 1u);
    const HistoryEntry& old = g.Of(DateGroup::kBeforeLastMonth)[0];
    EXPECT_EQ(old.keywords, "cats");
    EXPECT_EQ(old.address, "http://h/images?q=cats");
    EXPECT_EQ(old.date, DateText(now - 61 * kDay));
    EXPECT_EQ(old.folder, Key() + "old/");

    // The projects of one address, or of one keyword text.
    Project(Web(), "again", 40 * kDay, "1**00:00:01", "http://site/");
    const DateGroups g2 = BuildDateGroups({Web(), Key()}, now);
    const auto site = ProjectsOf(g2, "http://site/", false);
    ASSERT_EQ(site.size(), 4u);
    EXPECT_EQ(site[0].name, "today") << "this month first (newest first), then last month";
    EXPECT_EQ(site[2].name, "month");
    EXPECT_EQ(site[3].name, "again");
    EXPECT_EQ(ProjectsOf(g2, "cats", true).size(), 1u);
    EXPECT_TRUE(ProjectsOf(g2, "dogs", true).empty());
}

TEST_F(History, SearchHistoriesListEveryProjectNewestFirst) {
    Project(Web(), "first", 300, "7**00:01:00");
    Project(Web(), "second", 200, "no star here");
    Project(Web(), "third", 100);
    fs::create_directories(Web() + "broken");
    std::ofstream(Web() + "broken/project.inf") << "";
    ::chmod((Web() + "broken/project.inf").c_str(), 0);
    auto h = BuildSearchHistory(Web());
    std::vector<std::string> names;
    for (const auto& e : h) names.push_back(e.name);
    // Root reads a file without permission all the same; either way nothing breaks.
    names.erase(std::remove(names.begin(), names.end(), "broken"), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"third", "second", "first"}));
    const auto second =
        std::find_if(h.begin(), h.end(), [](auto& e) { return e.name == "second"; });
    EXPECT_EQ(second->pictures, "no star here") << "a line 1 without a star counts whole";
    const auto first = std::find_if(h.begin(), h.end(), [](auto& e) { return e.name == "first"; });
    EXPECT_EQ(first->pictures, "7");

    // A search ended in this run goes first, dated now, once.
    HistoryEntry ended{"first", Web() + "first/", "http://site/", DateText(now), "9", "", now};
    AddToHistory(h, ended);
    EXPECT_EQ(h.front().name, "first");
    EXPECT_EQ(h.front().pictures, "9");
    EXPECT_EQ(std::count_if(h.begin(), h.end(), [](auto& e) { return e.name == "first"; }), 1);
}

TEST_F(History, HugeOrBinaryRecordsAreReadOnlyAsFarAsNeeded) {
    fs::create_directories(Web() + "huge");
    {
        std::ofstream out(Web() + "huge/project.inf", std::ios::binary);
        out << std::string(8 << 20, '\x01');  // 8 MB with no line end
    }
    fs::create_directories(Web() + "binary");
    {
        std::ofstream out(Web() + "binary/project.inf", std::ios::binary);
        for (int i = 0; i < 4096; ++i) out << char(i * 37) << char(0);
    }
    const auto h = BuildSearchHistory(Web());
    ASSERT_EQ(h.size(), 2u);
    for (const auto& e : h) EXPECT_LE(e.pictures.size(), 64u * 1024) << e.name;
    const auto g = BuildDateGroups({Web()}, now);
    EXPECT_EQ(g.Of(DateGroup::kThisMonth).size(), 2u);
}

TEST_F(History, RemovingAProjectLeavesWhatItsLinksPointAt) {
    Project(Web(), "p", 10);
    std::ofstream(dir.Path() + "outside.jpg") << "keep me";
    fs::create_symlink(dir.Path() + "outside.jpg", Web() + "p/link.jpg");
    fs::create_directory_symlink(dir.Path(), Web() + "p/dirlink");
    EXPECT_TRUE(RemoveProject(Web() + "p/"));
    EXPECT_FALSE(fs::exists(Web() + "p"));
    EXPECT_TRUE(fs::exists(dir.Path() + "outside.jpg"));
}

TEST_F(History, RemovingAProjectThatIsALinkRemovesTheLinkOnly) {
    // The history lists a linked folder like any other, with its "/".
    fs::create_directories(dir.Path() + "elsewhere/sub");
    fs::create_directories(Web());
    std::ofstream(dir.Path() + "elsewhere/thesis.odt") << "years of work";
    std::ofstream(dir.Path() + "elsewhere/sub/notes.txt") << "notes";
    fs::create_directory_symlink(dir.Path() + "elsewhere", Web() + "linked");
    EXPECT_TRUE(RemoveProject(Web() + "linked/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Web() + "linked")));
    EXPECT_EQ(dir.ReadFile("elsewhere/thesis.odt"), "years of work");
    EXPECT_TRUE(fs::exists(dir.Path() + "elsewhere/sub/notes.txt"));
    EXPECT_FALSE(RemoveProject(Web() + "gone/")) << "nothing there is no success";
}

TEST(Categories, SkeletonOnFirstStartOnlyAndNames) {
    test::TempDir dir;
    std::string dirCreate = "-1";
    ASSERT_TRUE(EnsureSkeleton(dir.Path(), dirCreate));
    EXPECT_EQ(dirCreate, "1");
    for (const char* f :
         {"My Search/Websearch", "My Search/Keysearch", "My Pictures/Scenic",
          "My Pictures/Portrait", "My Pictures/Cartoon", "My Pictures/Sport", "My Pictures/Art"})
        EXPECT_TRUE(fs::is_directory(dir.Path() + f)) << f;
    fs::remove(dir.Path() + "My Pictures/Sport");
    ASSERT_TRUE(EnsureSkeleton(dir.Path(), dirCreate));
    EXPECT_FALSE(fs::exists(dir.Path() + "My Pictures/Sport")) << "not made again";

    std::string reason;
    EXPECT_TRUE(MakeCategory(dir.Path() + "My Pictures/Scenic/", "Cats", reason));
    EXPECT_TRUE(fs::is_directory(dir.Path() + "My Pictures/Scenic/Cats"));
    EXPECT_TRUE(MakeCategory(dir.Path() + "My Pictures/Scenic/", "Cats", reason))
        << "already there";
    for (const char* bad : {"", "a/b", "..", ".", ".hidden", "x\ny"}) {
        EXPECT_FALSE(MakeCategory(dir.Path() + "My Pictures/", bad, reason)) << bad;
        EXPECT_FALSE(reason.empty()) << bad;
    }
    EXPECT_FALSE(MakeCategory(dir.Path() + "My Pictures/", std::string(300, 'n'), reason));
    EXPECT_FALSE(fs::exists(dir.Path() + "b")) << "nothing made outside My Pictures";
}

// Runs fn as a user whom file modes bind: the caller itself, or, for root
// (whom mode 000 does not stop), a child process that has become nobody.
// Returns what fn wrote, or "exit N" / "signal N" when it never returned.
std::string AsUserModesBind(const std::function<std::string()>& fn) {
    if (geteuid() != 0) return fn();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(3);
        const std::string out = fn();
        if (write(pipeFds[1], out.data(), out.size()) < 0) _exit(4);
        _exit(0);
    }
    close(pipeFds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0) return "exit " + std::to_string(WEXITSTATUS(status));
    return out;
}

TEST(Categories, ANewCategoryBelowAFolderThatCannotBeReadFailsWithTheReason) {
    test::TempDir dir;
    // The child that has become nobody must reach the folder.
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string locked = dir.Path() + "locked/";
    fs::create_directories(locked + "inner");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    for (const std::string& parent : {locked, locked + "inner/"}) {
        const std::string got = AsUserModesBind([&] {
            std::string reason;
            const bool made = MakeCategory(parent, "Cats", reason);
            return std::string(made ? "made" : "refused: ") + reason;
        });
        EXPECT_EQ(got, "refused: Permission denied") << parent;
    }
    chmod(locked.c_str(), 0755);
    EXPECT_FALSE(fs::exists(locked + "Cats"));
}

}  // namespace
}  // namespace pq::store
