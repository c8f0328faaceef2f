// Makes the thumbnail of one list row: from the shared thumbnail cache when
// it holds one that still matches the picture (whoever made it), else
// decoded at the cache's size, shown scaled to the cell and then kept in
// the cache for the next time and for the other programs. A picture that
// could not be decoded is recorded as such and not decoded again until it
// changes. Without a cache it only decodes.
// Any thread: Make and Keep touch files and their own values only.
#pragma once

#include <functional>
#include <memory>

#include "browse/PictureLoader.h"
#include "browse/ThumbnailCache.h"

namespace pq {

class ThumbnailMaker {
public:
    using Decoder = std::function<picture::Thumbnail(const QString& path, const QSize& maxSize)>;

    // cache: none to decode every time; decode: how a picture is read
    // (tests count the calls).
    explicit ThumbnailMaker(std::shared_ptr<const ThumbnailCache> cache = nullptr,
                            Decoder decode = nullptr);

    struct Made {
        picture::Thumbnail thumb;  // for the cell
        // What Keep still has to write into the cache.
        ThumbnailCache::Original original;
        ThumbnailCache::Flavour flavour = ThumbnailCache::Flavour::kNormal;
        QImage toStore;
        bool failed = false;
        bool fromCache = false;
        // Whether Keep has anything to write.
        bool ToKeep() const { return !original.uri.isEmpty() && (failed || !toStore.isNull()); }
    };
    // The thumbnail for a cell of that size, and what is to be kept.
    Made Make(const QString& path, const QSize& cell) const;
    // Writes what Make left for the cache: the thumbnail, or the failure.
    // Apart from Make so that the row can have its thumbnail first.
    void Keep(const Made& made) const;

    const std::shared_ptr<const ThumbnailCache>& Cache() const { return cache_; }

    // The largest cell the cache serves; a larger one is decoded for itself.
    static constexpr int kLargestCachedCell = 1024;

private:
    picture::Thumbnail FromHit(const ThumbnailCache::Hit& hit, const QString& path,
                               const QSize& cell) const;

    std::shared_ptr<const ThumbnailCache> cache_;
    Decoder decode_;
};

}  // namespace pq
