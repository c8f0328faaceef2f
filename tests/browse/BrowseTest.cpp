// Picture loading, the list model and its thumbnails, the views' rules;
// on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QItemSelectionModel>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "browse/CImagelist.h"
#include "browse/CSearchimagelist.h"
#include "browse/CThumbList.h"
#include "browse/CThumbListModel.h"
#include "browse/CThumbnailer.h"
#include "browse/FileRecord.h"
#include "browse/PictureLoader.h"
#include "engine/CPelquinarDoc.h"
#include "store/Credits.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace pq {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteJpeg(const QString& path, int w, int h, QColor c = Qt::darkCyan) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    ASSERT_TRUE(img.save(path, "JPEG", 80));
}

QString Demo(const char* name) {
    return QStringLiteral(PQ_SOURCE_DIR "/resources/demo-site/pics/") + QLatin1String(name);
}

TEST(PictureLoader, ThumbnailsKeepTheAspectAndReportTheStoredPicture) {
    test::TempDir dir;
    const QString jpg = QString::fromStdString(dir.Path() + "big.jpg");
    WriteJpeg(jpg, 640, 480);
    picture::Thumbnail t = picture::LoadThumbnail(jpg, QSize(80, 80));
    ASSERT_TRUE(t.valid);
    EXPECT_EQ(t.image.size(), QSize(80, 60));
    EXPECT_EQ(t.stored.size, QSize(640, 480));
    EXPECT_EQ(picture::LabelText(t.stored), "640x480x16M");
    // Never enlarged.
    picture::Thumbnail small = picture::LoadThumbnail(Demo("mosaic.bmp"), QSize(80, 80));
    ASSERT_TRUE(small.valid);
    EXPECT_EQ(small.image.size(), small.stored.size);
    // A GIF gets its thumbnail from the first frame, and its own label.
    picture::Thumbnail gif = picture::LoadThumbnail(Demo("sunrise.gif"), QSize(40, 40));
    ASSERT_TRUE(gif.valid);
    EXPECT_LE(gif.image.width(), 40);
    EXPECT_GT(gif.stored.bits, 0);
    EXPECT_LE(gif.stored.bits, 8);
}

TEST(PictureLoader, ColourCounts) {
    const std::pair<int, const char*> cases[] = {
        {1, "2"}, {4, "16"}, {8, "256"}, {16, "64K"}, {24, "16M"}, {32, "4096M"}, {0, "0"}};
    for (auto [bits, text] : cases) EXPECT_EQ(picture::ColourCountText(bits), text) << bits;
    EXPECT_EQ(picture::StoredBits(QImage::Format_RGB32), 24);
    EXPECT_EQ(picture::StoredBits(QImage::Format_Indexed8), 8);
    EXPECT_EQ(picture::StoredBits(QImage::Format_Mono), 1);
}

