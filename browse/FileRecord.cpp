#include "browse/FileRecord.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <atomic>

namespace pq {

CFileRecord CFileRecord::FromPath(const QString& path) {
    CFileRecord r = FromInfo(QFileInfo(path));
    r.path = path;
    return r;
}

CFileRecord CFileRecord::FromInfo(const QFileInfo& info) {
    CFileRecord r;
    r.path = info.filePath();
    r.name = info.fileName();
    const int dot = r.name.lastIndexOf('.');
    r.extension = dot < 0 ? QString() : r.name.mid(dot);
    r.size = info.size();
    r.modified = info.lastModified();
    return r;
}

QString CFileRecord::ListSizeText(qint64 bytes) {
    if (bytes <= 1023) return QStringLiteral("%1 bytes").arg(bytes);
    const qint64 k = (bytes + 512) / 1024;
    if (k > 1023) return QStringLiteral("%1MB").arg((k + 512) / 1024);
    return QStringLiteral("%1KB").arg(k);
}

QString CFileRecord::TypeTextOf(const QString& name) {
    const QString lower = name.toLower();
    if (lower.endsWith(".jpg") || lower.endsWith(".jpeg")) return QStringLiteral("JPEG Image");
    if (lower.endsWith(".gif")) return QStringLiteral("GIF Image");
    if (lower.endsWith(".bmp")) return QStringLiteral("BMP Image");
    if (lower.endsWith(".png")) return QStringLiteral("PNG Image");
    if (lower.endsWith(".webp")) return QStringLiteral("WebP Image");
    static const QMimeDatabase db;
    return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension).comment();
}

QString CFileRecord::DateTextOf(const QDateTime& t) {
    const QDateTime local = t.toLocalTime();
    return QStringLiteral("%1-%2-%3 %4:%5")
        .arg(local.date().year() % 100, 2, 10, QLatin1Char('0'))
        .arg(local.date().month(), 2, 10, QLatin1Char('0'))
        .arg(local.date().day(), 2, 10, QLatin1Char('0'))
        .arg(local.time().hour(), 2, 10, QLatin1Char('0'))
        .arg(local.time().minute(), 2, 10, QLatin1Char('0'));
}

namespace {
std::atomic<bool> gListPng{false};
std::atomic<bool> gListWebp{false};
}  // namespace

void CFileRecord::SetExtraTypes(bool png, bool webp) {
    gListPng = png;
    gListWebp = webp;
}

QStringList CFileRecord::ListedNameFilters() {
    QStringList filters = {"*.jpg", "*.jpeg", "*.gif", "*.bmp"};
    if (gListPng.load()) filters << "*.png";
    if (gListWebp.load()) filters << "*.webp";
    return filters;
}

bool CFileRecord::IsListedPicture(const QString& name) {
    const QString lower = name.toLower();
    return lower.endsWith(".jpg") || lower.endsWith(".jpeg") || lower.endsWith(".gif") ||
           lower.endsWith(".bmp") || (gListPng.load() && lower.endsWith(".png")) ||
           (gListWebp.load() && lower.endsWith(".webp"));
}

QColor CFileRecord::ExtensionColour(const QString& extension) {
    // Colours as 0xBBGGRR, the form the table has always had.
    static const QHash<QString, quint32> table = {
        {".bmp", 0xffe7e7},  {".dib", 0xffe7e7}, {".gif", 0xd6ebd6},  {".jpg", 0xceebef},
        {".jpe", 0xceebef},  {".jif", 0xceebef}, {".jpeg", 0xceebef}, {".pcx", 0xe7e7ef},
        {".png", 0xd6dfe7},  {".psd", 0xdeffff}, {".tga", 0xffffe7},  {".tif", 0xe7cbbd},
        {".tiff", 0xe7cbbd}, {".emf", 0xd6d3d6}, {".iff", 0xefebff},  {".wmf", 0xb5b6b5},
        {".mdb", 0xb5f6b5},  {".dbf", 0xb5f6b5}, {".xls", 0xb5f6b5},  {".htm", 0xb5b6f5},
        {".html", 0xb5b6f5}, {".plq", 0xb5b6f5}, {".webp", 0xd6efe7},
    };
    const quint32 bgr = table.value(extension.toLower(), 0xffffff);
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

}  // namespace pq
