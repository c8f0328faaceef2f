#include "shell/window/CPaneLayout.h"

#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include "shell/FrameRules.h"

namespace pq {

QWidget* MakePlaceholder(const QString& objectName, const QString& title, const QString& text,
                         QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setObjectName(objectName);
    w->setAccessibleName(title);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    w->setPalette(pal);
    auto* v = new QVBoxLayout(w);
    auto* head = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()), w);
    head->setAlignment(Qt::AlignHCenter);
    auto* body = new QLabel(text, w);
    body->setObjectName(objectName + "Text");
    body->setAlignment(Qt::AlignHCenter);
    body->setWordWrap(true);
    body->setForegroundRole(QPalette::PlaceholderText);
    v->addStretch(1);
    v->addWidget(head);
    v->addWidget(body);
    v->addStretch(2);
    return w;
}

namespace {

QSplitter* MakeSplitter(Qt::Orientation o, int n, QWidget* parent) {
    auto* s = new QSplitter(o, parent);
    s->setObjectName(QStringLiteral("splitter%1").arg(n));
    s->setChildrenCollapsible(false);
    s->setHandleWidth(5);
    return s;
}

QWidget* MakeSlot(const char* name, QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    return w;
}

}  // namespace

CPaneLayout::CPaneLayout(QWidget* parent) : QWidget(parent) {
    setObjectName("paneLayout");
    // Outer: [tree over left slot] | [[lists | right slot] over middle slot]
    splitters_[0] = MakeSplitter(Qt::Horizontal, 0, this);
    splitters_[1] = MakeSplitter(Qt::Vertical, 1, splitters_[0]);
    splitters_[2] = MakeSplitter(Qt::Vertical, 2, splitters_[0]);
    splitters_[3] = MakeSplitter(Qt::Horizontal, 3, splitters_[2]);

    tree_ = MakePlaceholder("treeView", tr("Projects and categories"),
                            tr("My Search and My Pictures will be listed here."), nullptr);
    slots_[0] = MakeSlot("previewSlotLeft", nullptr);
    splitters_[1]->addWidget(tree_);
    splitters_[1]->addWidget(slots_[0]);

    lists_ = new QStackedWidget;
    lists_->setObjectName("listStack");
    fileList_ = MakePlaceholder("fileListView", tr("Pictures of the project"),
                                tr("Select a project or a category to see its pictures."), lists_);
    searchList_ = MakePlaceholder("searchListView", tr("Search results"),
                                  tr("Pictures appear here as the search saves them."), lists_);
    historyList_ = MakePlaceholder("historyListView", tr("Search history"),
                                   tr("Past searches are listed here by date."), lists_);
    lists_->addWidget(fileList_);
    lists_->addWidget(searchList_);
    lists_->addWidget(historyList_);
    slots_[2] = MakeSlot("previewSlotRight", nullptr);
    splitters_[3]->addWidget(lists_);
    splitters_[3]->addWidget(slots_[2]);

    slots_[1] = MakeSlot("previewSlotMiddle", nullptr);
    splitters_[2]->addWidget(splitters_[3]);
    splitters_[2]->addWidget(slots_[1]);

    splitters_[0]->addWidget(splitters_[1]);
    splitters_[0]->addWidget(splitters_[2]);
    splitters_[0]->setStretchFactor(1, 1);

    preview_ = MakePlaceholder("previewView", tr("Preview"),
                               tr("The selected picture is shown here."), slots_[0]);
    slots_[0]->layout()->addWidget(preview_);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(splitters_[0]);
    Apply();
}

void CPaneLayout::ReplaceList(QWidget*& current, QWidget* view) {
    lists_->insertWidget(lists_->indexOf(current), view);
    lists_->removeWidget(current);
    current->deleteLater();
    current = view;
}

void CPaneLayout::SetLists(QWidget* fileList, QWidget* searchList) {
    ReplaceList(fileList_, fileList);
    ReplaceList(searchList_, searchList);
    Apply();
}

