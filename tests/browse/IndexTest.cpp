// The picture index as the window keeps it: the difference hash of a
// picture, the indexer that follows what the lists show, save, move and
// delete, a rebuild from the folders, and the duplicates found in it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QPainter>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "browse/CImagelist.h"
#include "browse/CPictureIndexer.h"
#include "browse/CSearchimagelist.h"
#include "browse/PictureHash.h"
#include "engine/CSearchState.h"
#include "store/Duplicates.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

namespace fs = std::filesystem;

// A picture of its own for each seed: a gradient under a few dozen
// coloured shapes.
QImage Scene(int seed, int w, int h) {
    std::mt19937 rng{uint32_t(seed)};
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    QImage img(w, h, QImage::Format_RGB32);
    QPainter painter(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(pick(256), pick(256), pick(256)));
    g.setColorAt(1, QColor(pick(256), pick(256), pick(256)));
    painter.fillRect(img.rect(), g);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 30; ++i) {
        painter.setBrush(QColor(pick(256), pick(256), pick(256)));
        painter.drawEllipse(
            QRectF(pick(w) - w / 8, pick(h) - h / 8, w / 8 + pick(w / 3), h / 8 + pick(h / 3)));
    }
    painter.end();
    return img;
}

std::string SaveJpeg(const QImage& img, const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(img.save(QString::fromStdString(path), "JPEG", 85)) << path;
    return path;
}

QImage Half(const QImage& img) {
    return img.scaled(img.width() / 2, img.height() / 2, Qt::IgnoreAspectRatio,
                      Qt::SmoothTransformation);
}

TEST(PictureHash, EachBitSaysWhetherTheLeftPixelIsBrighter) {
    struct Case {
        const char* what;
        std::function<int(int x, int y)> grey;  // of a 9 × 8 picture
        uint64_t bits;
    };
    const Case cases[] = {
        {"darker to the right everywhere", [](int x, int) { return 240 - 25 * x; }, ~uint64_t(0)},
        {"brighter to the right everywhere", [](int x, int) { return 10 + 25 * x; }, 0},
        {"flat", [](int, int) { return 128; }, 0},
        // Only the first row falls, and only from its first pixel to the
        // second: bit 0.
        {"one step", [](int x, int y) { return y == 0 && x == 0 ? 200 : 100; }, 1},
        // The last row falls everywhere: bits 56 to 63.
        {"the last row", [](int x, int y) { return y == 7 ? 240 - 25 * x : 100; },
         uint64_t(0xff) << 56},
    };
    for (const Case& c : cases) {
        QImage img(9, 8, QImage::Format_Grayscale8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 9; ++x) img.scanLine(y)[x] = uchar(c.grey(x, y));
        EXPECT_EQ(picture::DifferenceHash(img), c.bits) << c.what;
    }
}

TEST(PictureHash, AHalfSizeCopyLooksAlikeOtherPicturesDoNot) {
    test::TempDir dir;
    std::vector<uint64_t> full;
    for (int seed = 1; seed <= 5; ++seed) {
        const QImage img = Scene(seed, 480, 360);
        const std::string a = SaveJpeg(img, dir.Path() + std::to_string(seed) + ".jpg");
        const std::string half = SaveJpeg(Half(img), dir.Path() + std::to_string(seed) + "h.jpg");
        const auto big = picture::DifferenceHashOf(QString::fromStdString(a));
        const auto small = picture::DifferenceHashOf(QString::fromStdString(half));
        ASSERT_TRUE(big.dhash && small.dhash) << seed;
        EXPECT_EQ(big.size, QSize(480, 360));
        EXPECT_EQ(small.size, QSize(240, 180));
        EXPECT_LE(store::HammingDistance(*big.dhash, *small.dhash), store::kLookAlikeBits)
            << "seed " << seed;
        full.push_back(*big.dhash);
    }
    for (size_t i = 0; i < full.size(); ++i)
        for (size_t j = i + 1; j < full.size(); ++j)
            EXPECT_GT(store::HammingDistance(full[i], full[j]), store::kLookAlikeBits)
                << "seeds " << i + 1 << " and " << j + 1;
    // What is no picture has no hash.
    std::ofstream(dir.Path() + "broken.jpg") << "not a picture";
    EXPECT_FALSE(
        picture::DifferenceHashOf(QString::fromStdString(dir.Path() + "broken.jpg")).dhash);
    EXPECT_FALSE(picture::DifferenceHashOf(QString::fromStdString(dir.Path() + "none.jpg")).dhash);
}

