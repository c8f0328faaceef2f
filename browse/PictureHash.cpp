#include "browse/PictureHash.h"

#include <QImageReader>
#include <algorithm>

namespace pq::picture {

namespace {

// The copy decoded first: small enough to cost little, large enough that
// its reduction to 9 × 8 averages rather than picks pixels.
constexpr int kDecodeWidth = 72;
constexpr int kDecodeHeight = 64;

}  // namespace

uint64_t DifferenceHash(const QImage& image) {
    if (image.isNull()) return 0;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8)
                            .scaled(9, 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    uint64_t bits = 0;
    for (int y = 0; y < 8; ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < 8; ++x)
            if (row[x] > row[x + 1]) bits |= uint64_t(1) << (y * 8 + x);
    }
    return bits;
}

PictureHash DifferenceHashOf(const QString& path) {
    PictureHash out;
    QImageReader reader(path);
    out.size = reader.size();
    // The proportions need not be kept: the hash's copy does not keep them.
    if (out.size.width() > kDecodeWidth || out.size.height() > kDecodeHeight)
        reader.setScaledSize(QSize(std::min(out.size.width(), kDecodeWidth),
                                   std::min(out.size.height(), kDecodeHeight)));
    const QImage image = reader.read();
    if (image.isNull()) return out;
    if (!out.size.isValid()) out.size = image.size();
    out.dhash = DifferenceHash(image);
    return out;
}

}  // namespace pq::picture
