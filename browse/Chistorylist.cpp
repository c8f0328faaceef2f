#include "browse/Chistorylist.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "browse/Trash.h"

namespace pq {

namespace {

class CGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(p, option, index);
        p->save();
        p->setPen(option.palette.color(QPalette::Midlight));
        p->drawLine(option.rect.topRight(), option.rect.bottomRight());
        p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        p->restore();
    }
};

}  // namespace

QString Chistorylist::DateShown(const store::HistoryEntry& e) {
    if (e.modified <= 0) return QString::fromStdString(e.date);
    // The user's own date form, with the whole year: "26-12-10" would read
    // as a day of 2010.
    const QLocale locale;
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy"))) date.replace(QLatin1String("yy"), "yyyy");
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1String("ss"))) time.replace(QLatin1String("mm"), "mm:ss");
    return locale.toString(QDateTime::fromSecsSinceEpoch(e.modified), date + " " + time);
}

Chistorylist::Chistorylist(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("historyListView");
    setAccessibleName(tr("Search history"));
    setColumnCount(4);
    setHeaderLabels({tr("Name"), tr("Image Number"), tr("Download time"), tr("Address")});
    header()->resizeSection(0, 220);
    header()->resizeSection(1, 110);
    // Room for a date in the user's own form.
    store::HistoryEntry sample;
    sample.modified = QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)).toSecsSinceEpoch();
    header()->resizeSection(2,
                            std::max(140, fontMetrics().horizontalAdvance(DateShown(sample)) + 24));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAlternatingRowColors(true);
    // Grid lines between the cells of the report, drawn under the text so a
    // selected row keeps its text (a style sheet on the items would paint
    // the selection without it).
    setItemDelegate(new CGridDelegate(this));
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
        auto* item =
            new QTreeWidgetItem({QString::fromStdString(e.name), QString::fromStdString(e.pictures),
                                 DateShown(e), QString::fromStdString(e.address)});
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
        (items.size() == 1
             ? tr("Are you sure you want to remove the project '%1' and remove all its contents?")
                   .arg(items.first()->text(0))
             : tr("Are you sure you want to remove these projects and remove all their "
                  "contents?")) +
        "\n\n" + tr("The project folders go to the trash.");
    const int answer =
        ask ? ask(question)
            : QMessageBox::question(this, tr("Confirm Project Delete"), question,
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes) return {};
    QStringList removed;
    for (QTreeWidgetItem* item : items) {
        const QString folder = item->data(0, kFolderRole).toString();
        QString reason;
        bool gone = trash::MoveToTrash(folder, &reason);
        if (!gone) {
            // No trash for it: only with the user's word does it go for good.
            const QString again =
                tr("The trash cannot take %1 (%2). Delete it for good?").arg(folder, reason);
            const bool forGood =
                askDeleteForGood ? askDeleteForGood(again)
                                 : QMessageBox::question(this, tr("Confirm Project Delete"), again,
                                                         QMessageBox::Yes | QMessageBox::No,
                                                         QMessageBox::No) == QMessageBox::Yes;
            gone = forGood && store::RemoveProject(folder.toStdString());
        }
        if (gone) {
            removed.append(folder);
            delete item;
        }
    }
    if (!removed.isEmpty()) emit ProjectsDeleted(removed);
    return removed;
}

bool Chistorylist::event(QEvent* e) {
    // Delete here deletes projects, not the pictures the window's Delete
    // command would.
    if (e->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        e->accept();
        return true;
    }
    return QTreeWidget::event(e);
}

void Chistorylist::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        DeleteSelected();
        return;
    }
    QTreeWidget::keyPressEvent(e);
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