class Indexing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(index.Open(dir.Path() + "data/pictures.sqlite")); }
    std::string Pics() const { return dir.Path() + "My Pictures/"; }
    QString Q(const std::string& s) const { return QString::fromStdString(s); }
    void Settle() { ASSERT_TRUE(indexer.WaitForIdle(30000)); }

    test::TempDir dir;
    store::PictureIndex index;
    CPictureIndexer indexer{index};
};

TEST_F(Indexing, TheIndexFollowsWhatTheListsShowSaveMoveAndDelete) {
    const std::string cats = Pics() + "Cats/", dogs = Pics() + "Dogs/";
    SaveJpeg(Scene(1, 400, 300), cats + "a.jpg");
    SaveJpeg(Scene(2, 400, 300), cats + "b.jpg");
    fs::copy_file(cats + "a.jpg", cats + "copy of a.jpg");
    std::ofstream(cats + "notes.txt") << "not a picture";
    fs::create_directories(dogs);

    std::string mode = "report";
    CImagelist view(mode);
    view.SetIndexer(&indexer);
    view.report = [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
    view.ShowFolder(Q(cats));
    Settle();
    ASSERT_EQ(index.In(cats).size(), 3u) << "the pictures, not the notes";
    for (const auto& p : index.In(cats)) {
        EXPECT_TRUE(p.dhash) << p.path;
        EXPECT_EQ(p.width, 400) << p.path;
        EXPECT_EQ(p.height, 300) << p.path;
    }
    EXPECT_EQ(index.Get(cats + "a.jpg")->hash, index.Get(cats + "copy of a.jpg")->hash);
    // The searches look a new picture up by HashFile's value: the indexer's
    // (from the bytes read once) is the same.
    EXPECT_EQ(index.Get(cats + "b.jpg")->hash, store::HashFile(cats + "b.jpg").value_or(0));
    EXPECT_EQ(indexer.Hashed(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.List().Ready(); }, 10000));

    // Shown again, nothing is hashed again; a picture changed is.
    view.ShowFolder(Q(cats));
    Settle();
    EXPECT_EQ(indexer.Hashed(), 3);
    const uint64_t before = index.Get(cats + "b.jpg")->hash;
    SaveJpeg(Scene(3, 200, 100), cats + "b.jpg");
    const struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
    ::utimensat(AT_FDCWD, (cats + "b.jpg").c_str(), later, 0);
    view.ShowFolder(Q(cats));
    Settle();
    EXPECT_EQ(indexer.Hashed(), 4);
    EXPECT_NE(index.Get(cats + "b.jpg")->hash, before);
    EXPECT_EQ(index.Get(cats + "b.jpg")->width, 200);

    // Moved to another category: the entry moves with it, hashes and all.
    const auto a = *index.Get(cats + "a.jpg");
    view.SelectRow(view.List().Model().RowsOfPaths({Q(cats + "a.jpg")}).at(0));
    ASSERT_TRUE(view.CopySelection(Q(dogs), true));
    Settle();
    EXPECT_FALSE(index.Get(cats + "a.jpg"));
    ASSERT_TRUE(index.Get(dogs + "a.jpg"));
    EXPECT_EQ(index.Get(dogs + "a.jpg")->hash, a.hash);
    EXPECT_EQ(index.Get(dogs + "a.jpg")->dhash, a.dhash);
    EXPECT_EQ(indexer.Hashed(), 4) << "a move hashes nothing";
    // Copied: the copy comes in.
    ASSERT_TRUE(view.CopyFiles({Q(cats + "b.jpg")}, Q(dogs), false));
    Settle();
    ASSERT_TRUE(index.Get(dogs + "b.jpg"));
    EXPECT_EQ(index.Get(dogs + "b.jpg")->hash, index.Get(cats + "b.jpg")->hash);

    // Deleted from the list, and deleted behind the program's back.
    view.SelectRow(view.List().Model().RowsOfPaths({Q(cats + "copy of a.jpg")}).at(0));
    ASSERT_TRUE(view.DeleteSelection());
    Settle();
    EXPECT_FALSE(index.Get(cats + "copy of a.jpg"));
    fs::remove(cats + "b.jpg");
    view.ShowFolder(Q(cats));
    Settle();
    EXPECT_TRUE(index.In(cats).empty());
    EXPECT_EQ(index.In(dogs).size(), 2u);

    // A search saves a picture: it comes in as its row does.
    const std::string project = dir.Path() + "My Search/web/site/";
    fs::create_directories(project);
    CSearchState state;
    CSearchimagelist search(mode, state);
    search.SetIndexer(&indexer);
    search.StartSearch(Q(project), false);
    SaveJpeg(Scene(4, 64, 48), project + "saved.jpg");
    state.AddDownloaded(DownloadedPicture{"saved.jpg", "http://site/saved.jpg", ""});
    search.OnPicturesSaved();
    Settle();
    ASSERT_TRUE(index.Get(project + "saved.jpg"));
    EXPECT_EQ(index.Get(project + "saved.jpg")->width, 64);
    // The folder gone takes its entries along.
    fs::remove_all(dogs);
    indexer.EnterFolder(Q(dogs));
    Settle();
    EXPECT_TRUE(index.Under(dogs).empty());
}

