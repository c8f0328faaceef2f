#include "browse/Chistorylist.h"

#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>

namespace pq {

Chistorylist::Chistorylist(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("historyListView");
    setAccessibleName(tr("Search history"));
    setColumnCount(4);
    setHeaderLabels({tr("Name"), tr("Image Number"), tr("Download time"), tr("Address")});
    header()->resizeSection(0, 220);
    header()->resizeSection(1, 110);
    header()->resizeSection(2, 140);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAlternatingRowColors(true);
    // Grid lines between the cells of the report.
    setStyleSheet(QStringLiteral(
        "QTreeView::item { border-right: 1px solid palette(midlight); border-bottom: 1px solid "
        "palette(midlight); }"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit ProjectActivated(item->data(0, kFolderRole).toString());
    });
    connect(this, &QWidget::customContextMenuRequested, this, &Chistorylist::ShowMenu);
}

void Chistorylist::SetEntries(const std::vector<store::HistoryEntry>& entries, const QString& key) {
    clear();
    key_ = key;
    QList<QTreeWidgetItem*> items;
    for (const auto& e : entries) {
        if (e.name.empty()) continue;
        auto* item = new QTreeWidgetItem(
            {QString::fromStdString(e.name), QString::fromStdString(e.pictures),
             QString::fromStdString(e.date), QString::fromStdString(e.address)});
        item->setData(0, kFolderRole, QString::fromStdString(e.folder));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QString::fromStdString(e.folder));
        items.append(item);
    }
    addTopLevelItems(items);
}

QStringList Chistorylist::SelectedFolders() const {
    QStringList folders;
    for (QTreeWidgetItem* item : selectedItems())
        folders.append(item->data(0, kFolderRole).toString());
    return folders;
}

void Chistorylist::InvertSelection() {
    for (int i = 0; i < topLevelItemCount(); ++i)
        topLevelItem(i)->setSelected(!topLevelItem(i)->isSelected());
}

QStringList Chistorylist::DeleteSelected() {
    QList<QTreeWidgetItem*> items = selectedItems();
    if (items.isEmpty()) return {};
    if (items.size() > 10000) items = items.mid(0, 10000);
    const QString question =
        items.size() == 1
            ? tr("Are you sure you want to remove the project '%1' and remove all its contents?")
                  .arg(items.first()->text(0))
            : tr("Are you sure you want to remove these projects and remove all their contents?");
    const int answer =
        ask ? ask(question)
            : QMessageBox::question(this, tr("Confirm Project Delete"), question,
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes) return {};
    QStringList removed;
    for (QTreeWidgetItem* item : items) {
        const QString folder = item->data(0, kFolderRole).toString();
        if (store::RemoveProject(folder.toStdString())) {
            removed.append(folder);
            delete item;
        }
    }
    if (!removed.isEmpty()) emit ProjectsDeleted(removed);
    return removed;
}

void Chistorylist::ShowMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(tr("&Select all"), this, &QTreeWidget::selectAll);
    menu.addAction(tr("&Invert Selection"), this, &Chistorylist::InvertSelection);
    menu.addAction(tr("&Delete"), this, &Chistorylist::DeleteSelected)
        ->setEnabled(!selectedItems().isEmpty());
    menu.exec(viewport()->mapToGlobal(pos));
}

}  // namespace pq
