// How the preview copes with animated GIFs: the real preview widget,
// offscreen, shows a small animated GIF and then one whose compressed data
// expands to hundreds of millions of pixels (about 650 KB, two 199 × 199
// frames). For each it prints the time from Show until the first frame is
// there to paint (goal: under 0.1 s) and the longest stall of the event loop
// while it plays (goal: never over 50 ms), with how much of that stall the
// user-interface thread spent running rather than waiting for a core, and
// the most it ran between two ticks of the probe (what the window's own
// work costs, whatever else the machine does).
// Figures only; nothing here passes or fails.
//   bench_preview [--seconds N]   (how long each picture plays; default 3)
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "browse/CImgContainerWnd.h"
#include "tests/support/GifWriter.h"

namespace {

// CPU milliseconds the calling thread has used.
double ThreadCpuMs() {
    struct rusage u;
    getrusage(RUSAGE_THREAD, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

struct Run {
    double firstFrame = -1;  // seconds from Show; -1: none within the play time
    double showCall = 0;     // seconds Show itself held the event loop
    qint64 stall = 0;        // the longest gap between probe ticks while playing, ms
    double stallCpu = 0;     // of it, ms the user-interface thread ran (the rest it waited
                             // for a core: the machine is shared)
    double work = 0;         // the most ms the thread ran between two ticks
    int repaints = 0;        // paints of the picture while playing
};

Run Play(pq::CPictureWnd& w, const QString& path, int seconds) {
    Run run;
    w.Clear();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    w.Show(path);
    run.showCall = t.nsecsElapsed() / 1e9;
    // The first frame is there once the picture has a size; one paint
    // shows it.
    while (w.PictureSize().isEmpty() && t.elapsed() < seconds * 1000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!w.Loading() && w.PictureSize().isEmpty()) break;  // cannot be shown
    }
    if (!w.PictureSize().isEmpty()) {
        w.viewport()->repaint();
        run.firstFrame = t.nsecsElapsed() / 1e9;
    }

    // Playing: a 2 ms probe timer measures the event loop's gaps; a paint
    // counter on the viewport says whether frames were shown.
    struct PaintCounter : QObject {
        int* count;
        explicit PaintCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter(&run.repaints);
    w.viewport()->installEventFilter(&counter);
    QElapsedTimer tick;
    double cpu = 0;
    auto gap = [&] {
        const qint64 ms = tick.restart();
        const double now = ThreadCpuMs();
        if (ms > run.stall) {
            run.stall = ms;
            run.stallCpu = now - cpu;
        }
        run.work = std::max(run.work, now - cpu);
        cpu = now;
    };
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, gap);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    tick.start();
    cpu = ThreadCpuMs();
    probe.start();
    loop.exec();
    gap();
    probe.stop();
    w.viewport()->removeEventFilter(&counter);
    return run;
}

void Print(const char* what, const Run& r) {
    std::printf("%-34s Show %7.3f s  first frame ", what, r.showCall);
    if (r.firstFrame < 0)
        std::printf("  none  ");
    else
        std::printf("%7.3f s", r.firstFrame);
    std::printf(
        "  longest stall %5lld ms (%4.0f ms of it running)  most work between ticks "
        "%5.0f ms  paints %d\n",
        (long long)r.stall, r.stallCpu, r.work, r.repaints);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1, std::atoi(argv[++i]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    auto write = [&](const char* name, const std::string& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes.data(), qint64(bytes.size()));
        return path;
    };
    long long expanded = 0;
    const std::string hostile =
        pq::test::MakeExpandingGif(199, 199, {1, 2}, 212000, 998, &expanded);
    const QString normalPath =
        write("normal.gif", pq::test::MakeAnimatedGif(150, 150, {{1, 10}, {2, 10}, {3, 10}}, 0));
    const QString hostilePath = write("expanding.gif", hostile);
    std::printf("expanding GIF: %zu bytes, 199 x 199, 2 frames, data expands to %lld pixels\n",
                hostile.size(), expanded);
    std::printf("each picture plays %d s in a 400 x 400 preview (offscreen)\n", seconds);

    pq::CImgContainerWnd view;
    view.resize(400, 400);
    view.show();
    QApplication::processEvents();
    Print("small animated GIF (3 frames)", Play(*view.Picture(), normalPath, seconds));
    Print("expanding GIF (650 KB)", Play(*view.Picture(), hostilePath, seconds));
    view.Picture()->Clear();
    QApplication::processEvents();
    return 0;
}