TEST(PictureLoader, UnreadableAndHostilePicturesGiveNothing) {
    test::TempDir dir;
    // A valid JPEG header that claims 65000 × 65000 pixels.
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    tiny.save(&buf, "JPEG");
    const int sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    for (int i : {5, 7}) {
        jpeg[sof + i] = char(0xFD);
        jpeg[sof + i + 1] = char(0xE8);
    }
    WriteBytes(dir.Path() + "giant.jpg", jpeg.toStdString());
    // 45000 × 45000: its eighth (5625 × 5625, 120 MB) once passed for a
    // thumbnail's decode.
    for (int i : {5, 7}) {
        jpeg[sof + i] = char(0xAF);
        jpeg[sof + i + 1] = char(0xC8);
    }
    WriteBytes(dir.Path() + "giant45.jpg", jpeg.toStdString());
    // A BMP header that claims 100000 × 100000 pixels of 24 bits.
    std::string bmp = "BM";
    auto u32 = [&bmp](quint32 v) {
        for (int i = 0; i < 4; ++i) bmp += char((v >> (8 * i)) & 0xff);
    };
    auto u16 = [&bmp](quint16 v) {
        bmp += char(v & 0xff);
        bmp += char(v >> 8);
    };
    u32(54 + 64);
    u32(0);
    u32(54);
    u32(40);
    u32(100000);
    u32(100000);
    u16(1);
    u16(24);
    u32(0);
    u32(0);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    bmp += std::string(64, '\x7f');
    WriteBytes(dir.Path() + "giant.bmp", bmp);
    WriteBytes(dir.Path() + "empty.jpg", "");
    WriteBytes(dir.Path() + "page.gif", "<html><title>not a picture</title></html>");
    WriteBytes(dir.Path() + "cut.jpg", jpeg.left(jpeg.size() / 3).toStdString());
    QImage png(10, 10, QImage::Format_RGB32);
    png.fill(Qt::blue);
    png.save(QString::fromStdString(dir.Path() + "png-named.jpg"), "PNG");

    for (const char* name : {"giant.jpg", "giant45.jpg", "giant.bmp", "empty.jpg", "page.gif"}) {
        picture::Thumbnail t =
            picture::LoadThumbnail(QString::fromStdString(dir.Path() + name), QSize(80, 80));
        EXPECT_FALSE(t.valid) << name;
        EXPECT_TRUE(t.image.isNull()) << name;
        EXPECT_TRUE(picture::LoadWhole(QString::fromStdString(dir.Path() + name)).isNull()) << name;
    }
    // A truncated JPEG or a PNG under a .jpg name: whatever Qt makes of it,
    // never a crash, and the next picture still comes.
    picture::LoadThumbnail(QString::fromStdString(dir.Path() + "cut.jpg"), QSize(80, 80));
    picture::LoadThumbnail(QString::fromStdString(dir.Path() + "png-named.jpg"), QSize(80, 80));
    EXPECT_TRUE(picture::LoadThumbnail(Demo("hills.jpg"), QSize(80, 80)).valid);
}

TEST(PictureLoader, ConvertToBmpWritesABmp) {
    test::TempDir dir;
    const QString out = QString::fromStdString(dir.Path() + "out.bmp");
    ASSERT_TRUE(picture::ConvertToBmp(Demo("hills.jpg"), out));
    EXPECT_EQ(ReadBytes(out.toStdString()).substr(0, 2), "BM");
    EXPECT_EQ(QImage(out).size(), QImage(Demo("hills.jpg")).size());
    EXPECT_FALSE(picture::ConvertToBmp(QString::fromStdString(dir.Path() + "none.jpg"), out));
}

TEST(FileRecord, SizeDateAndTypeTexts) {
    const std::pair<qint64, const char*> sizes[] = {
        {0, "0 bytes"}, {1023, "1023 bytes"}, {1024, "1KB"},       {1535, "1KB"},
        {1536, "2KB"},  {1048576, "1MB"},     {1047552, "1023KB"}, {1048064, "1MB"}};
    for (auto [bytes, text] : sizes) EXPECT_EQ(CFileRecord::ListSizeText(bytes), text) << bytes;
    EXPECT_EQ(CFileRecord::DateTextOf(QDateTime(QDate(2007, 3, 4), QTime(5, 6, 7))),
              "07-03-04 05:06");
    EXPECT_EQ(CFileRecord::TypeTextOf("A.JPG"), "JPEG Image");
    EXPECT_EQ(CFileRecord::TypeTextOf("a.jpeg"), "JPEG Image");
    EXPECT_EQ(CFileRecord::TypeTextOf("a.Gif"), "GIF Image");
    EXPECT_EQ(CFileRecord::TypeTextOf("a.bmp"), "BMP Image");
    EXPECT_EQ(CFileRecord::ExtensionColour(".GIF"), QColor(0xd6, 0xeb, 0xd6));
    EXPECT_EQ(CFileRecord::ExtensionColour(".jpg"), QColor(0xef, 0xeb, 0xce));
    EXPECT_EQ(CFileRecord::ExtensionColour(".xyz"), QColor(Qt::white));
}

// Shows a folder and waits until its rows are in.
void Show(CThumbList& list, const QString& folder, bool fromFile, bool force) {
    list.ShowFolder(folder, fromFile, force);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Ready(); }, 10000));
}

