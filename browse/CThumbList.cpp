#include "browse/CThumbList.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QListView>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "browse/CThumbDelegate.h"
#include "browse/CThumbnailer.h"

namespace pq {

bool CThumbList::IsMode(const std::string& mode) {
    return mode == "icon" || mode == "smallicon" || mode == "list" || mode == "report" ||
           mode == "smallbmp";
}

CThumbList::CThumbList(QWidget* parent)
    : QWidget(parent), sink_(std::make_shared<CResultSink<Read>>(this, "DrainResults")) {
    model_ = new CThumbListModel(this);
    thumbnailer_ = new CThumbnailer(*model_, this);
    delegate_ = new CThumbDelegate(this);

    list_ = new QListView;
    list_->setObjectName("pictureIconView");
    list_->setAccessibleName(tr("Pictures"));
    list_->setModel(model_);
    list_->setItemDelegate(delegate_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A click selects the whole row, as the details view does: the rules
    // of the commands read rows, whatever the display mode.
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setUniformItemSizes(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setLayoutMode(QListView::Batched);
    list_->setBatchSize(500);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    // A drop moves the pictures; Ctrl makes it a copy.
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setMovement(QListView::Static);

    tree_ = new QTreeView;
    tree_->setObjectName("pictureDetailsView");
    tree_->setAccessibleName(tr("Pictures, details"));
    tree_->setModel(model_);
    tree_->setSelectionModel(list_->selectionModel());
    tree_->setRootIsDecorated(false);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setAllColumnsShowFocus(true);
    tree_->setSortingEnabled(false);
    tree_->setDragEnabled(true);
    tree_->setDragDropMode(QAbstractItemView::DragOnly);
    tree_->setDefaultDropAction(Qt::MoveAction);
    tree_->header()->setStretchLastSection(true);
    tree_->header()->resizeSection(CThumbListModel::kName, 180);
    tree_->header()->resizeSection(CThumbListModel::kSize, 80);
    tree_->header()->resizeSection(CThumbListModel::kType, 100);
    tree_->header()->resizeSection(CThumbListModel::kAddress, 280);
    tree_->header()->resizeSection(CThumbListModel::kDate, 120);

    stack_ = new QStackedWidget(this);
    stack_->addWidget(list_);
    stack_->addWidget(tree_);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(stack_);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(tree_)}) {
        view->viewport()->installEventFilter(this);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& p) {
            emit ContextMenuWanted(view->viewport()->mapToGlobal(p));
        });
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &CThumbList::UpdateVisibleRange);
    }
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CThumbList::OnSelectionChanged);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CThumbList::OnSelectionChanged);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CThumbList::SelectionChanged);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &CThumbList::SelectionChanged);
    // Many rows leave as one change of the layout.
    connect(model_, &QAbstractItemModel::layoutChanged, this, &CThumbList::SelectionChanged);
    connect(model_, &QAbstractItemModel::layoutChanged, this,
            [this] { QTimer::singleShot(0, this, &CThumbList::UpdateVisibleRange); });
    connect(model_, &QAbstractItemModel::modelReset, this, &CThumbList::SelectionChanged);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &CThumbList::UpdateVisibleRange);
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { QTimer::singleShot(0, this, &CThumbList::UpdateVisibleRange); });
    // The columns of the list modes follow the names they hold.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        textWidth_ = 0;
        MeasureNames(0, model_->rowCount() - 1);
        if (mode_ == "list" || mode_ == "smallicon") ApplyGrid();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                const int before = textWidth_;
                MeasureNames(first, last);
                if ((mode_ == "list" || mode_ == "smallicon") && textWidth_ != before) ApplyGrid();
            });
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(tree_)}) {
        // Type icons in every mode; the delegate draws thumbnails itself.
        view->setIconSize(QSize(16, 16));
    }
    SetMode("smallbmp");
}

CThumbList::~CThumbList() { sink_->Detach(); }

