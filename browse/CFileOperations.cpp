#include "browse/CFileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pq {

namespace {

QString WithSlash(QString f) {
    if (!f.endsWith('/')) f += '/';
    return f;
}

// Copies from into to through a temporary file that is flushed to disk and
// only then renamed into place.
bool CopyFlushed(const QString& from, const QString& to, QString& reason) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        reason = in.errorString();
        return false;
    }
    QSaveFile out(to);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        reason = out.errorString();
        return false;
    }
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size()) {
            reason = out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (in.error() != QFile::NoError) {
        reason = in.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        reason = out.errorString();
        return false;
    }
    // The copy keeps the picture's own time, as the lists show and sort it.
    QFile copied(to);
    if (copied.open(QIODevice::ReadOnly))
        copied.setFileTime(QFileInfo(from).lastModified(), QFileDevice::FileModificationTime);
    return true;
}

// A rename within one file system; false with errno EXDEV across them.
bool RenameWithin(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

QString CFileOperations::KeepBothName(const QString& folder, const QString& fileName) {
    const QString f = WithSlash(folder);
    const int dot = fileName.lastIndexOf('.');
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString ext = dot > 0 ? fileName.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (!QFileInfo::exists(f + candidate)) return candidate;
    }
}

bool CFileOperations::SameFolder(const QString& a, const QString& b) {
    const QFileInfo ia(a), ib(b);
    if (ia.exists() && ib.exists()) return ia.canonicalFilePath() == ib.canonicalFilePath();
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

CFileOperations::Result CFileOperations::Copy(const QStringList& files, const QString& destination,
                                              bool move, const AskCollision& ask,
                                              const Progress& progress) {
    Result r;
    const QString dest = WithSlash(destination);
    if (!QFileInfo(dest).isDir() && !QDir().mkpath(dest)) {
        r.failedFile = dest;
        r.reason = QStringLiteral("The folder cannot be made.");
        return r;
    }
    bool haveAll = false;
    CollisionAnswer all;
    for (int i = 0; i < files.size(); ++i) {
        if (progress && !progress(i, int(files.size()))) {
            r.cancelled = true;
            return r;
        }
        const QString& source = files[i];
        const QFileInfo info(source);
        QString name = info.fileName();
        QString target = dest + name;
        if (SameFolder(info.absolutePath(), dest)) continue;  // onto itself: nothing
        if (QFileInfo::exists(target)) {
            CollisionAnswer a = haveAll ? all : (ask ? ask(name) : CollisionAnswer{});
            if (a.forAll && !haveAll) {
                haveAll = true;
                all = a;
            }
            if (a.choice == Collision::kCancel) {
                r.cancelled = true;
                return r;
            }
            if (a.choice == Collision::kSkip) continue;
            if (a.choice == Collision::kKeepBoth) {
                name = KeepBothName(dest, name);
                target = dest + name;
            }
        }
        QString reason;
        bool ok = false;
        if (move && RenameWithin(source, target)) {
            ok = true;
        } else if (move && errno != EXDEV) {
            reason = QString::fromLocal8Bit(std::strerror(errno));
        } else {
            // A copy (or a move to another file system): the source goes
            // only once its copy is complete on disk.
            ok = CopyFlushed(source, target, reason);
            if (ok && move && !QFile::remove(source)) {
                QFile::remove(target);
                ok = false;
                reason = QStringLiteral("The original could not be removed.");
            }
        }
        if (!ok) {
            r.failedFile = source;
            r.reason = reason;
            return r;
        }
        r.handled.append(source);
    }
    if (progress) progress(int(files.size()), int(files.size()));
    return r;
}

CFileOperations::Result CFileOperations::Delete(const QStringList& files,
                                                const AskDeleteForGood& ask,
                                                const Progress& progress) {
    Result r;
    for (int i = 0; i < files.size(); ++i) {
        if (progress && !progress(i, int(files.size()))) {
            r.cancelled = true;
            return r;
        }
        QFile file(files[i]);
        if (file.moveToTrash()) {
            r.handled.append(files[i]);
            continue;
        }
        if (!QFileInfo::exists(files[i])) continue;
        // No trash for it (another file system without one): only with the
        // user's word is it deleted for good.
        if (!ask || !ask(files[i])) continue;
        if (!QFile::remove(files[i])) {
            r.failedFile = files[i];
            r.reason = file.errorString();
            return r;
        }
        r.handled.append(files[i]);
    }
    if (progress) progress(int(files.size()), int(files.size()));
    return r;
}

}  // namespace pq
