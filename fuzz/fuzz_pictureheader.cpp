// The size on screen read from any bytes: never a read past their end,
// only positive sizes, and a file gives what the same bytes in memory give
// (its reader moves a window over the file; the memory one has it all).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/PictureHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    int w = 0, h = 0;
    const bool ok = pq::PictureDimensionsOf(bytes, w, h);
    if (ok && (w <= 0 || h <= 0)) __builtin_trap();

    static const int fd = ::memfd_create("pq-fuzz-header", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0) return 0;
        done += size_t(n);
    }
    int fw = 0, fh = 0;
    const bool fileOk = pq::PictureDimensions("/proc/self/fd/" + std::to_string(fd), fw, fh);
    if (fileOk != ok || fw != w || fh != h) __builtin_trap();
    return 0;
}
