#include "browse/CThumbDelegate.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QHash>
#include <QPainter>

#include "browse/CThumbListModel.h"
#include "browse/FileRecord.h"

namespace pq {

QSize CThumbDelegate::CellSize(const QSize& thumb, int textHeight) {
    return {thumb.width() + 20, thumb.height() + 2 * textHeight + 8};
}

QSize CThumbDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!thumbnails_) return QStyledItemDelegate::sizeHint(option, index);
    return CellSize(thumbSize_, option.fontMetrics.height()) - QSize(4, 4);
}

void CThumbDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (!thumbnails_) {
        QStyledItemDelegate::paint(p, option, index);
        return;
    }
    p->save();
    const QRect cell = option.rect;
    const int text = option.fontMetrics.height();
    const QPalette& pal = option.palette;
    const bool selected = option.state & QStyle::State_Selected;

    // The cell: a white raised frame.
    p->fillRect(cell, pal.color(QPalette::Window));
    qDrawShadeRect(p, cell, pal, false, 1, 0, nullptr);
    const QRect pictureArea(cell.left() + kMargin, cell.top() + kMargin, cell.width() - 2 * kMargin,
                            cell.height() - kMargin - 2 * text - 2);
    const QImage thumb = index.data(CThumbListModel::kThumbRole).value<QImage>();
    const bool valid = index.data(CThumbListModel::kValidRole).toBool();
    if (!thumb.isNull()) {
        QRect r(
            QPoint(0, 0),
            thumb.size().scaled(pictureArea.size(), Qt::KeepAspectRatio).boundedTo(thumb.size()));
        r.moveCenter(pictureArea.center());
        p->drawImage(r, thumb);
        if (valid) {
            // A grey and white sunken frame around the picture.
            const QRect frame = r.adjusted(-2, -2, 1, 1);
            p->setPen(QColor(0x80, 0x80, 0x80));
            p->drawLine(frame.topLeft(), frame.topRight());
            p->drawLine(frame.topLeft(), frame.bottomLeft());
            p->setPen(Qt::white);
            p->drawLine(frame.bottomLeft(), frame.bottomRight());
            p->drawLine(frame.topRight(), frame.bottomRight());
        }
    } else if (!index.data(CThumbListModel::kThumbDoneRole).toBool()) {
        // Not made yet: the type icon holds the place.
        const QIcon icon = TypeIcon(index.data(CThumbListModel::kExtensionRole).toString());
        QRect r(0, 0, 32, 32);
        r.moveCenter(pictureArea.center());
        icon.paint(p, r);
    }
    // An unreadable picture leaves the cell empty: its white frame only.

    // Two text lines: the label, then the name, on the extension's colour.
    QRect textArea(cell.left() + 3, cell.bottom() - 2 * text - 3, cell.width() - 6, 2 * text + 1);
    QColor back =
        CFileRecord::ExtensionColour(index.data(CThumbListModel::kExtensionRole).toString());
    if (index.data(CThumbListModel::kMarkRole).toBool()) back = back.darker(115);
    if (selected) back = pal.color(QPalette::Highlight);
    p->fillRect(textArea, back);
    p->setPen(selected ? pal.color(QPalette::HighlightedText) : QColor(Qt::black));
    const QString label = index.data(CThumbListModel::kLabelRole).toString();
    const QString name = index.data(Qt::DisplayRole).toString();
    const QRect labelLine(textArea.left(), textArea.top(), textArea.width(), text);
    const QRect nameLine(textArea.left(), textArea.top() + text, textArea.width(), text);
    p->drawText(labelLine, Qt::AlignCenter,
                option.fontMetrics.elidedText(label, Qt::ElideRight, labelLine.width()));
    p->drawText(nameLine, Qt::AlignCenter,
                option.fontMetrics.elidedText(name, Qt::ElideMiddle, nameLine.width()));
    if (option.state & QStyle::State_HasFocus) {
        p->setPen(QPen(pal.color(QPalette::Highlight), 1, Qt::DotLine));
        p->drawRect(cell.adjusted(1, 1, -2, -2));
    }
    p->restore();
}

QIcon TypeIcon(const QString& extension) {
    static QHash<QString, QIcon> cache;
    const QString ext = extension.toLower();
    const QString key = (ext == ".jpeg" || ext == ".jpe") ? QStringLiteral(".jpg") : ext;
    auto it = cache.find(key);
    if (it != cache.end()) return *it;
    // A page with a folded corner and the type's letters, in the type's colour.
    QIcon icon;
    const QString letters = key.mid(1, 3).toUpper();
    const QColor colour = CFileRecord::ExtensionColour(key).darker(185);
    for (int size : {16, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal m = size / 8.0;
        QRectF page(m, 0.5, size - 2 * m, size - 1);
        p.setPen(QPen(QColor(0x55, 0x57, 0x53), size >= 32 ? 1.5 : 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(page, size / 16.0, size / 16.0);
        QRectF band(page.left(), page.top() + page.height() * 0.45, page.width(),
                    page.height() * 0.4);
        p.fillRect(band, colour);
        if (size >= 32) {
            QFont f = QApplication::font();
            f.setPixelSize(int(band.height() * 0.8));
            f.setBold(true);
            p.setFont(f);
            p.setPen(Qt::white);
            p.drawText(band, Qt::AlignCenter, letters);
        }
        icon.addPixmap(pm);
    }
    cache.insert(key, icon);
    return icon;
}

}  // namespace pq
