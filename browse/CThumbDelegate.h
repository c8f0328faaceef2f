// Draws the cells of the thumbnail display: a white raised frame around the
// cell, the thumbnail centred above a one-line label with its own grey and
// white frame, the "640x480x16M" label below it, the text background in the
// colour of the file's extension, marked rows tinted. In the other display
// modes it draws as any item view does.
// User-interface thread only.
#pragma once

#include <QStyledItemDelegate>

namespace pq {

class CThumbDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kMargin = 7;

    using QStyledItemDelegate::QStyledItemDelegate;

    void SetThumbnailDisplay(bool on) { thumbnails_ = on; }
    bool ThumbnailDisplay() const { return thumbnails_; }
    void SetThumbSize(const QSize& s) { thumbSize_ = s; }
    // The cell of the thumbnail display: (W + 20) × (H + 2 × text + 8).
    static QSize CellSize(const QSize& thumb, int textHeight);

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool thumbnails_ = false;
    QSize thumbSize_{80, 80};
};

// The 16- and 32-pixel type icons of JPEG, GIF and BMP rows.
QIcon TypeIcon(const QString& extension);

}  // namespace pq
