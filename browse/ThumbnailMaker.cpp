#include "browse/ThumbnailMaker.h"

#include <QImageReader>

namespace pq {

namespace {

// Fits an image into the cell, never enlarging it.
QImage ToCell(const QImage& image, const QSize& cell) {
    QImage out = image.width() <= cell.width() && image.height() <= cell.height()
                     ? image
                     : image.scaled(cell, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return out.hasAlphaChannel() ? out.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                 : out.convertToFormat(QImage::Format_RGB32);
}

// The MIME type of the picture types the lists hold, by extension.
QString MimeTypeOf(const QString& path) {
    const QString ext = path.mid(path.lastIndexOf('.') + 1).toLower();
    if (ext == "jpg" || ext == "jpeg") return QStringLiteral("image/jpeg");
    if (ext == "gif" || ext == "png" || ext == "bmp" || ext == "webp")
        return QStringLiteral("image/") + ext;
    return QString();
}

}  // namespace

ThumbnailMaker::ThumbnailMaker(std::shared_ptr<const ThumbnailCache> cache, Decoder decode)
    : cache_(std::move(cache)),
      decode_(decode ? std::move(decode) : Decoder(picture::LoadThumbnail)) {}

picture::Thumbnail ThumbnailMaker::FromHit(const ThumbnailCache::Hit& hit, const QString& path,
                                           const QSize& cell) const {
    picture::Thumbnail t;
    t.image = ToCell(hit.image, cell);
    t.stored.size = hit.pictureSize;
    t.stored.bits = hit.bits;
    if (!t.stored.size.isValid() || t.stored.bits == 0) {
        // A thumbnail of another program need not say what the label shows:
        // the picture's header does, without decoding it.
        QImageReader reader(path);
        if (!t.stored.size.isValid()) t.stored.size = reader.size();
        if (t.stored.bits == 0) t.stored.bits = picture::StoredBits(reader.imageFormat());
        if (t.stored.bits == 0 && reader.format().toLower() == "gif") t.stored.bits = 8;
    }
    t.valid = true;
    return t;
}

ThumbnailMaker::Made ThumbnailMaker::Make(const QString& path, const QSize& cell) const {
    Made m;
    const bool cached = cache_ && std::max(cell.width(), cell.height()) <= kLargestCachedCell;
    if (!cached) {
        m.thumb = decode_(path, cell);
        return m;
    }
    const ThumbnailCache::Original original = ThumbnailCache::Describe(path);
    if (!original.readable || cache_->Holds(path)) {
        // Nothing is looked up or kept for a file that cannot be read or
        // is one of the cache's own.
        m.thumb = decode_(path, cell);
        return m;
    }
    if (auto hit = cache_->Find(original, cell)) {
        m.thumb = FromHit(*hit, path, cell);
        m.fromCache = true;
        return m;
    }
    if (cache_->Failed(original)) {
        m.failed = true;
        return m;
    }
    m.original = original;
    m.flavour = ThumbnailCache::ForCell(cell);
    const int edge = ThumbnailCache::Edge(m.flavour);
    picture::Thumbnail big = decode_(path, QSize(edge, edge));
    if (!big.valid || big.image.isNull()) {
        m.failed = true;
        m.thumb = big;
        return m;
    }
    m.toStore = big.image;
    m.thumb = big;
    m.thumb.image = ToCell(big.image, cell);
    return m;
}

void ThumbnailMaker::Keep(const Made& made) const {
    if (!cache_ || made.original.uri.isEmpty()) return;
    if (made.failed) {
        cache_->StoreFailure(made.original);
        return;
    }
    if (made.toStore.isNull()) return;
    cache_->Store(made.original, made.flavour, made.toStore, made.thumb.stored.size,
                  made.thumb.stored.bits, MimeTypeOf(made.original.path));
}

}  // namespace pq
