#include "browse/Ctreemanage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>
#include <QStyle>
#include <QThread>
#include <QUrl>

#include "browse/Trash.h"
#include "store/Categories.h"
#include "store/History.h"

namespace pq {

namespace {

QString WithSlash(QString f) {
    if (!f.endsWith('/')) f += '/';
    return f;
}

}  // namespace

Ctreemanage::Ctreemanage(const std::string& startDirectory, std::string& dirCreate, QWidget* parent)
    : QTreeWidget(parent),
      start_(WithSlash(QString::fromStdString(startDirectory))),
      sink_(std::make_shared<CResultSink<LevelRead>>(this, "DrainLevels")) {
    setObjectName("treeView");
    setAccessibleName(tr("Projects and categories"));
    setHeaderHidden(true);
    // Names are shown whole: a name wider than the pane scrolls it.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setTextElideMode(Qt::ElideNone);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    store::EnsureSkeleton(startDirectory, dirCreate);

    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QIcon folderIcon;
    folderIcon.addPixmap(folder.pixmap(16), QIcon::Normal, QIcon::Off);
    folderIcon.addPixmap(open.pixmap(16), QIcon::Selected, QIcon::Off);

    mySearch_ = new QTreeWidgetItem(this, {QString::fromLatin1(store::kMySearch)});
    mySearch_->setData(0, kKindRole, kMySearch);
    mySearch_->setIcon(0, style()->standardIcon(QStyle::SP_FileDialogContentsView));
    const std::pair<const char*, const char*> histories[] = {{"Web Search", "web"},
                                                             {"Keywords Search", "key"},
                                                             {"This month", "this"},
                                                             {"Last month", "last"},
                                                             {"Before last month", "befor"}};
    for (auto [text, key] : histories) {
        auto* item = new QTreeWidgetItem(mySearch_, {tr(text)});
        item->setData(0, kKindRole, kHistory);
        item->setData(0, kKeyRole, QString::fromLatin1(key));
        item->setIcon(0, style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    }
    myPictures_ = new QTreeWidgetItem(this, {QString::fromLatin1(store::kMyPictures)});
    myPictures_->setData(0, kKindRole, kCategory);
    myPictures_->setData(0, kPathRole, start_ + store::kMyPictures + "/");
    myPictures_->setIcon(0, folderIcon);
    mySearch_->setExpanded(true);
    myPictures_->setExpanded(true);
    ReadLevel(myPictures_);
    // An opened category shows what it holds.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (IsCategory(item)) ReadLevel(item);
    });

    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnCurrentChanged(item); });
    connect(this, &QWidget::customContextMenuRequested, this, &Ctreemanage::ShowMenu);
    // A click on the item that is current already shows it again (another
    // view may have taken its place meanwhile).
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item == currentBeforePress_) OnCurrentChanged(item);
    });
}

Ctreemanage::~Ctreemanage() { sink_->Detach(); }

void Ctreemanage::mousePressEvent(QMouseEvent* e) {
    currentBeforePress_ = currentItem();
    QTreeWidget::mousePressEvent(e);
}

QTreeWidgetItem* Ctreemanage::HistoryItem(const QString& key) const {
    for (int i = 0; i < mySearch_->childCount(); ++i)
        if (mySearch_->child(i)->data(0, kKeyRole).toString() == key) return mySearch_->child(i);
    return nullptr;
}

bool Ctreemanage::IsCategory(const QTreeWidgetItem* item) {
    return item && item->data(0, kKindRole).toInt() == kCategory;
}

bool Ctreemanage::IsDropTarget(const QTreeWidgetItem* item) const {
    return IsCategory(item) && item != myPictures_;
}

QTreeWidgetItem* Ctreemanage::FindCategory(const QString& path) const {
    const QString wanted = WithSlash(path);
    QList<QTreeWidgetItem*> todo{myPictures_};
    while (!todo.isEmpty()) {
        QTreeWidgetItem* item = todo.takeFirst();
        if (item->data(0, kPathRole).toString() == wanted) return item;
        for (int i = 0; i < item->childCount(); ++i) todo.append(item->child(i));
    }
    return nullptr;
}

QTreeWidgetItem* Ctreemanage::MakeCategoryItem(QTreeWidgetItem* parent, const QString& name) {
    auto* item = new QTreeWidgetItem({name});
    item->setData(0, kKindRole, kCategory);
    item->setData(0, kPathRole, parent->data(0, kPathRole).toString() + name + "/");
    item->setIcon(0, parent->icon(0));
    return item;
}

QTreeWidgetItem* Ctreemanage::AddCategory(QTreeWidgetItem* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name) return parent->child(i);
    QTreeWidgetItem* item = MakeCategoryItem(parent, name);
    parent->addChild(item);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

