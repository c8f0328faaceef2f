// Copying, moving and deleting picture files, without a window: the caller
// answers the questions (a name taken at the destination, a file the trash
// cannot take) and shows the progress. A copy is written under a temporary
// name in the destination folder, flushed to disk and then renamed into place
// (so a link at the target is replaced, never written through); a move across file
// systems removes its source only after that. The first file that cannot be
// handled stops the operation, and what follows it is left where it was.
// Any single thread.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pq {

class CFileOperations {
public:
    enum class Collision { kReplace, kSkip, kKeepBoth, kCancel };
    struct CollisionAnswer {
        Collision choice = Collision::kSkip;
        bool forAll = false;
    };
    // A file of that name is in the destination already.
    using AskCollision = std::function<CollisionAnswer(const QString& fileName)>;
    // The trash cannot take path: true deletes it for good.
    using AskDeleteForGood = std::function<bool(const QString& path)>;
    // done of total handled; false cancels before the next file.
    using Progress = std::function<bool(int done, int total)>;

    struct Result {
        QStringList handled;   // sources copied, moved or deleted
        QStringList targets;   // of a copy or move: where handled[i] went
        QStringList sameFile;  // sources left alone: the name to replace was the source itself
        QString failedFile;    // the file that stopped the operation, if any
        QString reason;        // why, for the user
        bool cancelled = false;
        bool Ok() const { return failedFile.isEmpty() && !cancelled; }
    };

    // Copies (or moves) the files into destination.
    static Result Copy(const QStringList& files, const QString& destination, bool move,
                       const AskCollision& ask, const Progress& progress = {});
    // Moves the files to the desktop's trash.
    static Result Delete(const QStringList& files, const AskDeleteForGood& ask,
                         const Progress& progress = {});

    // "name (2).ext", "name (3).ext", ...: the first that is free in folder.
    static QString KeepBothName(const QString& folder, const QString& fileName);
    // Whether two folder paths name the same folder.
    static bool SameFolder(const QString& a, const QString& b);
};

}  // namespace pq
