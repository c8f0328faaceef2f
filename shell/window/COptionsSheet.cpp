#include "shell/window/COptionsSheet.h"

#include <qdrawutil.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QVBoxLayout>

#include "shell/CPelquinarApp.h"
#include "shell/window/Controls.h"

namespace pq {

void CThumbCellPreview::SetCell(int w, int h, int border) {
    w_ = w;
    h_ = h;
    border_ = border;
    update();
}

void CThumbCellPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = rect();
    qDrawShadePanel(&p, area, palette(), true, 2, &palette().brush(QPalette::Base));
    const QPoint c = area.center();
    // A cell larger than the area is drawn as far as the area goes.
    const int w = std::clamp(w_, 0, area.width() - 8), h = std::clamp(h_, 0, area.height() - 8);
    const int ow = std::clamp(w_ + border_, 0, area.width() - 4);
    const int oh = std::clamp(h_ + border_, 0, area.height() - 4);
    QRect outer(0, 0, ow, oh);
    outer.moveCenter(c);
    qDrawShadePanel(&p, outer, palette(), false, 2, &palette().brush(QPalette::Button));
    QRect inner(0, 0, w, h);
    inner.moveCenter(c);
    const QBrush white(Qt::white);
    qDrawShadePanel(&p, inner, palette(), true, 1, &white);
}

namespace {

QSlider* MakeSlider(QWidget* parent, const char* name, const QString& accessible, Qt::Orientation o,
                    int lo, int hi, int value) {
    return controls::Ranged(new QSlider(o, parent), name, accessible, lo, hi, value);
}

using controls::Spin;

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& accessible,
                    const std::string& text) {
    return controls::Named(new QLineEdit(QString::fromStdString(text), parent), name, accessible);
}

// Ties a slider to its number box: a released slider shows in the box and
// runs store; a changed box moves the slider (as far as it goes).
void Pair(QSlider* slider, QSpinBox* spin, std::function<void(int)> store,
          std::function<void()> changed) {
    QObject::connect(slider, &QSlider::sliderReleased, spin, [=] {
        spin->setValue(slider->value());
        if (store) store(slider->value());
        changed();
    });
    // A click on the groove or a key moves the slider without a drag.
    QObject::connect(slider, &QSlider::actionTriggered, spin, [=](int action) {
        if (action == QAbstractSlider::SliderMove) return;
        QMetaObject::invokeMethod(
            slider,
            [=] {
                spin->setValue(slider->value());
                if (store) store(slider->value());
                changed();
            },
            Qt::QueuedConnection);
    });
    QObject::connect(spin, &QSpinBox::valueChanged, slider, [=](int v) {
        const QSignalBlocker block(slider);
        slider->setValue(v);
        changed();
    });
}

}  // namespace

