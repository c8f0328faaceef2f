#include "shell/window/CFrameFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <algorithm>

#include "browse/CCopyMoveDialog.h"
#include "browse/CImagelist.h"
#include "browse/CSearchimagelist.h"
#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "engine/CSearchState.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/CFramePreview.h"
#include "shell/window/CFrameWallpaper.h"
#include "shell/window/CPaneLayout.h"
#include "shell/window/CommandIds.h"
#include "store/PictureIndex.h"

namespace pq {

CFrameFiles::CFrameFiles(FrameParts& parts, CFramePreview& preview, CFrameHistory& history,
                         CFrameWallpaper& wallpaper, QObject* parent)
    : QObject(parent), p_(parts), preview_(preview), history_(history), wallpaper_(wallpaper) {}

bool CFrameFiles::Run(int id) {
    CPictureListView* list = p_.ActiveList();
    switch (id) {
        case cmd::kViewIcon:
            list->SetMode("icon");
            return true;
        case cmd::kViewSmallIcon:
            list->SetMode("smallicon");
            return true;
        case cmd::kViewList:
            list->SetMode("list");
            return true;
        case cmd::kViewReport:
            list->SetMode("report");
            return true;
        case cmd::kViewThumbnails:
            list->SetMode("smallbmp");
            return true;
        case cmd::kSelectAll:
            if (p_.layout->CurrentList() == p_.history)
                p_.history->selectAll();
            else
                list->List().SelectAll();
            return true;
        case cmd::kInvertSelection:
            if (p_.layout->CurrentList() == p_.history)
                p_.history->InvertSelection();
            else
                list->List().InvertSelection();
            return true;
        case cmd::kCopyTo:
        case cmd::kMoveTo:
            CopyOrMove(id == cmd::kCopyTo);
            return true;
        case cmd::kCopyToRecent:
        case cmd::kMoveToRecent:
            ToRecent(id == cmd::kCopyToRecent);
            return true;
        case cmd::kDelete:
            // Delete works on what the user looks at: the projects of the
            // history list, or the browsing list's pictures.
            if (p_.layout->CurrentList() == p_.history)
                p_.history->DeleteSelected();
            else if (list == p_.imageList) {
                DeletePictures();
            }
            return true;
        case cmd::kGetBigPictures:
            if (list == static_cast<CPictureListView*>(p_.searchList))
                p_.searchList->GetBigPictures();
            else
                p_.imageList->GetBigPictures();
            return true;
        case cmd::kNewCategory:
            NewCategory();
            return true;
        case cmd::kViewModesButton:
            return true;  // its menu does the work
        default:
            return false;
    }
}

void CFrameFiles::DeletePictures() {
    // With "deleted stay deleted", what goes from a project is remembered by
    // its address and bytes (read before the file goes), so that no later
    // search or Continue fetches it again.
    struct Going {
        QString path;
        std::string address;
        uint64_t hash;
    };
    std::vector<Going> going;
    const std::shared_ptr<store::PictureIndex> index =
        p_.app->bDeletedStay ? p_.app->PictureIndex() : nullptr;
    if (index) {
        const CThumbListModel& model = p_.imageList->List().Model();
        for (int row : p_.imageList->List().SelectedRows()) {
            const auto& r = model.At(row);
            if (r.address.isEmpty()) continue;  // not a project's picture
            const std::string path = r.record.path.toStdString();
            const std::optional<uint64_t> hash = store::HashFile(path);
            if (hash) going.push_back({r.record.path, r.address.toStdString(), *hash});
        }
    }
    p_.imageList->DeleteSelection();
    for (const Going& g : going)
        if (!QFileInfo::exists(g.path)) index->RememberDeleted(g.address, g.hash);
    preview_.ListChanged();
}

void CFrameFiles::ForgetGoneDestinations() {
    auto& items = p_.app->items;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const std::string& d) {
                                   return !QFileInfo(QString::fromStdString(d)).isDir();
                               }),
                items.end());
}

