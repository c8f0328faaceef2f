#include "browse/CImgContainerWnd.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "browse/PictureLoader.h"
#include "browse/ViewPort.h"

namespace pq {

CPictureWnd::CPictureWnd(QWidget* parent)
    : QAbstractScrollArea(parent),
      sink_(std::make_shared<CResultSink<Decoded>>(this, "DrainResults")) {
    setObjectName("pictureWindow");
    setAccessibleName(tr("Picture"));
    setFocusPolicy(Qt::StrongFocus);
    background_ = palette().color(QPalette::Button);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateScrollBars();
}

CPictureWnd::~CPictureWnd() { sink_->Detach(); }

void CPictureWnd::StopMovie() {
    if (movie_) {
        movie_->stop();
        movie_.reset();
    }
}

void CPictureWnd::Show(const QString& path) {
    StopMovie();
    picture_.Clear();
    size_ = QSize();
    path_ = path;
    const quint64 ticket = ++ticket_;
    loading_ = !path.isEmpty();
    if (path.isEmpty()) {
        UpdateScrollBars();
        viewport()->update();
        return;
    }
    // A small GIF with frames to play is animated.
    {
        QImageReader probe(path);
        const QSize s = probe.size();
        if (probe.format().toLower() == "gif" && s.isValid() &&
            qint64(s.width()) * s.height() < kAnimateBelowPixels && probe.supportsAnimation() &&
            probe.imageCount() != 1) {
            auto movie = std::make_unique<QMovie>(path);
            if (movie->isValid()) {
                movie_ = std::move(movie);
                connect(movie_.get(), &QMovie::frameChanged, viewport(),
                        [this] { viewport()->update(); });
                movie_->start();
                size_ = s;
                loading_ = false;
                UpdateScrollBars();
                viewport()->update();
                emit Loaded(path);
                return;
            }
        }
    }
    CWorkerPool::Shared().Post([sink = sink_, ticket, path] {
        sink->Push(Decoded{ticket, path, picture::LoadWhole(path)});
    });
    UpdateScrollBars();
    viewport()->update();
}

void CPictureWnd::DrainResults() {
    for (Decoded& d : sink_->Take()) {
        if (d.ticket != ticket_) continue;  // another picture was asked for since
        loading_ = false;
        picture_ = COXDIB(d.image);
        size_ = picture_.Size();
        UpdateScrollBars();
        viewport()->update();
        emit Loaded(d.path);
    }
}

void CPictureWnd::SetView(float zoom, const QColor& background) {
    bool changed = false;
    if (zoom != zoom_) {
        zoom_ = zoom;
        UpdateScrollBars();
        changed = true;
    }
    if (background != background_) {
        background_ = background;
        changed = true;
    }
    if (changed) viewport()->update();
}

float CPictureWnd::EffectiveZoom() const {
    return viewport::EffectiveZoom(size_, viewport()->size());
}

QRect CPictureWnd::DestinationRect() const {
    QSize picture = size_;
    if (movie_ && zoom_ <= 0) {
        // An animation larger than the pane is shrunk by a whole factor.
        const QSize c = viewport()->size();
        const int r = std::max(c.width() > 0 ? picture.width() / c.width() : 0,
                               c.height() > 0 ? picture.height() / c.height() : 0);
        if (r >= 1) picture /= (r + 1);
    }
    return viewport::Destination(
        picture, viewport()->size(), zoom_,
        QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void CPictureWnd::UpdateScrollBars() {
    const QSize max = viewport::ScrollMaximum(size_, viewport()->size(), zoom_);
    const bool fit = zoom_ <= 0;
    setHorizontalScrollBarPolicy(fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setRange(0, max.width());
    verticalScrollBar()->setRange(0, max.height());
    horizontalScrollBar()->setPageStep(viewport::kPage);
    verticalScrollBar()->setPageStep(viewport::kPage);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
}

void CPictureWnd::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), background_);
    if (size_.isEmpty()) {
        // An empty pane says why it is empty.
        if (loading_) return;
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(
            viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
            path_.isEmpty() ? tr("No picture selected") : tr("This picture cannot be shown"));
        return;
    }
    const QRect d = DestinationRect();
    // A one-pixel frame just outside the picture: grey above and left,
    // white below and right.
    const QRect f = d.adjusted(-1, -1, 1, 1);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(f.topLeft(), f.topRight());
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.setPen(Qt::white);
    p.drawLine(f.bottomLeft(), f.bottomRight());
    p.drawLine(f.topRight(), f.bottomRight());
    const QImage frame = movie_ ? movie_->currentImage() : picture_.Image();
    if (frame.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ <= 0 || zoom_ < 1.0f);
    p.drawImage(d, frame);
}

void CPictureWnd::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    UpdateScrollBars();
}

void CPictureWnd::scrollContentsBy(int, int) { viewport()->update(); }

void CPictureWnd::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_Up:
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
            return;
        case Qt::Key_PageDown:
        case Qt::Key_Down:
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            return;
        case Qt::Key_Left:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
            return;
        case Qt::Key_Right:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            return;
        default:
            QAbstractScrollArea::keyPressEvent(e);
    }
}

void CPictureWnd::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    dragFrom_ = e->position().toPoint();
    dragging_ = true;
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void CPictureWnd::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    const QPoint now = e->position().toPoint();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dragFrom_.y() - now.y());
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dragFrom_.x() - now.x());
    dragFrom_ = now;
}

void CPictureWnd::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    viewport()->unsetCursor();
}

void CPictureWnd::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit DoubleClicked();
}

CImgContainerWnd::CImgContainerWnd(QWidget* parent) : QWidget(parent) {
    setObjectName("previewView");
    setAccessibleName(tr("Preview"));
    picture_ = new CPictureWnd(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(picture_);
}

}  // namespace pq