namespace {

// Whether folder holds a folder (not a link to one): the first found ends
// the look.
bool HasSubfolder(const QByteArray& folder) {
    DIR* dir = opendir(folder.constData());
    if (!dir) return false;
    bool found = false;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.' &&
            (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0)))
            continue;
        if (e->d_type == DT_DIR) {
            found = true;
        } else if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            found = fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISDIR(st.st_mode);
        }
        if (found) break;
    }
    closedir(dir);
    return found;
}

}  // namespace

Ctreemanage::Level Ctreemanage::ReadFolderLevel(const QString& folder) {
    Level level;
    const QDir dir(folder);
    // Links to folders are not followed: a loop of links would never end.
    level.names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    level.hasSubfolders.reserve(size_t(level.names.size()));
    const QString base = WithSlash(folder);
    for (const QString& name : level.names)
        level.hasSubfolders.push_back(HasSubfolder(QFile::encodeName(base + name)));
    return level;
}

void Ctreemanage::ReadLevel(QTreeWidgetItem* item) {
    if (!IsCategory(item)) return;
    const QString folder = item->data(0, kPathRole).toString();
    // One read at a time for a folder: a click that expands asks twice.
    if (pending_.contains(folder)) return;
    const quint64 ticket = ++nextTicket_;
    pending_.insert(folder, ticket);
    CWorkerPool::Shared().Post([sink = sink_, ticket, folder] {
        sink->Push(LevelRead{ticket, folder, ReadFolderLevel(folder)});
    });
}

void Ctreemanage::DrainLevels() {
    for (LevelRead& r : sink_->Take()) {
        if (pending_.value(r.folder) != r.ticket) continue;
        pending_.remove(r.folder);
        ++levelsRead_;
        if (QTreeWidgetItem* item = FindCategory(r.folder)) ApplyLevel(item, r.level);
    }
}

