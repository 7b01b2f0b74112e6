// The display model on its own: wrapping, scrolling at the last cell, the
// cursor rules, windows and what the device cells keep.
#include "model/DisplayModel.h"

#include <gtest/gtest.h>

using model::DisplayModel;

namespace {

std::vector<std::u16string> rows(std::initializer_list<const char16_t*> lines) {
    return {lines.begin(), lines.end()};
}

}  // namespace

TEST(DisplayModelText, wrapsToTheNextRow) {
    DisplayModel m(2, 5);
    m.writeText(U"abcdefg", 0, true);
    EXPECT_EQ(m.shownRows(), rows({u"abcde", u"fg   "}));
    EXPECT_EQ(m.cursorRow(), 1);
    EXPECT_EQ(m.cursorColumn(), 2);
}

TEST(DisplayModelText, lastCellDoesNotScrollButTheNextCharacterDoes) {
    DisplayModel m(2, 5);
    m.writeText(U"abcdefghij", 0, true);
    EXPECT_EQ(m.shownRows(), rows({u"abcde", u"fghij"}));
    EXPECT_EQ(m.cursorRow(), 1);
    EXPECT_EQ(m.cursorColumn(), 5);  // just past the last cell
    m.writeText(U"k", 0, true);
    EXPECT_EQ(m.shownRows(), rows({u"fghij", u"k    "}));
    EXPECT_EQ(m.cursorRow(), 1);
    EXPECT_EQ(m.cursorColumn(), 1);
}

TEST(DisplayModelText, longTextScrollsAsOftenAsNeeded) {
    DisplayModel m(2, 3);
    m.writeText(U"abcdefghijklm", 0, true);
    EXPECT_EQ(m.shownRows(), rows({u"jkl", u"m  "}));
}

TEST(DisplayModelText, cursorUpdateFalseKeepsTheCursor) {
    DisplayModel m(2, 5);
    m.setCursor(0, 3);
    m.writeText(U"xyz", 2, false);
    EXPECT_EQ(m.shownRows(), rows({u"   xy", u"z    "}));
    EXPECT_EQ(m.cursorRow(), 0);
    EXPECT_EQ(m.cursorColumn(), 3);
    EXPECT_EQ(m.shownCell(1, 0).attribute, 2);
    EXPECT_EQ(m.shownCell(0, 0).attribute, 0);
}

TEST(DisplayModelText, clearBlanksTheWindowAndHomesTheCursor) {
    DisplayModel m(2, 5);
    m.writeText(U"abcdefg", 1, true);
    m.clearWindow();
    EXPECT_EQ(m.shownRows(), rows({u"     ", u"     "}));
    EXPECT_EQ(m.cursorRow(), 0);
    EXPECT_EQ(m.cursorColumn(), 0);
    EXPECT_EQ(m.shownCell(0, 0), model::Cell{});
}

TEST(DisplayModelCursor, columnMayRestJustPastTheRow) {
    DisplayModel m(2, 20);
    EXPECT_TRUE(m.fitsCursor(1, 20));
    EXPECT_FALSE(m.fitsCursor(1, 21));
    EXPECT_FALSE(m.fitsCursor(2, 0));
    EXPECT_FALSE(m.fitsCursor(-1, 0));
    EXPECT_THROW(m.setCursor(2, 0), std::out_of_range);
}

TEST(DisplayModelWindows, geometryRules) {
    const DisplayModel m(2, 20);
    EXPECT_TRUE(m.fitsDevice({0, 0, 2, 20, 2, 20}));
    EXPECT_TRUE(m.fitsDevice({1, 10, 1, 10, 1, 40}));   // horizontal marquee window
    EXPECT_TRUE(m.fitsDevice({0, 0, 1, 10, 5, 10}));    // vertical marquee window
    EXPECT_FALSE(m.fitsDevice({0, 0, 1, 10, 5, 40}));   // larger in both directions
    EXPECT_FALSE(m.fitsDevice({1, 15, 1, 10, 1, 10}));  // viewport past the right edge
    EXPECT_FALSE(m.fitsDevice({2, 0, 1, 10, 1, 10}));   // viewport below the device
    EXPECT_FALSE(m.fitsDevice({0, 0, 0, 10, 1, 10}));   // empty viewport
    EXPECT_FALSE(m.fitsDevice({0, 0, 1, 10, 1, 5}));    // window smaller than viewport
    EXPECT_FALSE(m.fitsDevice({-1, 0, 1, 10, 1, 10}));
    EXPECT_FALSE(m.fitsDevice({0, 0, 1, 10, 1, 2147483647}));  // no absurd buffers
    EXPECT_FALSE(m.fitsDevice({2147483647, 0, 1, 10, 1, 10}));
}

TEST(DisplayModelWindows, writeThroughTheViewportAndKeepCellsOnDestroy) {
    DisplayModel m(2, 20);
    m.writeText(U"0123456789ABCDEFGHIJ", 0, true);
    EXPECT_EQ(m.createWindow({1, 5, 1, 4, 1, 4}, 0), 1);
    EXPECT_EQ(m.rows(), 1);
    EXPECT_EQ(m.columns(), 4);
    m.writeText(U"wxyz!", 0, true);  // the fifth character scrolls the one-row window
    EXPECT_EQ(m.shownRows()[1], u"     !              ");
    EXPECT_EQ(m.shownRows()[0], u"0123456789ABCDEFGHIJ");
    m.destroyWindow();
    EXPECT_EQ(m.currentWindow(), 0);
    EXPECT_EQ(m.shownRows()[1], u"     !              ");
    EXPECT_EQ(m.cursorRow(), 0);  // window 0 kept its own cursor, just past row 0
    EXPECT_EQ(m.cursorColumn(), 20);
}

TEST(DisplayModelWindows, wideWindowShowsItsLeftPart) {
    DisplayModel m(2, 20);
    m.createWindow({0, 0, 1, 5, 1, 10}, 0);
    m.writeText(U"abcdefgh", 0, true);
    EXPECT_EQ(m.shownRows()[0], u"abcde               ");
    EXPECT_EQ(m.windowRows(1)[0], U"abcdefgh  ");
}

TEST(DisplayModelWindows, windowZeroCannotBeDestroyed) {
    DisplayModel m(2, 20);
    EXPECT_THROW(m.destroyWindow(), std::logic_error);
}
