// The project.inf readers: the browsing list's (also what Continue reads),
// the histories' summary and the history of a root, over any bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "store/History.h"
#include "store/ProjectFile.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/pq-fuzz-inf-XXXXXX";
        std::string r = mkdtemp(tmpl) ? std::string(tmpl) + "/" : std::string("/tmp/");
        ::mkdir((r + "p").c_str(), 0755);
        return r;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = Root() + "p/";
    {
        std::ofstream out(folder + "project.inf", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const pq::store::BrowsedProject p = pq::store::ReadProjectForBrowsing(folder);
    for (const auto& pic : p.pictures)
        if (pic.localName.empty()) __builtin_trap();
    pq::store::ReadProjectSummary(folder, 11);
    pq::store::ReadProjectSummary(folder, 14);
    pq::store::BuildSearchHistory(Root());
    return 0;
}
