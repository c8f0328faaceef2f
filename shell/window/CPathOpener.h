// Shows what the user pointed at in the window: the folder in the browsing
// list (the manage layout), the pictures given selected once their rows
// are in, the first of them in the preview; a message for whatever could
// not be opened. Raise brings the window to the front for a request from
// another start of the program.
// User-interface thread only.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QVariantMap>

#include "shell/OpenRequest.h"

namespace pq {

class CMainFrame;

class CPathOpener : public QObject {
    Q_OBJECT
public:
    explicit CPathOpener(CMainFrame& frame, QObject* parent = nullptr);

    void Open(const OpenRequest& request);
    // Shows the window, un-minimised and in front. platformData: what the
    // desktop gave the other start ("activation-token", "desktop-startup-id").
    void Raise(const QVariantMap& platformData = {});

signals:
    // The request's folder is shown and its pictures selected.
    void Opened(const QString& folder);

private:
    void SelectPictures(const OpenRequest& request);

    CMainFrame& frame_;
    QMetaObject::Connection pending_;
};

}  // namespace pq
