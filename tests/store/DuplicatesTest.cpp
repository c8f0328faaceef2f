// Finding duplicates: same bytes first (a hash match is only a candidate
// until the bytes are compared), then look-alikes by the distance of their
// difference hashes; and what goes when the user keeps one of each group.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "store/Duplicates.h"
#include "tests/support/TempDir.h"

namespace pq::store {
namespace {

namespace fs = std::filesystem;

IndexedPicture Entry(const std::string& path, uint64_t hash, int64_t size,
                     std::optional<uint64_t> dhash = std::nullopt) {
    IndexedPicture p;
    p.path = path;
    p.hash = hash;
    p.size = size;
    p.dhash = dhash;
    return p;
}

std::vector<std::string> Paths(const DuplicateGroup& g) {
    std::vector<std::string> out;
    for (const IndexedPicture& p : g.members) out.push_back(p.path);
    return out;
}

using Kind = DuplicateGroup::Kind;

TEST(Duplicates, HammingDistanceCountsTheBitsThatDiffer) {
    EXPECT_EQ(HammingDistance(0, 0), 0);
    EXPECT_EQ(HammingDistance(0, ~uint64_t(0)), 64);
    EXPECT_EQ(HammingDistance(0b1011, 0b0110), 3);
    EXPECT_EQ(HammingDistance(uint64_t(1) << 63, 1), 2);
}

// Hand-made entries: which files hold the same bytes is told by a table.
TEST(Duplicates, SameHashAndSizeIsACandidateTheBytesDecide) {
    // a, b and c share a hash and size; a and c hold the same bytes, b
    // other bytes (a collision). d has the same hash but another size.
    const std::set<std::pair<std::string, std::string>> equal = {{"/p/a.jpg", "/p/c.jpg"},
                                                                  {"/p/c.jpg", "/p/a.jpg"}};
    int compared = 0;
    auto same = [&](const std::string& x, const std::string& y) {
        ++compared;
        return equal.count({x, y}) > 0;
    };
    const auto groups = FindDuplicates({Entry("/p/c.jpg", 7, 100), Entry("/p/b.jpg", 7, 100),
                                        Entry("/p/a.jpg", 7, 100), Entry("/p/d.jpg", 7, 101),
                                        Entry("/p/e.jpg", 8, 100)},
                                       kLookAlikeBits, same);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].kind, Kind::kSameBytes);
    EXPECT_EQ(Paths(groups[0]), (std::vector<std::string>{"/p/a.jpg", "/p/c.jpg"}));
    EXPECT_LE(compared, 2) << "only pictures of one hash and size are compared";
}

TEST(Duplicates, GroupsOfEachKind) {
    struct Case {
        const char* what;
        std::vector<IndexedPicture> pictures;
        std::vector<std::pair<Kind, std::vector<std::string>>> groups;
    };
    const uint64_t base = 0x0123456789abcdefULL;
    const Case cases[] = {
        {"nothing alike", {Entry("/a", 1, 10, base), Entry("/b", 2, 10, ~base)}, {}},
        {"within the threshold",
         {Entry("/b", 1, 10, base), Entry("/a", 2, 20, base ^ 0x3ff)},  // 10 bits
         {{Kind::kLookAlike, {"/a", "/b"}}}},
        {"one bit past it", {Entry("/a", 1, 10, base), Entry("/b", 2, 20, base ^ 0x7ff)}, {}},
        {"joined through a middle one",
         // a-b 8 bits, b-c 8 bits, a-c 16: one group of three.
         {Entry("/a", 1, 1, base), Entry("/b", 2, 2, base ^ 0xff),
          Entry("/c", 3, 3, base ^ 0xffff)},
         {{Kind::kLookAlike, {"/a", "/b", "/c"}}}},
        {"without a difference hash in none",
         {Entry("/a", 1, 1, base), Entry("/b", 2, 2)},
         {}},
        {"same bytes first, counted once among the look-alikes",
         // x and y hold the same bytes; z looks like them. x stands for
         // its group in the look-alikes, y does not come again.
         {Entry("/z", 5, 50, base ^ 1), Entry("/y", 4, 40, base), Entry("/x", 4, 40, base),
          Entry("/m", 6, 60, ~base), Entry("/n", 6, 60, ~base)},
         {{Kind::kSameBytes, {"/m", "/n"}},
          {Kind::kSameBytes, {"/x", "/y"}},
          {Kind::kLookAlike, {"/x", "/z"}}}},
        {"a path listed twice counts once", {Entry("/a", 1, 1, base), Entry("/a", 1, 1, base)}, {}},
    };
    auto allSame = [](const std::string&, const std::string&) { return true; };
    for (const Case& c : cases) {
        const auto groups = FindDuplicates(c.pictures, kLookAlikeBits, allSame);
        ASSERT_EQ(groups.size(), c.groups.size()) << c.what;
        for (size_t i = 0; i < groups.size(); ++i) {
            EXPECT_EQ(groups[i].kind, c.groups[i].first) << c.what << " group " << i;
            EXPECT_EQ(Paths(groups[i]), c.groups[i].second) << c.what << " group " << i;
        }
    }
}

