// What "pelquinar PATH..." and the desktop's "Open With" ask the window to
// show: the browsing list shows one folder at a time, so the first path
// that exists decides it (a folder itself, or a picture's folder), and the
// pictures given in that folder are the ones selected, the first of them
// previewed. Paths may be relative (to the folder the program was started
// in) or file: URIs; whatever cannot be opened gets a line of its own in
// the message.
// Any thread; plain values.
#pragma once

#include <QString>
#include <QStringList>

namespace pq {

struct OpenRequest {
    QString folder;        // absolute, ending in "/"; empty when nothing can be opened
    QStringList pictures;  // absolute paths of the files given in folder, in the order given
    QStringList problems;  // one line for each path that is not opened

    bool Empty() const { return folder.isEmpty(); }
    QString Message() const { return problems.join('\n'); }

    // The absolute path an argument names ("" for an address that is not
    // a file: URI): relative paths are taken from base.
    static QString PathOf(const QString& argument, const QString& base);
    // The arguments as file: URIs, as they are handed to a running window.
    static QStringList UrisOf(const QStringList& arguments, const QString& base);
    static OpenRequest FromArguments(const QStringList& arguments, const QString& base);
};

}  // namespace pq