class Lists : public ::testing::Test {
protected:
    QString Folder() const { return QString::fromStdString(dir.Path()); }
    test::TempDir dir;
};

TEST_F(Lists, AFolderListsItsPicturesOnlyAndTheSameFolderAgainChangesNothing) {
    WriteJpeg(Folder() + "a.JPG", 20, 10);
    WriteBytes(dir.Path() + "b.txt", "text");
    fs::create_directory(dir.Path() + "sub.jpg");
    CThumbList list;
    Show(list, Folder(), false, false);
    ASSERT_EQ(list.Model().rowCount(), 1);
    EXPECT_EQ(list.Model().data(list.Model().index(0, CThumbListModel::kName), Qt::DisplayRole),
              "a.JPG");
    EXPECT_EQ(list.Model().data(list.Model().index(0, CThumbListModel::kType), Qt::DisplayRole),
              "JPEG Image");
    EXPECT_EQ(list.Model().data(list.Model().index(0, CThumbListModel::kDate), Qt::DisplayRole),
              CFileRecord::DateTextOf(QFileInfo(Folder() + "a.JPG").lastModified()));
    EXPECT_TRUE(list.Ready());

    WriteJpeg(Folder() + "c.jpg", 20, 10);
    list.ShowFolder(Folder().toUpper(), false, false);
    QTest::qWait(50);
    EXPECT_EQ(list.Model().rowCount(), 1) << "the same folder, in another case: nothing";
    Show(list, Folder(), false, true);
    EXPECT_EQ(list.Model().rowCount(), 2) << "during a search it is read again";
}

TEST_F(Lists, PicturesWhoseNamesCannotBeReadAreCountedNotListed) {
    // An old Latin-1 name where names are UTF-8: no QString names it, so no
    // path made of one opens it.
    WriteJpeg(Folder() + "plain.jpg", 20, 10);
    WriteBytes(dir.Path() + "caf\xe9.jpg", "x");
    WriteBytes(dir.Path() + "gr\xfc\xdf.GIF", "x");
    WriteBytes(dir.Path() + "notes\xe9.txt", "not a picture");
    WriteJpeg(Folder() + QString::fromUtf8("caf\xc3\xa9.jpg"), 20, 10);
    fs::create_symlink(dir.Path() + "plain.jpg", dir.Path() + "link.jpg");
    CThumbList list;
    Show(list, Folder(), false, false);
    ASSERT_EQ(list.Model().rowCount(), 3);
    EXPECT_EQ(list.Model().At(0).record.name, QString::fromUtf8("caf\xc3\xa9.jpg"));
    EXPECT_EQ(list.Model().At(1).record.name, "link.jpg") << "a link to a picture is listed";
    EXPECT_EQ(list.Model().At(2).record.name, "plain.jpg");
    EXPECT_EQ(list.Model().At(2).record.size, qint64(fs::file_size(dir.Path() + "plain.jpg")));
    EXPECT_EQ(list.UnreadableNames(), 2) << "two pictures; the text file is not one";
    EXPECT_EQ(CThumbList::UnreadableNamesText(2),
              "2 pictures were left out: their names cannot be read.");
    EXPECT_TRUE(CThumbList::UnreadableNamesText(0).isEmpty());
    int unreadable = -1;
    EXPECT_EQ(CThumbListModel::ReadFolder(Folder(), &unreadable).size(), 3u);
    EXPECT_EQ(unreadable, 2);
}

