#include "browse/CImgContainerWnd.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "browse/CGifDecoder.h"
#include "browse/PictureLoader.h"
#include "browse/ViewPort.h"

namespace pq {

namespace {

// A GIF file larger than this is read no further: its frames past it are
// not read (a picture small enough to animate has no need of more).
constexpr qint64 kMaxGifBytes = qint64(64) << 20;

}  // namespace

CPictureWnd::CPictureWnd(QWidget* parent)
    : QAbstractScrollArea(parent),
      sink_(std::make_shared<CResultSink<Decoded>>(this, "DrainResults")),
      wanted_(std::make_shared<std::atomic<quint64>>(0)) {
    setObjectName("pictureWindow");
    setAccessibleName(tr("Picture"));
    setFocusPolicy(Qt::StrongFocus);
    background_ = palette().color(QPalette::Button);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &CPictureWnd::NextFrame);
    UpdateScrollBars();
}

CPictureWnd::~CPictureWnd() {
    wanted_->store(0);
    sink_->Detach();
}

void CPictureWnd::StopAnimation() {
    frameTimer_.stop();
    animation_.reset();
}

void CPictureWnd::NextFrame() {
    if (!animation_ || !animation_->Advance()) return;
    frameTimer_.start(animation_->DelayMs());
    viewport()->update();
    emit FrameShown(animation_->Frame());
}

void CPictureWnd::Show(const QString& path) {
    StopAnimation();
    picture_.Clear();
    size_ = QSize();
    path_ = path;
    const quint64 ticket = ++ticket_;
    wanted_->store(path.isEmpty() ? 0 : ticket);
    loading_ = !path.isEmpty();
    if (!path.isEmpty()) {
        CWorkerPool::Shared().Post([sink = sink_,
                                    wanted = std::shared_ptr<const std::atomic<quint64>>(wanted_),
                                    ticket, path] { Decode(sink, wanted, ticket, path); });
    }
    UpdateScrollBars();
    viewport()->update();
}

// On a pool thread. A GIF whose logical screen is small enough to animate
// is read here, frame by frame within its budget; everything else, and a
// GIF this reading cannot make out at all, goes to Qt's reader whole.
void CPictureWnd::Decode(const std::shared_ptr<CResultSink<Decoded>>& sink,
                         const std::shared_ptr<const std::atomic<quint64>>& wanted, quint64 ticket,
                         const QString& path) {
    const auto stale = [&] { return wanted->load() != ticket; };
    if (stale()) return;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.peek(4) == "GIF8") {
        CGifDecoder gif(file.read(std::min(file.size(), kMaxGifBytes)));
        file.close();
        gif.SetStop(stale);
        QImage frame;
        int delay = 0;
        if (gif.ReadHeader() &&
            qint64(gif.ScreenSize().width()) * gif.ScreenSize().height() < kAnimateBelowPixels &&
            gif.Next(&frame, &delay)) {
            // The first frame is shown while the others are read.
            sink->Push(Decoded(ticket, path, frame, false));
            std::vector<QImage> frames{frame};
            std::vector<int> delays{delay};
            while (gif.Next(&frame, &delay)) {
                frames.push_back(frame);
                delays.push_back(delay);
            }
            if (gif.GetFault() == CGifDecoder::Fault::Stopped) return;
            Decoded done(ticket, path, QImage(), true);
            // A picture with a fault anywhere stays on its first frame.
            if (gif.GetFault() == CGifDecoder::Fault::None && frames.size() > 1) {
                done.frames = std::move(frames);
                done.delaysCs = std::move(delays);
                done.loopCount = gif.LoopCount();
            }
            sink->Push(std::move(done));
            return;
        }
        if (gif.GetFault() == CGifDecoder::Fault::Stopped) return;
    }
    file.close();
    sink->Push(Decoded(ticket, path, picture::LoadWhole(path), true));
}

void CPictureWnd::DrainResults() {
    for (Decoded& d : sink_->Take()) {
        if (d.ticket != ticket_) continue;  // another picture was asked for since
        if (!d.image.isNull()) {
            picture_ = COXDIB(d.image);
            size_ = picture_.Size();
        }
        if (d.done) {
            loading_ = false;
            if (d.frames.size() > 1) {
                animation_ = std::make_unique<CGifAnimation>(std::move(d.frames),
                                                             std::move(d.delaysCs), d.loopCount);
                frameTimer_.start(animation_->DelayMs());
            }
        }
        UpdateScrollBars();
        viewport()->update();
        if (d.done) emit Loaded(d.path);
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
    if (animation_ && zoom_ <= 0) {
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
    const QImage& frame = animation_ ? animation_->Image() : picture_.Image();
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
