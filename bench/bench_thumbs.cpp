// How fast the thumbnail list fills, against a bare loop of scaled reads
// over the same files, and how long the event loop stalls meanwhile.
// Figures only; nothing here passes or fails.
//   bench_thumbs [--count N] [--folder DIR]
// The folder (default: under the system's temporary folder) is made once:
// N JPEGs of 1600 × 1200, a tenth as many GIFs and BMPs.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "browse/CThumbList.h"
#include "browse/CThumbListModel.h"
#include "browse/CThumbnailer.h"
#include "browse/PictureLoader.h"

namespace {

QImage Picture(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 180, 230));
    g.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 200, 90));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    for (int i = 0; i < 40; ++i) p.drawEllipse(QPoint((i * 97 + seed) % w, (i * 61) % h), 40, 30);
    return img;
}

void MakeFolder(const QString& folder, int count) {
    QDir().mkpath(folder);
    const int gifs = std::max(1, count / 10);
    const QByteArray gifBytes = [] {
        QFile f(QStringLiteral(PQ_SOURCE_DIR "/resources/demo-site/pics/sunrise.gif"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QString("/p%1.jpg").arg(i, 5, 10, QChar('0'));
        if (!QFile::exists(path)) Picture(1600, 1200, i).save(path, "JPEG", 85);
    }
    for (int i = 0; i < gifs; ++i) {
        const QString gifPath = folder + QString("/g%1.gif").arg(i, 5, 10, QChar('0'));
        if (!QFile::exists(gifPath)) {
            QFile f(gifPath);
            f.open(QIODevice::WriteOnly);
            f.write(gifBytes);
        }
        const QString bmpPath = folder + QString("/b%1.bmp").arg(i, 5, 10, QChar('0'));
        if (!QFile::exists(bmpPath)) Picture(640, 480, i).save(bmpPath, "BMP");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 1000;
    QString folder = QDir::tempPath() + "/pelquinar-bench-thumbs";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (QString(argv[i]) == "--count") count = std::atoi(argv[i + 1]);
        if (QString(argv[i]) == "--folder") folder = QString::fromLocal8Bit(argv[i + 1]);
    }
    QElapsedTimer t;
    t.start();
    MakeFolder(folder, count);
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    std::printf("folder: %s, %lld files (ready in %.1f s)\n", qPrintable(folder),
                qlonglong(files.size()), t.elapsed() / 1000.0);
    // Both runs read from the page cache.
    for (const QString& f : files) {
        QFile file(folder + "/" + f);
        file.open(QIODevice::ReadOnly);
        file.readAll();
    }
    const QSize size(80, 80);

    t.restart();
    int made = 0;
    for (const QString& f : files) made += pq::picture::LoadThumbnail(folder + "/" + f, size).valid;
    const double bare = t.elapsed() / 1000.0;
    std::printf("bare loop (one thread): %d thumbnails in %.2f s = %.1f per second\n", made, bare,
                made / bare);

    pq::CThumbList list;
    list.resize(1000, 700);
    list.SetThumbSize(size);
    list.show();
    qint64 longestStall = 0;
    QElapsedTimer tick;
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, tick.restart()); });
    int delivered = 0;
    QObject::connect(&list.Thumbnailer(), &pq::CThumbnailer::Delivered, [&](int) { ++delivered; });
    tick.start();
    probe.start();
    t.restart();
    list.ShowFolder(folder, false, false);
    while (!list.Ready()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    list.Thumbnailer().WaitIdle(600000);
    const double filled = t.elapsed() / 1000.0;
    probe.stop();
    int valid = 0;
    for (int r = 0; r < list.Model().rowCount(); ++r) valid += list.Model().At(r).thumb.valid;
    std::printf("thumbnail list (%d workers): %d rows, %d thumbnails in %.2f s = %.1f per second\n",
                QThread::idealThreadCount(), list.Model().rowCount(), valid, filled,
                valid / filled);
    std::printf("list rate / bare loop rate: %.0f%%\n", 100.0 * (valid / filled) / (made / bare));
    std::printf("longest stall of the event loop while filling: %lld ms\n", longestStall);

    // A folder of 10,000 small pictures: how long the list takes to show
    // its rows, the longest the event loop stalls until every thumbnail is
    // made.
    const QString many = folder + "-10000";
    QDir().mkpath(many);
    QByteArray one;
    {
        QBuffer b(&one);
        b.open(QIODevice::WriteOnly);
        Picture(64, 48, 7).save(&b, "JPEG", 80);
    }
    for (int i = 0; i < 10000; ++i) {
        const QString path = many + QString("/s%1.jpg").arg(i, 5, 10, QChar('0'));
        if (QFile::exists(path)) continue;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(one);
    }
    {
        pq::CThumbListModel model;
        t.restart();
        model.FillFromFolder(many);
        std::printf("10,000 pictures: the folder read in %.3f s\n", t.elapsed() / 1000.0);
    }
    pq::CThumbList big;
    big.resize(1000, 700);
    big.show();
    longestStall = 0;
    tick.restart();
    probe.start();
    t.restart();
    big.ShowFolder(many, false, false);
    while (!big.Ready()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double rows = t.elapsed() / 1000.0;
    big.Thumbnailer().WaitIdle(600000);
    probe.stop();
    std::printf(
        "10,000 pictures: rows shown in %.3f s, all thumbnails in %.2f s, longest stall "
        "%lld ms\n",
        rows, t.elapsed() / 1000.0, longestStall);
    return 0;
}