TEST_F(Lists, ThumbnailsComeForEveryRowAndAgainAfterASizeChange) {
    for (int i = 0; i < 12; ++i)
        WriteJpeg(Folder() + QString("p%1.jpg").arg(i, 2, 10, QChar('0')), 300, 200);
    WriteBytes(dir.Path() + "broken.jpg", "not a picture at all");
    CThumbList list;
    list.resize(400, 300);
    list.show();
    list.SetThumbSize(QSize(60, 60));
    Show(list, Folder(), false, false);
    ASSERT_TRUE(list.Thumbnailer().WaitIdle(20000));
    auto& m = list.Model();
    ASSERT_EQ(m.rowCount(), 13);
    for (int r = 0; r < m.rowCount(); ++r) {
        EXPECT_TRUE(m.data(m.index(r, 0), CThumbListModel::kThumbDoneRole).toBool()) << r;
        const bool broken = m.At(r).record.name == "broken.jpg";
        EXPECT_EQ(m.At(r).thumb.valid, !broken) << r;
        if (!broken) {
            EXPECT_EQ(m.At(r).thumb.image.size(), QSize(60, 40)) << r;
        }
    }
    EXPECT_EQ(m.data(m.index(1, 0), CThumbListModel::kLabelRole), "300x200x16M");

    list.SetThumbSize(QSize(90, 90));
    EXPECT_FALSE(m.data(m.index(1, 0), CThumbListModel::kThumbDoneRole).toBool());
    ASSERT_TRUE(list.Thumbnailer().WaitIdle(20000));
    EXPECT_EQ(m.At(1).thumb.image.size(), QSize(90, 60));

    // Other display modes make none.
    list.SetMode("report");
    list.SetThumbSize(QSize(70, 70));
    QTest::qWait(200);
    EXPECT_EQ(list.Thumbnailer().InFlight(), 0);
    EXPECT_FALSE(m.data(m.index(1, 0), CThumbListModel::kThumbDoneRole).toBool());
}

TEST_F(Lists, OnlyTheRowsAroundTheVisibleOnesHoldThumbnails) {
    // Every row of a large folder holding its thumbnail takes gigabytes:
    // the rows far from the visible ones give theirs up and have them made
    // again when scrolled back to.
    WriteJpeg(Folder() + "one.jpg", 200, 150);
    const int count = 600;
    for (int i = 0; i < count; ++i)
        fs::create_hard_link(
            dir.Path() + "one.jpg",
            dir.Path() + QString("p%1.jpg").arg(i, 4, 10, QChar('0')).toStdString());
    fs::remove(dir.Path() + "one.jpg");
    CThumbList list;
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.SetThumbSize(QSize(180, 180));
    // Room for 40 thumbnails of 180 x 180 (a few screens here).
    list.Thumbnailer().SetKeptBytes(40 * 180 * 180 * 4);
    Show(list, Folder(), false, false);
    auto& m = list.Model();
    ASSERT_EQ(m.rowCount(), count);
    auto holding = [&] {
        std::vector<int> rows;
        for (int r = 0; r < m.rowCount(); ++r)
            if (m.At(r).thumb.valid) rows.push_back(r);
        return rows;
    };
    auto check = [&](int mustHold, const char* where) {
        ASSERT_TRUE(list.Thumbnailer().WaitIdle(60000)) << where;
        const auto [lo, hi] = list.Thumbnailer().KeptWindow();
        const int window = hi - lo + 1;
        EXPECT_EQ(window, 40) << where;
        const std::vector<int> rows = holding();
        EXPECT_EQ(int(rows.size()), list.Thumbnailer().Held()) << where;
        EXPECT_LE(int(rows.size()), window) << where;
        ASSERT_FALSE(rows.empty()) << where;
        EXPECT_GE(rows.front(), lo) << where;
        EXPECT_LE(rows.back(), hi) << where;
        EXPECT_TRUE(m.At(mustHold).thumb.valid) << where;
    };
    check(0, "at the top");
    EXPECT_FALSE(m.At(count - 1).thumb.valid);
    list.ListView()->scrollToBottom();
    QApplication::processEvents();
    check(count - 1, "at the bottom");
    EXPECT_FALSE(m.At(0).thumb.valid) << "the top's thumbnails were given up";
    list.ListView()->scrollToTop();
    QApplication::processEvents();
    check(0, "back at the top");
    EXPECT_FALSE(m.At(count - 1).thumb.valid);
}

