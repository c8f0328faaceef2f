// The texts of one picture row, made from the file's full path: name, size,
// type and date; and the background colour of its extension in the
// thumbnail display.
// Any thread.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>

class QFileInfo;

namespace pq {

struct CFileRecord {
    QString path;       // full path
    QString name;       // file name with its extension
    QString extension;  // with its dot, as written
    qint64 size = 0;
    QDateTime modified;

    static CFileRecord FromPath(const QString& path);
    // From what a directory listing already knows: no second stat.
    static CFileRecord FromInfo(const QFileInfo& info);

    QString SizeText() const { return ListSizeText(size); }
    QString TypeText() const { return TypeTextOf(name); }
    QString DateText() const { return DateTextOf(modified); }

    // "1023 bytes", "1KB", "2KB", "1MB": kilobytes and megabytes rounded to
    // nearest, megabytes from the kilobyte figure.
    static QString ListSizeText(qint64 bytes);
    // "JPEG Image", "GIF Image", "BMP Image", "PNG Image", "WebP Image";
    // other types by their MIME
    // description.
    static QString TypeTextOf(const QString& name);
    // "yy-mm-dd hh:mm" in local time.
    static QString DateTextOf(const QDateTime& t);
    // The picture types the lists hold (".jpg", ".jpeg", ".gif", ".bmp",
    // and ".png" and ".webp" once the user keeps those).
    static bool IsListedPicture(const QString& name);
    // Whether the lists hold PNG and WebP pictures too (the "bPng" and
    // "bWebp" settings). Any thread may read it.
    static void SetExtraTypes(bool png, bool webp);
    // The name filters of a folder listing ("*.jpg", ...).
    static QStringList ListedNameFilters();
    // The row colour of an extension in the thumbnail display; white when
    // it has none.
    static QColor ExtensionColour(const QString& extension);
};

}  // namespace pq
