// The GIF reader over any bytes: it never crashes, every frame it gives is
// the logical screen's size, and what it spends stays within its budget,
// however far the data would expand.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "browse/CGifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr qint64 kBudget = qint64(1) << 20;
    pq::CGifDecoder gif(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), kBudget);
    if (!gif.ReadHeader()) return 0;
    QImage frame;
    int delay = 0;
    while (gif.Next(&frame, &delay))
        if (frame.size() != gif.ScreenSize() || delay < 0 || delay > 65535) __builtin_trap();
    if (gif.PixelsSpent() > kBudget) __builtin_trap();
    // Every code is at least 2 bits.
    if (gif.CodesRead() > 4 * qint64(size) + 1) __builtin_trap();
    return 0;
}
