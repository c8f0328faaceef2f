// The browsing window with large folders, as a user meets them: a category
// of thousands of subfolders in the tree (start and a click), moving half
// of a large selection, and the memory a folder of 100,000 pictures takes
// at the default thumbnail size while the user scrolls through it. Figures
// only; nothing here passes or fails.
//   bench_browse [--subfolders N] [--rows N] [--pictures N] [--folder DIR]
// The folders are made under DIR (default: a fresh one under the system's
// temporary folder) and removed at the end.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "browse/CFileOperations.h"
#include "browse/CImagelist.h"
#include "browse/CThumbList.h"
#include "browse/CThumbListModel.h"
#include "browse/CThumbnailer.h"
#include "browse/Ctreemanage.h"

namespace {

namespace fs = std::filesystem;

// The longest time the event loop went without running a 2 ms timer while
// work runs: what a user feels as a freeze.
class StallProbe {
public:
    StallProbe() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, tick_.restart()); });
    }
    void Start() {
        longest_ = 0;
        tick_.start();
        timer_.start();
    }
    qint64 Stop() {
        timer_.stop();
        longest_ = std::max(longest_, tick_.elapsed());
        return longest_;
    }

private:
    QTimer timer_;
    QElapsedTimer tick_;
    qint64 longest_ = 0;
};

long MemoryKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string want = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(want, 0) == 0) return std::atol(line.c_str() + want.size());
    return -1;
}

void Tree(const std::string& base, int subfolders) {
    const std::string start = base + "tree/";
    const std::string many = start + "My Pictures/Many/";
    fs::create_directories(many);
    for (int i = 0; i < subfolders; ++i) fs::create_directory(many + "c" + std::to_string(i));
    std::string dirCreate = "1";
    QElapsedTimer t;
    StallProbe probe;
    probe.Start();
    t.start();
    pq::Ctreemanage tree(start, dirCreate);
    const double made = t.elapsed() / 1000.0;
    tree.show();
    tree.WaitForReads(600000);
    const double shown = t.elapsed() / 1000.0;
    const qint64 startStall = probe.Stop();
    QTreeWidgetItem* item = tree.FindCategory(QString::fromStdString(many));
    double click = 0, clickShown = 0;
    qint64 clickStall = 0;
    for (int round = 0; round < 3 && item; ++round) {
        tree.setCurrentItem(tree.MyPictures());
        tree.WaitForReads(600000);
        probe.Start();
        t.restart();
        tree.setCurrentItem(item);
        click += t.elapsed() / 1000.0;
        tree.WaitForReads(600000);
        clickShown += t.elapsed() / 1000.0;
        clickStall = std::max(clickStall, probe.Stop());
    }
    std::printf(
        "tree, a category of %d subfolders: made in %.3f s on the UI thread, its level shown at "
        "%.3f s (longest stall %lld ms); a click on it: %.4f s on the UI thread, its %d "
        "subfolders shown at %.3f s (longest stall %lld ms), mean of 3\n",
        subfolders, made, shown, startStall, click / 3, item ? item->childCount() : 0,
        clickShown / 3, clickStall);
}

