#include "browse/PictureHash.h"

#include <QBuffer>
#include <QImageReader>

namespace pq::picture {

namespace {

// The copy decoded first: at least twice the hash's grid each way, so that
// its reduction to 9 × 8 averages rather than picks pixels, and otherwise
// as small as a JPEG decoder makes it for nothing: it drops the fine
// detail of each 8 × 8 block (1/8), or of 4 × 4 or 2 × 2 parts of one.
// That costs less than the thumbnails' decode of the same picture.
QSize DecodeSize(const QSize& stored) {
    for (int k : {8, 4, 2}) {
        const QSize s((stored.width() + k - 1) / k, (stored.height() + k - 1) / k);
        if (s.width() >= 18 && s.height() >= 16) return s;
    }
    return stored;
}

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

namespace {

PictureHash Read(QImageReader& reader) {
    PictureHash out;
    out.size = reader.size();
    if (out.size.isValid()) {
        const QSize decode = DecodeSize(out.size);
        if (decode != out.size) reader.setScaledSize(decode);
    }
    const QImage image = reader.read();
    if (image.isNull()) return out;
    if (!out.size.isValid()) out.size = image.size();
    out.dhash = DifferenceHash(image);
    return out;
}

}  // namespace

PictureHash DifferenceHashOf(const QString& path) {
    QImageReader reader(path);
    return Read(reader);
}

PictureHash DifferenceHashOfBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return Read(reader);
}

}  // namespace pq::picture
