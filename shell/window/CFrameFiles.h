// The frame's browsing and file commands: the lists' display modes, select
// all and invert, copy, move and delete (the pictures of the browsing list,
// or the projects of the history list), Get Big Pictures, new categories,
// a folder chosen in the tree and pictures dropped on a category; and the
// picture lists' context menus.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>

#include "shell/window/FrameParts.h"

class QMenu;

namespace pq {

class CFrameHistory;
class CFramePreview;
class CFrameWallpaper;
class CPictureListView;

class CFrameFiles : public QObject {
    Q_OBJECT
public:
    CFrameFiles(FrameParts& parts, CFramePreview& preview, CFrameHistory& history,
                CFrameWallpaper& wallpaper, QObject* parent = nullptr);

    bool Run(int id);

    // A category's folder, chosen in the tree.
    void ShowFolder(const QString& folder);
    // Pictures dropped on a category: moved, or copied (Ctrl).
    void Drop(const QStringList& files, const QString& folder, bool copy);
    // The context menu of a picture list, as it opens at a right click.
    void FillListMenu(QMenu& menu, CPictureListView* view);
    // The destinations that are still folders (the others are forgotten).
    // Delete in the browsing list: the selection to the trash.
    void DeletePictures();
    void ForgetGoneDestinations();

private:
    void CopyOrMove(bool copy);
    void ToRecent(bool copy);
    void NewCategory();
    // Adds the command id under a text of the menu's own.
    void AddAs(QMenu& menu, int id, const QString& text);

    FrameParts& p_;
    CFramePreview& preview_;
    CFrameHistory& history_;
    CFrameWallpaper& wallpaper_;
};

}  // namespace pq
