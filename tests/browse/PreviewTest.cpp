// The preview's arithmetic and its window: fit, zoom, scroll ranges, GIF
// animation, pictures that cannot be shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "browse/CImgContainerWnd.h"
#include "browse/ViewPort.h"
#include "tests/support/GifWriter.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

using namespace viewport;

TEST(ViewPort, BestFitSpansOneSideAndCentresTheOther) {
    EXPECT_EQ(Destination(QSize(1000, 500), QSize(400, 400), kBestFit, {}),
              QRect(0, 100, 400, 200));
    EXPECT_EQ(Destination(QSize(500, 1000), QSize(400, 400), kBestFit, {}),
              QRect(100, 0, 200, 400));
    // Smaller than the pane: its own size, centred, even at best fit.
    EXPECT_EQ(Destination(QSize(100, 50), QSize(400, 400), kBestFit, {}), QRect(150, 175, 100, 50));
    // Zoomed larger than the pane: shifted by the scroll position.
    EXPECT_EQ(Destination(QSize(1000, 500), QSize(400, 400), 1.0f, QPoint(30, 40)),
              QRect(-30, -40, 1000, 500));
    // Zoomed, wider but not taller: centred vertically.
    EXPECT_EQ(Destination(QSize(1000, 100), QSize(400, 400), 1.0f, QPoint(30, 40)),
              QRect(-30, 150, 1000, 100));
    EXPECT_FLOAT_EQ(EffectiveZoom(QSize(1000, 500), QSize(400, 400)), 0.4f);
    EXPECT_FLOAT_EQ(EffectiveZoom(QSize(100, 50), QSize(400, 400)), 1.0f);
}

TEST(ViewPort, ZoomStepsAndTheirLimits) {
    EXPECT_FLOAT_EQ(ZoomIn(kBestFit, 0.5f), 0.625f);
    EXPECT_FLOAT_EQ(ZoomIn(2.0f, 0.5f), 2.5f);
    EXPECT_FLOAT_EQ(ZoomOut(kBestFit, 0.5f), 0.425f);
    EXPECT_TRUE(CanZoomIn(kBestFit));
    EXPECT_TRUE(CanZoomIn(3.99f));
    EXPECT_FALSE(CanZoomIn(4.0f));
    EXPECT_TRUE(CanZoomOut(0.13f));
    EXPECT_FALSE(CanZoomOut(0.125f));
    EXPECT_TRUE(CanZoomOut(kBestFit));
}

TEST(ViewPort, ScrollRangesStatusAndSlideStep) {
    EXPECT_EQ(ScrollMaximum(QSize(1000, 500), QSize(400, 400), kBestFit), QSize(0, 0));
    EXPECT_EQ(ScrollMaximum(QSize(1000, 500), QSize(400, 400), 1.0f), QSize(600, 100));
    EXPECT_EQ(ScrollMaximum(QSize(1000, 500), QSize(400, 400), 2.0f), QSize(1600, 600));
    EXPECT_EQ(ScrollMaximum(QSize(400, 400), QSize(400, 400), 1.0f), QSize(0, 0))
        << "a picture as large as the pane does not scroll";
    EXPECT_EQ(StatusText("cat.jpg", 2048, 0, 7), "cat.jpg [2KB]--(1/7)");
    EXPECT_EQ(StatusText("a.gif", 100, 6, 7), "a.gif [100bytes]--(7/7)");
    // 80 × 80 thumbnails, text 14 pixels, 400 pixels wide: four a row.
    EXPECT_EQ(SlideStep(400, QSize(80, 80), 14), (80 + 28 + 8) / 4);
    EXPECT_EQ(SlideStep(50, QSize(80, 80), 14), 116) << "at least one column";
}