TEST(Duplicates, WhatGoesWhenOneOfEachIsKept) {
    const std::vector<DuplicateGroup> groups = {
        {Kind::kSameBytes, {Entry("/x", 1, 1), Entry("/y", 1, 1), Entry("/w", 1, 1)}},
        {Kind::kLookAlike, {Entry("/x", 1, 1), Entry("/z", 2, 2)}},
    };
    struct Case {
        const char* what;
        std::vector<size_t> kept;
        std::vector<std::string> gone;
    };
    const Case cases[] = {
        {"the first of each by default", {}, {"/y", "/w", "/z"}},
        // x stands for its copies among the look-alikes: kept there, it
        // keeps the copy chosen among them.
        {"another copy kept", {1, 0}, {"/x", "/w", "/z"}},
        {"the last copy kept", {2, 0}, {"/x", "/y", "/z"}},
        // z is kept among the look-alikes, x among its copies: both stay.
        {"kept in one group stays", {0, 1}, {"/y", "/w"}},
        {"a choice out of range keeps the first", {9, 1}, {"/y", "/w"}},
    };
    for (const Case& c : cases) EXPECT_EQ(OthersOf(groups, c.kept), c.gone) << c.what;
}

TEST(Duplicates, WhatTheListSays) {
    EXPECT_EQ(DimensionsText(640, 480), "640 \u00d7 480");
    EXPECT_EQ(DimensionsText(0, 480), "") << "not known yet";
    EXPECT_EQ(GroupTitle({Kind::kSameBytes, {Entry("/a", 1, 1), Entry("/b", 1, 1)}}),
              "The same picture, 2 files");
    EXPECT_EQ(GroupTitle({Kind::kLookAlike,
                          {Entry("/a", 1, 1), Entry("/b", 2, 1), Entry("/c", 3, 1)}}),
              "Look-alikes, 3 pictures");

    const DuplicateGroup same{Kind::kSameBytes, {Entry("/a", 1, 1), Entry("/b", 1, 1)}};
    const DuplicateGroup alike{Kind::kLookAlike, {Entry("/c", 2, 1), Entry("/d", 3, 1)}};
    struct Case {
        std::vector<DuplicateGroup> groups;
        const char* text;
    };
    const Case cases[] = {
        {{}, "No duplicates found."},
        {{same}, "1 group of the same picture."},
        {{alike}, "1 group of look-alikes."},
        {{same, alike}, "1 group of the same picture, 1 group of look-alikes."},
        {{same, same, alike, alike, alike},
         "2 groups of the same picture, 3 groups of look-alikes."},
    };
    for (const Case& c : cases) EXPECT_EQ(FoundText(c.groups), c.text) << c.text;
}

// Real files: the bytes are compared by SameBytes.
TEST(Duplicates, RealFilesUnderOtherNames) {
    test::TempDir dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        fs::create_directories(FolderOf(dir.Path() + name));
        std::ofstream(dir.Path() + name, std::ios::binary) << bytes;
        return dir.Path() + name;
    };
    const std::string photo(5000, 'p');
    const std::string a = write("Cats/photo.jpg", photo);
    const std::string b = write("Dogs/copy of photo.jpg", photo);
    std::string other = photo;
    other[4000] = 'q';
    const std::string c = write("Dogs/other.jpg", other);
    std::vector<IndexedPicture> pictures;
    for (const std::string& p : {a, b, c}) {
        int64_t size = 0;
        const auto hash = HashFile(p, &size);
        ASSERT_TRUE(hash) << p;
        pictures.push_back(Entry(p, *hash, size));
    }
    // A collision made by hand: c claims a's hash, but its bytes differ.
    pictures[2].hash = pictures[0].hash;
    const auto groups = FindDuplicates(pictures);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].kind, Kind::kSameBytes);
    EXPECT_EQ(Paths(groups[0]), (std::vector<std::string>{a, b}));
    // A file that went is equal to nothing.
    fs::remove(b);
    EXPECT_TRUE(FindDuplicates(pictures).empty());
}

}  // namespace
}  // namespace pq::store
