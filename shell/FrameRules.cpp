#include "shell/FrameRules.h"

#include <QStringList>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace pq::frame {

std::string ElapsedText(long long seconds) {
    if (seconds < 0) seconds = 0;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return buf;
}

std::array<int, 6> PaneWidths(int clientWidth, int spaceWidth, int charWidth) {
    std::array<int, 6> w{};
    int others = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        w[i] = kPaneSpaces[i] * spaceWidth;
        if (i != 4) others += w[i];
    }
    int margin = 8 * charWidth * 17 / 18;
    w[4] = std::max(0, clientWidth - others - margin);
    return w;
}

ActivityTick Tick(int counter, int step) {
    if (counter >= 100 || counter < 0) counter = 0;
    int next = counter + step;
    return {counter, next >= 100 ? 0 : next};
}

SplitterEntry ParseSplitterEntry(const QString* text) {
    SplitterEntry e;
    if (!text) return e;  // absent: "-1 150 -1 150"
    const QStringList parts = text->simplified().split(' ', Qt::SkipEmptyParts);
    bool ok = parts.size() == 4;
    int v[4] = {0, 0, 0, 0};
    for (int i = 0; ok && i < 4; ++i) v[i] = parts[i].toInt(&ok);
    if (!ok) {
        e.sizeFirst = e.sizeSecond = 100;
        return e;
    }
    e.hiddenFirst = v[0] < 0 ? -1 : v[0];
    e.sizeFirst = v[1];
    e.hiddenSecond = v[2] <= 0 ? -1 : v[2];
    e.sizeSecond = v[3];
    for (int* s : {&e.sizeFirst, &e.sizeSecond}) {
        if (*s == -1) *s = 100;
        *s = std::max(*s, kMinPaneSize);
    }
    return e;
}

QString FormatSplitterEntry(const SplitterEntry& e) {
    auto size = [](int s) { return s == -1 ? 100 : s; };
    return QString::asprintf("%d %d %d %d", e.hiddenFirst, size(e.sizeFirst), e.hiddenSecond,
                             size(e.sizeSecond));
}

namespace {

long long DistanceSquared(const QRect& area, const QPoint& p) {
    long long dx = 0, dy = 0;
    if (p.x() < area.left()) dx = area.left() - p.x();
    if (p.x() > area.right()) dx = p.x() - area.right();
    if (p.y() < area.top()) dy = area.top() - p.y();
    if (p.y() > area.bottom()) dy = p.y() - area.bottom();
    return dx * dx + dy * dy;
}

}  // namespace

QRect FitToScreens(const QRect& saved, const std::vector<QRect>& workAreas) {
    if (workAreas.empty() || saved.width() <= 0 || saved.height() <= 0) return {};
    const QPoint corner = saved.topLeft();
    const QRect* nearest = &workAreas.front();
    long long best = LLONG_MAX;
    for (const QRect& a : workAreas) {
        long long d = DistanceSquared(a, corner);
        if (d < best) {
            best = d;
            nearest = &a;
        }
    }
    const QRect& area = *nearest;
    QRect r = saved;
    r.setWidth(std::min(r.width(), area.width()));
    r.setHeight(std::min(r.height(), area.height()));
    if (!area.contains(corner)) r.moveTopLeft(area.topLeft());
    // Keep the whole window on that screen when the corner alone fits.
    if (r.right() > area.right()) r.moveRight(area.right());
    if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
    return r;
}

EnterAction EnterRule(bool keywordBox, const std::string& layoutState, bool typed,
                      const std::string& text) {
    if (!typed || text.empty()) return EnterAction::kNothing;
    // In the keyword box, Enter runs the keyword search a user typed for.
    if (keywordBox) return EnterAction::kKeywordSearch;
    return layoutState == "search" ? EnterAction::kWebSearch : EnterAction::kListHistory;
}

}  // namespace pq::frame
