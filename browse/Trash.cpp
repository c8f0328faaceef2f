#include "browse/Trash.h"

#include <QDirIterator>
#include <QFile>

#include "browse/FileRecord.h"

namespace pq::trash {

bool MoveToTrash(const QString& pathIn, QString* reason) {
    QString path = pathIn;
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    QFile file(path);
    if (file.moveToTrash()) return true;
    if (reason) *reason = file.errorString();
    return false;
}

int CountPictures(const QString& folder) {
    int n = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (CFileRecord::IsListedPicture(it.fileName())) ++n;
    }
    return n;
}

}  // namespace pq::trash
