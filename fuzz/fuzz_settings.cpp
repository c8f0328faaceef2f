// The settings loader over any file: it never fails, and the values it
// hands on are corrected into their ranges.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "shell/CPelquinarApp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char tmpl[] = "/tmp/pq-fuzz-conf-XXXXXX";
        return std::string(mkdtemp(tmpl) ? tmpl : "/tmp") + "/Pelquinar.conf";
    }();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    pq::CPelquinarApp app;
    app.startDirectory = "/tmp/";
    app.Load(QString::fromStdString(path));
    if (app.maxLevels < 0 || app.maxLevels > pq::CPelquinarApp::kMaxDepth) __builtin_trap();
    if (app.thumbWidth < 40 || app.thumbHeight < 40 || app.slideDelay == 0) __builtin_trap();
    if (app.imageMaxSize <= 2 || app.pictureLimitMb <= 0) __builtin_trap();
    for (int v : {app.imageMinWidth, app.imageMinHeight})
        if (v < 0 || v > pq::CPelquinarApp::kMaxPixels) __builtin_trap();
    if (app.keywords.size() > size_t(pq::CPelquinarApp::kMaxListEntries)) __builtin_trap();
    return 0;
}