TEST_F(Lists, AThumbnailForARowThatWentIsDropped) {
    WriteJpeg(Folder() + "a.jpg", 50, 50);
    WriteJpeg(Folder() + "b.jpg", 50, 50);
    CThumbListModel model;
    model.FillFromFolder(Folder());
    const quint64 id = model.At(0).id;
    const quint64 generation = model.Generation();
    const QString path = model.At(0).record.path;
    const picture::Thumbnail t = picture::LoadThumbnail(path, QSize(20, 20));
    model.RemoveRow(0);
    EXPECT_FALSE(model.Deliver(id, generation, path, t));
    EXPECT_FALSE(model.At(0).thumb.valid);
    // Nor one made at a size that has changed since.
    const quint64 idB = model.At(0).id;
    model.SetThumbSize(QSize(33, 33));
    EXPECT_FALSE(model.Deliver(idB, generation, model.At(0).record.path, t));
    EXPECT_TRUE(model.Deliver(idB, model.Generation(), model.At(0).record.path, t));
}

TEST_F(Lists, SelectAllAndInvert) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) WriteJpeg(Folder() + n, 10, 10);
    CThumbList list;
    Show(list, Folder(), false, false);
    auto* sel = list.Selection();
    auto& m = list.Model();
    sel->select(m.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->setCurrentIndex(m.index(0, 0), QItemSelectionModel::NoUpdate);
    sel->setCurrentIndex(m.index(1, 0), QItemSelectionModel::NoUpdate);  // focused, not selected
    list.InvertSelection();
    EXPECT_EQ(list.SelectedRows(), (QList<int>{1, 2, 3}));
    EXPECT_FALSE(sel->currentIndex().isValid()) << "inverting leaves no row focused";
    list.SelectAll();
    EXPECT_EQ(list.SelectedRows(), (QList<int>{0, 1, 2, 3}));
    list.InvertSelection();
    EXPECT_TRUE(list.SelectedRows().isEmpty());
}

TEST_F(Lists, PngAndWebpAreListedAndReadOnlyOnceKept) {
    WriteJpeg(Folder() + "c.jpg", 20, 10);
    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    ASSERT_TRUE(img.save(Folder() + "a.png"));
    ASSERT_TRUE(img.save(Folder() + "b.webp", "webp")) << "the WebP image plugin is missing";
    CThumbListModel model;
    CFileRecord::SetExtraTypes(false, false);
    EXPECT_EQ(model.FillFromFolder(Folder()), 1) << "off: the lists are as they always were";
    CFileRecord::SetExtraTypes(true, true);
    ASSERT_EQ(model.FillFromFolder(Folder()), 3);
    EXPECT_EQ(model.data(model.index(0, CThumbListModel::kType), Qt::DisplayRole), "PNG Image");
    EXPECT_EQ(model.data(model.index(1, CThumbListModel::kType), Qt::DisplayRole), "WebP Image");
    for (int r = 0; r < 3; ++r) {
        const picture::Thumbnail t = picture::LoadThumbnail(model.At(r).record.path, QSize(15, 15));
        EXPECT_TRUE(t.valid) << model.At(r).record.name.toStdString();
    }
    EXPECT_NE(CFileRecord::ExtensionColour(".webp"), QColor(Qt::white));
    CFileRecord::SetExtraTypes(false, false);
}

TEST_F(Lists, PicturesOfAnOpenServiceShowTheirCredits) {
    const std::string inf =
        "1**00:00:01   \r\nVersion=1.10\r\nFILTER=\r\nKEYWORDS=cats\r\n"
        "SEARCHENGINE=Openverse\r\nURL=http://h/v1/images/?q=cats\r\n             \r\n"
        "OK results1.json 2KB http://h/v1/images/?q=cats\r\n"
        "OK red.jpg 1KB http://h/thumb/red\r\n";
    WriteBytes(dir.Path() + "project.inf", inf);
    WriteJpeg(Folder() + "red.jpg", 10, 10);
    store::Credit credit{
        "Red cat", "Jane Doe", "by-sa", "2.0", "https://l/", "https://p/", "http://h/full/red.jpg"};
    ASSERT_TRUE(store::AppendCreditLine(dir.Path(), "red.jpg", credit, "http://h/thumb/red"));
    CThumbListModel model;
    ASSERT_EQ(model.FillFromProject(Folder()), 1) << "the result page is no picture";
    const QString tip = model.data(model.index(0, 0), Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.endsWith("\nRed cat by Jane Doe, CC BY-SA 2.0")) << tip.toStdString();
    const auto big = BigPicturesOf(model, {0});
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].address, "http://h/full/red.jpg") << "Get Big Pictures asks the service's own";
    EXPECT_EQ(big[0].localName, "redbig.jpg");
}

