// "Options": thumbnails, slide show and connection. A released slider is
// stored at once (Cancel keeps it); everything else is stored on OK.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "shell/CPelquinarApp.h"

class QCheckBox;
class QLineEdit;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace pq {


// One thumbnail cell as the lists will draw it: an outer face of
// (W + B) × (H + B) and a white W × H inside.
class CThumbCellPreview : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetCell(int w, int h, int border);
    QSize sizeHint() const override { return {220, 220}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int w_ = 80, h_ = 80, border_ = 15;
};

class COptionsSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kThumbMin = CPelquinarApp::kThumbMin, kThumbMax = CPelquinarApp::kThumbMax,
                         kBorderMax = CPelquinarApp::kBorderMax;
    static constexpr int kDelayMin = CPelquinarApp::kDelayMin, kDelayMax = CPelquinarApp::kDelayMax;

    COptionsSheet(CPelquinarApp& app, QWidget* parent = nullptr);
    void accept() override;

private:
    QWidget* MakeThumbnailsPage();
    QWidget* MakeSlideShowPage();
    QWidget* MakeConnectionPage();
    void UpdatePreview();
    void UpdateProxyBoxes();

    CPelquinarApp& app_;
    QTabWidget* tabs_;
    QSlider* widthSlider_;
    QSlider* heightSlider_;
    QSlider* borderSlider_;
    QSpinBox* widthSpin_;
    QSpinBox* heightSpin_;
    QSpinBox* borderSpin_;
    CThumbCellPreview* preview_;
    QCheckBox* cacheCheck_;
    QSlider* delaySlider_;
    QSpinBox* delaySpin_;
    QSpinBox* depthSpin_;
    QSpinBox* transfersSpin_;
    QSpinBox* hostSpin_;
    QSpinBox* aheadSpin_;
    QCheckBox* proxyCheck_;
    QCheckBox* duplicatesCheck_ = nullptr;
    QCheckBox* deletedCheck_ = nullptr;
    QLineEdit* proxy_;
    QLineEdit* port_;
    QLineEdit* user_;
    QLineEdit* password_;
};

}  // namespace pq