void Ctreemanage::ApplyLevel(QTreeWidgetItem* item, const Level& level) {
    // Items whose folders went meanwhile go; the others stay where they
    // are, with what was read below them.
    const QSet<QString> wanted(level.names.begin(), level.names.end());
    for (int i = item->childCount() - 1; i >= 0; --i)
        if (!wanted.contains(item->child(i)->text(0))) delete item->takeChild(i);
    // Where each child stood before anything was added.
    QHash<QString, std::pair<QTreeWidgetItem*, int>> have;
    have.reserve(item->childCount());
    for (int i = 0; i < item->childCount(); ++i)
        have.insert(item->child(i)->text(0), {item->child(i), i});
    // New folders are placed in name order among those already there: at
    // the cursor, which follows the children met so far.
    QList<QTreeWidgetItem*> made;
    int at = 0, inserted = 0;
    for (qsizetype n = 0; n < level.names.size(); ++n) {
        const QString& name = level.names[n];
        const auto found = have.constFind(name);
        QTreeWidgetItem* child = nullptr;
        if (found != have.cend()) {
            child = found->first;
            at = std::min(int(item->childCount()), std::max(at, found->second + inserted + 1));
        } else {
            child = MakeCategoryItem(item, name);
            if (at < item->childCount()) {
                item->insertChild(at++, child);
                ++inserted;
            } else {
                made.append(child);  // added together at the end
            }
        }
        if (child->childCount() == 0)
            child->setChildIndicatorPolicy(level.hasSubfolders[size_t(n)]
                                               ? QTreeWidgetItem::ShowIndicator
                                               : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
    item->addChildren(made);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool Ctreemanage::WaitForReads(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (Reading()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (Reading()) QThread::msleep(1);
    }
    return true;
}

void Ctreemanage::OnCurrentChanged(QTreeWidgetItem* item) {
    if (!item) return;
    if (IsCategory(item)) {
        ReadLevel(item);
        item->setExpanded(true);
        emit FolderChosen(item->data(0, kPathRole).toString());
    } else if (item->data(0, kKindRole).toInt() == kHistory) {
        emit HistoryChosen(item->data(0, kKeyRole).toString());
    }
}

QString Ctreemanage::NewCategory(QTreeWidgetItem* item, const QString& name) {
    if (!IsCategory(item)) return tr("Categories are made below My Pictures.");
    std::string reason;
    if (!store::MakeCategory(item->data(0, kPathRole).toString().toStdString(), name.toStdString(),
                             reason))
        return QString::fromStdString(reason);
    QTreeWidgetItem* made = AddCategory(item, name);
    item->setExpanded(true);
    setCurrentItem(made);
    return {};
}

bool Ctreemanage::DeleteCategory(QTreeWidgetItem* item) {
    if (!IsDropTarget(item)) {
        if (tell)
            tell(tr("You don't delete this item!!!"));
        else
            QMessageBox::information(this, tr("Pelquinar"), tr("You don't delete this item!!!"));
        return false;
    }
    const QString path = item->data(0, kPathRole).toString();
    if (QDir(path) == QDir(start_)) return false;
    const int pictures = trash::CountPictures(path);
    const QString question =
        tr("Are you sure you want to remove the Category  '%1' and all its sub-category?")
            .arg(item->text(0)) +
        "\n\n" +
        (pictures == 0 ? tr("It holds no pictures; its folder goes to the trash.")
         : pictures == 1
             ? tr("It holds 1 picture, which goes to the trash with its folder.")
             : tr("It holds %1 pictures, which go to the trash with its folder.").arg(pictures));
    const bool yes =
        confirm ? confirm(question)
                : QMessageBox::question(this, tr("Pelquinar"), question,
                                        QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    if (!yes) return false;
    QString reason;
    if (!trash::MoveToTrash(path, &reason)) {
        // No trash for that folder (another file system without one): only
        // with the user's word does it go for good.
        const QString again =
            tr("The trash cannot take %1 (%2). Delete it for good?").arg(path, reason);
        const bool forGood = askDeleteForGood
                                 ? askDeleteForGood(again)
                                 : QMessageBox::question(this, tr("Pelquinar"), again,
                                                         QMessageBox::Yes | QMessageBox::No,
                                                         QMessageBox::No) == QMessageBox::Yes;
        if (!forGood || !store::RemoveProject(path.toStdString())) return false;
    }
    delete item;
    emit CategoryDeleted(path);
    return true;
}

void Ctreemanage::ShowMenu(const QPoint& pos) {
    QTreeWidgetItem* item = itemAt(pos);
    if (!item) return;
    setCurrentItem(item);
    QMenu menu(this);
    menu.setObjectName("treeMenu");
    FillMenu(menu, item);
    if (!menu.isEmpty()) menu.exec(viewport()->mapToGlobal(pos));
}

QString Ctreemanage::DuplicatesScope(const QTreeWidgetItem* item) const {
    if (IsDropTarget(item)) return item->data(0, kPathRole).toString();
    return start_;
}

void Ctreemanage::FillMenu(QMenu& menu, QTreeWidgetItem* item) {
    if (!item) return;
    if (IsCategory(item)) {
        menu.addAction(tr("&New Category..."), this, [this, item] {
            const QString name =
                askName ? askName()
                        : QInputDialog::getText(this, tr("New Category"), tr("Category Name:"));
            if (name.isEmpty()) return;
            const QString problem = NewCategory(item, name);
            if (problem.isEmpty()) return;
            if (tell)
                tell(problem);
            else
                QMessageBox::warning(this, tr("Pelquinar"), problem);
        });
        if (item != myPictures_)
            menu.addAction(tr("&Delete"), this, [this, item] { DeleteCategory(item); });
        menu.addSeparator();
    }
    // A category looks in itself and below; the items above the categories
    // look everywhere.
    const QString scope = DuplicatesScope(item);
    QAction* find = menu.addAction(
        IsDropTarget(item) ? tr("Find &Duplicates...") : tr("Find &Duplicates in Everything..."),
        this, [this, scope] { emit FindDuplicatesWanted(scope); });
    find->setObjectName("treeFindDuplicates");
}

bool Ctreemanage::event(QEvent* e) {
    // Delete here deletes the category, not the pictures the window's
    // Delete command would.
    if (e->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        e->accept();
        return true;
    }
    return QTreeWidget::event(e);
}

void Ctreemanage::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete && currentItem()) {
        DeleteCategory(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

bool Ctreemanage::AcceptDrag(QDropEvent* e) {
    QTreeWidgetItem* target = itemAt(e->position().toPoint());
    if (!e->mimeData()->hasUrls() || !IsDropTarget(target)) {
        e->ignore();
        return false;
    }
    e->setDropAction((e->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
    e->accept();
    return true;
}

void Ctreemanage::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void Ctreemanage::dragMoveEvent(QDragMoveEvent* e) { AcceptDrag(e); }

void Ctreemanage::dropEvent(QDropEvent* e) {
    if (!AcceptDrag(e)) return;
    QStringList files;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) files.append(url.toLocalFile());
    Drop(itemAt(e->position().toPoint()), files, e->dropAction() == Qt::CopyAction);
}

bool Ctreemanage::Drop(QTreeWidgetItem* target, const QStringList& files, bool copy) {
    if (!IsDropTarget(target) || files.isEmpty()) return false;
    emit FilesDropped(files, target->data(0, kPathRole).toString(), copy);
    return true;
}

}  // namespace pq
