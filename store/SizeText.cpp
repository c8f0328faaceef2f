#include "store/SizeText.h"

namespace pq {

std::string SizeText(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + "bytes";
    std::int64_t kb = (bytes + 512) / 1024;
    if (kb < 1024) return std::to_string(kb) + "KB";
    return std::to_string((kb + 512) / 1024) + "MB";
}

}  // namespace pq
