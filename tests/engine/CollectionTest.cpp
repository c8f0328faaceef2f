// What a search does with the picture index: every saved picture is
// entered; with "no duplicates" a picture the collection holds already is
// not kept again but still recorded; with "deleted stay deleted" a picture
// sent to the trash is neither fetched nor kept again. Both off: today's
// behaviour.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/engine/CrawlFixture.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::PictureBytes;

class Collection : public test::CrawlFixture {
protected:
    void SetUp() override {
        index = std::make_shared<store::PictureIndex>();
        ASSERT_TRUE(index->Open(indexDir.Path() + "pictures.sqlite"));
        state.index = index;
    }
    // One page showing the same picture under three addresses, and another
    // picture.
    void SiteWithCopies() {
        server.Page("/index.html",
                    "<img src=/a.gif><img src=/b.gif><img src=/c.gif><img src=/other.gif>");
        for (const char* p : {"/a.gif", "/b.gif", "/c.gif"}) Serve(p, PictureBytes(900, 's'));
        Serve("/other.gif", PictureBytes(900, 'o'));
    }
    int Asked(const std::string& target) const {
        const auto t = Targets();
        return int(std::count(t.begin(), t.end(), target));
    }
    bool Has(const std::string& name) const { return fs::exists(dir.Path() + name); }
    // The item lines naming a picture file.
    std::vector<std::string> PictureLines() const {
        std::vector<std::string> out;
        for (const std::string& l : ItemLines())
            if (l.find(".gif ") != std::string::npos) out.push_back(l);
        return out;
    }
    bool Logged(const std::string& text) const {
        for (const std::string& l : ui.LogLines())
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    test::TempDir indexDir;
    std::shared_ptr<store::PictureIndex> index;
};

TEST_F(Collection, WithoutTheSettingsEveryCopyIsKeptAndEntered) {
    SiteWithCopies();
    Run("web", server.Url("/index.html"), 0);
    for (const char* n : {"a.gif", "b.gif", "c.gif", "other.gif"}) EXPECT_TRUE(Has(n)) << n;
    EXPECT_EQ(PictureLines().size(), 4u);
    EXPECT_EQ(index->In(dir.Path()).size(), 4u) << "every saved picture is in the index";
    ASSERT_TRUE(index->Get(dir.Path() + "a.gif"));
    EXPECT_EQ(index->Get(dir.Path() + "a.gif")->hash, *store::HashFile(dir.Path() + "a.gif"));
}

TEST_F(Collection, ACopyIsKeptOnceAndRecordedUnderThePictureKeptSoContinueSkipsIt) {
    state.skipDuplicates = true;
    SiteWithCopies();
    Run("web", server.Url("/index.html"), 0);
    EXPECT_TRUE(Has("a.gif"));
    EXPECT_FALSE(Has("b.gif"));
    EXPECT_FALSE(Has("c.gif"));
    EXPECT_TRUE(Has("other.gif"));
    const auto lines = PictureLines();
    ASSERT_EQ(lines.size(), 4u);
    for (const char* address : {"/a.gif", "/b.gif", "/c.gif"}) {
        const auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(server.Url(address)) != std::string::npos;
        });
        ASSERT_NE(it, lines.end()) << address;
        EXPECT_EQ(it->rfind("OK a.gif ", 0), 0u) << *it;
    }
    EXPECT_TRUE(Logged("duplicate of " + dir.Path() + "a.gif"));
    for (const auto& e : fs::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().extension(), ".down") << "no temporary file is left";

    // Continue reads the record and fetches none of the three again.
    std::vector<std::pair<std::string, std::string>> saved;
    for (const auto& pic : store::ReadProjectForBrowsing(dir.Path()).pictures)
        saved.emplace_back(pic.localName, pic.address);
    ASSERT_EQ(saved.size(), 4u);
    Prepare("web", server.Url("/index.html"), 0);
    for (const auto& [name, address] : saved) {
        state.queue.AppendTaken(name, address);
        state.AddDownloaded(DownloadedPicture{name, address, ""});
    }
    state.continueFlag = true;
    doc.StartSearch(server.Url("/index.html"), "");
    doc.WaitForCrawl();
    ASSERT_TRUE(doc.WaitForDownloads(60000));
    for (const char* p : {"/a.gif", "/b.gif", "/c.gif"}) EXPECT_EQ(Asked(p), 1) << p;
}

TEST_F(Collection, APictureTheCollectionHoldsElsewhereIsNotKeptAgain) {
    state.skipDuplicates = true;
    const std::string elsewhere = indexDir.Path() + "My Pictures/Cats/kept.gif";
    fs::create_directories(store::FolderOf(elsewhere));
    std::ofstream(elsewhere, std::ios::binary) << PictureBytes(900, 's');
    ASSERT_TRUE(index->Enter(elsewhere));
    // The same size, other bytes: no copy.
    const std::string lookalike = indexDir.Path() + "My Pictures/Cats/other.gif";
    std::ofstream(lookalike, std::ios::binary) << PictureBytes(900, 'q');
    ASSERT_TRUE(index->Enter(lookalike));
    SiteWithCopies();
    Run("web", server.Url("/index.html"), 0);
    for (const char* n : {"a.gif", "b.gif", "c.gif"}) EXPECT_FALSE(Has(n)) << n;
    EXPECT_TRUE(Has("other.gif"));
    EXPECT_TRUE(Logged("duplicate of " + elsewhere));
    EXPECT_EQ(PictureLines().size(), 4u);
}

TEST_F(Collection, APictureSentToTheTrashIsNotFetchedAgainWhileTheSettingIsOn) {
    SiteWithCopies();
    index->RememberDeleted(server.Url("/other.gif"), 1);  // by its address
    // ...and one by its bytes, under an address this site does not use.
    const std::string bytes = indexDir.Path() + "s.gif";
    std::ofstream(bytes, std::ios::binary) << PictureBytes(900, 's');
    index->RememberDeleted("http://127.0.0.1:1/a-copy.gif", *store::HashFile(bytes));
    state.keepDeletedAway = true;
    Run("web", server.Url("/index.html"), 0);
    EXPECT_EQ(Asked("/other.gif"), 0) << "not fetched";
    EXPECT_FALSE(Has("other.gif"));
    for (const char* n : {"a.gif", "b.gif", "c.gif"}) EXPECT_FALSE(Has(n)) << n << ": its bytes";
    EXPECT_TRUE(Logged("deleted from a project before"));

    // Off (today's behaviour): fetched and kept again.
    fs::remove(dir.Path() + "project.inf");
    state.keepDeletedAway = false;
    Run("web", server.Url("/index.html"), 0);
    EXPECT_EQ(Asked("/other.gif"), 1);
    EXPECT_TRUE(Has("other.gif"));
    EXPECT_TRUE(Has("a.gif"));
}

}  // namespace
}  // namespace pq
