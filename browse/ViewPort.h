// The preview's arithmetic, without a window: best fit and zoom, where the
// picture lands in the pane, the scroll ranges, the zoom steps and their
// limits, the slide show's scroll step and the status text.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

namespace pq::viewport {

inline constexpr float kBestFit = -1.0f;
inline constexpr float kMaxZoom = 4.0f;
inline constexpr float kMinZoom = 0.125f;
inline constexpr int kPage = 20;  // pixels a page-up or page-down scrolls

// The scale best fit uses now: shrunk to the pane when the picture is wider
// or taller than it, else 1.
float EffectiveZoom(QSize picture, QSize client);
float ZoomIn(float zoom, float effective);   // × 1.25, from the effective scale at best fit
float ZoomOut(float zoom, float effective);  // × 0.85
bool CanZoomIn(float zoom);
bool CanZoomOut(float zoom);
// The same for the scale actually shown: at best fit that is the fit
// scale, and Zoom Out may always go back down to it, even below the
// smallest zoom (a large picture in a small pane fits below it).
bool CanZoomIn(float zoom, float fitZoom);
bool CanZoomOut(float zoom, float fitZoom);

// Where the picture is drawn in a client area of the given size: at best
// fit its own size when it fits, else the fit rectangle centred on the
// shorter side; with a zoom, scaled; centred on an axis where it is
// narrower than the pane, else shifted by the scroll position.
QRect Destination(QSize picture, QSize client, float zoom, QPoint scroll);
// The largest scroll position of each axis (0 at best fit or when the
// scaled picture fits).
QSize ScrollMaximum(QSize picture, QSize client, float zoom);

// Pixels the slide show scrolls its list for each step: a row's height
// divided among the cells of a row.
int SlideStep(int listWidth, QSize thumb, int textHeight);

// "name [size]--(i/n)": i counts from 1.
QString StatusText(const QString& name, qint64 bytes, int index, int count);

}  // namespace pq::viewport
