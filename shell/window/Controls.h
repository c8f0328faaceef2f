// The dialogs' controls made with their object and accessible names, so
// tests and screen readers find them by what they are.
// User-interface thread only.
#pragma once

#include <QAbstractSlider>
#include <QCheckBox>
#include <QSpinBox>
#include <QString>
#include <QWidget>

namespace pq::controls {

// Any range control (a spin box, a slider) with its range and value.
template <class T>
T* Named(T* control, const char* name, const QString& accessible) {
    control->setObjectName(QLatin1String(name));
    control->setAccessibleName(accessible);
    return control;
}

template <class T>
T* Ranged(T* control, const char* name, const QString& accessible, int lo, int hi, int value) {
    Named(control, name, accessible);
    control->setRange(lo, hi);
    control->setValue(value);
    return control;
}

inline QSpinBox* Spin(QWidget* parent, const char* name, const QString& accessible, int lo, int hi,
                      int value) {
    return Ranged(new QSpinBox(parent), name, accessible, lo, hi, value);
}

inline QCheckBox* Check(QWidget* parent, const char* name, const QString& text, bool on) {
    auto* c = Named(new QCheckBox(text, parent), name, text);
    c->setChecked(on);
    return c;
}

}  // namespace pq::controls
