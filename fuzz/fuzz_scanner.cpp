// Feeds arbitrary bytes to the link scanner as a page body. The first byte
// picks the page address, so that resolution against http, https, a port and
// a query is exercised too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/CLinkScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kBases[] = {
        "http://host/dir/index.html",
        "https://host:8443/a/b/c.htm?x=1",
        "http://127.0.0.1:8080/",
        "host/no-scheme/page.asp",
    };
    if (size == 0) return 0;
    pq::CLinkScanner scanner;
    scanner.Reset();
    scanner.SetBaseAddress(kBases[data[0] % 4]);
    scanner.SetCollectPictures(data[0] & 4);
    scanner.Scan(reinterpret_cast<const char*>(data + 1), int(size - 1));
    for (const auto& a : scanner.Links())
        if (a.size() > pq::CLinkScanner::kMaxAddressChars) __builtin_trap();
    for (const auto& a : scanner.Pictures())
        if (a.size() > pq::CLinkScanner::kMaxAddressChars && a.rfind("mailto:", 0) != 0)
            __builtin_trap();
    return 0;
}
