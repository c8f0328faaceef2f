// The window's arithmetic and decisions, without a window.
#include <gtest/gtest.h>

#include "shell/FrameRules.h"

namespace pq::frame {
namespace {

TEST(FrameRules, ElapsedTextHasTwoDigitsAndAsManyHoursAsNeeded) {
    EXPECT_EQ(ElapsedText(0), "00:00:00");
    EXPECT_EQ(ElapsedText(3 * 3600 + 5 * 60 + 7), "03:05:07");
    EXPECT_EQ(ElapsedText(100 * 3600 + 59), "100:00:59");
    EXPECT_EQ(ElapsedText(-5), "00:00:00");
}

TEST(FrameRules, PaneFourTakesWhatIsLeft) {
    const auto w = PaneWidths(2000, 4, 7);
    EXPECT_EQ(w[0], 48 * 4);
    EXPECT_EQ(w[1], 34 * 4);
    EXPECT_EQ(w[5], 38 * 4);
    EXPECT_EQ(w[4], 2000 - (48 + 34 + 44 + 34 + 38) * 4 - 8 * 7 * 17 / 18);
    EXPECT_EQ(PaneWidths(100, 4, 7)[4], 0) << "never below 0";
}

TEST(FrameRules, ActivityBarsRunToOneHundredAndStartAgain) {
    EXPECT_EQ(Tick(0, 1).position, 0);
    EXPECT_EQ(Tick(0, 1).next, 1);
    EXPECT_EQ(Tick(99, 1).next, 0);
    EXPECT_EQ(Tick(90, 10).next, 0);
    EXPECT_EQ(Tick(150, 10).position, 0) << "a counter of 100 or more restarts";
}

TEST(FrameRules, SplitterEntries) {
    struct Case {
        const char* text;  // nullptr: absent
        SplitterEntry expected;
    };
    const QString texts[] = {"-1 150 -1 150", "2 300 0 40", "-1 -1 -1 5",
                             "garbage",       "1 2 3",      "  -1   220  -1  90 "};
    const std::vector<std::pair<const QString*, SplitterEntry>> cases = {
        {nullptr, {-1, 150, -1, 150}},   {&texts[0], {-1, 150, -1, 150}},
        {&texts[1], {2, 300, -1, 40}},   {&texts[2], {-1, 100, -1, 10}},
        {&texts[3], {-1, 100, -1, 100}}, {&texts[4], {-1, 100, -1, 100}},
        {&texts[5], {-1, 220, -1, 90}},
    };
    for (const auto& [text, e] : cases) {
        SplitterEntry got = ParseSplitterEntry(text);
        const QString what = text ? *text : QStringLiteral("(absent)");
        EXPECT_EQ(got.hiddenFirst, e.hiddenFirst) << what.toStdString();
        EXPECT_EQ(got.sizeFirst, e.sizeFirst) << what.toStdString();
        EXPECT_EQ(got.hiddenSecond, e.hiddenSecond) << what.toStdString();
        EXPECT_EQ(got.sizeSecond, e.sizeSecond) << what.toStdString();
    }
    EXPECT_EQ(FormatSplitterEntry({-1, -1, -1, 250}), "-1 100 -1 250");
}

TEST(FrameRules, SavedRectanglesAreFittedToTheScreens) {
    const std::vector<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    // On a screen: kept.
    EXPECT_EQ(FitToScreens(QRect(100, 100, 800, 600), screens), QRect(100, 100, 800, 600));
    // The corner on no screen: the nearest screen's top-left.
    EXPECT_EQ(FitToScreens(QRect(5000, 200, 800, 600), screens), QRect(1920, 0, 800, 600));
    EXPECT_EQ(FitToScreens(QRect(-3000, -3000, 400, 300), screens), QRect(0, 0, 400, 300));
    // Larger than the screen: cut to it.
    EXPECT_EQ(FitToScreens(QRect(10, 10, 5000, 4000), screens), QRect(0, 0, 1920, 1040));
    // Running off the right edge: moved back onto the screen.
    EXPECT_EQ(FitToScreens(QRect(1500, 100, 800, 600), screens), QRect(1120, 100, 800, 600));
    EXPECT_FALSE(FitToScreens(QRect(10, 10, -5, 20), screens).isValid());
    EXPECT_FALSE(FitToScreens(QRect(10, 10, 50, 20), {}).isValid());
}

TEST(FrameRules, EnterRule) {
    struct Case {
        bool keywordBox;
        const char* layout;
        bool typed;
        const char* text;
        EnterAction action;
    };
    const Case cases[] = {
        {false, "search", true, "http://h/", EnterAction::kWebSearch},
        {false, "nosearch", true, "http://h/", EnterAction::kListHistory},
        {false, "search", true, "", EnterAction::kNothing},
        {false, "nosearch", true, "", EnterAction::kNothing},
        {false, "search", false, "http://h/", EnterAction::kNothing},
        {false, "nosearch", false, "http://h/", EnterAction::kNothing},
        {true, "search", true, "red cars", EnterAction::kKeywordSearch},
        {true, "nosearch", true, "red cars", EnterAction::kKeywordSearch},
        {true, "nosearch", false, "red cars", EnterAction::kNothing},
        {true, "search", true, "", EnterAction::kNothing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EnterRule(c.keywordBox, c.layout, c.typed, c.text), c.action)
            << c.keywordBox << " " << c.layout << " " << c.typed << " '" << c.text << "'";
}

}  // namespace
}  // namespace pq::frame
