// The local-name rule: whatever address a page holds, the file it names is
// one plain file of the project folder: no "/", never "." or "..", never
// past the 255 bytes a file name may have.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/CItemRegistry.h"
#include "engine/CPageFetcher.h"
#include "engine/TextUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool isPage = data[0] & 1;
    std::string address(reinterpret_cast<const char*>(data + 1), size - 1);
    pq::CPageFetcher fetcher;
    pq::CItemRegistry names;
    // A taken name makes the rule add its counter: try both ways.
    names.Store("x", pq::ItemRecord{"index.htm", 0});
    for (int round = 0; round < 2; ++round) {
        std::string a = address, name;
        fetcher.LocalName(a, name, names, isPage);
        const std::string_view file = pq::FilePartOf(name);
        if (file.empty() || file == "." || file == ".." || file.find('/') != std::string::npos ||
            file.size() > 255)
            __builtin_trap();
        names.Store(pq::CItemRegistry::KeyOf(a) + "#", pq::ItemRecord{name, 0});
    }
    return 0;
}