TEST_F(Lists, BigPictureNamesAndAddresses) {
    const std::string inf =
        "0**00:00:01   \r\nVersion=1.1\r\nFILTER=910000 0 900\r\nKEYWORDS=cats\r\n"
        "SEARCHENGINE=g\r\nURL=http://h/images?q=cats\r\n             \r\n"
        "OK thumb1.jpg 1KB http://h/images?q=tbn:abc:www.cats.org/big/one.jpg\r\n"
        "OK thumb2.gif 1KB http://h/images?q=tbn:def:cats.example:8080/two.gif\r\n";
    WriteBytes(dir.Path() + "project.inf", inf);
    WriteJpeg(Folder() + "thumb1.jpg", 10, 10);
    WriteBytes(dir.Path() + "thumb2.gif", ReadBytes(Demo("tiles.gif").toStdString()));
    CThumbListModel model;
    ASSERT_EQ(model.FillFromProject(Folder()), 2);
    const auto big = BigPicturesOf(model, {0, 1});
    ASSERT_EQ(big.size(), 2u);
    EXPECT_EQ(big[0].localName, "thumb1big.jpg");
    EXPECT_EQ(big[0].address, "http://www.cats.org/big/one.jpg");
    EXPECT_EQ(big[1].localName, "thumb2big.gif");
    EXPECT_EQ(big[1].address, "http://cats.example:8080/two.gif");
}

TEST_F(Lists, GetBigPicturesDownloadsIntoTheFolderShown) {
    test::TestHttpServer server;
    test::Route pic;
    pic.contentType = "image/jpeg";
    pic.body = test::PictureBytes(3000, 'B');
    server.Set("/big/one.gif", pic);
    const std::string inf =
        "37**01:02:03            \r\nVersion=1.1\r\nFILTER=910000 0 900\r\nKEYWORDS=cats\r\n"
        "SEARCHENGINE=g\r\nURL=http://h/images?q=cats\r\n             \r\n"
        "OK one.gif 1KB http://h/images?q=tbn:abc:" +
        server.HostPort() + "/big/one.gif\r\n";
    WriteBytes(dir.Path() + "project.inf", inf);
    WriteBytes(dir.Path() + "one.gif", ReadBytes(Demo("tiles.gif").toStdString()));
    std::string mode = "report";
    CImagelist view(mode);
    view.ShowFolder(Folder());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.List().Ready(); }, 10000));
    ASSERT_EQ(view.List().Model().rowCount(), 1);
    EXPECT_FALSE(view.GetBigPictures()) << "nothing selected: nothing happens";
    view.List().SelectAll();
    view.SetUserAgent("Pelquinar/1.10 (contact: tests@example.org)");
    ASSERT_TRUE(view.GetBigPictures());
    EXPECT_EQ(view.JobCount(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.List().Model().rowCount() == 2; }, 20000));
    EXPECT_EQ(ReadBytes(dir.Path() + "onebig.gif"), test::PictureBytes(3000, 'B'));
    EXPECT_EQ(view.List().Model().At(1).address.toStdString(), server.Url("/big/one.gif"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.JobsRunning(); }, 20000));
    EXPECT_EQ(server.Requests().back().userAgent, "Pelquinar/1.10 (contact: tests@example.org)");
    // The project's count and clock are its search's: the big picture's
    // line is appended and line 1 is left alone.
    EXPECT_EQ(ReadBytes(dir.Path() + "project.inf"),
              inf + "OK onebig.gif 3KB " + server.Url("/big/one.gif") + "\r\n");
}

