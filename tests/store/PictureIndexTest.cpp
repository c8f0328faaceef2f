// The picture index: what it holds follows the files, a copy is found only
// when its bytes are equal, a damaged or older index is set aside and made
// afresh, and several threads may use it at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "store/PictureIndex.h"
#include "tests/support/TempDir.h"

namespace pq::store {
namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(FolderOf(path));
    std::ofstream(path, std::ios::binary) << bytes;
}

class Index : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(index.Open(DbPath())); }
    std::string DbPath() const { return dir.Path() + "data/pelquinar/pictures.sqlite"; }
    std::string Pics() const { return dir.Path() + "My Pictures/"; }
    test::TempDir dir;
    PictureIndex index;
};

TEST_F(Index, WhatItHoldsFollowsTheFiles) {
    EXPECT_TRUE(index.NeedsRebuild()) << "a new index is filled from the folders";
    EXPECT_EQ(index.Count(), 0);
    Write(Pics() + "Cats/a.jpg", "bytes of a");
    Write(Pics() + "Cats/b.jpg", "bytes of b");
    Write(Pics() + "Cats/Kittens/c.jpg", "bytes of c");
    Write(Pics() + "Dogs/d.jpg", "bytes of d");
    for (const char* p : {"Cats/a.jpg", "Cats/b.jpg", "Cats/Kittens/c.jpg", "Dogs/d.jpg"})
        ASSERT_TRUE(index.Enter(Pics() + p, 640, 480)) << p;
    EXPECT_FALSE(index.Enter(Pics() + "missing.jpg"));
    EXPECT_EQ(index.Count(), 4);
    const auto a = index.Get(Pics() + "Cats/a.jpg");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->size, 10);
    EXPECT_EQ(a->width, 640);
    EXPECT_EQ(a->hash, *HashFile(Pics() + "Cats/a.jpg"));
    EXPECT_FALSE(a->dhash);

    EXPECT_EQ(index.Under(Pics() + "Cats/").size(), 3u) << "with its sub-categories";
    EXPECT_EQ(index.In(Pics() + "Cats/").size(), 2u);
    EXPECT_EQ(index.Under("").size(), 4u);

    // A picture moved to another category, then one deleted, then a whole
    // category.
    fs::rename(Pics() + "Cats/a.jpg", Pics() + "Dogs/a.jpg");
    index.Move(Pics() + "Cats/a.jpg", Pics() + "Dogs/a.jpg");
    EXPECT_FALSE(index.Get(Pics() + "Cats/a.jpg"));
    ASSERT_TRUE(index.Get(Pics() + "Dogs/a.jpg"));
    EXPECT_EQ(index.Get(Pics() + "Dogs/a.jpg")->hash, a->hash);
    index.Remove(Pics() + "Dogs/d.jpg");
    EXPECT_EQ(index.In(Pics() + "Dogs/").size(), 1u);
    index.RemoveUnder(Pics() + "Cats/");
    EXPECT_EQ(index.Count(), 1);

    // What was learnt of a picture stays while it is unchanged.
    ASSERT_TRUE(index.SetDifferenceHash(Pics() + "Dogs/a.jpg", 0xfedcba9876543210ull, 64, 48));
    ASSERT_TRUE(index.Enter(Pics() + "Dogs/a.jpg"));
    ASSERT_TRUE(index.Get(Pics() + "Dogs/a.jpg")->dhash);
    EXPECT_EQ(*index.Get(Pics() + "Dogs/a.jpg")->dhash, 0xfedcba9876543210ull);
    Write(Pics() + "Dogs/a.jpg", "other bytes, longer");
    ASSERT_TRUE(index.Enter(Pics() + "Dogs/a.jpg"));
    EXPECT_FALSE(index.Get(Pics() + "Dogs/a.jpg")->dhash) << "a changed file is learnt again";
    EXPECT_EQ(index.Get(Pics() + "Dogs/a.jpg")->size, 19);

    // Kept across opening again.
    PictureIndex again;
    ASSERT_TRUE(again.Open(DbPath()));
    EXPECT_FALSE(again.NeedsRebuild());
    EXPECT_EQ(again.Count(), 1);
}