COptionsSheet::COptionsSheet(CPelquinarApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("optionsSheet");
    setWindowTitle(tr("Options"));
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("optionsTabs");
    tabs_->addTab(MakeThumbnailsPage(), tr("Thumbnails"));
    tabs_->addTab(MakeSlideShowPage(), tr("Slide Show"));
    tabs_->addTab(MakeConnectionPage(), tr("Connection"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(tabs_);
    top->addWidget(buttons);
    UpdatePreview();
    UpdateProxyBoxes();
}

QWidget* COptionsSheet::MakeThumbnailsPage() {
    auto* page = new QWidget;
    page->setObjectName("thumbnailsPage");
    auto* group = new QGroupBox(tr("Thumbnails size"), page);
    widthSlider_ = MakeSlider(group, "widthSlider", tr("Thumbnail width"), Qt::Horizontal,
                              kThumbMin, kThumbMax, app_.thumbWidth);
    heightSlider_ = MakeSlider(group, "heightSlider", tr("Thumbnail height"), Qt::Vertical,
                               kThumbMin, kThumbMax, app_.thumbHeight);
    heightSlider_->setInvertedAppearance(true);
    borderSlider_ = MakeSlider(group, "borderSlider", tr("Thumbnail border"), Qt::Horizontal, 0,
                               kBorderMax, app_.thumbBorder);
    // Typed values stay within the sliders' ranges too: a thumbnail of
    // thousands of pixels a side makes every list unusable.
    widthSpin_ = Spin(group, "widthSpin", tr("Thumbnail width"), kThumbMin, kThumbMax,
                      std::clamp(app_.thumbWidth, kThumbMin, kThumbMax));
    heightSpin_ = Spin(group, "heightSpin", tr("Thumbnail height"), kThumbMin, kThumbMax,
                       std::clamp(app_.thumbHeight, kThumbMin, kThumbMax));
    borderSpin_ = Spin(group, "borderSpin", tr("Thumbnail border"), 0, kBorderMax,
                       std::clamp(app_.thumbBorder, 0, kBorderMax));
    preview_ = new CThumbCellPreview(group);
    preview_->setObjectName("thumbnailPreview");
    preview_->setAccessibleName(tr("Thumbnail cell preview"));
    preview_->setMinimumSize(220, 220);

    auto changed = [this] { UpdatePreview(); };
    Pair(
        widthSlider_, widthSpin_, [this](int v) { app_.thumbWidth = v; }, changed);
    Pair(
        heightSlider_, heightSpin_, [this](int v) { app_.thumbHeight = v; }, changed);
    Pair(
        borderSlider_, borderSpin_, [this](int v) { app_.thumbBorder = v; }, changed);

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Width"), group), 0, 0);
    grid->addWidget(widthSlider_, 0, 1);
    grid->addWidget(widthSpin_, 0, 2);
    grid->addWidget(heightSlider_, 1, 3);
    grid->addWidget(preview_, 1, 1);
    auto* heightBox = new QVBoxLayout;
    heightBox->addWidget(new QLabel(tr("Height"), group));
    heightBox->addWidget(heightSpin_);
    heightBox->addStretch(1);
    grid->addLayout(heightBox, 1, 4);
    grid->addWidget(new QLabel(tr("Border"), group), 2, 0);
    grid->addWidget(borderSlider_, 2, 1);
    grid->addWidget(borderSpin_, 2, 2);
    grid->setColumnStretch(1, 1);
    // Thumbnails shared with the file manager and the other picture
    // programs, kept from one visit of a folder to the next.
    cacheCheck_ = new QCheckBox(tr("&Keep thumbnails in the shared thumbnail cache"), page);
    cacheCheck_->setObjectName("thumbnailCacheCheck");
    cacheCheck_->setAccessibleName(tr("Keep thumbnails in the shared thumbnail cache"));
    cacheCheck_->setChecked(app_.bThumbCache);
    auto* v = new QVBoxLayout(page);
    v->addWidget(group);
    v->addWidget(cacheCheck_);
    return page;
}

QWidget* COptionsSheet::MakeSlideShowPage() {
    auto* page = new QWidget;
    page->setObjectName("slideShowPage");
    auto* group = new QGroupBox(tr("Delay"), page);
    const int delay = std::clamp(app_.slideDelay, kDelayMin, kDelayMax);
    delaySlider_ = MakeSlider(group, "delaySlider", tr("Slide show delay"), Qt::Horizontal,
                              kDelayMin, kDelayMax, delay);
    delaySpin_ = Spin(group, "delaySpin", tr("Slide show delay"), kDelayMin, kDelayMax, delay);
    Pair(delaySlider_, delaySpin_, nullptr, [] {});
    auto* row = new QHBoxLayout(group);
    row->addWidget(delaySlider_, 1);
    row->addWidget(delaySpin_);
    row->addWidget(new QLabel(tr("Seconds"), group));
    auto* v = new QVBoxLayout(page);
    v->addWidget(group);
    v->addStretch(1);
    return page;
}

QWidget* COptionsSheet::MakeConnectionPage() {
    auto* page = new QWidget;
    page->setObjectName("connectionPage");
    depthSpin_ =
        controls::SteppedSpin(page, "depthSpin", tr("Max levels"), 0, CPelquinarApp::kMaxDepth,
                              9999, std::clamp(app_.maxLevels, 0, CPelquinarApp::kMaxDepth));
    // A depth typed above the largest offered shows as the largest.
    connect(depthSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v > CPelquinarApp::kMaxDepth) depthSpin_->setValue(CPelquinarApp::kMaxDepth);
    });
    transfersSpin_ =
        Spin(page, "transfersSpin", tr("Pictures fetched at once"), 1, CPelquinarApp::kMaxTransfers,
             std::clamp(app_.transfers, 1, int(CPelquinarApp::kMaxTransfers)));
    hostSpin_ = Spin(page, "hostConnectionsSpin", tr("Connections to one site at once"), 1,
                     CPelquinarApp::kMaxHostConnections,
                     std::clamp(app_.hostConnections, 1, int(CPelquinarApp::kMaxHostConnections)));
    // Pages of a site fetched while the walk works on the one before them.
    aheadSpin_ =
        Spin(page, "pagesAheadSpin", tr("Pages fetched ahead"), 0, CPelquinarApp::kMaxPagesAhead,
             std::clamp(app_.pagesAhead, 0, int(CPelquinarApp::kMaxPagesAhead)));
    // What the picture index lets a search leave out; both off unless the
    // user asks.
    duplicatesCheck_ = controls::Check(page, "noDuplicatesCheck",
                                       tr("Keep no second &copy of a picture the collection holds"),
                                       app_.bNoDuplicates);
    deletedCheck_ = controls::Check(page, "deletedStayCheck",
                                    tr("Pictures deleted from a project are not &fetched again"),
                                    app_.bDeletedStay);
    proxyCheck_ = new QCheckBox(tr("&Use Proxy Server"), page);
    proxyCheck_->setObjectName("proxyCheck");
    proxyCheck_->setChecked(app_.UsesProxy());
    proxy_ = MakeEdit(page, "proxyEdit", tr("Proxy server"), app_.proxy);
    proxy_->setPlaceholderText(QStringLiteral("http://proxy.example.com"));
    port_ = MakeEdit(page, "portEdit", tr("Port"), app_.port);
    user_ = MakeEdit(page, "userEdit", tr("User name"), app_.userName);
    password_ = MakeEdit(page, "passwordEdit", tr("Password"), app_.password);
    password_->setEchoMode(QLineEdit::Password);
    connect(proxyCheck_, &QCheckBox::toggled, this, [this] { UpdateProxyBoxes(); });

    auto* form = new QFormLayout(page);
    auto* depthBox = new QWidget(page);
    auto* depthRow = new QHBoxLayout(depthBox);
    depthRow->setContentsMargins(0, 0, 0, 0);
    depthRow->addWidget(depthSpin_);
    depthRow->addWidget(new QLabel(tr("(1 for Current Page Only)"), depthBox));
    depthRow->addStretch(1);
    auto* depthLabel = new QLabel(tr("Max &Levels:"), page);
    depthLabel->setBuddy(depthSpin_);
    form->addRow(depthLabel, depthBox);
    form->addRow(tr("Pictures &at Once:"), transfersSpin_);
    form->addRow(tr("Connections per &Site:"), hostSpin_);
    form->addRow(tr("Pages Fetched A&head:"), aheadSpin_);
    form->addRow(duplicatesCheck_);
    form->addRow(deletedCheck_);
    form->addRow(proxyCheck_);
    form->addRow(tr("Proxy &Server:"), proxy_);
    form->addRow(tr("&Port:"), port_);
    form->addRow(tr("User &Name:"), user_);
    form->addRow(tr("Pass&word:"), password_);
    return page;
}