// A search's download workers enter what they save into the index the
// window's indexer writes to at the same time: one connection, guarded by
// the index, so nothing is lost and nothing waits on a locked database.
TEST_F(Indexing, SearchThreadsAndTheIndexerShareOneIndex) {
    const std::string shown = Pics() + "Shown/", saved = dir.Path() + "My Search/web/site/";
    for (int i = 0; i < 16; ++i)
        SaveJpeg(Scene(100 + i, 64, 48), shown + std::to_string(i) + ".jpg");
    fs::create_directories(saved);
    constexpr int kWorkers = 3, kEach = 30;
    std::atomic<int> entered{0}, copies{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i) {
                // As a worker commits a picture: looked up by its bytes,
                // then entered. Every fifth is the same bytes as the one
                // before it.
                const std::string path =
                    saved + "w" + std::to_string(w) + "_" + std::to_string(i) + ".jpg";
                std::ofstream(path, std::ios::binary)
                    << "picture " << w << ' ' << (i % 5 == 4 ? i - 1 : i);
                int64_t size = 0;
                const auto hash = store::HashFile(path, &size);
                if (!hash) continue;
                if (!index.FindCopy(path, *hash, size).empty()) ++copies;
                index.WasDeletedContent(*hash);
                store::IndexedPicture p;
                p.path = path;
                p.size = size;
                p.hash = *hash;
                if (index.Put(p)) ++entered;
            }
        });
    // Meanwhile the window shows a folder again and again and looks for
    // duplicates.
    std::atomic<size_t> seen{0};
    for (int round = 0; round < 4; ++round) {
        indexer.EnterFolder(Q(shown));
        indexer.Post([&](store::PictureIndex& i, const std::atomic<bool>&) {
            seen = i.Under(dir.Path()).size();
        });
    }
    for (std::thread& t : workers) t.join();
    Settle();
    EXPECT_EQ(entered, kWorkers * kEach);
    EXPECT_EQ(copies, kWorkers * (kEach / 5));
    EXPECT_EQ(index.In(saved).size(), size_t(kWorkers * kEach));
    ASSERT_EQ(index.In(shown).size(), 16u);
    for (const auto& p : index.In(shown)) EXPECT_TRUE(p.dhash) << p.path;
    EXPECT_GE(seen, 16u);
    EXPECT_EQ(indexer.Hashed(), 16) << "shown again, nothing is hashed again";
}