TEST_F(Index, ACopyIsFoundOnlyWhenItsBytesAreEqual) {
    Write(Pics() + "one.jpg", "the same picture");
    Write(Pics() + "Other/two.jpg", "the same picture");
    Write(Pics() + "three.jpg", "another picture!");
    for (const char* p : {"one.jpg", "Other/two.jpg", "three.jpg"}) index.Enter(Pics() + p);
    int64_t size = 0;
    const uint64_t hash = *HashFile(Pics() + "one.jpg", &size);
    EXPECT_EQ(index.FindCopy(Pics() + "one.jpg", hash, size), Pics() + "Other/two.jpg");
    EXPECT_EQ(index.WithContent(hash, size).size(), 2u);

    // An entry whose hash and size match but whose bytes differ (a hash
    // collision, or a file changed behind the index) is no copy.
    IndexedPicture forged = *index.Get(Pics() + "three.jpg");
    forged.hash = hash;
    index.Put(forged);
    fs::remove(Pics() + "Other/two.jpg");
    EXPECT_EQ(index.FindCopy(Pics() + "one.jpg", hash, size), "");
    EXPECT_FALSE(index.Get(Pics() + "Other/two.jpg")) << "an entry whose file went is dropped";

    const std::string incoming = dir.Path() + "incoming.down";
    Write(incoming, "the same picture");
    EXPECT_EQ(index.FindCopy(incoming, hash, size), Pics() + "one.jpg");
}

TEST_F(Index, PicturesSentToTheTrashAreRemembered) {
    EXPECT_FALSE(index.WasDeletedAddress("http://site/a.jpg"));
    ASSERT_TRUE(index.RememberDeleted("http://site/a.jpg", 42));
    ASSERT_TRUE(index.RememberDeleted("http://site/a.jpg", 42)) << "twice is once";
    EXPECT_TRUE(index.WasDeletedAddress("http://site/a.jpg"));
    EXPECT_FALSE(index.WasDeletedAddress("http://site/b.jpg"));
    EXPECT_TRUE(index.WasDeletedContent(42));
    EXPECT_FALSE(index.WasDeletedContent(43));
    index.ForgetDeleted();
    EXPECT_FALSE(index.WasDeletedAddress("http://site/a.jpg"));
}

TEST_F(Index, ADamagedOrOlderIndexIsSetAsideAndMadeAfresh) {
    Write(Pics() + "a.jpg", "a");
    index.Enter(Pics() + "a.jpg");
    index.RebuildDone();
    struct Case {
        const char* what;
        std::function<void(const std::string&)> spoil;
    };
    const std::vector<Case> cases = {
        {"not a database", [](const std::string& p) { Write(p, std::string(8192, 'x')); }},
        {"another schema",
         [](const std::string& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE t(x); PRAGMA user_version = 99;", nullptr, nullptr,
                          nullptr);
             sqlite3_close(db);
         }},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path() + c.what + "/pictures.sqlite";
        fs::create_directories(FolderOf(path));
        c.spoil(path);
        PictureIndex reopened;
        ASSERT_TRUE(reopened.Open(path)) << c.what;
        EXPECT_TRUE(reopened.NeedsRebuild()) << c.what;
        EXPECT_TRUE(fs::exists(path + ".damaged")) << c.what << ": set aside, never deleted";
        EXPECT_TRUE(reopened.Enter(Pics() + "a.jpg")) << c.what;
        EXPECT_EQ(reopened.Count(), 1) << c.what;
    }
}

TEST_F(Index, ThreadsEnterAndLookUpAtOnce) {
    for (int i = 0; i < 200; ++i)
        Write(Pics() + "p" + std::to_string(i) + ".jpg", "picture " + std::to_string(i % 50));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < 200; i += 4) {
                const std::string p = Pics() + "p" + std::to_string(i) + ".jpg";
                index.Enter(p);
                int64_t size = 0;
                const uint64_t hash = *HashFile(p, &size);
                index.FindCopy(p, hash, size);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(index.Count(), 200);
    int64_t size = 0;
    const uint64_t hash = *HashFile(Pics() + "p0.jpg", &size);
    EXPECT_EQ(index.WithContent(hash, size).size(), 4u) << "p0, p50, p100, p150";
}

}  // namespace
}  // namespace pq::store