void COptionsSheet::UpdatePreview() {
    preview_->SetCell(widthSpin_->value(), heightSpin_->value(), borderSpin_->value());
}

void COptionsSheet::UpdateProxyBoxes() {
    for (QLineEdit* e : {proxy_, port_, user_, password_}) e->setEnabled(proxyCheck_->isChecked());
}

void COptionsSheet::accept() {
    app_.thumbWidth = widthSpin_->value();
    app_.thumbHeight = heightSpin_->value();
    app_.thumbBorder = borderSpin_->value();
    app_.bThumbCache = cacheCheck_->isChecked();
    app_.slideDelay = delaySpin_->value();
    app_.maxLevels = std::min(depthSpin_->value(), int(CPelquinarApp::kMaxDepth));
    app_.transfers = transfersSpin_->value();
    app_.hostConnections = hostSpin_->value();
    app_.pagesAhead = aheadSpin_->value();
    app_.bNoDuplicates = duplicatesCheck_->isChecked();
    app_.bDeletedStay = deletedCheck_->isChecked();
    app_.useProxy = proxyCheck_->isChecked() ? "1" : "0";
    // With the proxy off, the stored texts stay as they were.
    if (proxyCheck_->isChecked()) {
        app_.proxy = proxy_->text().toStdString();
        app_.port = port_->text().toStdString();
        app_.userName = user_->text().toStdString();
        app_.password = password_->text().toStdString();
    }
    QDialog::accept();
}

}  // namespace pq
