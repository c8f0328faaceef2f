#include "browse/PictureLoader.h"

#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <limits>

namespace pq::picture {

namespace {

// Pixels a decode may allocate, from the reader's allocation limit (MB) at
// four bytes a pixel.
qint64 PixelBudget() {
    const qint64 mb = QImageReader::allocationLimit();
    return mb <= 0 ? std::numeric_limits<qint64>::max() : mb * 1024 * 1024 / 4;
}

// Pixels a thumbnail's decode may allocate. A JPEG is decoded at a reduced
// size (at best an eighth of each side): a header that claims a giant
// picture would still cost its eighth, on every pool thread at once.
qint64 ThumbnailBudget() { return PixelBudget() / 4; }

qint64 Pixels(const QSize& s) { return qint64(s.width()) * s.height(); }

}  // namespace

QImage LoadWhole(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > PixelBudget()) return {};
    return reader.read();
}

Thumbnail LoadThumbnail(const QString& path, const QSize& maxSize) {
    Thumbnail t;
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || maxSize.isEmpty()) return t;
    t.stored.size = size;
    t.stored.bits = StoredBits(reader.imageFormat());
    const QSize target = size.width() <= maxSize.width() && size.height() <= maxSize.height()
                             ? size
                             : size.scaled(maxSize, Qt::KeepAspectRatio);
    // A reader that cannot scale while decoding (all but JPEG) decodes the
    // whole picture first: a giant one is refused before it is tried.
    const bool scalesInDecoder =
        reader.supportsOption(QImageIOHandler::ScaledSize) && reader.format().toLower() == "jpeg";
    if (scalesInDecoder) {
        const QSize reduced((size.width() + 7) / 8, (size.height() + 7) / 8);
        if (Pixels(reduced.expandedTo(target)) > ThumbnailBudget()) return t;
    } else if (Pixels(size) > PixelBudget()) {
        return t;
    }
    reader.setScaledSize(target.expandedTo(QSize(1, 1)));
    const bool gif = reader.format().toLower() == "gif";
    QImage image = reader.read();
    if (image.isNull()) return t;
    // Some readers know the stored depth only once they have decoded: a GIF
    // holds at most 256 colours, from the size of its colour table.
    if (t.stored.bits == 0 || gif) {
        const int colours = image.colorCount();
        int bits = gif ? 8 : StoredBits(image.format());
        if (colours > 0 && colours <= 256) {
            bits = 1;
            while ((1 << bits) < colours) ++bits;
        }
        t.stored.bits = bits;
    }
    if (image.size() != target)
        image = image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    t.image = image.convertToFormat(QImage::Format_RGB32);
    t.valid = true;
    return t;
}

bool ConvertToBmp(const QString& source, const QString& target) {
    const QImage image = LoadWhole(source);
    if (image.isNull()) return false;
    // Written under a temporary name and renamed into place: a failed write
    // leaves the file as it was.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&out, "bmp");
    if (!writer.write(image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32)
                                              : image)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

int StoredBits(QImage::Format format) {
    switch (format) {
        case QImage::Format_Invalid:
            return 0;
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            return 1;
        case QImage::Format_Indexed8:
        case QImage::Format_Grayscale8:
        case QImage::Format_Alpha8:
            return 8;
        case QImage::Format_RGB16:
        case QImage::Format_RGB555:
        case QImage::Format_RGB444:
        case QImage::Format_Grayscale16:
            return 16;
        case QImage::Format_RGB32:
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
        case QImage::Format_RGBX8888:
            return 24;
        default:
            return QImage::toPixelFormat(format).bitsPerPixel();
    }
}

QString ColourCountText(int bits) {
    if (bits <= 0) return QStringLiteral("0");
    if (bits >= 62) bits = 62;
    const qint64 n = qint64(1) << bits;
    if (n < 1024) return QString::number(n);
    if (n < 1048576) return QStringLiteral("%1K").arg(n / 1024);
    return QStringLiteral("%1M").arg(n / 1048576);
}

QString LabelText(const Header& h) {
    return QStringLiteral("%1x%2x%3")
        .arg(h.size.width())
        .arg(h.size.height())
        .arg(ColourCountText(h.bits));
}

}  // namespace pq::picture
