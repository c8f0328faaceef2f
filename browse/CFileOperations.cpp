#include "browse/CFileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pq {

namespace {

QString WithSlash(QString f) {
    if (!f.endsWith('/')) f += '/';
    return f;
}

// Copies from into to through a temporary file of the destination folder
// that is flushed to disk and only then renamed over to. The rename replaces
// whatever stands at to, a symbolic link included: a link there is never
// written through (onto its target, which may be the source itself or a file
// outside the folder). The copy keeps the source's modification time.
bool CopyFlushed(const QString& from, const QString& to, QString& reason) {
    const QByteArray source = QFile::encodeName(from);
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st {};
    ::fstat(in, &st);
    const QFileInfo target(to);
    QByteArray temp = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") +
                                        target.fileName() + QStringLiteral(".XXXXXX"));
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> block(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, block.data() + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += w;
        }
        if (!ok) break;
    }
    if (ok) ::fchmod(out, st.st_mode & 07777);
    if (ok) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    ok = ok && ::fsync(out) == 0;
    const int error = errno;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (ok && ::rename(temp.constData(), QFile::encodeName(to).constData()) == 0) return true;
    reason = QString::fromLocal8Bit(std::strerror(ok ? errno : error));
    ::unlink(temp.constData());
    return false;
}

// Whether a and b are one file (b followed through its links).
bool SameFile(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Whether anything stands at path, a link whose target is gone included.
bool Taken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// A rename within one file system; false with errno EXDEV across them.
bool RenameWithin(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A rename that never replaces: false with errno EEXIST when something
// stands at to, EXDEV across file systems, EINVAL where the file system
// cannot promise it. One call where asking first and then renaming took
// two (and left a moment between them).
bool RenameNoReplace(const QString& from, const QString& to) {
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                       QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0;
}

}  // namespace

QString CFileOperations::KeepBothName(const QString& folder, const QString& fileName) {
    const QString f = WithSlash(folder);
    const int dot = fileName.lastIndexOf('.');
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString ext = dot > 0 ? fileName.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (!Taken(f + candidate)) return candidate;
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
    // Whether a source folder is the destination, asked once for each
    // folder: the answer resolves both paths, which costs more than the
    // rename itself when thousands of pictures of one folder move.
    QString lastFolder;
    bool lastSame = false;
    bool canNoReplace = true;
    for (int i = 0; i < files.size(); ++i) {
        if (progress && !progress(i, int(files.size()))) {
            r.cancelled = true;
            return r;
        }
        const QString& source = files[i];
        const QFileInfo info(source);
        QString name = info.fileName();
        QString target = dest + name;
        if (const QString folder = info.absolutePath(); folder != lastFolder || i == 0) {
            lastFolder = folder;
            lastSame = SameFolder(folder, dest);
        }
        if (lastSame) continue;  // onto itself: nothing
        if (move && canNoReplace) {
            // The common move: one call, which fails when the name is
            // taken; only then is there a question.
            if (RenameNoReplace(source, target)) {
                r.handled.append(source);
                r.targets.append(target);
                continue;
            }
            if (errno == EINVAL || errno == ENOSYS) canNoReplace = false;
        }
        if (Taken(target)) {
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
            } else if (SameFile(source, target)) {
                // The name at the destination is the source itself (a link
                // to it, or another name of it): replacing it would lose it.
                r.sameFile.append(source);
                continue;
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
        r.targets.append(target);
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
