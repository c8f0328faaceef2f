#include "shell/window/CPathOpener.h"

#include <QFileInfo>
#include <QItemSelectionModel>

#include "browse/CImagelist.h"
#include "browse/CImgContainerWnd.h"
#include "shell/window/CMainFrame.h"

namespace pq {

CPathOpener::CPathOpener(CMainFrame& frame, QObject* parent) : QObject(parent), frame_(frame) {}

void CPathOpener::Open(const OpenRequest& request) {
    if (!request.Empty()) {
        frame_.ShowBrowsingList();
        CThumbList& list = frame_.ImageList()->List();
        disconnect(pending_);
        pending_ = connect(&list, &CThumbList::Filled, this, [this, request] {
            disconnect(pending_);
            SelectPictures(request);
        });
        // Read again even when it is the folder shown: the picture asked
        // for may be new in it.
        list.ShowFolder(request.folder, QFileInfo::exists(request.folder + "project.inf"), true);
        frame_.UpdateCommands();
    }
    if (!request.problems.isEmpty()) frame_.ShowMessage(request.Message());
}

void CPathOpener::SelectPictures(const OpenRequest& request) {
    CImagelist* view = frame_.ImageList();
    const CThumbListModel& model = view->List().Model();
    QList<int> rows;
    for (const QString& picture : request.pictures)
        for (int r = 0; r < model.rowCount(); ++r)
            if (model.PathOf(r) == picture) rows << r;
    if (!rows.isEmpty()) {
        // The first shows in the preview as a click on it would; the others
        // join the selection.
        view->SelectRow(rows.first());
        for (int i = 1; i < rows.size(); ++i)
            view->List().Selection()->select(
                model.index(rows[i], 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } else if (!request.pictures.isEmpty()) {
        // A file of a type the lists do not hold now: previewed all the same.
        frame_.Preview()->Picture()->Show(request.pictures.first());
    }
    frame_.UpdateCommands();
    emit Opened(request.folder);
}

void CPathOpener::Raise(const QVariantMap& platformData) {
    // A Wayland compositor brings a window forward only with the token the
    // desktop gave the start that asked; Qt takes it from the environment.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    frame_.setWindowState((frame_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    frame_.show();
    frame_.raise();
    frame_.activateWindow();
}

}  // namespace pq
