// Folders handed to the desktop's trash, whole, and the pictures they hold.
// Any single thread.
#pragma once

#include <QString>

namespace pq::trash {

// Moves the file or folder at path (a trailing "/" is dropped, so a link is
// moved as the link) to the trash; false, with the reason, when the trash
// cannot take it.
bool MoveToTrash(const QString& path, QString* reason = nullptr);
// The pictures the lists would show in folder and every folder below it
// (links to folders are not followed).
int CountPictures(const QString& folder);

}  // namespace pq::trash
