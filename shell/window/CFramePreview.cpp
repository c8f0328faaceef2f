#include "shell/window/CFramePreview.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "browse/CImgContainerWnd.h"
#include "browse/CPictureListView.h"
#include "browse/CSearchimagelist.h"
#include "browse/ViewPort.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/CCommandTable.h"
#include "shell/window/CFrameLayout.h"
#include "shell/window/CPaneLayout.h"
#include "shell/window/CommandIds.h"

namespace pq {

CFramePreview::CFramePreview(FrameParts& parts, CFrameLayout& layout, QObject* parent)
    : QObject(parent), p_(parts), layout_(layout) {
    slideTimer_ = new QTimer(this);
    slideTimer_->setObjectName("slideShowTimer");
    connect(slideTimer_, &QTimer::timeout, this, &CFramePreview::AdvanceSlideShow);
}

bool CFramePreview::Run(int id) {
    CPictureWnd* picture = p_.preview->Picture();
    switch (id) {
        case cmd::kFullScreen:
            SetFullView(!p_.layout->FullView());
            return true;
        case cmd::kBrowse:
            // Esc: the show stops and the full view ends.
            StopSlideShow();
            SetFullView(false);
            return true;
        case cmd::kPreviousImage:
        case cmd::kNextImage: {
            const int rows = p_.ActiveList()->List().Model().rowCount();
            const int row = id == cmd::kPreviousImage ? cursor_ - 1 : cursor_ + 1;
            if (row < 0 || row >= rows) return true;
            // The list's selection follows the picture shown.
            p_.ActiveList()->SelectRow(row);
            ShowRow(row);
            return true;
        }
        case cmd::kZoomIn:
            SetZoom(viewport::ZoomIn(zoom_, picture->EffectiveZoom()));
            return true;
        case cmd::kZoomOut:
            SetZoom(viewport::ZoomOut(zoom_, picture->EffectiveZoom()));
            return true;
        case cmd::kActualSize:
            SetZoom(1.0f);
            return true;
        case cmd::kBestFit:
            SetZoom(viewport::kBestFit);
            return true;
        case cmd::kSlideShow:
            ToggleSlideShow();
            return true;
        default:
            return false;
    }
}

void CFramePreview::StatusText(int row) {
    const QString path = p_.ActiveList()->List().Model().PathOf(row);
    if (path.isEmpty()) {
        layout_.SetPane(5, QString());
        return;
    }
    const QFileInfo info(path);
    layout_.SetPane(5, viewport::StatusText(info.fileName(), info.size(), row, count_));
}

void CFramePreview::ShowRow(int row) {
    const auto& model = p_.ActiveList()->List().Model();
    cursor_ = row;
    count_ = model.rowCount();
    const QString path = model.PathOf(row);
    if (path != p_.preview->Picture()->Path()) p_.preview->Picture()->Show(path);
    StatusText(row);
    p_.Update();
}

void CFramePreview::Clear() {
    cursor_ = -1;
    count_ = p_.ActiveList()->List().Model().rowCount();
    p_.preview->Picture()->Clear();
    layout_.SetPane(5, QString());
    p_.Update();
}

void CFramePreview::ListChanged() {
    const auto& model = p_.ActiveList()->List().Model();
    count_ = model.rowCount();
    const QString shown = p_.preview->Picture()->Path();
    if (shown.isEmpty()) {
        cursor_ = std::min(cursor_, count_ - 1);
        p_.Update();
        return;
    }
    const int row = model.RowOfPath(shown);
    if (row < 0) {
        Clear();
        return;
    }
    cursor_ = row;
    // The rows selected went (moved, deleted) and the picture shown stays:
    // its row becomes the selection, so what is shown is what the
    // commands and the arrow keys work from.
    CThumbList& list = p_.ActiveList()->List();
    if (list.SelectedRows().isEmpty())
        list.Selection()->setCurrentIndex(
            model.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    StatusText(row);
    p_.Update();
}

void CFramePreview::SetZoom(float zoom) {
    zoom_ = zoom;
    ApplyView();
}

void CFramePreview::ApplyView() {
    p_.preview->Picture()->SetView(zoom_, p_.layout->FullView()
                                              ? QColor(Qt::black)
                                              : p_.window->palette().color(QPalette::Button));
    p_.Update();
}

void CFramePreview::SetFullView(bool on) {
    if (on == p_.layout->FullView()) return;
    QToolBar* bars[3] = {p_.toolbar, p_.topBar, p_.urlBar};
    QMainWindow* w = p_.window;
    if (on) {
        statesBefore_ = w->windowState();
        for (int i = 0; i < 3; ++i) barsBefore_[i] = bars[i]->isVisibleTo(w);
        for (QToolBar* b : bars) b->hide();
        w->menuBar()->hide();
        w->statusBar()->hide();
        p_.layout->SetFullView(true);
        w->setWindowState(w->windowState() | Qt::WindowFullScreen);
    } else {
        p_.layout->SetFullView(false);
        for (int i = 0; i < 3; ++i) bars[i]->setVisible(barsBefore_[i]);
        w->menuBar()->show();
        w->statusBar()->show();
        w->setWindowState(statesBefore_);
    }
    zoom_ = viewport::kBestFit;
    ApplyView();
}

bool CFramePreview::SlideShowRunning() const { return slideTimer_->isActive(); }

int CFramePreview::SlideShowIntervalMs() const { return slideTimer_->interval(); }

void CFramePreview::StopSlideShow() { slideTimer_->stop(); }

void CFramePreview::ToggleSlideShow() {
    if (slideTimer_->isActive())
        slideTimer_->stop();
    else
        slideTimer_->start(std::max(1, p_.app->slideDelay) * 1000);
}

void CFramePreview::AdvanceSlideShow() {
    CPictureListView* view = p_.ActiveList();
    CThumbList& list = view->List();
    const int count = list.Model().rowCount();
    if (count == 0) return;
    const bool search = view == static_cast<CPictureListView*>(p_.searchList);
    int index = cursor_ + 1;
    // The browsing list wraps; the search's list waits at its last row for
    // the pictures still to come.
    if (index >= count) index = search ? count - 1 : 0;
    const QModelIndex at = list.Model().index(index, 0);
    list.Selection()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    list.Selection()->select(at, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QAbstractItemView* v = list.CurrentView();
    const int width = p_.app->thumbWidth;
    const int columns = std::max(1, v->viewport()->width() / std::max(1, width + 20));
    const int step = viewport::SlideStep(v->viewport()->width(), QSize(width, p_.app->thumbHeight),
                                         v->fontMetrics().height());
    // The list moves on by one row's share for each step, and never leaves
    // the current row out of view (after a wrap it goes back to the top).
    if (search || index > columns)
        v->verticalScrollBar()->setValue(v->verticalScrollBar()->value() + step);
    v->scrollTo(at, QAbstractItemView::EnsureVisible);
    if (list.SelectedRows().size() <= 1)
        ShowRow(index);
    else
        cursor_ = index;
}

void CFramePreview::FillPreviewMenu(QMenu& menu) const {
    for (int id : {int(cmd::kBrowse), int(cmd::kFullScreen), 0, int(cmd::kPreviousImage),
                   int(cmd::kNextImage), int(cmd::kSlideShow), 0, int(cmd::kActualSize),
                   int(cmd::kBestFit), int(cmd::kZoomIn), int(cmd::kZoomOut), 0,
                   int(cmd::kPreviewLeft), int(cmd::kPreviewMiddle), int(cmd::kPreviewRight)}) {
        if (id == 0)
            menu.addSeparator();
        else
            menu.addAction(p_.table->Action(id));
    }
}

}  // namespace pq