TEST(COXDIB, BlankPicturesAndBmpFiles) {
    COXDIB dib;
    EXPECT_TRUE(dib.IsEmpty());
    ASSERT_TRUE(dib.CreateBlank(10, 6, 3));  // rounded to 4 bits
    EXPECT_EQ(dib.Size(), QSize(10, 6));
    ASSERT_EQ(dib.Image().colorTable().size(), 16);
    EXPECT_EQ(dib.Image().colorTable()[9], qRgb(255, 0, 0));
    ASSERT_TRUE(dib.CreateBlank(4, 4, 7));  // 8 bits: the 16 colours repeated
    ASSERT_EQ(dib.Image().colorTable().size(), 256);
    EXPECT_EQ(dib.Image().colorTable()[16 + 12], qRgb(0, 0, 255));
    ASSERT_TRUE(dib.CreateBlank(4, 4, 1));
    EXPECT_EQ(dib.Image().format(), QImage::Format_Mono);
    ASSERT_TRUE(dib.CreateBlank(5, 3, 16));
    EXPECT_EQ(dib.Image().depth(), 32) << "above 8 bits a colour picture";
    EXPECT_FALSE(dib.CreateBlank(0, 3, 8));

    test::TempDir dir;
    const QString path = QString::fromStdString(dir.Path() + "blank.bmp");
    ASSERT_TRUE(dib.WriteBmp(path));
    COXDIB back;
    ASSERT_TRUE(back.ReadBmp(path));
    EXPECT_EQ(back.Size(), QSize(5, 3));
    EXPECT_FALSE(back.ReadBmp(QString::fromStdString(dir.Path() + "none.bmp")));
    back.Clear();
    EXPECT_TRUE(back.IsEmpty());
}

class Preview : public ::testing::Test {
protected:
    QString Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.Path() + name, std::ios::binary) << bytes;
        return QString::fromStdString(dir.Path() + name);
    }
    bool WaitLoaded(CPictureWnd& w) {
        return QTest::qWaitFor([&] { return !w.Loading(); }, 10000);
    }
    test::TempDir dir;
};

TEST_F(Preview, SmallGifsAnimateLargerOnesStandStill) {
    CPictureWnd w;
    w.resize(400, 400);
    w.show();
    w.Show(Write("small.gif", test::MakeGif(150, 150, {1, 2, 3})));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_TRUE(w.Animating());
    EXPECT_EQ(w.PictureSize(), QSize(150, 150));
    w.Show(Write("large.gif", test::MakeGif(300, 300, {1, 2})));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_FALSE(w.Animating());
    EXPECT_EQ(w.PictureSize(), QSize(300, 300));
    // A one-frame GIF has nothing to play.
    w.Show(Write("still.gif", test::MakeGif(50, 50, {2})));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_FALSE(w.Animating());
    EXPECT_EQ(w.PictureSize(), QSize(50, 50));
}

// A small GIF whose compressed data expands to hundreds of millions of
// pixels, far past its frames: the window never follows it. Its first
// frame is shown still, and the window goes on answering.
TEST_F(Preview, GifWhoseDataExpandsPastItsFramesShowsItsFirstFrameStill) {
    CPictureWnd w;
    w.resize(400, 400);
    w.show();
    long long expanded = 0;
    const std::string bytes = test::MakeExpandingGif(199, 199, {1, 2}, 212000, 998, &expanded);
    ASSERT_GT(expanded, 400'000'000LL);
    ASSERT_LT(bytes.size(), 700'000u);
    w.Show(Write("expanding.gif", bytes));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_FALSE(w.Animating());
    EXPECT_EQ(w.PictureSize(), QSize(199, 199));
    const QImage shot = w.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.rect().center())), QColor(Qt::red)) << "the first frame";
    // Another picture after it is shown as usual.
    w.Show(Write("small.gif", test::MakeGif(150, 150, {1, 2, 3})));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_TRUE(w.Animating());
}

// A small animated GIF plays frame by frame, each frame for its own delay
// and painted while it is on show, as many times as its loop count says;
// then its last frame stays.
TEST_F(Preview, SmallGifsPlayEachFrameForItsDelayAsOftenAsTheyLoop) {
    CPictureWnd w;
    w.resize(400, 400);
    w.show();
    struct Step {
        int frame;
        int delay;
        QColor colour;
        bool operator==(const Step&) const = default;
    };
    std::vector<Step> steps;
    auto record = [&] {
        const QImage shot = w.viewport()->grab().toImage();
        steps.push_back({w.Frame(), w.FrameDelay(), QColor(shot.pixel(shot.rect().center()))});
    };
    QObject::connect(&w, &CPictureWnd::Loaded, &w, record);
    QObject::connect(&w, &CPictureWnd::FrameShown, &w, record);
    // Red for 30 ms, green for 20 ms, blue with no delay of its own (100
    // ms); one loop after the first play.
    w.Show(Write("played.gif", test::MakeAnimatedGif(120, 90, {{1, 3}, {2, 2}, {3, 0}}, 1)));
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_TRUE(w.Animating());
    EXPECT_EQ(w.PictureSize(), QSize(120, 90));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Playing(); }, 20000));
    const Step red{0, 30, Qt::red}, green{1, 20, Qt::green}, blue{2, 100, Qt::blue};
    EXPECT_EQ(steps, (std::vector<Step>{red, green, blue, red, green, blue}));
    EXPECT_TRUE(w.Animating()) << "the last frame stays";
    EXPECT_EQ(w.Frame(), 2);

    // One that loops for ever comes back to its first frame again and again.
    steps.clear();
    w.Show(Write("forever.gif", test::MakeAnimatedGif(50, 50, {{1, 1}, {2, 1}}, 0)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps.size() >= 7; }, 20000));
    EXPECT_TRUE(w.Playing());
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].frame, int(i % 2)) << i;
    w.Clear();
    EXPECT_FALSE(w.Animating());
    EXPECT_FALSE(w.Playing());
}

