// The check on a download's first block: a block that starts with a picture
// signature is never taken for a page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/AdmissionRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string block(reinterpret_cast<const char*>(data), size);
    const bool picture = pq::StartsWithPictureSignature(block);
    const bool page = pq::LooksLikePage(block);
    if (picture && page) __builtin_trap();
    for (const char* sig : {"GIF89a", "\xFF\xD8\xFF", "BM"})
        if (pq::LooksLikePage(sig + block)) __builtin_trap();
    return 0;
}
