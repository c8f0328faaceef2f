#include "browse/ViewPort.h"

#include <algorithm>

#include "store/SizeText.h"

namespace pq::viewport {

float EffectiveZoom(QSize picture, QSize client) {
    if (picture.isEmpty() || client.isEmpty()) return 1.0f;
    if (picture.width() <= client.width() && picture.height() <= client.height()) return 1.0f;
    return std::min(float(client.width()) / float(picture.width()),
                    float(client.height()) / float(picture.height()));
}

float ZoomIn(float zoom, float effective) { return (zoom < 0 ? effective : zoom) * 1.25f; }
float ZoomOut(float zoom, float effective) { return (zoom < 0 ? effective : zoom) * 0.85f; }
bool CanZoomIn(float zoom) { return zoom < 0 || zoom < kMaxZoom; }
bool CanZoomOut(float zoom) { return zoom < 0 || zoom > kMinZoom; }
bool CanZoomIn(float zoom, float fitZoom) { return zoom < 0 ? fitZoom < kMaxZoom : zoom < kMaxZoom; }
bool CanZoomOut(float zoom, float fitZoom) {
    return zoom < 0 || zoom > std::min(kMinZoom, fitZoom);
}

QRect Destination(QSize picture, QSize client, float zoom, QPoint scroll) {
    if (picture.isEmpty()) return {};
    QRect d;
    if (zoom > 0) {
        d = QRect(0, 0, int(picture.width() * zoom), int(picture.height() * zoom));
    } else if (picture.width() <= client.width() && picture.height() <= client.height()) {
        d = QRect(QPoint(0, 0), picture);
    } else {
        // The fit rectangle spans the pane along one axis and is centred
        // along the other.
        const float sx = float(client.width()) / float(picture.width());
        const float sy = float(client.height()) / float(picture.height());
        if (sx < sy) {
            const int h = int(picture.height() * sx);
            const int cy = client.height() / 2;
            d = QRect(QPoint(0, cy - int(h * 0.5f)), QPoint(client.width(), cy + int(h * 0.5f)));
        } else {
            const int w = int(picture.width() * sy);
            const int cx = client.width() / 2;
            d = QRect(QPoint(cx - int(w * 0.5f), 0), QPoint(cx + int(w * 0.5f), client.height()));
        }
        // QRect's right and bottom are inclusive: the spans above are
        // half-open.
        d.setRight(d.right() - 1);
        d.setBottom(d.bottom() - 1);
        return d;
    }
    int dx = d.width() > client.width() ? -scroll.x() : client.width() / 2 - d.width() / 2;
    int dy = d.height() > client.height() ? -scroll.y() : client.height() / 2 - d.height() / 2;
    return d.translated(dx, dy);
}

QSize ScrollMaximum(QSize picture, QSize client, float zoom) {
    if (zoom <= 0 || picture.isEmpty()) return {0, 0};
    const int w = int(picture.width() * zoom), h = int(picture.height() * zoom);
    return {std::max(0, w - client.width()), std::max(0, h - client.height())};
}

int SlideStep(int listWidth, QSize thumb, int textHeight) {
    const int columns = std::max(1, listWidth / (thumb.width() + 20));
    return (thumb.height() + 2 * textHeight + 8) / columns;
}

QString StatusText(const QString& name, qint64 bytes, int index, int count) {
    return QStringLiteral("%1 [%2]--(%3/%4)")
        .arg(name, QString::fromStdString(SizeText(bytes)))
        .arg(index + 1)
        .arg(count);
}

}  // namespace pq::viewport
