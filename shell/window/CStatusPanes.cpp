#include "shell/window/CStatusPanes.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include "shell/FrameRules.h"

namespace pq {

namespace {
// Bar steps per tick: the download bar runs faster.
constexpr std::array<int, CStatusPanes::kBars> kSteps = {1, 1, 10};
constexpr std::array<const char*, CStatusPanes::kPanes> kNames = {
    "pagePane", "foundPane", "downloadPane", "elapsedPane", "freePane", "lastPane"};
constexpr std::array<const char*, CStatusPanes::kPanes> kAccessible = {
    "Pages searched", "Pictures found", "Pictures downloaded", "Elapsed time", "Status", "Picture"};
}  // namespace

CStatusPanes::CStatusPanes(QStatusBar* bar) : QObject(bar), bar_(bar) {
    bar_->setSizeGripEnabled(true);
    for (int i = 0; i < kPanes; ++i) {
        auto* box = new QWidget(bar_);
        box->setObjectName(QString::fromLatin1(kNames[size_t(i)]));
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(4, 0, 4, 0);
        row->setSpacing(6);
        auto* label = new QLabel(box);
        if (i == kFreePane) {
            // Its width comes from the bar, not from its text.
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            label->installEventFilter(this);
        }
        label->setObjectName(QString::fromLatin1(kNames[size_t(i)]) + "Text");
        label->setAccessibleName(tr(kAccessible[size_t(i)]));
        label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        label->setTextFormat(Qt::PlainText);
        row->addWidget(label, 1);
        labels_[size_t(i)] = label;
        if (i < kBars) {
            auto* p = new QProgressBar(box);
            p->setObjectName(QString::fromLatin1(kNames[size_t(i)]) + "Bar");
            p->setAccessibleName(tr(kAccessible[size_t(i)]) + tr(" activity"));
            p->setRange(0, 100);
            p->setValue(0);
            p->setTextVisible(false);
            p->setFixedHeight(label->sizeHint().height() - 4);
            p->setMinimumWidth(kBarMinWidth);
            row->addWidget(p, 1);
            bars_[size_t(i)] = p;
            auto* t = new QTimer(this);
            t->setInterval(kTickMs);
            connect(t, &QTimer::timeout, this, [this, i] { OnTick(i); });
            timers_[size_t(i)] = t;
        }
        bar_->addPermanentWidget(box, i == 4 ? 1 : 0);
    }
    bar_->installEventFilter(this);
}

void CStatusPanes::SetText(int pane, const QString& text) {
    if (pane < 0 || pane >= kPanes) return;
    if (texts_[size_t(pane)] == text) return;
    QLabel* label = labels_[size_t(pane)];
    const bool longer = label->fontMetrics().horizontalAdvance(text) >
                        label->fontMetrics().horizontalAdvance(texts_[size_t(pane)]);
    texts_[size_t(pane)] = text;
    // The whole text is always in the tool tip.
    label->setToolTip(text.trimmed());
    if (pane == kFreePane)
        ShowFree();
    else
        label->setText(text);
    if (longer && pane != kFreePane) Relayout();
}

void CStatusPanes::ShowFree() {
    // The free pane takes what the others leave: a longer message ends in
    // an ellipsis there, never cut off mid-word without a sign.
    QLabel* label = labels_[kFreePane];
    const QString& text = texts_[kFreePane];
    const int room = label->width();
    label->setText(room > 0 ? label->fontMetrics().elidedText(text, Qt::ElideRight, room) : text);
}

QString CStatusPanes::Text(int pane) const {
    return (pane < 0 || pane >= kPanes) ? QString() : texts_[size_t(pane)];
}

QString CStatusPanes::ShownText(int pane) const {
    return (pane < 0 || pane >= kPanes) ? QString() : labels_[size_t(pane)]->text();
}

std::array<QString, CStatusPanes::kPanes> CStatusPanes::Texts() const {
    std::array<QString, kPanes> t;
    for (int i = 0; i < kPanes; ++i) t[size_t(i)] = Text(i);
    return t;
}

void CStatusPanes::SetTexts(const std::array<QString, kPanes>& texts) {
    for (int i = 0; i < kPanes; ++i) SetText(i, texts[size_t(i)]);
}

void CStatusPanes::StartTimer(int id) {
    const int bar = id - kFirstTimer;
    if (bar < 0 || bar >= kBars) return;
    counters_[size_t(bar)] = 0;
    timers_[size_t(bar)]->start();
}

void CStatusPanes::StopTimer(int id) {
    const int bar = id - kFirstTimer;
    if (bar < 0 || bar >= kBars) return;
    timers_[size_t(bar)]->stop();
    counters_[size_t(bar)] = 0;
    bars_[size_t(bar)]->setValue(0);
}

bool CStatusPanes::TimerActive(int id) const {
    const int bar = id - kFirstTimer;
    return bar >= 0 && bar < kBars && timers_[size_t(bar)]->isActive();
}

int CStatusPanes::BarValue(int bar) const {
    return (bar < 0 || bar >= kBars) ? 0 : bars_[size_t(bar)]->value();
}

void CStatusPanes::SetBarsVisible(bool on) {
    barsVisible_ = on;
    for (auto* b : bars_) b->setVisible(on);
}

void CStatusPanes::OnTick(int bar) {
    const frame::ActivityTick t = frame::Tick(counters_[size_t(bar)], kSteps[size_t(bar)]);
    bars_[size_t(bar)]->setValue(t.position);
    counters_[size_t(bar)] = t.next;
}

void CStatusPanes::Relayout() {
    const QFontMetrics fm(bar_->font());
    const auto widths = frame::PaneWidths(bar_->width(), fm.horizontalAdvance(QLatin1Char(' ')),
                                          fm.averageCharWidth());
    for (int i = 0; i < kPanes; ++i) {
        QLabel* label = labels_[size_t(i)];
        QWidget* box = label->parentWidget();
        if (i == 4) {
            box->setMinimumWidth(0);
            continue;
        }
        // A pane never clips its text: it is at least as wide as the text
        // (with the label of its counter's largest likely value) and its bar.
        label->setMinimumWidth(fm.horizontalAdvance(label->text() + QStringLiteral("0000")));
        int need = label->minimumWidth() + 12;
        if (i < kBars) need += kBarMinWidth + 6;
        box->setFixedWidth(std::max(widths[size_t(i)], need));
    }
}

bool CStatusPanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bar_ && event->type() == QEvent::Resize) Relayout();
    if (watched == labels_[kFreePane] && event->type() == QEvent::Resize) ShowFree();
    return QObject::eventFilter(watched, event);
}

}  // namespace pq
