#include "browse/COXDIB.h"

#include <QImageReader>
#include <QImageWriter>

namespace pq {

const QVector<QRgb>& COXDIB::VgaColours() {
    static const QVector<QRgb> vga = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return vga;
}

bool COXDIB::CreateBlank(int width, int height, int bits) {
    if (width <= 0 || height <= 0) return false;
    const int rounded = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
    QImage image;
    if (rounded == 1) {
        image = QImage(width, height, QImage::Format_Mono);
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    } else if (rounded == 24) {
        image = QImage(width, height, QImage::Format_RGB32);
    } else {
        image = QImage(width, height, QImage::Format_Indexed8);
        QVector<QRgb> table;
        const int entries = rounded == 4 ? 16 : 256;
        for (int i = 0; i < entries; ++i) table.append(VgaColours()[i % 16]);
        image.setColorTable(table);
    }
    if (image.isNull()) return false;
    image.fill(0);
    image_ = image;
    return true;
}

bool COXDIB::ReadBmp(const QString& path) {
    QImageReader reader(path, "bmp");
    QImage image = reader.read();
    if (image.isNull()) return false;
    image_ = image;
    return true;
}

bool COXDIB::WriteBmp(const QString& path) const {
    if (image_.isNull()) return false;
    QImageWriter writer(path, "bmp");
    return writer.write(image_);
}

}  // namespace pq
