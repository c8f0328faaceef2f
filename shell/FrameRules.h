// The window's arithmetic and decisions, without widgets: the elapsed-time
// text, the status panes' widths, the activity bars' steps, the saved
// splitter and placement entries, and the search bar's Enter rule. The
// window only applies what these say, and tests drive them directly.
#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <string>
#include <vector>

namespace pq::frame {

// "hh:mm:ss": each part at least two digits, hours as many as they need.
std::string ElapsedText(long long seconds);

// The six status panes are sized by runs of spaces in the status bar's
// font (48, 34, 44, 34, 44 and 38 spaces); pane 4 takes what is left of
// the client width after the others and a margin of 8 × 17/18 of the
// font's character width, never less than 0.
inline constexpr std::array<int, 6> kPaneSpaces = {48, 34, 44, 34, 44, 38};
std::array<int, 6> PaneWidths(int clientWidth, int spaceWidth, int charWidth);

// One tick of an activity bar: the position shown is the counter, which
// then advances by step and starts again at 0 from 100 on.
struct ActivityTick {
    int position;
    int next;
};
ActivityTick Tick(int counter, int step);

// A splitter's entry "Panes_N" of the "SplitterWnd" section: four numbers,
// "hidden first size hidden second size" (-1: no hidden pane).
struct SplitterEntry {
    int hiddenFirst = -1;
    int sizeFirst = 150;
    int hiddenSecond = -1;
    int sizeSecond = 150;
};
inline constexpr int kMinPaneSize = 10;
// An absent entry reads as "-1 150 -1 150"; an entry that does not parse
// gives sizes of 100; a third number of 0 counts as -1; sizes are at least
// the minimum pane size.
SplitterEntry ParseSplitterEntry(const QString* text);
// "%d %d %d %d", a size of -1 written as 100.
QString FormatSplitterEntry(const SplitterEntry& e);

// The "Window" section: show state and the normal rectangle.
struct Placement {
    bool present = false;  // "Show" was there (not -1)
    int show = -1;         // 1 normal, 2 minimised, 3 maximised
    QRect rect;
};
// Fits a saved rectangle to the screens' work areas: the screen nearest
// the top-left corner is chosen; a corner outside its work area moves to
// the work area's top-left; a rectangle larger than the work area is cut
// to it. An empty or inverted rectangle gives an invalid QRect (use the
// default placement).
QRect FitToScreens(const QRect& saved, const std::vector<QRect>& workAreas);

// What Enter in the search bar does.
enum class EnterAction { kNothing, kWebSearch, kKeywordSearch, kListHistory };
// keywordBox: Enter came from the keyword box (keyword mode). layoutState:
// "search" or "nosearch". typed: the box's text was edited since the
// engine box was last.
EnterAction EnterRule(bool keywordBox, const std::string& layoutState, bool typed,
                      const std::string& text);

}  // namespace pq::frame
