// The shared thumbnail cache and the thumbnails made through it, without a
// window: names, keys, modes and the rules of use, reuse and failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "browse/CThumbList.h"
#include "browse/CThumbnailer.h"
#include "browse/ThumbnailCache.h"
#include "browse/ThumbnailMaker.h"
#include "tests/support/TempDir.h"

// Texts as texts in the failure messages.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace pq {
namespace {

namespace fs = std::filesystem;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WriteJpeg(const QString& path, int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    ASSERT_TRUE(img.save(path, "JPEG", 90));
}

void SetMtime(const QString& path, qint64 seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

int ModeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// A PNG and its text keys (whole: QImageReader::text() cannot read keys
// that hold a ':').
QImage Keys(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "png");
    return reader.read();
}

QColor CentreOf(const QImage& image) {
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

TEST(ThumbnailCache, NamesFollowTheStandard) {
    // The standard's own example, then what needs escaping.
    struct Case {
        const char* path;
        const char* uri;
    } cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/p/my picture.jpg", "file:///p/my%20picture.jpg"},
        {"/p/caf\xc3\xa9.jpg", "file:///p/caf%C3%A9.jpg"},
        {"/p/a;b#c?d%e.jpg", "file:///p/a%3Bb%23c%3Fd%25e.jpg"},
        {"/p/[x]{y}<z>\"q\".jpg", "file:///p/%5Bx%5D%7By%7D%3Cz%3E%22q%22.jpg"},
        {"/p/keep-_.!~*'()@&=+$,:.jpg", "file:///p/keep-_.!~*'()@&=+$,:.jpg"},
        {"/p//q/../r/./s.jpg", "file:///p/r/s.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbnailCache::UriOf(QString::fromUtf8(c.path)), c.uri) << c.path;
    EXPECT_EQ(ThumbnailCache::NameOf("file:///home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
    ThumbnailCache cache("/c/thumbnails");
    EXPECT_EQ(cache.PathOf(ThumbnailCache::Flavour::kNormal, "file:///home/jens/photos/me.png"),
              "/c/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(cache.PathOf(ThumbnailCache::Flavour::kLarge, "file:///x"),
              "/c/thumbnails/large/" + ThumbnailCache::NameOf("file:///x"));
    EXPECT_EQ(cache.FailurePathOf("file:///x"),
              "/c/thumbnails/fail/pelquinar-1.10/" + ThumbnailCache::NameOf("file:///x"));
    EXPECT_TRUE(cache.Holds("/c/thumbnails/normal/a.png"));
    EXPECT_TRUE(cache.Holds("/c/thumbnails"));
    EXPECT_FALSE(cache.Holds("/c/thumbnails-old/a.png"));
}

TEST(ThumbnailCache, FlavourOfACell) {
    using F = ThumbnailCache::Flavour;
    const std::pair<QSize, F> cases[] = {{{80, 80}, F::kNormal},   {{128, 40}, F::kNormal},
                                         {{129, 40}, F::kLarge},   {{180, 180}, F::kLarge},
                                         {{40, 256}, F::kLarge},   {{300, 100}, F::kXLarge},
                                         {{1024, 9}, F::kXXLarge}, {{5000, 5000}, F::kXXLarge}};
    for (auto [cell, flavour] : cases)
        EXPECT_EQ(ThumbnailCache::ForCell(cell), flavour) << cell.width() << "x" << cell.height();
}

TEST(ThumbnailCache, RootFromTheEnvironment) {
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "/somewhere/cache/");
    EXPECT_EQ(ThumbnailCache::DefaultRoot(), "/somewhere/cache/thumbnails/");
    // A relative or empty value is no cache home.
    for (const char* v : {"relative/cache", ""}) {
        qputenv("XDG_CACHE_HOME", v);
        EXPECT_EQ(ThumbnailCache::DefaultRoot(), QDir::homePath() + "/.cache/thumbnails/") << v;
    }
    qputenv("XDG_CACHE_HOME", saved);
}

class CacheRules : public ::testing::Test {
protected:
    void SetUp() override {
        root = Q(dir.Path() + "cache/thumbnails/");
        cache = std::make_shared<const ThumbnailCache>(root);
        picture = Q(dir.Path() + "blue.jpg");
        WriteJpeg(picture, 400, 300, Qt::blue);
        SetMtime(picture, 1700000000);
    }
    ThumbnailMaker Maker() {
        return ThumbnailMaker(cache, [this](const QString& p, const QSize& s) {
            ++decodes;
            return picture::LoadThumbnail(p, s);
        });
    }
    ThumbnailMaker::Made MakeAndKeep(const QString& path, QSize cell = QSize(80, 80)) {
        ThumbnailMaker maker = Maker();
        ThumbnailMaker::Made made = maker.Make(path, cell);
        maker.Keep(made);
        return made;
    }
    std::string NormalPathOf(const QString& path) {
        return cache->PathOf(ThumbnailCache::Flavour::kNormal, ThumbnailCache::UriOf(path))
            .toStdString();
    }
    // A thumbnail as another program would write it.
    void WriteForeign(const QString& path, QColor colour, const QString& uri, const QString& mtime,
                      const QString& size = {}, QSize image = QSize(128, 96)) {
        QImage t(image, QImage::Format_RGB32);
        t.fill(colour);
        t.setText("Thumb::URI", uri);
        if (!mtime.isEmpty()) t.setText("Thumb::MTime", mtime);
        if (!size.isEmpty()) t.setText("Thumb::Size", size);
        t.setText("Software", "Some File Manager");
        fs::create_directories(root.toStdString() + "normal");
        ASSERT_TRUE(t.save(Q(NormalPathOf(path)), "PNG"));
    }

    test::TempDir dir;
    QString root, picture;
    std::shared_ptr<const ThumbnailCache> cache;
    std::atomic<int> decodes{0};
};

TEST_F(CacheRules, AThumbnailWeWriteIsFoundByTheStandardsRules) {
    const ThumbnailMaker::Made made = MakeAndKeep(picture);
    ASSERT_TRUE(made.thumb.valid);
    EXPECT_EQ(made.thumb.image.size(), QSize(80, 60));
    EXPECT_EQ(picture::LabelText(made.thumb.stored), "400x300x16M");
    EXPECT_EQ(decodes, 1);

    // Read back as any program would: by the name of the URI's MD5.
    const std::string path = NormalPathOf(picture);
    ASSERT_TRUE(fs::exists(path));
    const QImage stored = Keys(path);
    EXPECT_EQ(stored.size(), QSize(128, 96));
    EXPECT_EQ(stored.text("Thumb::URI"), ThumbnailCache::UriOf(picture));
    EXPECT_EQ(stored.text("Thumb::MTime"), "1700000000");
    EXPECT_EQ(stored.text("Thumb::Size"), QString::number(QFileInfo(picture).size()));
    EXPECT_EQ(stored.text("Thumb::Mimetype"), "image/jpeg");
    EXPECT_EQ(stored.text("Thumb::Image::Width"), "400");
    EXPECT_EQ(stored.text("Thumb::Image::Height"), "300");
    EXPECT_TRUE(stored.hasAlphaChannel()) << "eight bits a channel with alpha";
    EXPECT_TRUE(Near(CentreOf(stored), Qt::blue));

    // Private to the user, and nothing half-written left beside it.
    EXPECT_EQ(ModeOf(path), 0600);
    for (const char* folder : {"cache", "cache/thumbnails", "cache/thumbnails/normal"})
        EXPECT_EQ(ModeOf(dir.Path() + folder), 0700) << folder;
    int files = 0;
    for (const auto& e : fs::directory_iterator(root.toStdString() + "normal")) {
        ++files;
        EXPECT_EQ(e.path().extension(), ".png");
    }
    EXPECT_EQ(files, 1);

    // The next time it comes from the cache, with the same label.
    const ThumbnailMaker::Made again = MakeAndKeep(picture);
    EXPECT_TRUE(again.fromCache);
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(again.thumb.image.size(), QSize(80, 60));
    EXPECT_EQ(picture::LabelText(again.thumb.stored), "400x300x16M");
}

TEST_F(CacheRules, AThumbnailOfAnotherProgramIsUsed) {
    // Red, where the picture is blue: what the cell shows says where it
    // came from. The picture's size comes from its header, as this one
    // does not say.
    WriteForeign(picture, Qt::red, ThumbnailCache::UriOf(picture), "1700000000",
                 QString::number(QFileInfo(picture).size()));
    const ThumbnailMaker::Made made = MakeAndKeep(picture);
    ASSERT_TRUE(made.thumb.valid);
    EXPECT_TRUE(made.fromCache);
    EXPECT_EQ(decodes, 0);
    EXPECT_TRUE(Near(CentreOf(made.thumb.image), Qt::red));
    EXPECT_EQ(made.thumb.image.size(), QSize(80, 60));
    EXPECT_EQ(picture::LabelText(made.thumb.stored), "400x300x16M");
}

TEST_F(CacheRules, AStaleOrForeignKeyedThumbnailIsMadeAgain) {
    const QString uri = ThumbnailCache::UriOf(picture);
    const QString size = QString::number(QFileInfo(picture).size());
    struct Case {
        const char* what;
        QString uri, mtime, size;
    } cases[] = {
        {"older modification time", uri, "1699999999", size},
        {"newer modification time", uri, "1700000001", size},
        {"no modification time", uri, "", size},
        {"another size", uri, "1700000000", "12"},
        {"another file's URI", "file:///elsewhere/blue.jpg", "1700000000", size},
    };
    for (const Case& c : cases) {
        WriteForeign(picture, Qt::red, c.uri, c.mtime, c.size);
        decodes = 0;
        const ThumbnailMaker::Made made = MakeAndKeep(picture);
        EXPECT_FALSE(made.fromCache) << c.what;
        EXPECT_EQ(decodes, 1) << c.what;
        EXPECT_TRUE(Near(CentreOf(made.thumb.image), Qt::blue)) << c.what;
        // Replaced by a fresh one.
        const QImage fresh = Keys(NormalPathOf(picture));
        EXPECT_EQ(fresh.text("Thumb::MTime"), "1700000000") << c.what;
        EXPECT_EQ(fresh.text("Thumb::URI"), uri) << c.what;
    }
}

TEST_F(CacheRules, AChangedPictureIsDecodedAgain) {
    MakeAndKeep(picture);
    ASSERT_EQ(decodes, 1);
    WriteJpeg(picture, 400, 300, Qt::green);
    SetMtime(picture, 1700000100);
    const ThumbnailMaker::Made made = MakeAndKeep(picture);
    EXPECT_FALSE(made.fromCache);
    EXPECT_EQ(decodes, 2);
    EXPECT_TRUE(Near(CentreOf(made.thumb.image), Qt::green));
    EXPECT_EQ(Keys(NormalPathOf(picture)).text("Thumb::MTime"), "1700000100");
    // And the fresh one is used after that.
    EXPECT_TRUE(MakeAndKeep(picture).fromCache);
    EXPECT_EQ(decodes, 2);
}

TEST_F(CacheRules, APictureThatFailsIsNotTriedTwice) {
    const QString broken = Q(dir.Path() + "broken.jpg");
    std::ofstream(broken.toStdString(), std::ios::binary) << "\xff\xd8\xff\xe0 not a picture";
    SetMtime(broken, 1700000000);
    EXPECT_FALSE(MakeAndKeep(broken).thumb.valid);
    EXPECT_EQ(decodes, 1);
    const std::string failure = cache->FailurePathOf(ThumbnailCache::UriOf(broken)).toStdString();
    ASSERT_TRUE(fs::exists(failure));
    EXPECT_EQ(ModeOf(failure), 0600);
    EXPECT_EQ(ModeOf(root.toStdString() + "fail/pelquinar-1.10"), 0700);
    const QImage marker = Keys(failure);
    EXPECT_EQ(marker.text("Thumb::URI"), ThumbnailCache::UriOf(broken));
    EXPECT_EQ(marker.text("Thumb::MTime"), "1700000000");
    EXPECT_FALSE(fs::exists(NormalPathOf(broken)));

    const ThumbnailMaker::Made second = MakeAndKeep(broken);
    EXPECT_FALSE(second.thumb.valid);
    EXPECT_TRUE(second.failed);
    EXPECT_EQ(decodes, 1) << "the failure is remembered";

    // Once it changes it is tried again, and now it is a picture.
    WriteJpeg(broken, 40, 30, Qt::blue);
    SetMtime(broken, 1700000200);
    const ThumbnailMaker::Made mended = MakeAndKeep(broken);
    EXPECT_TRUE(mended.thumb.valid);
    EXPECT_EQ(decodes, 2);
    EXPECT_TRUE(fs::exists(NormalPathOf(broken)));
}

TEST_F(CacheRules, SizesAndFlavours) {
    // A large cell reads and writes large/.
    const ThumbnailMaker::Made big = MakeAndKeep(picture, QSize(180, 180));
    EXPECT_EQ(big.thumb.image.size(), QSize(180, 135));
    const std::string large =
        cache->PathOf(ThumbnailCache::Flavour::kLarge, ThumbnailCache::UriOf(picture))
            .toStdString();
    EXPECT_EQ(QImageReader(Q(large), "png").size(), QSize(256, 192));
    EXPECT_FALSE(fs::exists(NormalPathOf(picture)));
    // A large thumbnail serves a normal cell, scaled down.
    const ThumbnailMaker::Made normal = MakeAndKeep(picture);
    EXPECT_TRUE(normal.fromCache);
    EXPECT_EQ(normal.thumb.image.size(), QSize(80, 60));

    // A picture smaller than the flavour is kept at its own size, and then
    // serves any cell, never enlarged.
    const QString small = Q(dir.Path() + "small.jpg");
    WriteJpeg(small, 64, 48, Qt::blue);
    MakeAndKeep(small);
    EXPECT_EQ(QImageReader(Q(NormalPathOf(small)), "png").size(), QSize(64, 48));
    const ThumbnailMaker::Made large64 = MakeAndKeep(small, QSize(180, 180));
    EXPECT_TRUE(large64.fromCache);
    EXPECT_EQ(large64.thumb.image.size(), QSize(64, 48));

    // A cell beyond the largest flavour is decoded for itself.
    decodes = 0;
    const ThumbnailMaker::Made huge = MakeAndKeep(picture, QSize(2000, 2000));
    EXPECT_EQ(huge.thumb.image.size(), QSize(400, 300));
    EXPECT_EQ(decodes, 1);
}

TEST_F(CacheRules, WhatIsNotACacheEntryIsLeftAlone) {
    // A file larger than its folder allows is no thumbnail: decoded instead.
    WriteForeign(picture, Qt::red, ThumbnailCache::UriOf(picture), "1700000000", {},
                 QSize(300, 200));
    EXPECT_FALSE(MakeAndKeep(picture).fromCache);
    EXPECT_EQ(decodes, 1);
    // Junk under the thumbnail's name.
    std::ofstream(NormalPathOf(picture), std::ios::binary) << "junk";
    decodes = 0;
    EXPECT_TRUE(MakeAndKeep(picture).thumb.valid);
    EXPECT_EQ(decodes, 1);

    // Pictures inside the cache get no thumbnails of their own.
    const QString inside = root + "normal/inside.jpg";
    WriteJpeg(inside, 40, 30, Qt::blue);
    MakeAndKeep(inside);
    EXPECT_FALSE(fs::exists(NormalPathOf(inside)));
}

TEST_F(CacheRules, ACacheThatCannotBeWrittenOnlyCostsTheWrite) {
    // The cache's place is taken by a file.
    std::ofstream(dir.Path() + "cache", std::ios::binary) << "a file";
    const ThumbnailMaker::Made made = MakeAndKeep(picture);
    EXPECT_TRUE(made.thumb.valid);
    EXPECT_EQ(made.thumb.image.size(), QSize(80, 60));
    EXPECT_FALSE(cache->Store(ThumbnailCache::Describe(picture), ThumbnailCache::Flavour::kNormal,
                              made.thumb.image, QSize(400, 300), 24, "image/jpeg"));
    // And no cache at all: decoded every time, nothing written.
    ThumbnailMaker plain(nullptr, [this](const QString& p, const QSize& s) {
        ++decodes;
        return picture::LoadThumbnail(p, s);
    });
    decodes = 0;
    for (int i = 0; i < 2; ++i) plain.Keep(plain.Make(picture, QSize(80, 80)));
    EXPECT_EQ(decodes, 2);
}

TEST_F(CacheRules, AMissingPictureIsNeitherLookedUpNorRecorded) {
    const QString missing = Q(dir.Path() + "gone.jpg");
    const ThumbnailMaker::Made made = MakeAndKeep(missing);
    EXPECT_FALSE(made.thumb.valid);
    EXPECT_FALSE(fs::exists(cache->FailurePathOf(ThumbnailCache::UriOf(missing)).toStdString()));
    EXPECT_FALSE(fs::exists(root.toStdString()));
}

TEST_F(CacheRules, TheListShowsWhatTheCacheHoldsAndKeepsWhatItMakes) {
    WriteForeign(picture, Qt::red, ThumbnailCache::UriOf(picture), "1700000000");
    const QString other = Q(dir.Path() + "other.jpg");
    WriteJpeg(other, 200, 100, Qt::blue);
    CThumbList list;
    list.resize(600, 400);
    list.Thumbnailer().SetCache(cache);
    list.show();
    list.ShowFolder(Q(dir.Path()), false, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Ready(); }, 10000));
    ASSERT_TRUE(list.Thumbnailer().WaitIdle(10000));
    auto& model = list.Model();
    ASSERT_EQ(model.rowCount(), 2);
    const int blue = model.At(0).record.name == "blue.jpg" ? 0 : 1;
    EXPECT_TRUE(Near(CentreOf(model.At(blue).thumb.image), Qt::red)) << "from the cache";
    EXPECT_EQ(picture::LabelText(model.At(blue).thumb.stored), "400x300x16M");
    EXPECT_TRUE(Near(CentreOf(model.At(1 - blue).thumb.image), Qt::blue)) << "decoded";
    // Written once no thumbnail waits.
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Thumbnailer().WritesWaiting() == 0; }, 10000));
    EXPECT_TRUE(fs::exists(NormalPathOf(other)));
}

}  // namespace
}  // namespace pq
