// The preview: one picture at best fit or at a zoom, scroll bars and a hand
// to drag a larger picture, small animated GIFs played from their decoded
// frames. Every picture is decoded on a pool thread, so neither a large one
// nor a GIF whose data expands without end holds up the window: a small
// GIF's frames are read there with a budget (CGifDecoder), its first frame
// shown as soon as it is read, and the window's timer only moves between
// frames already decoded. A GIF past its budget stays on its first frame.
// Until the picture arrives the pane shows its background.
// User-interface thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

#include "browse/CGifAnimation.h"
#include "browse/COXDIB.h"
#include "browse/CWorkerPool.h"

namespace pq {

class CPictureWnd : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A GIF below this many pixels is animated; a larger one is shown still.
    static constexpr int kAnimateBelowPixels = 40000;

    explicit CPictureWnd(QWidget* parent = nullptr);
    ~CPictureWnd() override;

    // Shows the picture at path ("" clears).
    void Show(const QString& path);
    void Clear() { Show(QString()); }
    void SetView(float zoom, const QColor& background);
    float Zoom() const { return zoom_; }
    float EffectiveZoom() const;
    const QString& Path() const { return path_; }
    QSize PictureSize() const { return size_; }
    // An animation is on show (its last play may be over).
    bool Animating() const { return animation_ != nullptr; }
    // The frame on show, -1 without an animation; how long it stays (the
    // frame timer's interval, ms); whether frames are still to come.
    int Frame() const { return animation_ ? animation_->Frame() : -1; }
    int FrameDelay() const { return animation_ ? frameTimer_.interval() : 0; }
    bool Playing() const { return frameTimer_.isActive(); }
    bool Loading() const { return loading_; }
    QRect DestinationRect() const;

    // Takes the decoded picture (queued from the pool).
    Q_INVOKABLE void DrainResults();

signals:
    void DoubleClicked();
    // A picture finished loading (or failed: empty size).
    void Loaded(const QString& path);
    // An animation moved to another frame.
    void FrameShown(int frame);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void UpdateScrollBars();
    void StopAnimation();
    void NextFrame();

    QString path_;
    COXDIB picture_;
    QSize size_;
    std::unique_ptr<CGifAnimation> animation_;
    QTimer frameTimer_;
    float zoom_ = -1.0f;
    QColor background_;
    QPoint dragFrom_;
    bool dragging_ = false;
    bool loading_ = false;
    quint64 ticket_ = 0;
    // What a pool task hands back: the picture, or a GIF's first frame as
    // soon as it is read; with done, the end of the loading, and an
    // animation's frames when there are any to play.
    struct Decoded {
        Decoded(quint64 t, QString p, QImage i, bool d)
            : ticket(t), path(std::move(p)), image(std::move(i)), done(d) {}
        quint64 ticket;
        QString path;
        QImage image;
        bool done;
        std::vector<QImage> frames;
        std::vector<int> delaysCs;
        int loopCount = -1;
    };
    static void Decode(const std::shared_ptr<CResultSink<Decoded>>& sink,
                       const std::shared_ptr<const std::atomic<quint64>>& wanted, quint64 ticket,
                       const QString& path);
    std::shared_ptr<CResultSink<Decoded>> sink_;
    // The ticket of the picture asked for now, which a task reading another
    // one sees and stops for.
    std::shared_ptr<std::atomic<quint64>> wanted_;
};

class CImgContainerWnd : public QWidget {
    Q_OBJECT
public:
    explicit CImgContainerWnd(QWidget* parent = nullptr);
    CPictureWnd* Picture() const { return picture_; }

private:
    CPictureWnd* picture_;
};

}  // namespace pq
