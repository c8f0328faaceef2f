// The status bar's six panes, with an activity bar in each of the first
// three, animated by the timers 18, 19 and 20 (15 ms). Pane widths follow
// frame::PaneWidths as the window is resized.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <array>

class QLabel;
class QProgressBar;
class QStatusBar;
class QTimer;

namespace pq {

class CStatusPanes : public QObject {
    Q_OBJECT
public:
    static constexpr int kPanes = 6;
    static constexpr int kBars = 3;
    static constexpr int kFirstTimer = 18;  // 18, 19, 20
    static constexpr int kTickMs = 15;
    static constexpr int kBarMinWidth = 60;
    static constexpr int kFreePane = 4;  // takes the width the others leave

    explicit CStatusPanes(QStatusBar* bar);

    // The whole text, also when the pane shows less of it (the free pane
    // ends a long one with an ellipsis; its tool tip holds it all).
    void SetText(int pane, const QString& text);
    QString Text(int pane) const;
    // What the pane shows now.
    QString ShownText(int pane) const;
    std::array<QString, kPanes> Texts() const;
    void SetTexts(const std::array<QString, kPanes>& texts);

    // Timer 18, 19 or 20: started with its bar's counter at 0; stopped with
    // its bar back at 0. Other ids are ignored.
    void StartTimer(int id);
    void StopTimer(int id);
    bool TimerActive(int id) const;
    int BarValue(int bar) const;
    void SetBarsVisible(bool on);
    bool BarsVisible() const { return barsVisible_; }

    // Lays the panes out for the status bar's width.
    void Relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTick(int bar);
    void ShowFree();

    QStatusBar* bar_;
    std::array<QLabel*, kPanes> labels_{};
    std::array<QString, kPanes> texts_{};
    std::array<QProgressBar*, kBars> bars_{};
    std::array<QTimer*, kBars> timers_{};
    std::array<int, kBars> counters_{};
    bool barsVisible_ = true;
};

}  // namespace pq
