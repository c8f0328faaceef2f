#include "shell/OpenRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pq {

namespace {

// "file:" and a scheme of letters, digits, "+", "-" and "." before the
// first ":" (a drive letter or a plain name with a colon is a path).
bool HasScheme(const QString& argument) {
    const int colon = argument.indexOf(':');
    if (colon < 2) return false;
    for (int i = 0; i < colon; ++i) {
        const QChar c = argument[i];
        if (!(c.isLetterOrNumber() || c == '+' || c == '-' || c == '.')) return false;
    }
    return argument[0].isLetter() && argument.mid(colon, 3) == "://";
}

}  // namespace

QString OpenRequest::PathOf(const QString& argument, const QString& base) {
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
    }
    if (HasScheme(argument)) return {};
    if (argument.isEmpty()) return {};
    return QDir::cleanPath(QDir(base).absoluteFilePath(argument));
}

QStringList OpenRequest::UrisOf(const QStringList& arguments, const QString& base) {
    QStringList uris;
    for (const QString& a : arguments) {
        const QString path = PathOf(a, base);
        // An address that is no file goes as it is: the window says so.
        uris << (path.isEmpty() ? a : QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    }
    return uris;
}

OpenRequest OpenRequest::FromArguments(const QStringList& arguments, const QString& base) {
    OpenRequest r;
    for (const QString& a : arguments) {
        const QString path = PathOf(a, base);
        if (path.isEmpty()) {
            r.problems << QStringLiteral("%1 is not a file or folder on this computer.").arg(a);
            continue;
        }
        const QFileInfo info(path);
        if (!info.exists()) {
            r.problems << QStringLiteral("%1 does not exist.").arg(path);
            continue;
        }
        const QString folder = (info.isDir() ? path : info.absolutePath()) + "/";
        const QString inFolder = folder == "//" ? QStringLiteral("/") : folder;
        if (r.folder.isEmpty()) r.folder = inFolder;
        if (inFolder != r.folder) {
            r.problems << QStringLiteral("%1 lies in another folder than %2 and is not shown.")
                              .arg(path, r.folder);
            continue;
        }
        if (!info.isDir() && !r.pictures.contains(path)) r.pictures << path;
    }
    return r;
}

}  // namespace pq
