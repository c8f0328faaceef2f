// How long the window takes to show its first frame and to go away: the
// program is started as a new user would start it (a home folder of its
// own, no settings yet), under Xvfb with a session bus of its own, and
// timed from launch to its first painted frame, and from Ctrl+Q to the end
// of its process: once idle, once with a search running on a slow local
// site while the pictures of a large folder (one of them huge, in the
// preview) are decoding, the folder handed to the window by a second start
// over the session bus. Figures only; nothing here passes or fails.
//   bench_start [--runs N] [--program PATH] [--busy MS]
// --busy: how long the search and the decodes run before Ctrl+Q (200).
// Needs Xvfb, dbus-daemon and xdotool (scripts/setup installs them).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A child with its standard output on a pipe; the environment given on top
// of this one's.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    Child c;
    c.pid = fork();
    if (c.pid == 0) {
        dup2(fds[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(fds[0]);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    c.out = fds[0];
    return c;
}

// The next line of the child's output, within ms; "" when none came.
std::string ReadLine(int fd, int ms) {
    std::string line;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        char ch;
        if (read(fd, &ch, 1) != 1) break;
        if (ch == '\n') return line;
        line += ch;
    }
    return {};
}

// Waits for the child's end; false when it did not end within ms.
bool WaitEnd(pid_t pid, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        usleep(500);
    }
    return false;
}

int Run(const std::string& command) { return std::system(command.c_str()); }

void MakePictures(const std::string& folder, int count) {
    fs::create_directories(folder);
    auto picture = [](int w, int h, int seed) {
        QImage img(w, h, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient g(0, 0, w, h);
        g.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 180, 230));
        g.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 200, 90));
        p.fillRect(img.rect(), g);
        p.setPen(Qt::white);
        for (int i = 0; i < 60; ++i)
            p.drawEllipse(QPoint((i * 97 + seed) % w, (i * 61) % h), 60, 40);
        return img;
    };
    // Ten very large pictures first, so that quitting finds their decodes
    // under way; then many ordinary ones.
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "p" + std::to_string(10000 + i) + ".jpg";
        if (fs::exists(path)) continue;
        const bool huge = i < 10;
        picture(huge ? 7000 : 1600, huge ? 4700 : 1200, i)
            .save(QString::fromStdString(path), "JPEG", 85);
    }
}

// A site that keeps a search busy: pages that answer slowly, each with
// pictures that answer slowly.
void BuildSite(pq::test::TestHttpServer& server, const std::string& jpeg) {
    for (int p = 0; p < 200; ++p) {
        std::string html = "<html><body>";
        for (int c = 1; c <= 5; ++c)
            html += "<a href=/p" + std::to_string(p * 5 + c) + ".html>x</a>";
        for (int j = 0; j < 8; ++j) {
            const std::string name = "/img/" + std::to_string(p) + "_" + std::to_string(j) + ".jpg";
            html += "<img src=" + name + ">";
            pq::test::Route r;
            r.body = jpeg;
            r.contentType = "image/jpeg";
            r.delayMs = 1000;
            server.Set(name, r);
        }
        pq::test::Route r;
        r.body = html + "</body></html>";
        r.delayMs = 200;
        server.Set("/p" + std::to_string(p) + ".html", r);
    }
}

struct Figures {
    std::vector<double> firstFrame, quitIdle, quitBusy;
};