void CPaneLayout::SetPreview(QWidget* preview) {
    QWidget* slot = preview_->parentWidget();
    slot->layout()->removeWidget(preview_);
    preview_->deleteLater();
    preview_ = preview;
    preview_->setParent(slot);
    slot->layout()->addWidget(preview_);
    preview_->show();
    Apply();
}

void CPaneLayout::SetTree(QWidget* tree) {
    const int at = splitters_[1]->indexOf(tree_);
    splitters_[1]->replaceWidget(at, tree);
    tree_->deleteLater();
    tree_ = tree;
    Apply();
}

void CPaneLayout::SetHistoryList(QWidget* history) {
    ReplaceList(historyList_, history);
    Apply();
}

void CPaneLayout::SetManageList(bool history) {
    manageHistory_ = history;
    Apply();
}

void CPaneLayout::SetLayout(Layout layout) {
    layout_ = layout;
    Apply();
}

void CPaneLayout::SetPlacement(Placement placement) {
    placement_ = placement;
    Apply();
}

void CPaneLayout::SetFullView(bool on) {
    fullView_ = on;
    Apply();
}

void CPaneLayout::Apply() {
    QWidget* list = layout_ == Layout::kSearch     ? searchList_
                    : layout_ == Layout::kDownload ? historyList_
                    : manageHistory_               ? historyList_
                                                   : fileList_;
    lists_->setCurrentWidget(list);

    const size_t slot = size_t(placement_);
    if (preview_->parentWidget() != slots_[slot]) {
        preview_->setParent(slots_[slot]);
        slots_[slot]->layout()->addWidget(preview_);
        preview_->show();
    }
    const bool showPreview = layout_ != Layout::kDownload || fullView_;
    const bool showTree = layout_ != Layout::kSearch && !fullView_;
    for (size_t i = 0; i < slots_.size(); ++i) slots_[i]->setVisible(showPreview && i == slot);
    tree_->setVisible(showTree);
    lists_->setVisible(!fullView_);
    // A splitter none of whose panes is shown would leave an empty grey area.
    splitters_[1]->setVisible(tree_->isVisibleTo(splitters_[1]) ||
                              slots_[0]->isVisibleTo(splitters_[1]));
    splitters_[3]->setVisible(!fullView_ || slots_[2]->isVisibleTo(splitters_[3]));
}

void CPaneLayout::RestoreSplitters(QSettings& settings) {
    settings.beginGroup(QStringLiteral("SplitterWnd"));
    for (int n = 0; n < kSplitters; ++n) {
        const QString key = QStringLiteral("Panes_%1").arg(n);
        const QVariant v = settings.value(key);
        // A value with commas comes back from QSettings as a list: rejoin it.
        QString text =
            v.typeId() == QMetaType::QStringList ? v.toStringList().join(',') : v.toString();
        frame::SplitterEntry e = frame::ParseSplitterEntry(v.isValid() ? &text : nullptr);
        splitters_[size_t(n)]->setSizes({e.sizeFirst, e.sizeSecond});
    }
    settings.endGroup();
}

void CPaneLayout::SaveSplitters(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("SplitterWnd"));
    for (int n = 0; n < kSplitters; ++n) {
        const QList<int> sizes = splitters_[size_t(n)]->sizes();
        frame::SplitterEntry e;
        e.sizeFirst = sizes.value(0, -1);
        e.sizeSecond = sizes.value(1, -1);
        // A pane hidden now keeps the size it had; a size of 0 reads as
        // "hidden", which the entry does not hold.
        if (e.sizeFirst <= 0) e.sizeFirst = -1;
        if (e.sizeSecond <= 0) e.sizeSecond = -1;
        settings.setValue(QStringLiteral("Panes_%1").arg(n), frame::FormatSplitterEntry(e));
    }
    settings.endGroup();
}

std::string CPaneLayout::PlacementName(Placement p) {
    switch (p) {
        case Placement::kMiddle:
            return "middle";
        case Placement::kRight:
            return "right";
        case Placement::kLeft:
        default:
            return "left";
    }
}

CPaneLayout::Placement CPaneLayout::PlacementFromName(const std::string& name) {
    if (name == "middle") return Placement::kMiddle;
    if (name == "right") return Placement::kRight;
    return Placement::kLeft;
}

}  // namespace pq