void Move(const std::string& base, int rows) {
    const std::string from = base + "move-from/", to = base + "move-to/", bare = base + "bare/";
    fs::create_directories(from);
    fs::create_directories(to);
    fs::create_directories(bare);
    for (int i = 0; i < rows; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        std::ofstream(from + name) << "x";
    }
    // The renames alone: every other file into the destination and back.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rows; i += 2) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        std::rename((from + name).c_str(), (bare + name).c_str());
    }
    const double renames = t.elapsed() / 1000.0;
    for (int i = 0; i < rows; i += 2) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        std::rename((bare + name).c_str(), (from + name).c_str());
    }
    // The file operation alone, without a list: the same files there and
    // back, into a fresh folder as each of the three runs (a folder that
    // grows costs the file system more than one that has room).
    const std::string op = base + "op/";
    fs::create_directories(op);
    QStringList paths;
    for (int i = 0; i < rows; i += 2) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        paths.append(QString::fromStdString(from + name));
    }
    t.restart();
    pq::CFileOperations::Copy(paths, QString::fromStdString(op), true, {});
    const double operation = t.elapsed() / 1000.0;
    for (int i = 0; i < rows; i += 2) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        std::rename((op + name).c_str(), (from + name).c_str());
    }
    std::string mode = "report";
    pq::CImagelist view(mode);
    view.resize(900, 700);
    view.show();
    view.report = [](const QString& m) { std::printf("  %s\n", qPrintable(m)); };
    view.ShowFolder(QString::fromStdString(from));
    while (!view.List().Ready()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    auto& model = view.List().Model();
    QItemSelection every;
    for (int r = 0; r < model.rowCount(); r += 2)
        every.select(model.index(r, 0), model.index(r, 0));
    view.List().Selection()->select(every, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::processEvents();
    t.restart();
    const int selected = int(view.List().SelectedRows().size());
    const double selection = t.elapsed() / 1000.0;
    StallProbe probe;
    probe.Start();
    t.restart();
    view.CopySelection(QString::fromStdString(to), true);
    const double moved = t.elapsed() / 1000.0;
    QApplication::processEvents();
    const double shown = t.elapsed() / 1000.0;
    const qint64 stall = probe.Stop();
    // The list's part alone: the same rows leave a list with the same
    // selection, no file moving.
    double leave = 0;
    {
        pq::CImagelist again(mode);
        again.resize(900, 700);
        again.show();
        again.ShowFolder(QString::fromStdString(to + "../move-from/"));
        // The moved files are in the destination: list them there.
        again.ShowFolder(QString::fromStdString(to));
        while (!again.List().Ready()) QApplication::processEvents(QEventLoop::AllEvents, 20);
        auto& m = again.List().Model();
        QItemSelection half;
        for (int r = 0; r < m.rowCount(); r += 2) half.select(m.index(r, 0), m.index(r, 0));
        again.List().Selection()->select(half,
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::processEvents();
        std::vector<int> gone;
        for (int r = 0; r < m.rowCount(); r += 2) gone.push_back(r);
        t.restart();
        m.RemoveRows(gone);
        leave = t.elapsed() / 1000.0;
    }
    std::printf("move: %.3f s of it is the rows leaving the list\n", leave);
    std::printf(
        "move, %d of %d rows selected (every other one): the renames alone %.3f s, the file "
        "operation alone %.3f s; the move from the list %.3f s, %.2f times the renames (goal: "
        "under 2); the list laid out again at %.3f s; %d rows left; longest stall %lld ms; reading "
        "the %d selected rows takes %.3f s\n",
        (rows + 1) / 2, rows, renames, operation, moved, moved / std::max(1e-6, renames), shown,
        model.rowCount(), stall, selected, selection);
}

void Memory(const std::string& base, int pictures) {
    const std::string folder = base + "memory/";
    fs::create_directories(folder);
    // One small JPEG under every name: hard links make a large folder
    // quickly, and every row still decodes its own thumbnail.
    // (A file system takes some tens of thousands of links to one file: a
    // new file every 50,000.)
    QImage one(320, 240, QImage::Format_RGB32);
    one.fill(Qt::darkCyan);
    const std::string source = folder + "one.jpg";
    for (int i = 0; i < pictures; ++i) {
        if (i % 50000 == 0) {
            fs::remove(source);
            one.save(QString::fromStdString(source), "JPEG", 85);
        }
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.jpg", i);
        if (link(source.c_str(), (folder + name).c_str()) != 0) {
            std::printf("memory: cannot link %s: %s\n", name, std::strerror(errno));
            break;
        }
    }
    fs::remove(source);
    const long before = MemoryKb("VmRSS");
    pq::CThumbList list;
    list.resize(1280, 900);
    list.SetThumbSize(QSize(80, 80));
    list.show();
    QElapsedTimer t;
    t.start();
    list.ShowFolder(QString::fromStdString(folder), false, false);
    while (!list.Ready()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    const double rows = t.elapsed() / 1000.0;
    list.Thumbnailer().WaitIdle(600000);
    const long filled = MemoryKb("VmRSS");
    // Scroll through the whole folder a screen at a time, letting each
    // screen's thumbnails come.
    QScrollBar* bar = list.ListView()->verticalScrollBar();
    int screens = 0;
    long peak = filled;
    for (int at = 0; at <= bar->maximum(); at += std::max(1, bar->pageStep() * 8)) {
        bar->setValue(at);
        QApplication::processEvents();
        list.Thumbnailer().WaitIdle(600000);
        peak = std::max(peak, MemoryKb("VmRSS"));
        ++screens;
    }
    std::printf(
        "memory, %d pictures at 80x80: rows in %.2f s; resident %ld MB before, %ld MB with the "
        "first screens' thumbnails, %ld MB at most while scrolling through it (%d stops), peak "
        "of the process %ld MB (goal: under 300); %d thumbnails held at the end\n",
        list.Model().rowCount(), rows, before / 1024, filled / 1024, peak / 1024, screens,
        MemoryKb("VmHWM") / 1024, list.Thumbnailer().Held());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int subfolders = 10000, rows = 20000, pictures = 100000;
    QString folder = QDir::tempPath();
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = argv[i];
        if (a == "--subfolders") subfolders = std::atoi(argv[i + 1]);
        if (a == "--rows") rows = std::atoi(argv[i + 1]);
        if (a == "--pictures") pictures = std::atoi(argv[i + 1]);
        if (a == "--folder") folder = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir dir(folder + "/pelquinar-bench-browse-XXXXXX");
    const std::string base = dir.path().toStdString() + "/";
    if (subfolders > 0) Tree(base, subfolders);
    if (rows > 0) Move(base, rows);
    if (pictures > 0) Memory(base, pictures);
    return 0;
}