TEST_F(Indexing, ARebuildEntersEverythingBelowTheRoots) {
    const std::string search = dir.Path() + "My Search/", pics = Pics();
    SaveJpeg(Scene(1, 40, 30), search + "web/site/1.jpg");
    SaveJpeg(Scene(2, 40, 30), search + "key/cats/2.jpg");
    SaveJpeg(Scene(3, 40, 30), pics + "Cats/3.jpg");
    SaveJpeg(Scene(4, 40, 30), pics + "Cats/Kittens/Small/4.jpg");
    SaveJpeg(Scene(5, 40, 30), dir.Path() + "elsewhere/5.jpg");
    // A link back up is not followed round and round.
    fs::create_directory_symlink(pics, pics + "Cats/loop");
    const QStringList roots = {Q(search), Q(pics)};
    ASSERT_TRUE(index.NeedsRebuild());
    indexer.Rebuild(roots);
    Settle();
    EXPECT_EQ(index.Count(), 4) << "what lies below the roots only";
    EXPECT_FALSE(index.NeedsRebuild());
    EXPECT_TRUE(index.Get(pics + "Cats/Kittens/Small/4.jpg"));

    // Opened again whole, it is kept as it is.
    {
        store::PictureIndex reopened;
        ASSERT_TRUE(reopened.Open(dir.Path() + "data/pictures.sqlite"));
        EXPECT_FALSE(reopened.NeedsRebuild());
        EXPECT_EQ(reopened.Count(), 4);
    }
    // Damaged: set aside, made afresh and filled again.
    std::ofstream(dir.Path() + "data/other.sqlite", std::ios::binary) << std::string(8192, 'x');
    store::PictureIndex again;
    ASSERT_TRUE(again.Open(dir.Path() + "data/other.sqlite"));
    ASSERT_TRUE(again.NeedsRebuild());
    EXPECT_EQ(again.Count(), 0);
    EXPECT_TRUE(fs::exists(dir.Path() + "data/other.sqlite.damaged")) << "set aside, not lost";
    CPictureIndexer refill(again);
    refill.Rebuild(roots);
    ASSERT_TRUE(refill.WaitForIdle(30000));
    EXPECT_EQ(again.Count(), 4);
    EXPECT_FALSE(again.NeedsRebuild());
}

TEST_F(Indexing, DuplicatesFoundInTheIndex) {
    const QImage photo = Scene(7, 480, 360);
    const std::string a = SaveJpeg(photo, Pics() + "Cats/photo.jpg");
    const std::string same = Pics() + "Dogs/another name.jpg";
    fs::create_directories(Pics() + "Dogs");
    fs::copy_file(a, same);
    const std::string small = SaveJpeg(Half(photo), Pics() + "Dogs/photo small.jpg");
    SaveJpeg(Scene(8, 480, 360), Pics() + "Dogs/other.jpg");
    SaveJpeg(Scene(9, 240, 180), Pics() + "Cats/yet another.jpg");
    indexer.Rebuild({Q(Pics())});
    Settle();
    ASSERT_EQ(index.Count(), 5);
    const auto groups = store::FindDuplicates(index.Under(Pics()));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].kind, store::DuplicateGroup::Kind::kSameBytes);
    ASSERT_EQ(groups[0].members.size(), 2u);
    EXPECT_EQ(groups[0].members[0].path, a);
    EXPECT_EQ(groups[0].members[1].path, same);
    EXPECT_EQ(groups[1].kind, store::DuplicateGroup::Kind::kLookAlike);
    ASSERT_EQ(groups[1].members.size(), 2u);
    EXPECT_EQ(groups[1].members[0].path, a) << "the same bytes count once";
    EXPECT_EQ(groups[1].members[1].path, small);
    EXPECT_EQ(groups[1].members[1].width, 240);
}

}  // namespace
}  // namespace pq
