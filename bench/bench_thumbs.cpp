// How fast the thumbnail list fills, against a bare loop of scaled decodes
// over the same files on as many threads as the list's pool, with the
// shared thumbnail cache cold (empty) and warm (filled by the cold run);
// and how long the event loop stalls meanwhile. Two folders: 1,000 JPEGs of
// 1600 × 1200 and 10,000 small pictures. Figures only; nothing here passes
// or fails.
//   bench_thumbs [--count N] [--small N] [--folder DIR] [--cache DIR]
// The folders (default: under the system's temporary folder) are made once
// and kept. The cache is a fresh folder of each run's own, never the
// user's, made in --cache (default /dev/shm when there is one: a file
// system that makes new files at the cost of most desktops' disks, where
// the root file system of a small virtual machine may take a millisecond
// for each).
#include <sys/resource.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <limits>
#include <cstdio>
#include <thread>
#include <vector>

#include "browse/CThumbList.h"
#include "browse/CThumbListModel.h"
#include "browse/CThumbnailer.h"
#include "browse/PictureLoader.h"
#include "browse/ThumbnailCache.h"
#include "browse/ThumbnailMaker.h"

namespace {

const QSize kCell(80, 80);

QImage Picture(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 180, 230));
    g.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 200, 90));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    for (int i = 0; i < 40; ++i)
        p.drawEllipse(QPoint((i * 97 + seed) % w, (i * 61) % h), w / 40 + 1, h / 40 + 1);
    return img;
}

// count JPEGs of w × h named p00000.jpg...; the same bytes for all when
// small (made once, written many times).
void MakeFolder(const QString& folder, int count, int w, int h, bool same) {
    QDir().mkpath(folder);
    QByteArray one;
    if (same) {
        QBuffer b(&one);
        b.open(QIODevice::WriteOnly);
        Picture(w, h, 7).save(&b, "JPEG", 80);
    }
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QString("/p%1.jpg").arg(i, 5, 10, QChar('0'));
        if (QFile::exists(path)) continue;
        if (same) {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly)) f.write(one);
        } else {
            Picture(w, h, i).save(path, "JPEG", 85);
        }
    }
}

QStringList Files(const QString& folder) {
    QStringList out;
    for (const QString& f : QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name))
        out << folder + "/" + f;
    return out;
}

