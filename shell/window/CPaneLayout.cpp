#include "shell/window/CPaneLayout.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QResizeEvent>
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

    // The full view: the preview alone on black, over the splitters.
    fullPage_ = new QWidget;
    fullPage_->setObjectName("fullViewPage");
    fullPage_->setAutoFillBackground(true);
    QPalette black = fullPage_->palette();
    black.setColor(QPalette::Window, Qt::black);
    fullPage_->setPalette(black);
    auto* full = new QVBoxLayout(fullPage_);
    full->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    stack_->setObjectName("fullViewStack");
    stack_->addWidget(splitters_[0]);
    stack_->addWidget(fullPage_);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(stack_);
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
    if (layout == layout_) {
        Apply();
        return;
    }
    KeepSizes();
    layout_ = layout;
    Apply();
    UseKeptSizes();
}

void CPaneLayout::SetPlacement(Placement placement) {
    const bool moved = placement != placement_;
    placement_ = placement;
    Apply();
    if (moved) FitPreview();
}

void CPaneLayout::SetFullView(bool on) {
    if (on && !fullView_) KeepSizes();
    fullView_ = on;
    Apply();
}

QSplitter* CPaneLayout::PreviewSplitter() const {
    switch (placement_) {
        case Placement::kMiddle:
            return splitters_[2];
        case Placement::kRight:
            return splitters_[3];
        case Placement::kLeft:
        default:
            return splitters_[1];
    }
}

void CPaneLayout::FitPreview() {
    QSplitter* s = PreviewSplitter();
    const QList<int> sizes = s->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (!s->isVisible() || total <= 0) {
        // Not laid out yet: done once it is.
        fitPending_ = true;
        return;
    }
    fitPending_ = false;
    // A useful share: a sixth of the splitter, and never under 120 pixels
    // where there is room for that.
    const int useful = std::min(std::max(total / 6, 120), total / 3);
    if (sizes.value(1) >= useful) return;
    s->setSizes({total - total / 3, total / 3});
}

void CPaneLayout::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (fitPending_) FitPreview();
}

void CPaneLayout::KeepSizes() {
    if (fullView_) return;  // the splitters are not in view
    auto& kept = kept_[size_t(layout_)];
    for (int n = 0; n < kSplitters; ++n) {
        QSplitter* s = splitters_[size_t(n)];
        if (!s->isVisible()) continue;
        const QList<int> sizes = s->sizes();
        // A splitter with a pane hidden in this layout keeps what it had.
        if (sizes.size() == 2 && sizes[0] > 0 && sizes[1] > 0 && s->widget(0)->isVisibleTo(s) &&
            s->widget(1)->isVisibleTo(s))
            kept[size_t(n)] = sizes;
    }
}

void CPaneLayout::UseKeptSizes() {
    const auto& kept = kept_[size_t(layout_)];
    for (int n = 0; n < kSplitters; ++n)
        if (!kept[size_t(n)].isEmpty()) splitters_[size_t(n)]->setSizes(kept[size_t(n)]);
}

QList<int> CPaneLayout::KeptSizes(Layout layout, int n) const {
    if (n < 0 || n >= kSplitters) return {};
    return kept_[size_t(layout)][size_t(n)];
}

void CPaneLayout::Apply() {
    QWidget* list = layout_ == Layout::kSearch     ? searchList_
                    : layout_ == Layout::kDownload ? historyList_
                    : manageHistory_               ? historyList_
                                                   : fileList_;
    lists_->setCurrentWidget(list);

    const size_t slot = size_t(placement_);
    QWidget* home = fullView_ ? fullPage_ : slots_[slot];
    if (preview_->parentWidget() != home) {
        preview_->setParent(home);
        home->layout()->addWidget(preview_);
        preview_->show();
    }
    const bool showPreview = layout_ != Layout::kDownload;
    const bool showTree = layout_ != Layout::kSearch;
    for (size_t i = 0; i < slots_.size(); ++i) slots_[i]->setVisible(showPreview && i == slot);
    tree_->setVisible(showTree);
    // A splitter none of whose panes is shown would leave an empty grey area.
    splitters_[1]->setVisible(showTree || (showPreview && slot == 0));
    stack_->setCurrentWidget(fullView_ ? fullPage_ : static_cast<QWidget*>(splitters_[0]));
}

namespace {

// The entries of each layout: the manage layout's are the classic ones.
QString EntryName(CPaneLayout::Layout layout, int n) {
    const char* prefix = layout == CPaneLayout::Layout::kSearch     ? "SearchPanes_"
                         : layout == CPaneLayout::Layout::kDownload ? "DownloadPanes_"
                                                                    : "Panes_";
    return QLatin1String(prefix) + QString::number(n);
}

}  // namespace

void CPaneLayout::RestoreSplitters(QSettings& settings) {
    settings.beginGroup(QStringLiteral("SplitterWnd"));
    for (Layout l : {Layout::kManage, Layout::kSearch, Layout::kDownload}) {
        for (int n = 0; n < kSplitters; ++n) {
            const QVariant v = settings.value(EntryName(l, n));
            // The other layouts start as the manage layout when they have
            // nothing of their own.
            if (!v.isValid() && l != Layout::kManage) {
                kept_[size_t(l)][size_t(n)] = kept_[size_t(Layout::kManage)][size_t(n)];
                continue;
            }
            // A value with commas comes back from QSettings as a list: rejoin it.
            QString text =
                v.typeId() == QMetaType::QStringList ? v.toStringList().join(',') : v.toString();
            frame::SplitterEntry e = frame::ParseSplitterEntry(v.isValid() ? &text : nullptr);
            // The first time the tree is as wide as its names.
            if (!v.isValid() && n == 0)
                if (auto* tree = qobject_cast<QAbstractItemView*>(tree_))
                    e.sizeFirst = std::max(e.sizeFirst, tree->sizeHintForColumn(0) + 12);
            kept_[size_t(l)][size_t(n)] = {e.sizeFirst, e.sizeSecond};
        }
    }
    settings.endGroup();
    UseKeptSizes();
}

void CPaneLayout::SaveSplitters(QSettings& settings) {
    KeepSizes();
    settings.beginGroup(QStringLiteral("SplitterWnd"));
    for (Layout l : {Layout::kManage, Layout::kSearch, Layout::kDownload}) {
        for (int n = 0; n < kSplitters; ++n) {
            QList<int> sizes = kept_[size_t(l)][size_t(n)];
            // A layout never shown keeps the manage layout's.
            if (sizes.isEmpty()) sizes = kept_[size_t(Layout::kManage)][size_t(n)];
            if (sizes.isEmpty()) sizes = splitters_[size_t(n)]->sizes();
            frame::SplitterEntry e;
            e.sizeFirst = sizes.value(0, -1);
            e.sizeSecond = sizes.value(1, -1);
            // A size of 0 reads as "hidden", which the entry does not hold.
            if (e.sizeFirst <= 0) e.sizeFirst = -1;
            if (e.sizeSecond <= 0) e.sizeSecond = -1;
            settings.setValue(EntryName(l, n), frame::FormatSplitterEntry(e));
        }
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