// An animation is zoomed and scrolled as a still picture is; at best fit in
// a smaller pane it is shrunk by a whole factor.
TEST_F(Preview, AnimatedGifsZoomScrollAndFit) {
    CPictureWnd w;
    w.resize(400, 400);
    w.show();
    w.Show(Write("anim.gif", test::MakeGif(199, 199, {1, 2})));
    ASSERT_TRUE(WaitLoaded(w));
    ASSERT_TRUE(w.Animating());
    w.SetView(4.0f, Qt::black);
    QApplication::processEvents();
    const QSize port = w.viewport()->size();
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 796 - port.width());
    EXPECT_EQ(w.verticalScrollBar()->maximum(), 796 - port.height());
    w.setFocus();
    QTest::keyClick(&w, Qt::Key_Down);
    EXPECT_EQ(w.DestinationRect(), QRect(0, -kPage, 796, 796));
    w.SetView(kBestFit, Qt::black);
    QApplication::processEvents();
    const QSize frame = w.size() - w.viewport()->size();
    w.resize(QSize(150, 150) + frame);
    QApplication::processEvents();
    ASSERT_EQ(w.viewport()->size(), QSize(150, 150));
    const QRect fit = w.DestinationRect();
    EXPECT_EQ(fit.size(), QSize(100, 100)) << "199 / 2, rounded";
    EXPECT_LE((fit.center() - QPoint(75, 75)).manhattanLength(), 2) << "centred";
    const QImage shot = w.viewport()->grab().toImage();
    EXPECT_NE(QColor(shot.pixel(75, 75)), QColor(Qt::black)) << "a frame is painted";
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(Qt::black)) << "the background around it";
}

TEST_F(Preview, ZoomShowsScrollBarsWithTheirRanges) {
    QImage img(1000, 500, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    const QString path = QString::fromStdString(dir.Path() + "wide.png");
    ASSERT_TRUE(img.save(path));
    CPictureWnd w;
    w.resize(420, 420);
    w.show();
    w.Show(path);
    ASSERT_TRUE(WaitLoaded(w));
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 0);
    const QSize client = w.viewport()->size();
    EXPECT_EQ(w.DestinationRect().width(), client.width());
    w.SetView(1.0f, Qt::black);
    QApplication::processEvents();
    const QSize port = w.viewport()->size();
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 1000 - port.width());
    EXPECT_EQ(w.horizontalScrollBar()->pageStep(), kPage);
    // A page to the right, by key.
    w.setFocus();
    QTest::keyClick(&w, Qt::Key_Right);
    EXPECT_EQ(w.horizontalScrollBar()->value(), kPage);
    EXPECT_EQ(w.DestinationRect().left(), -kPage);
}

TEST_F(Preview, PicturesThatCannotBeShownLeaveTheBackground) {
    CPictureWnd w;
    w.resize(300, 300);
    w.show();
    for (const std::string& bytes :
         {std::string(), std::string("<html>no picture</html>"), std::string("GIF89a\x10")}) {
        w.Show(Write("bad.gif", bytes));
        ASSERT_TRUE(WaitLoaded(w));
        EXPECT_TRUE(w.PictureSize().isEmpty());
        w.grab();  // paints without a picture
    }
    // A picture removed while it is being shown.
    const QString gone = Write("gone.gif", test::MakeGif(400, 400, {1}));
    w.Show(gone);
    std::filesystem::remove(gone.toStdString());
    ASSERT_TRUE(WaitLoaded(w));
    w.grab();
    w.Clear();
    EXPECT_TRUE(w.Path().isEmpty());
}

}  // namespace
}  // namespace pq
