// The open services' result pages: any answer is read without a crash, and
// whatever comes out is usable (web addresses, a plain file name, a next
// page of the same service).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/SearchService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    pq::PictureTypes types;
    types.png = size % 2 == 0;
    for (pq::SearchService s : {pq::SearchService::kOpenverse, pq::SearchService::kCommons}) {
        const std::string first = pq::FirstResultPage(s, "http://h", "cat", types);
        const pq::ServicePage page = pq::ParseResultPage(s, first, body, types, 3);
        if (!page.ok && page.problem.empty()) std::abort();
        for (const auto& r : page.results) {
            if (r.full.empty() && r.thumbnail.empty()) std::abort();
            for (const std::string* a : {&r.full, &r.thumbnail}) {
                // A scheme is compared in any case ("HTTP://" is http).
                std::string scheme = a->substr(0, 4);
                for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
                if (!a->empty() && scheme != "http") std::abort();
            }
            if (r.fileName.empty()) std::abort();
            // A title becomes one plain file name: no path, nothing that
            // cuts a path short.
            for (unsigned char c : r.fileName)
                if (c == '/' || c == '\\' || c < 0x20 || c == 0x7f) std::abort();
        }
        if (!page.next.empty() && page.next.rfind("http://h/", 0) != 0) std::abort();
    }
    return 0;
}
