// The frame's preview and slide-show commands: the row on show and its
// status text, previous and next, the zoom steps, the full view and the
// slide show (timer 28).
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>

#include "shell/window/FrameParts.h"

class QMenu;
class QTimer;

namespace pq {

class CFrameLayout;

class CFramePreview : public QObject {
    Q_OBJECT
public:
    CFramePreview(FrameParts& parts, CFrameLayout& layout, QObject* parent = nullptr);

    bool Run(int id);

    // Shows that row of the list in use, with its status text.
    void ShowRow(int row);
    // Nothing on show: the preview, the row and the status text cleared.
    void Clear();
    // The list in use lost or gained rows: the row on show and its count
    // follow, and a picture that left the list leaves the preview.
    void ListChanged();

    void SetFullView(bool on);
    // Whether toolbar i (main, top, search) was shown before the full view.
    bool BarShown(int i) const { return barsBefore_[i]; }
    float Zoom() const { return zoom_; }
    int Cursor() const { return cursor_; }
    int Count() const { return count_; }
    bool SlideShowRunning() const;
    int SlideShowIntervalMs() const;
    void StopSlideShow();
    // One step of the slide show (its timer calls it).
    void AdvanceSlideShow();

    // The preview's own menu: leaving the full view, the picture commands,
    // the placements.
    void FillPreviewMenu(QMenu& menu) const;

private:
    void SetZoom(float zoom);
    void ApplyView();
    void ToggleSlideShow();
    void StatusText(int row);

    FrameParts& p_;
    CFrameLayout& layout_;
    QTimer* slideTimer_;
    int cursor_ = -1;
    int count_ = 0;
    float zoom_ = -1.0f;
    Qt::WindowStates statesBefore_ = Qt::WindowNoState;
    bool barsBefore_[3] = {true, true, true};
};

}  // namespace pq