void Print(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("  %-52s no figures\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("  %-52s best %6.0f ms, median %6.0f ms, worst %6.0f ms (%zu runs)\n", what,
                v.front(), v[v.size() / 2], v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5, busyMs = 200;
    std::string program = PQ_WINDOW_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::string(argv[i]) == "--program") program = argv[i + 1];
        if (std::string(argv[i]) == "--busy") busyMs = std::max(0, std::atoi(argv[i + 1]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    pq::test::TempDir work;
    const std::string pictures = fs::temp_directory_path().string() + "/pelquinar-bench-start/";
    MakePictures(pictures, 400);

    // An X server of its own, and a session bus.
    int displayPipe[2];
    if (pipe(displayPipe) != 0) return 1;
    const pid_t xvfb = fork();
    if (xvfb == 0) {
        close(displayPipe[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(displayPipe[1]).c_str(), "-screen", "0",
               "1280x800x24", "-nolisten", "tcp", (char*)nullptr);
        _exit(127);
    }
    close(displayPipe[1]);
    const std::string display = ":" + ReadLine(displayPipe[0], 10000);
    if (display == ":") {
        std::fprintf(stderr, "bench_start: Xvfb did not start\n");
        return 1;
    }
    Child bus = Spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {});
    const std::string busAddress = ReadLine(bus.out, 10000);
    if (busAddress.empty()) {
        std::fprintf(stderr, "bench_start: dbus-daemon did not start\n");
        return 1;
    }
    pq::test::TestHttpServer site;
    {
        QImage img(1600, 1200, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        std::string path = work.Path() + "site.jpg";
        img.save(QString::fromStdString(path), "JPEG", 90);
        BuildSite(site, work.ReadFile("site.jpg"));
    }
    std::printf("program: %s\ndisplay %s, bus %s, site %s, folder %s\n", program.c_str(),
                display.c_str(), busAddress.c_str(), site.Url("/p0.html").c_str(),
                pictures.c_str());

    Figures f;
    for (int run = 0; run < runs; ++run) {
        for (bool busy : {false, true}) {
            // A new user every time.
            const std::string home =
                work.Path() + "home" + std::to_string(run) + (busy ? "b" : "i");
            fs::create_directories(home);
            const std::vector<std::string> env = {
                "DISPLAY=" + display,
                "DBUS_SESSION_BUS_ADDRESS=" + busAddress,
                "HOME=" + home,
                "XDG_CONFIG_HOME=" + home + "/.config",
                "XDG_CACHE_HOME=" + home + "/.cache",
                "XDG_DATA_HOME=" + home + "/.local/share",
                "QT_QPA_PLATFORM=xcb",
                "PELQUINAR_REPORT_FIRST_FRAME=1",
                "PELQUINAR_NO_MESSAGE_BOXES=1",
            };
            std::vector<std::string> args = {program};
            const auto launched = Clock::now();
            Child c = Spawn(args, env);
            const std::string line = ReadLine(c.out, 20000);
            const auto painted = Clock::now();
            if (line != "pelquinar: first frame") {
                std::fprintf(stderr, "bench_start: no first frame (run %d)\n", run);
                kill(c.pid, SIGKILL);
                WaitEnd(c.pid, 5000);
                continue;
            }
            f.firstFrame.push_back(Ms(launched, painted));
            const std::string x = "DISPLAY=" + display + " xdotool ";
            const std::string window = "$(" + x + "search --sync --pid " + std::to_string(c.pid) +
                                       " --name 'Pelquinar V1.10' | head -1)";
            Run(x + "windowfocus --sync " + window + " >/dev/null 2>&1");
            if (busy) {
                // The address typed into the search bar and Go (Ctrl+G);
                // then a second start hands the window a huge picture of
                // the large folder (its preview and the folder's
                // thumbnails start decoding), and a moment later Ctrl+Q.
                Run(x + "key ctrl+l && " + x + "key ctrl+a && " + x + "type --delay 1 '" +
                    site.Url("/p0.html") + "' && " + x + "key ctrl+g");
                Child second = Spawn({program, pictures + "p10000.jpg"}, env);
                WaitEnd(second.pid, 20000);
                close(second.out);
                usleep(useconds_t(busyMs) * 1000);
            } else {
                usleep(300 * 1000);
            }
            const auto asked = Clock::now();
            Run(x + "key ctrl+q");
            if (!WaitEnd(c.pid, 30000)) {
                std::fprintf(stderr, "bench_start: no exit within 30 s (run %d)\n", run);
                kill(c.pid, SIGKILL);
                WaitEnd(c.pid, 5000);
                continue;
            }
            (busy ? f.quitBusy : f.quitIdle).push_back(Ms(asked, Clock::now()));
            close(c.out);
            if (busy && run == 0) {
                const int requests = site.TotalCount();
                std::printf("  (the first busy run's search asked the site %d times)\n", requests);
            }
        }
    }
    Print("launch to the first painted frame:", f.firstFrame);
    Print("Ctrl+Q to the end of the process, idle:", f.quitIdle);
    Print("Ctrl+Q to the end, a search running, pictures decoding:", f.quitBusy);

    site.Stop();
    kill(bus.pid, SIGTERM);
    WaitEnd(bus.pid, 5000);
    kill(xvfb, SIGTERM);
    WaitEnd(xvfb, 5000);
    return 0;
}
