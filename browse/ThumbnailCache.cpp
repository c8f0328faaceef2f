#include "browse/ThumbnailCache.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <atomic>

namespace pq {

namespace {

// The characters a path keeps unescaped in a URI: RFC 2396's unreserved
// characters, the path segment's ":@&=+$," and the separator. The same set
// the desktop's file managers escape with, so the MD5 names agree.
bool KeptInPath(uchar c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '-':
        case '_':
        case '.':
        case '!':
        case '~':
        case '*':
        case '\'':
        case '(':
        case ')':
        case '/':
        case ':':
        case '@':
        case '&':
        case '=':
        case '+':
        case '$':
        case ',':
            return true;
    }
    return false;
}

// "1700000000" or "1700000000.5": the whole seconds; -1 when not a number.
qint64 Seconds(const QString& text) {
    const int dot = text.indexOf('.');
    bool ok = false;
    const qint64 v = (dot < 0 ? text : text.left(dot)).toLongLong(&ok);
    return ok ? v : -1;
}

// The keys that tie a thumbnail to its picture: the URI, the modification
// time (required) and the size (when the thumbnail gives it). Read from the
// decoded image: QImageReader::text() takes a key's first ':' for the end of
// the key, which every "Thumb::" key has.
bool Matches(const QImage& thumb, const ThumbnailCache::Original& o) {
    if (thumb.text(QStringLiteral("Thumb::URI")) != o.uri) return false;
    const QString mtime = thumb.text(QStringLiteral("Thumb::MTime"));
    if (mtime.isEmpty() || Seconds(mtime) != o.mtime) return false;
    const QString size = thumb.text(QStringLiteral("Thumb::Size"));
    return size.isEmpty() || size.toLongLong() == o.size;
}

// The thumbnail in a cache file, when the file holds one no larger than
// edge; null otherwise (missing, junk, or a header that claims more). A
// missing file costs one failed open.
QImage ReadThumbnail(const QString& path, int edge) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > edge || size.height() > edge) return {};
    return reader.read();
}

}  // namespace

int ThumbnailCache::Edge(Flavour f) {
    switch (f) {
        case Flavour::kNormal:
            return 128;
        case Flavour::kLarge:
            return 256;
        case Flavour::kXLarge:
            return 512;
        case Flavour::kXXLarge:
            return 1024;
    }
    return 128;
}

QString ThumbnailCache::FolderName(Flavour f) {
    switch (f) {
        case Flavour::kNormal:
            return QStringLiteral("normal");
        case Flavour::kLarge:
            return QStringLiteral("large");
        case Flavour::kXLarge:
            return QStringLiteral("x-large");
        case Flavour::kXXLarge:
            return QStringLiteral("xx-large");
    }
    return QStringLiteral("normal");
}

ThumbnailCache::Flavour ThumbnailCache::ForCell(const QSize& cell) {
    const int edge = std::max(cell.width(), cell.height());
    for (Flavour f : kFlavours)
        if (edge <= Edge(f)) return f;
    return Flavour::kXXLarge;
}

QString ThumbnailCache::DefaultRoot() {
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString base =
        !xdg.isEmpty() && QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + "/.cache";
    return QDir::cleanPath(base) + "/thumbnails/";
}

