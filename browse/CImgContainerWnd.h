// The preview: one picture at best fit or at a zoom, scroll bars and a hand
// to drag a larger picture, small animated GIFs played through QMovie. A
// picture is decoded on a pool thread, so a large one never holds up the
// window; until it arrives the pane shows its background.
// User-interface thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QWidget>
#include <memory>

#include "browse/COXDIB.h"
#include "browse/CWorkerPool.h"

class QMovie;

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
    bool Animating() const { return movie_ != nullptr; }
    bool Loading() const { return loading_; }
    QRect DestinationRect() const;

    // Takes the decoded picture (queued from the pool).
    Q_INVOKABLE void DrainResults();

signals:
    void DoubleClicked();
    // A picture finished loading (or failed: empty size).
    void Loaded(const QString& path);

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
    void StopMovie();

    QString path_;
    COXDIB picture_;
    QSize size_;
    std::unique_ptr<QMovie> movie_;
    float zoom_ = -1.0f;
    QColor background_;
    QPoint dragFrom_;
    bool dragging_ = false;
    bool loading_ = false;
    quint64 ticket_ = 0;
    struct Decoded {
        quint64 ticket;
        QString path;
        QImage image;
    };
    std::shared_ptr<CResultSink<Decoded>> sink_;
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