void CFrameFiles::CopyOrMove(bool copy) {
    if (p_.ActiveList() != p_.imageList) return;
    ForgetGoneDestinations();
    CCopyMoveDialog dialog(copy, p_.imageList->List().Folder(), p_.app->items, p_.window);
    if (dialog.exec() != QDialog::Accepted) return;
    p_.imageList->CopySelection(dialog.Destination(), !copy);
    preview_.ListChanged();
}

void CFrameFiles::ToRecent(bool copy) {
    ForgetGoneDestinations();
    if (p_.app->items.empty() || p_.ActiveList() != p_.imageList) return;
    p_.imageList->CopySelection(QString::fromStdString(p_.app->items.front()), !copy);
    preview_.ListChanged();
}

void CFrameFiles::NewCategory() {
    QTreeWidgetItem* item = p_.tree->currentItem();
    if (!Ctreemanage::IsCategory(item)) return;
    bool ok = false;
    const QString name = QInputDialog::getText(p_.window, tr("New Category"), tr("Category Name:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || name.isEmpty()) return;
    const QString problem = p_.tree->NewCategory(item, name);
    if (!problem.isEmpty()) p_.Message(problem);
}

void CFrameFiles::ShowFolder(const QString& folder) {
    p_.layout->SetManageList(false);
    p_.imageList->ShowFolder(folder);
    // The picture of the list that was shown goes with it.
    preview_.Clear();
}

void CFrameFiles::Drop(const QStringList& files, const QString& folder, bool copy) {
    p_.imageList->CopyFiles(files, folder, !copy);
    preview_.ListChanged();
}

void CFrameFiles::AddAs(QMenu& menu, int id, const QString& text) {
    QAction* source = p_.table->Action(id);
    QAction* a = menu.addAction(text);
    a->setObjectName(QStringLiteral("menuAction%1").arg(id));
    a->setEnabled(source->isEnabled());
    connect(a, &QAction::triggered, source, &QAction::trigger);
}

void CFrameFiles::FillListMenu(QMenu& menu, CPictureListView* view) {
    p_.Update();
    if (view == static_cast<CPictureListView*>(p_.searchList)) {
        // The search's list offers only its big pictures, for keyword searches.
        if (!p_.state->keywordFlag.load()) return;
        menu.addAction(tr("&Select all thumbnails"))->setEnabled(false);
        menu.addAction(tr("&Unselect all thumbnails"))->setEnabled(false);
        AddAs(menu, cmd::kGetBigPictures, tr("&Get Big Pictures"));
        return;
    }
    ForgetGoneDestinations();
    if (!p_.app->items.empty()) {
        // Straight to the folder used last, without the dialog.
        const QString dest = QString::fromStdString(p_.app->items.front());
        AddAs(menu, cmd::kCopyToRecent, tr("&Copy To ") + "'" + dest + "'");
        AddAs(menu, cmd::kMoveToRecent, tr("&Move To ") + "'" + dest + "'");
    }
    AddAs(menu, cmd::kCopyTo, tr("&Copy To Folder"));
    AddAs(menu, cmd::kMoveTo, tr("&Move To Folder"));
    menu.addSeparator();
    menu.addAction(p_.table->Action(cmd::kDelete));
    menu.addAction(p_.table->Action(cmd::kSelectAll));
    menu.addAction(p_.table->Action(cmd::kInvertSelection));
    AddAs(menu, cmd::kGetBigPictures, tr("&Get Big Pictures"));
    QMenu* wallpaper = menu.addMenu(tr("Set &Wallpaper"));
    wallpaper->setObjectName("wallpaperMenu");
    wallpaper_.FillMenu(*wallpaper);
    QMenu* modes = menu.addMenu(tr("View"));
    modes->setObjectName("viewModesMenu");
    for (int id : {cmd::kViewIcon, cmd::kViewSmallIcon, cmd::kViewList, cmd::kViewReport,
                   cmd::kViewThumbnails})
        modes->addAction(p_.table->Action(id));
}

}  // namespace pq
