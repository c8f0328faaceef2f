// Draws the cells of the thumbnail display: a white raised frame around the
// cell, the thumbnail centred above a one-line label with its own grey and
// white frame, the "640x480x16M" label and the name below it, the text
// background in the colour of the file's extension, marked rows tinted. In
// the other display modes it draws as any item view does, but a name too
// long for its place keeps its extension.
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
    // The width of a row in the List and Small Icon modes: the list's rows
    // all have one size, so every row is as wide as its column.
    void SetRowWidth(int width) { rowWidth_ = width; }
    // The cell of the thumbnail display: (W + 20) × (H + 2 × text + 8).
    static QSize CellSize(const QSize& thumb, int textHeight);

    // A name cut to width where it must be: the end of its base name goes,
    // its extension stays ("harbour_at_ni….jpg").
    static QString ElideName(const QString& name, const QFontMetrics& fm, int width);
    // The two text lines of a cell. A name that fits one line has the label
    // ("640x480x16M") above it (in a smaller font when the label would not
    // fit: labelScale below 1); a longer name wraps onto both lines before
    // it is cut, and the label is left to the tool tip.
    struct CellLines {
        QString first;
        QString second;
        qreal labelScale = 1.0;
    };
    static CellLines CellText(const QString& label, const QString& name, const QFont& font,
                              int width);

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool thumbnails_ = false;
    int rowWidth_ = 0;
    QSize thumbSize_{80, 80};
};

// The 16- and 32-pixel type icons of JPEG, GIF and BMP rows.
QIcon TypeIcon(const QString& extension);

}  // namespace pq