// CPU seconds used so far by this thread, and by the whole process.
double CpuSeconds(int who) {
    struct rusage u;
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The bare loop: scaled decodes of every file, threads taking the next
// file in turn. Returns the seconds taken.
double Bare(const QStringList& files, int threads, int* made, double* cpu) {
    std::atomic<int> next{0}, ok{0};
    QElapsedTimer t;
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    t.start();
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back([&] {
            for (int n; (n = next++) < files.size();)
                ok += pq::picture::LoadThumbnail(files[n], kCell).valid;
        });
    for (auto& th : pool) th.join();
    *made = ok;
    *cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    return t.elapsed() / 1000.0;
}

// The same loop through the cache alone (every file must be there).
double BareCache(const QStringList& files, int threads, const pq::ThumbnailMaker& maker,
                 int* made) {
    std::atomic<int> next{0}, ok{0};
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back([&] {
            for (int n; (n = next++) < files.size();) ok += maker.Make(files[n], kCell).fromCache;
        });
    for (auto& th : pool) th.join();
    *made = ok;
    return t.elapsed() / 1000.0;
}

struct ListRun {
    double rows = 0, firstScreen = 0, last = 0, written = 0;
    double uiCpu = 0, allCpu = 0;  // from ShowFolder to the last thumbnail
    int waitingAtLast = 0;         // cache writes still waiting then
    int thumbnails = 0, total = 0;
    qint64 stall = 0;
};

// Shows the folder in a fresh list with the cache and waits for every
// thumbnail; the times are from ShowFolder.
ListRun RunList(const QString& folder, const std::shared_ptr<const pq::ThumbnailCache>& cache) {
    ListRun run;
    pq::CThumbList list;
    list.resize(1000, 700);
    list.SetThumbSize(kCell);
    list.Thumbnailer().SetCache(cache);
    // The fill rate of every row: all of them keep their thumbnails here
    // (the list itself keeps those near the visible rows only).
    list.Thumbnailer().SetKeptBytes(std::numeric_limits<qint64>::max() / 2);
    list.show();
    QApplication::processEvents();

    QElapsedTimer t, tick;
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { run.stall = std::max(run.stall, tick.restart()); });
    QEventLoop loop;
    std::vector<int> screen;  // the rows visible once they are shown
    int screenLeft = -1, done = 0;
    auto& model = list.Model();
    QObject::connect(&list, &pq::CThumbList::Filled, [&](int rows) {
        run.rows = t.elapsed() / 1000.0;
        run.total = rows;
        QListView* view = list.ListView();
        view->doItemsLayout();
        const QRect port = view->viewport()->rect();
        for (int r = 0; r < rows; ++r) {
            const QRect cell = view->visualRect(model.index(r, 0));
            if (cell.top() > port.bottom()) break;
            if (cell.intersects(port)) screen.push_back(r);
        }
        screenLeft = int(screen.size());
        if (rows == 0) loop.quit();
    });
    QObject::connect(&list.Thumbnailer(), &pq::CThumbnailer::Delivered, [&](int row) {
        ++done;
        if (screenLeft > 0 && std::binary_search(screen.begin(), screen.end(), row) &&
            --screenLeft == 0)
            run.firstScreen = t.elapsed() / 1000.0;
        if (done == run.total) {
            run.last = t.elapsed() / 1000.0;
            run.waitingAtLast = list.Thumbnailer().WritesWaiting();
            loop.quit();
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(600000);
    tick.start();
    probe.start();
    const double ui0 = CpuSeconds(RUSAGE_THREAD), all0 = CpuSeconds(RUSAGE_SELF);
    t.start();
    list.ShowFolder(folder, false, false);
    loop.exec();
    run.uiCpu = CpuSeconds(RUSAGE_THREAD) - ui0;
    run.allCpu = CpuSeconds(RUSAGE_SELF) - all0;
    probe.stop();
    for (int r = 0; r < model.rowCount(); ++r) run.thumbnails += model.At(r).thumb.valid;
    // The cache's files come when no thumbnail waits: the list stays until
    // they are written.
    while (list.Thumbnailer().WritesWaiting() > 0 && t.elapsed() < 600000) QThread::msleep(2);
    run.written = t.elapsed() / 1000.0;
    return run;
}

void Bench(const QString& title, const QString& folder, const QString& cacheBase) {
    const QStringList files = Files(folder);
    // Every run reads the pictures from the page cache.
    for (const QString& f : files) {
        QFile file(f);
        if (file.open(QIODevice::ReadOnly)) file.readAll();
    }
    const int threads = pq::CThumbList().Thumbnailer().Threads();
    std::printf("\n%s: %s, %lld files, cell %dx%d, %d pool threads\n", qPrintable(title),
                qPrintable(folder), qlonglong(files.size()), kCell.width(), kCell.height(),
                threads);
    int made1 = 0, madeN = 0;
    double cpu1 = 0, cpuN = 0;
    const double one = Bare(files, 1, &made1, &cpu1);
    const double many = Bare(files, threads, &madeN, &cpuN);
    const double rateN = madeN / many;
    std::printf(
        "  bare loop, 1 thread:   %5d thumbnails in %6.2f s = %7.0f per second (CPU %.2f s)\n",
        made1, one, made1 / one, cpu1);
    std::printf(
        "  bare loop, %d threads:  %5d thumbnails in %6.2f s = %7.0f per second (%.0f%% per "
        "core of one thread; CPU %.2f s)\n",
        threads, madeN, many, rateN, 100.0 * rateN / (threads * made1 / one), cpuN);

    QTemporaryDir cacheDir(cacheBase + "/pelquinar-bench-cache-XXXXXX");
    std::printf("  cache: %s\n", qPrintable(cacheDir.path()));
    auto cache = std::make_shared<const pq::ThumbnailCache>(cacheDir.path() + "/thumbnails");
    for (const char* state : {"cold", "warm"}) {
        const ListRun r = RunList(folder, cache);
        // Per second from the rows' arrival: the bare loop is handed its
        // files, the list reads its folder first (timed apart).
        const double rate = r.thumbnails / std::max(1e-6, r.last - r.rows);
        std::printf(
            "  list, cache %s: rows %.3f s, first screenful %.3f s, last thumbnail %.3f s "
            "(%d thumbnails = %.0f per second, %.0f%% of the bare loop on %d threads), longest "
            "stall %lld ms; the cache written at %.3f s\n",
            state, r.rows, r.firstScreen, r.last, r.thumbnails, rate, 100.0 * rate / rateN, threads,
            r.stall, r.written);
        std::printf(
            "    CPU until the last thumbnail: %.2f s in all, %.2f s on the UI thread; %d cache "
            "writes waiting then\n",
            r.allCpu, r.uiCpu, r.waitingAtLast);
    }
    int hits = 0;
    const double reads = BareCache(files, threads, pq::ThumbnailMaker(cache), &hits);
    std::printf(
        "  bare loop through the warm cache, %d threads: %d thumbnails in %.2f s = %.0f per "
        "second\n",
        threads, hits, reads, hits / reads);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 1000, small = 10000;
    QString base = QDir::tempPath() + "/pelquinar-bench";
    QString cacheBase = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (QString(argv[i]) == "--count") count = std::atoi(argv[i + 1]);
        if (QString(argv[i]) == "--small") small = std::atoi(argv[i + 1]);
        if (QString(argv[i]) == "--folder") base = QString::fromLocal8Bit(argv[i + 1]);
        if (QString(argv[i]) == "--cache") cacheBase = QString::fromLocal8Bit(argv[i + 1]);
    }
    const QString jpegs = base + QString("-jpegs-%1").arg(count);
    const QString smalls = base + QString("-small-%1").arg(small);
    QElapsedTimer t;
    t.start();
    MakeFolder(jpegs, count, 1600, 1200, false);
    MakeFolder(smalls, small, 64, 48, true);
    std::printf("folders ready in %.1f s\n", t.elapsed() / 1000.0);
    if (count > 0) Bench(QString("%1 JPEGs of 1600x1200").arg(count), jpegs, cacheBase);
    if (small > 0) Bench(QString("%1 small JPEGs of 64x48").arg(small), smalls, cacheBase);
    return 0;
}
