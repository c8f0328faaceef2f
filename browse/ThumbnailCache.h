// The desktop's shared thumbnail cache, laid out as the freedesktop.org
// Thumbnail Managing Standard says, so that file managers and picture
// programs use each other's thumbnails: PNG files in
// $XDG_CACHE_HOME/thumbnails/normal/ (at most 128 × 128), large/ (256),
// x-large/ (512) and xx-large/ (1024), each named by the MD5 of the
// picture's file URI, carrying the URI, the picture's modification time
// and size as text keys; a thumbnail whose keys no longer match its
// picture is stale. A picture that cannot be decoded gets an empty PNG
// under fail/pelquinar-1.10/, so it is not tried again until it changes.
// Files are written under a temporary name with mode 0600 and renamed into
// place, folders made with mode 0700.
// Any thread: an object holds only its folder names, every call works on
// files alone.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

namespace pq {

class ThumbnailCache {
public:
    enum class Flavour { kNormal, kLarge, kXLarge, kXXLarge };
    static constexpr Flavour kFlavours[] = {Flavour::kNormal, Flavour::kLarge, Flavour::kXLarge,
                                            Flavour::kXXLarge};
    // The largest width and height of a flavour's thumbnails: 128 to 1024.
    static int Edge(Flavour f);
    // "normal", "large", "x-large", "xx-large".
    static QString FolderName(Flavour f);
    // The smallest flavour that fills a cell of that size (the largest for
    // a cell beyond 1024).
    static Flavour ForCell(const QSize& cell);

    // $XDG_CACHE_HOME/thumbnails/ when that variable holds an absolute
    // path, else $HOME/.cache/thumbnails/.
    static QString DefaultRoot();
    // The picture's absolute file URI as the standard names it: "file://"
    // and the cleaned absolute path, its bytes outside the path characters
    // of RFC 2396 escaped as %XX ("file:///home/a/my%20picture.jpg").
    static QString UriOf(const QString& path);
    // The file name of a URI's thumbnail: the MD5 of the URI in lower-case
    // hex, then ".png".
    static QString NameOf(const QString& uri);

    // A picture as the cache sees it, from one stat: its URI, modification
    // time in whole seconds, size in bytes, and whether it can be read.
    struct Original {
        QString path;
        QString uri;
        QString name;  // NameOf(uri)
        qint64 mtime = 0;
        qint64 size = 0;
        bool readable = false;
    };
    static Original Describe(const QString& path);

    // A thumbnail found for a picture.
    struct Hit {
        QImage image;       // as stored: at most its flavour's edge
        QSize pictureSize;  // from Thumb::Image::Width and ::Height; invalid when absent
        int bits = 0;       // the picture's stored depth, when the thumbnail says (0: not)
    };

    // root: the "thumbnails" folder; program: the folder of this program's
    // failures under fail/.
    explicit ThumbnailCache(const QString& root = DefaultRoot(),
                            const QString& program = QStringLiteral("pelquinar-1.10"));

    // The user's cache at DefaultRoot(), made at the first call.
    static std::shared_ptr<const ThumbnailCache> Shared();

    const QString& Root() const { return root_; }
    QString PathOf(Flavour f, const QString& uri) const;
    QString FailurePathOf(const QString& uri) const;
    // Whether the path lies inside the cache: its files are never given
    // thumbnails of their own.
    bool Holds(const QString& path) const;

    // A thumbnail fit for a cell of that size that matches the picture as
    // it is now: first the flavour the cell needs, then the next larger
    // one, then a smaller one that holds the whole picture unscaled.
    // Nothing for a picture that cannot be read.
    std::optional<Hit> Find(const Original& o, const QSize& cell) const;
    // This program has failed to decode the picture as it is now.
    bool Failed(const Original& o) const;

    // Writes a thumbnail (at most the flavour's edge; never enlarged) with
    // the standard's keys and the picture's size and depth; false when it
    // could not be written (the cache is only ever a help).
    bool Store(const Original& o, Flavour f, const QImage& thumb, const QSize& pictureSize,
               int bits, const QString& mimeType) const;
    // Records that the picture, as it is now, cannot be decoded.
    bool StoreFailure(const Original& o) const;

    // The text key of the picture's stored depth in the thumbnails this
    // program writes (the standard has none for it).
    static constexpr const char* kBitsKey = "X-Pelquinar::Image::Bits";

private:
    bool Write(const QString& folder, const QString& name, const QImage& image) const;
    bool MakeFolder(const QString& folder) const;

    QString root_;
    QString failFolder_;
};

}  // namespace pq
