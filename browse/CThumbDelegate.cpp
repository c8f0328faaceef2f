#include "browse/CThumbDelegate.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <algorithm>

#include "browse/CThumbListModel.h"
#include "browse/FileRecord.h"

namespace pq {

QSize CThumbDelegate::CellSize(const QSize& thumb, int textHeight) {
    return {thumb.width() + 20, thumb.height() + 2 * textHeight + 8};
}

QString CThumbDelegate::ElideName(const QString& name, const QFontMetrics& fm, int width) {
    if (fm.horizontalAdvance(name) <= width) return name;
    const int dot = name.lastIndexOf('.');
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ellipsis(QChar(0x2026));
    const int room = width - fm.horizontalAdvance(ext + ellipsis);
    if (room <= 0) return fm.elidedText(name, Qt::ElideRight, width);
    // The longest start of the base name that fits, found by halving.
    int lo = 0, hi = int(base.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(base.left(mid)) <= room)
            lo = mid;
        else
            hi = mid - 1;
    }
    return base.left(lo) + ellipsis + ext;
}

CThumbDelegate::CellLines CThumbDelegate::CellText(const QString& label, const QString& name,
                                                   const QFont& font, int width) {
    CellLines out;
    const QFontMetrics fm(font);
    // The name tells the pictures apart: when it needs both lines it takes
    // them, and the label stays in the cell's tool tip.
    if (!label.isEmpty() && fm.horizontalAdvance(name) <= width) {
        // The label's parts all tell something: a smaller font before a cut.
        const int w = fm.horizontalAdvance(label);
        if (w > width) out.labelScale = std::max(0.7, qreal(width) / qreal(w));
        out.first = label;
        out.second = name;
        return out;
    }
    if (fm.horizontalAdvance(name) <= width) {
        out.second = name;
        return out;
    }
    // The longest start that fits the first line, ended where a word, a
    // number or a separator ends when there is such a place.
    int fit = 0;
    while (fit < name.size() && fm.horizontalAdvance(name.left(fit + 1)) <= width) ++fit;
    int cut = fit;
    for (int i = fit; i > fit / 2; --i) {
        const QChar c = name[i - 1];
        if (c == ' ' || c == '_' || c == '-' || c == '.' ||
            (i < name.size() && c.isLetter() != name[i].isLetter())) {
            cut = i;
            break;
        }
    }
    out.first = name.left(std::max(1, cut));
    out.second = ElideName(name.mid(out.first.size()), fm, width);
    return out;
}

QSize CThumbDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!thumbnails_) {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (rowWidth_ > 0) size.setWidth(rowWidth_);
        return size;
    }
    return CellSize(thumbSize_, option.fontMetrics.height()) - QSize(4, 4);
}

void CThumbDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (!thumbnails_) {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (index.column() == 0 && !opt.text.isEmpty()) {
            // The room the style gives the text: the cell less the icon.
            const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
            const QRect textRect =
                style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
            const int room = textRect.width();
            if (room > 0 && opt.fontMetrics.horizontalAdvance(opt.text) > room) {
                opt.text = ElideName(opt.text, opt.fontMetrics, room);
                opt.textElideMode = Qt::ElideNone;
            }
        }
        const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);
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
    const QRect firstLine(textArea.left(), textArea.top(), textArea.width(), text);
    const QRect secondLine(textArea.left(), textArea.top() + text, textArea.width(), text);
    const CellLines lines = CellText(label, name, option.font, textArea.width() - 2);
    if (!lines.first.isEmpty()) {
        QFont f = option.font;
        if (lines.labelScale < 1.0) {
            if (f.pointSizeF() > 0)
                f.setPointSizeF(f.pointSizeF() * lines.labelScale);
            else
                f.setPixelSize(std::max(6, int(f.pixelSize() * lines.labelScale)));
        }
        p->setFont(f);
        p->drawText(firstLine, Qt::AlignCenter,
                    QFontMetrics(f).elidedText(lines.first, Qt::ElideRight, firstLine.width()));
        p->setFont(option.font);
    }
    p->drawText(secondLine, Qt::AlignCenter, lines.second);
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
