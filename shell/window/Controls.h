// The dialogs' controls made with their object and accessible names, so
// tests and screen readers find them by what they are.
// User-interface thread only.
#pragma once

#include <QAbstractSlider>
#include <QCheckBox>
#include <QSpinBox>
#include <QString>
#include <QWidget>
#include <algorithm>

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

// A number box whose arrows, wheel and Page keys step within its range
// while what is typed may lie outside it (kept as typed, as the settings'
// own corrections then decide).
class CSteppedSpin : public QSpinBox {
public:
    CSteppedSpin(QWidget* parent, int stepLo, int stepHi)
        : QSpinBox(parent), stepLo_(stepLo), stepHi_(stepHi) {}
    int StepMinimum() const { return stepLo_; }
    int StepMaximum() const { return stepHi_; }
    void stepBy(int steps) override {
        const long long v = (long long)value() + (long long)steps * singleStep();
        setValue(int(std::clamp<long long>(v, stepLo_, stepHi_)));
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled e = StepNone;
        if (value() < stepHi_) e |= StepUpEnabled;
        if (value() > stepLo_) e |= StepDownEnabled;
        return e;
    }

private:
    int stepLo_, stepHi_;
};

inline QSpinBox* SteppedSpin(QWidget* parent, const char* name, const QString& accessible,
                             int stepLo, int stepHi, int typedHi, int value) {
    return Ranged(new CSteppedSpin(parent, stepLo, stepHi), name, accessible, 0, typedHi, value);
}

inline QCheckBox* Check(QWidget* parent, const char* name, const QString& text, bool on) {
    auto* c = Named(new QCheckBox(text, parent), name, text);
    c->setChecked(on);
    return c;
}

}  // namespace pq::controls