TEST_F(Lists, RowsArriveDuringASearchInOrderAndOnce) {
    test::TestHttpServer server;
    std::string page;
    for (int i = 0; i < 8; ++i) {
        page += "<img src=p" + std::to_string(i) + ".gif>";
        test::Route pic;
        pic.contentType = "image/gif";
        pic.body = ReadBytes(Demo("tiles.gif").toStdString());
        pic.delayMs = 20 * i;
        server.Set("/p" + std::to_string(i) + ".gif", pic);
    }
    server.Page("/index.html", page);
    CSearchState state;
    test::RecordingUi ui;
    CPelquinarDoc doc(state, ui);
    std::string mode = "smallbmp";
    CSearchimagelist view(mode, state);
    view.resize(500, 400);
    view.show();
    state.mode = "web";
    state.maxLevels = 0;
    state.header.urlLine = "URL=" + server.Url("/index.html");
    state.idleFlag = false;
    doc.SetProjectFolder(dir.Path());
    view.StartSearch(Folder(), false);
    doc.StartSearch(server.Url("/index.html"), "");
    // Each saved picture nudges the list, as the window's queued signal does.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            view.OnPicturesSaved();
            view.OnPicturesSaved();  // a second nudge adds nothing
            return view.List().Model().rowCount() == 8;
        },
        30000));
    doc.WaitForCrawl();
    ASSERT_TRUE(doc.WaitForDownloads(30000));
    view.OnPicturesSaved();
    EXPECT_EQ(view.List().Model().rowCount(), 8);
    const auto saved = state.Downloaded();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(view.List().Model().At(i).record.name.toStdString(), saved[size_t(i)].localName);
    ASSERT_TRUE(view.List().Thumbnailer().WaitIdle(20000));
    EXPECT_TRUE(view.List().Model().At(7).thumb.valid) << "and then its thumbnail";
}

TEST_F(Lists, APictureSavedWhileTheSearchListReadsItsFolderGetsItsRowOnce) {
    // The search has saved two pictures: one before the folder was read
    // (on the disk, in the listing) and one while it was (recorded, its
    // file not yet seen by the read).
    WriteJpeg(Folder() + "early.jpg", 20, 10);
    CSearchState state;
    state.AddDownloaded(DownloadedPicture{"early.jpg", "http://site/early.jpg", ""});
    std::string mode = "report";
    CSearchimagelist view(mode, state);
    view.StartSearch(Folder(), false);
    ASSERT_EQ(view.List().Model().rowCount(), 1);
    WriteJpeg(Folder() + "late.jpg", 20, 10);
    state.AddDownloaded(DownloadedPicture{"late.jpg", "http://site/late.jpg", ""});
    view.OnPicturesSaved();
    ASSERT_EQ(view.List().Model().rowCount(), 2);
    EXPECT_EQ(view.List().Model().At(0).record.name, "early.jpg") << "once";
    EXPECT_EQ(view.List().Model().At(1).record.name, "late.jpg");
    EXPECT_EQ(view.List().Model().At(1).address, "http://site/late.jpg");
}

TEST_F(Lists, ModesAreKeptInTheirSetting) {
    std::string mode = "bogus";
    CImagelist view(mode);
    EXPECT_EQ(mode, "smallbmp") << "an unknown mode reads as thumbnails";
    view.SetMode("report");
    EXPECT_EQ(mode, "report");
    EXPECT_EQ(view.List().CurrentView()->objectName(), "pictureDetailsView");
    view.SetMode("list");
    EXPECT_EQ(view.List().CurrentView()->objectName(), "pictureIconView");
    EXPECT_FALSE(view.List().Thumbnailer().Enabled());
    view.SetMode("smallbmp");
    EXPECT_TRUE(view.List().Thumbnailer().Enabled());
}

}  // namespace
}  // namespace pq

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The trash and the settings of the run's own.
    static pq::test::TempDir home;
    std::filesystem::create_directories(home.Path() + "data");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Path() + "data"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path() + "config"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