QString ThumbnailCache::UriOf(const QString& path) {
    const QByteArray bytes = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out("file://");
    out.reserve(out.size() + bytes.size() * 3);
    for (const char ch : bytes) {
        const uchar c = uchar(ch);
        if (KeptInPath(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return QString::fromLatin1(out);
}

QString ThumbnailCache::NameOf(const QString& uri) {
    return QString::fromLatin1(
               QCryptographicHash::hash(uri.toLatin1(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

ThumbnailCache::Original ThumbnailCache::Describe(const QString& path) {
    Original o;
    o.path = path;
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return o;
    o.uri = UriOf(path);
    o.name = NameOf(o.uri);
    o.mtime = qint64(st.st_mtime);
    o.size = qint64(st.st_size);
    o.readable = ::access(name.constData(), R_OK) == 0;
    return o;
}

std::shared_ptr<const ThumbnailCache> ThumbnailCache::Shared() {
    static const std::shared_ptr<const ThumbnailCache> cache =
        std::make_shared<const ThumbnailCache>();
    return cache;
}

ThumbnailCache::ThumbnailCache(const QString& root, const QString& program)
    : root_(QDir::cleanPath(QFileInfo(root).absoluteFilePath()) + "/"),
      failFolder_(root_ + "fail/" + program + "/") {}

QString ThumbnailCache::PathOf(Flavour f, const QString& uri) const {
    return root_ + FolderName(f) + "/" + NameOf(uri);
}

namespace {

QString NameOfOriginal(const ThumbnailCache::Original& o) {
    return o.name.isEmpty() ? ThumbnailCache::NameOf(o.uri) : o.name;
}

}  // namespace

QString ThumbnailCache::FailurePathOf(const QString& uri) const {
    return failFolder_ + NameOf(uri);
}

bool ThumbnailCache::Holds(const QString& path) const {
    return (QDir::cleanPath(QFileInfo(path).absoluteFilePath()) + "/").startsWith(root_);
}

std::optional<ThumbnailCache::Hit> ThumbnailCache::Find(const Original& o,
                                                        const QSize& cell) const {
    if (!o.readable || o.uri.isEmpty() || Holds(o.path)) return std::nullopt;
    const int need = int(ForCell(cell));
    // The flavour the cell needs and the next larger one, then the smaller
    // ones, nearest first.
    int order[4], n = 0;
    for (int f = need; f <= std::min(need + 1, int(Flavour::kXXLarge)); ++f) order[n++] = f;
    for (int f = need - 1; f >= 0; --f) order[n++] = f;
    const QString name = NameOfOriginal(o);
    for (int i = 0; i < n; ++i) {
        const Flavour f = Flavour(order[i]);
        QImage image = ReadThumbnail(root_ + FolderName(f) + "/" + name, Edge(f));
        if (image.isNull() || !Matches(image, o)) continue;
        Hit hit;
        const int w = image.text(QStringLiteral("Thumb::Image::Width")).toInt();
        const int h = image.text(QStringLiteral("Thumb::Image::Height")).toInt();
        if (w > 0 && h > 0) hit.pictureSize = QSize(w, h);
        hit.bits = std::max(0, image.text(QLatin1String(kBitsKey)).toInt());
        // A smaller flavour serves only when it holds the picture whole.
        if (int(f) < need &&
            (!hit.pictureSize.isValid() || hit.pictureSize.width() > image.width() ||
             hit.pictureSize.height() > image.height()))
            continue;
        hit.image = std::move(image);
        return hit;
    }
    return std::nullopt;
}

bool ThumbnailCache::Failed(const Original& o) const {
    if (!o.readable || o.uri.isEmpty()) return false;
    const QImage marker = ReadThumbnail(failFolder_ + NameOfOriginal(o), Edge(Flavour::kXXLarge));
    return !marker.isNull() && Matches(marker, o);
}

bool ThumbnailCache::Store(const Original& o, Flavour f, const QImage& thumb,
                           const QSize& pictureSize, int bits, const QString& mimeType) const {
    if (!o.readable || o.uri.isEmpty() || thumb.isNull() || Holds(o.path)) return false;
    const int edge = Edge(f);
    QImage image = thumb.width() > edge || thumb.height() > edge
                       ? thumb.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                       : thumb;
    // Eight bits a channel with alpha, as the standard asks.
    image = image.convertToFormat(QImage::Format_ARGB32);
    image.setText(QStringLiteral("Thumb::URI"), o.uri);
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(o.mtime));
    image.setText(QStringLiteral("Thumb::Size"), QString::number(o.size));
    if (!mimeType.isEmpty()) image.setText(QStringLiteral("Thumb::Mimetype"), mimeType);
    if (pictureSize.isValid()) {
        image.setText(QStringLiteral("Thumb::Image::Width"), QString::number(pictureSize.width()));
        image.setText(QStringLiteral("Thumb::Image::Height"),
                      QString::number(pictureSize.height()));
    }
    if (bits > 0) image.setText(QLatin1String(kBitsKey), QString::number(bits));
    image.setText(QStringLiteral("Software"), QStringLiteral("Pelquinar 1.10"));
    return Write(root_ + FolderName(f) + "/", NameOfOriginal(o), image);
}

bool ThumbnailCache::StoreFailure(const Original& o) const {
    if (!o.readable || o.uri.isEmpty() || Holds(o.path)) return false;
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    empty.setText(QStringLiteral("Thumb::URI"), o.uri);
    empty.setText(QStringLiteral("Thumb::MTime"), QString::number(o.mtime));
    empty.setText(QStringLiteral("Thumb::Size"), QString::number(o.size));
    empty.setText(QStringLiteral("Software"), QStringLiteral("Pelquinar 1.10"));
    return Write(failFolder_, NameOfOriginal(o), empty);
}

bool ThumbnailCache::MakeFolder(const QString& folder) const {
    QString path = folder;
    while (path.endsWith('/') && path.size() > 1) path.chop(1);
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT) return false;
    // Only what is missing is made, each with the owner's rights alone.
    const int slash = path.lastIndexOf('/');
    if (slash <= 0 || !MakeFolder(path.left(slash))) return false;
    return ::mkdir(name.constData(), 0700) == 0 || errno == EEXIST;
}

bool ThumbnailCache::Write(const QString& folder, const QString& name, const QImage& image) const {
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        // Thumbnails are small: the fastest compression costs little in size.
        writer.setCompression(1);
        if (!writer.write(image)) return false;
    }
    if (!MakeFolder(folder)) return false;
    // Written whole under a name of its own (mode 0600), then renamed over
    // the old one: a reader never sees half a file, and two writers never
    // share one.
    static std::atomic<unsigned> serial{0};
    const QByteArray target = QFile::encodeName(folder + name);
    const QByteArray temporary = target + "." + QByteArray::number(qint64(::getpid())) + "-" +
                                 QByteArray::number(serial++) + ".part";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    qint64 done = 0;
    while (done < png.size()) {
        const ssize_t n = ::write(fd, png.constData() + done, size_t(png.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    const bool written = ::close(fd) == 0 && done == png.size();
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

}  // namespace pq
