// The program's picture: a QImage with the operations the preview and the
// wallpaper use: empty test, size, a blank picture of 1, 4, 8 or 24 bits
// whose colour table holds the 16 standard VGA colours, and BMP files read
// and written through Qt.
// Any thread; an object is not shared.
#pragma once

#include <QImage>
#include <QString>

namespace pq {

class COXDIB {
public:
    COXDIB() = default;
    explicit COXDIB(QImage image) : image_(std::move(image)) {}

    bool IsEmpty() const { return image_.isNull(); }
    void Clear() { image_ = QImage(); }
    QSize Size() const { return image_.size(); }
    const QImage& Image() const { return image_; }

    // A blank picture; bits is rounded up to 1, 4, 8 or 24. The 16- and
    // 256-colour tables repeat the 16 VGA colours; 4 bits are kept in an
    // 8-bit image (Qt has no 4-bit format) with a 16-entry table.
    bool CreateBlank(int width, int height, int bits);
    bool ReadBmp(const QString& path);
    bool WriteBmp(const QString& path) const;

    // The 16 standard VGA colours, in their usual order.
    static const QVector<QRgb>& VgaColours();

private:
    QImage image_;
};

}  // namespace pq