QAbstractItemView* CThumbList::CurrentView() const {
    return mode_ == "report" ? static_cast<QAbstractItemView*>(tree_)
                             : static_cast<QAbstractItemView*>(list_);
}

QItemSelectionModel* CThumbList::Selection() const { return list_->selectionModel(); }

void CThumbList::SetMode(const std::string& wanted) {
    const std::string mode = IsMode(wanted) ? wanted : "smallbmp";
    if (mode == mode_) return;
    mode_ = mode;
    const bool thumbs = mode == "smallbmp";
    delegate_->SetThumbnailDisplay(thumbs);
    if (mode == "report") {
        stack_->setCurrentWidget(tree_);
    } else {
        stack_->setCurrentWidget(list_);
        if (mode == "icon" || thumbs) {
            list_->setViewMode(QListView::IconMode);
            list_->setFlow(QListView::LeftToRight);
            list_->setWrapping(true);
            list_->setIconSize(thumbs ? QSize(32, 32) : QSize(32, 32));
            list_->setWordWrap(!thumbs);
        } else {
            list_->setViewMode(QListView::ListMode);
            list_->setFlow(mode == "list" ? QListView::TopToBottom : QListView::LeftToRight);
            list_->setWrapping(true);
            list_->setIconSize(QSize(16, 16));
            list_->setWordWrap(false);
        }
        list_->setMovement(QListView::Static);
        list_->setDragEnabled(true);
        ApplyGrid();
    }
    // No thumbnails are made for a list that does not show them.
    thumbnailer_->SetEnabled(thumbs);
    UpdateVisibleRange();
}

void CThumbList::ApplyGrid() {
    const int text = list_->fontMetrics().height();
    delegate_->SetRowWidth(0);
    if (mode_ == "smallbmp") {
        delegate_->SetThumbSize(model_->ThumbSize());
        list_->setGridSize(CThumbDelegate::CellSize(model_->ThumbSize(), text));
        list_->setSpacing(0);
    } else if (mode_ == "icon") {
        list_->setGridSize(
            QSize(std::max(90, list_->fontMetrics().averageCharWidth() * 14), 32 + 3 * text));
        list_->setSpacing(0);
    } else {
        // List and small icons: every column as wide as the longest name
        // needs (and no wider than the pane), so no name is cut with room
        // to spare.
        const QFontMetrics fm = list_->fontMetrics();
        const int port = std::max(80, list_->viewport()->width() - 8);
        // The icon, its gap and the item's margins beside the name.
        const int width = std::min(port, textWidth_ + 16 + 40);
        list_->setGridSize(QSize(std::max(48, width), std::max(fm.height(), 16) + 6));
        delegate_->SetRowWidth(std::max(48, width) - 2);
        list_->setSpacing(0);
    }
    list_->doItemsLayout();
}

void CThumbList::MeasureNames(int first, int last) {
    const QFontMetrics fm = list_->fontMetrics();
    for (int r = first; r <= last && r < model_->rowCount(); ++r)
        textWidth_ = std::max(textWidth_, fm.horizontalAdvance(model_->At(r).record.name));
}

void CThumbList::SetThumbSize(const QSize& size) {
    if (size == model_->ThumbSize()) return;
    model_->SetThumbSize(size);
    if (mode_ == "smallbmp") ApplyGrid();
    UpdateVisibleRange();
}

void CThumbList::ShowFolder(const QString& folderIn, bool fromFile, bool force) {
    QString folder = folderIn;
    if (!folder.endsWith('/')) folder += '/';
    if (!force && folder.compare(folder_, Qt::CaseInsensitive) == 0) return;
    folder_ = folder;
    ready_ = false;
    unreadable_ = 0;
    shown_.clear();
    model_->Clear();
    // A large folder takes a while to list and stat: that happens on a pool
    // thread, and the rows arrive in one piece. A read overtaken by another
    // is dropped.
    const quint64 fill = ++fill_;
    CWorkerPool::Shared().Post([sink = sink_, fill, folder, fromFile] {
        Read read{fill, {}, 0};
        read.entries = fromFile ? CThumbListModel::ReadProject(folder)
                                : CThumbListModel::ReadFolder(folder, &read.unreadable);
        sink->Push(std::move(read));
    });
}

void CThumbList::DrainResults() {
    for (Read& r : sink_->Take()) {
        if (r.fill != fill_) continue;  // overtaken by another read
        unreadable_ = r.unreadable;
        model_->SetRows(r.entries);
        ready_ = true;
        UpdateVisibleRange();
        emit Filled(model_->rowCount());
    }
}

void CThumbList::ShowFolderNow(const QString& folderIn, bool fromFile) {
    QString folder = folderIn;
    if (!folder.endsWith('/')) folder += '/';
    ++fill_;
    folder_ = folder;
    shown_.clear();
    unreadable_ = 0;
    model_->SetRows(fromFile ? CThumbListModel::ReadProject(folder)
                             : CThumbListModel::ReadFolder(folder, &unreadable_));
    ready_ = true;
    UpdateVisibleRange();
    emit Filled(model_->rowCount());
}

QString CThumbList::UnreadableNamesText(int count) {
    if (count <= 0) return {};
    return count == 1 ? tr("1 picture was left out: its name cannot be read.")
                      : tr("%1 pictures were left out: their names cannot be read.").arg(count);
}

void CThumbList::Clear() {
    ++fill_;
    unreadable_ = 0;
    folder_.clear();
    shown_.clear();
    model_->Clear();
}

QList<int> CThumbList::SelectedRows() const {
    // Any selected cell counts for its row: a view may select the name
    // alone.
    QList<int> rows;
    for (const QModelIndex& i : Selection()->selectedIndexes()) rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CThumbList::SelectAll() {
    if (model_->rowCount() == 0) return;
    Selection()->select(
        QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CThumbList::InvertSelection() {
    if (model_->rowCount() == 0) return;
    // Selected rows lose selection and focus; the others become selected
    // without focus.
    Selection()->select(
        QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, 0)),
        QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    Selection()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void CThumbList::OnSelectionChanged() {
    const QList<int> rows = SelectedRows();
    if (rows.size() > 1 || !ready_) return;
    const int row = rows.isEmpty() ? Selection()->currentIndex().row() : rows.first();
    const QString path = model_->PathOf(row);
    if (path == shown_) return;
    shown_ = path;
    emit PictureChosen(path, row, model_->rowCount());
}

void CThumbList::UpdateVisibleRange() {
    QAbstractItemView* view = CurrentView();
    const int rows = model_->rowCount();
    if (rows == 0) {
        thumbnailer_->SetVisibleRange(0, -1);
        return;
    }
    // Rows are laid out in order from the top: the first whose cell reaches
    // into the viewport is found by halving.
    const QRect port = view->viewport()->rect();
    int lo = 0, hi = rows - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        const QRect r = view->visualRect(model_->index(mid, 0));
        if (r.isValid() && r.bottom() < port.top())
            lo = mid + 1;
        else
            hi = mid;
    }
    int last = lo;
    while (last + 1 < rows) {
        const QRect r = view->visualRect(model_->index(last + 1, 0));
        if (!r.isValid() || r.top() > port.bottom()) break;
        ++last;
    }
    thumbnailer_->SetVisibleRange(lo, last);
}

bool CThumbList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize &&
        (watched == list_->viewport() || watched == tree_->viewport())) {
        QTimer::singleShot(0, this, &CThumbList::UpdateVisibleRange);
        // A name column never grows past the pane.
        if (watched == list_->viewport() && (mode_ == "list" || mode_ == "smallicon"))
            QTimer::singleShot(0, this, &CThumbList::ApplyGrid);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pq
