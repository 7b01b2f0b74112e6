// Text output through the control object: what reaches the simulated
// display, attributes against capabilities, DisplayTextAt bounds, character
// mapping and windows.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

using namespace devicetest;
using namespace display;

namespace {

const std::u16string blankRow(20, u' ');

std::u16string padded(std::u16string text) {
    text.resize(20, u' ');
    return text;
}

}  // namespace

TEST(DisplayText, reachesTheDisplayAtTheCursor) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("DisplayText", {S(u"Disp Text Test"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector{padded(u"Disp Text Test"), blankRow}));
    EXPECT_EQ(d.readInt("CursorRow"), 0);
    EXPECT_EQ(d.readInt("CursorColumn"), 14);
}

TEST(DisplayText, scrollsOnlyWhenACharacterFollowsTheLastCell) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    const std::u16string forty = u"ABCDEFGHIJKLMNOPQRSTabcdefghijklmnopqrst";
    ASSERT_EQ(d.call("DisplayText", {S(forty), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector<std::u16string>{forty.substr(0, 20), forty.substr(20)}));
    EXPECT_EQ(d.readInt("CursorRow"), 1);
    EXPECT_EQ(d.readInt("CursorColumn"), 20);
    ASSERT_EQ(d.call("DisplayText", {S(u"!"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector{forty.substr(20), padded(u"!")}));
}

TEST(DisplayText, cursorUpdateFalseLeavesTheCursor) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorUpdate", B(false)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"abc"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"X"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows()[0], padded(u"Xbc"));
    EXPECT_EQ(d.readInt("CursorColumn"), 0);
}

TEST(DisplayText, emptyTextChangesNothing) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorColumn", I(7)), OPOS_SUCCESS);
    EXPECT_EQ(d.call("DisplayText", {S(u""), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CursorColumn"), 7);
    EXPECT_EQ(d.shownRows()[0], blankRow);
}

TEST(DisplayText, attributesAgainstCapabilities) {
    struct Case {
        const char* profile;
        std::int32_t attribute;
        std::int32_t result;
    };
    // TQN730 reverses but does not blink; DM-D202 blinks but does not reverse.
    const Case cases[] = {
        {"TQN730", 0, OPOS_SUCCESS},
        {"TQN730", 1, OPOS_E_ILLEGAL},
        {"TQN730", 2, OPOS_SUCCESS},
        {"TQN730", 3, OPOS_E_ILLEGAL},
        {"TQN730", 4, OPOS_E_ILLEGAL},
        {"TQN730", -1, OPOS_E_ILLEGAL},
        {"DM-D202", 1, OPOS_SUCCESS},
        {"DM-D202", 2, OPOS_E_ILLEGAL},
        {"DM-D202", 3, OPOS_E_ILLEGAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " attribute " + std::to_string(c.attribute));
        Driver d(c.profile);
        ASSERT_TRUE(d.openClaimEnable());
        EXPECT_EQ(d.call("DisplayText", {S(u"ab"), I(c.attribute)}), c.result);
        EXPECT_EQ(d.call("DisplayTextAt", {I(1), I(0), S(u"cd"), I(c.attribute)}), c.result);
        const auto shown = d.control().shownModel();
        ASSERT_TRUE(shown.has_value());
        if (c.result == OPOS_SUCCESS) {
            EXPECT_EQ(shown->shownCell(0, 1).attribute, c.attribute);
            EXPECT_EQ(shown->shownCell(1, 1).attribute, c.attribute);
        } else {
            EXPECT_EQ(d.shownRows(), (std::vector{blankRow, blankRow}));  // a refused call writes nothing
        }
    }
}

TEST(DisplayTextAt, boundsAreTheCurrentWindow) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("DisplayTextAt", {I(1), I(5), S(u"Disp Text At Test"), I(0)}), OPOS_SUCCESS);
    // The console's default text does not fit row 1: it wraps and scrolls.
    EXPECT_EQ(d.shownRows(), (std::vector{std::u16string(u"     Disp Text At Te"), padded(u"st")}));
    EXPECT_EQ(d.readInt("CursorRow"), 1);
    EXPECT_EQ(d.readInt("CursorColumn"), 2);
    for (const auto& [row, column] : std::vector<std::pair<int, int>>{{2, 0}, {-1, 0}, {0, 20}, {0, -1}}) {
        SCOPED_TRACE(std::to_string(row) + "," + std::to_string(column));
        EXPECT_EQ(d.call("DisplayTextAt", {I(row), I(column), S(u"x"), I(0)}), OPOS_E_ILLEGAL);
    }
    EXPECT_EQ(d.readInt("CursorRow"), 1);  // refused calls left the cursor alone
    EXPECT_EQ(d.readInt("CursorColumn"), 2);
}

TEST(DisplayTextAt, withCursorUpdateFalseTheCursorStaysAtTheGivenPlace) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorUpdate", B(false)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayTextAt", {I(1), I(3), S(u"abc"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CursorRow"), 1);
    EXPECT_EQ(d.readInt("CursorColumn"), 3);
}

TEST(ClearText, blanksTheWindowAndHomesTheCursor) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"some text that wraps around"), I(2)}), OPOS_SUCCESS);
    EXPECT_EQ(d.call("ClearText"), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector{blankRow, blankRow}));
    EXPECT_EQ(d.readInt("CursorRow"), 0);
    EXPECT_EQ(d.readInt("CursorColumn"), 0);
}

TEST(CharacterMapping, charactersTheSetCannotShowBecomeQuestionMarks) {
    struct Case {
        std::int32_t characterSet;
        std::u16string text;
        std::u16string shown;
    };
    const Case cases[] = {
        {998, u"Caf\u00e9 \u20ac5", u"Caf? ?5"},                     // ASCII: no accents, no euro
        {437, u"Caf\u00e9 \u20ac5 \u2591", u"Caf\u00e9 ?5 \u2591"},  // CP437: accents and shades, no euro
        {858, u"\u20ac\u00f8", u"\u20ac\u00f8"},                     // CP858: the euro is in
        {850, u"\u20ac\u00f8", u"?\u00f8"},                          // CP850: it is not
        {998, u"tab\there", u"tab?here"},                            // control characters are never shown
        {998, u"\U0001F600!", u"?!"},                                // a surrogate pair is one character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.characterSet);
        Driver d;
        ASSERT_TRUE(d.openClaimEnable());
        ASSERT_EQ(d.write("CharacterSet", I(c.characterSet)), OPOS_SUCCESS);
        ASSERT_EQ(d.call("DisplayText", {S(c.text), I(0)}), OPOS_SUCCESS);
        EXPECT_EQ(d.shownRows()[0], padded(c.shown));
        EXPECT_EQ(d.readInt("CursorColumn"), static_cast<std::int32_t>(c.shown.size()));
    }
}

TEST(CharacterMapping, onlyListedSetsCanBeChosen) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.readInt("CharacterSet"), 997);  // a display that takes Unicode opens with it
    ASSERT_EQ(d.write("CharacterSet", I(437)), OPOS_SUCCESS);
    EXPECT_EQ(d.write("CharacterSet", I(1252)), OPOS_E_ILLEGAL);  // DM-D202 has it, TQN730 not
    EXPECT_EQ(d.write("CharacterSet", I(999)), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.readInt("CharacterSet"), 437);
    Driver dm("DM-D202");
    ASSERT_TRUE(dm.openClaimEnable());
    EXPECT_EQ(dm.write("CharacterSet", I(1252)), OPOS_SUCCESS);
    ASSERT_EQ(dm.call("DisplayText", {S(u"\u20ac\u0152"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(dm.shownRows()[0], padded(u"\u20ac\u0152"));
}

TEST(Windows, createWriteAndDestroy) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"Total"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.call("CreateWindow", {I(1), I(10), I(1), I(10), I(1), I(10)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CurrentWindow"), 1);
    EXPECT_EQ(d.readInt("Rows"), 1);
    EXPECT_EQ(d.readInt("Columns"), 10);
    EXPECT_EQ(d.readInt("CursorColumn"), 0);
    ASSERT_EQ(d.call("DisplayText", {S(u"12.50"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector{padded(u"Total"), padded(u"          12.50")}));
    EXPECT_EQ(d.call("DisplayTextAt", {I(0), I(10), S(u"x"), I(0)}), OPOS_E_ILLEGAL);  // outside this window

    EXPECT_EQ(d.call("DestroyWindow"), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CurrentWindow"), 0);
    EXPECT_EQ(d.readInt("Columns"), 20);
    EXPECT_EQ(d.readInt("CursorColumn"), 5);             // window 0's cursor is where it was
    EXPECT_EQ(d.call("DestroyWindow"), OPOS_E_ILLEGAL);  // window 0 stays
}

TEST(Windows, creationRulesAndTheWindowLimit) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("CreateWindow", {I(0), I(15), I(1), I(10), I(1), I(10)}), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(3), I(10)}), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(0)}), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.readInt("CurrentWindow"), 0);
    const std::int32_t limit = d.readInt("DeviceWindows");
    for (std::int32_t i = 1; i <= limit; ++i) {
        EXPECT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(5)}), OPOS_SUCCESS);
        EXPECT_EQ(d.readInt("CurrentWindow"), i);
    }
    EXPECT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(5)}), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.write("CurrentWindow", I(2)), OPOS_SUCCESS);
    EXPECT_EQ(d.write("CurrentWindow", I(limit + 1)), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.readInt("CurrentWindow"), 2);
}

TEST(Windows, settingsBelongToEachWindow) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorUpdate", B(false)), OPOS_SUCCESS);
    ASSERT_EQ(d.write("InterCharacterWait", I(30)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(5)}), OPOS_SUCCESS);
    EXPECT_TRUE(d.readBool("CursorUpdate"));
    EXPECT_EQ(d.readInt("InterCharacterWait"), 0);
    ASSERT_EQ(d.call("DestroyWindow"), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("CursorUpdate"));
    EXPECT_EQ(d.readInt("InterCharacterWait"), 30);
}

// A window keeps its number for its whole life: destroying another window
// must not renumber it, and a freed number is given to the next new window.
TEST(Windows, numbersStayWithTheirWindows) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(5)}), OPOS_SUCCESS);
    ASSERT_EQ(d.readInt("CurrentWindow"), 1);
    ASSERT_EQ(d.call("CreateWindow", {I(1), I(10), I(1), I(10), I(1), I(10)}), OPOS_SUCCESS);
    ASSERT_EQ(d.readInt("CurrentWindow"), 2);
    ASSERT_EQ(d.write("CurrentWindow", I(1)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DestroyWindow"), OPOS_SUCCESS);
    EXPECT_EQ(d.write("CurrentWindow", I(1)), OPOS_E_ILLEGAL);  // gone
    ASSERT_EQ(d.write("CurrentWindow", I(2)), OPOS_SUCCESS);    // still there, still the same window
    EXPECT_EQ(d.readInt("Columns"), 10);
    ASSERT_EQ(d.call("DisplayText", {S(u"two"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows()[1], padded(u"          two"));
    ASSERT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(3), I(1), I(3)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CurrentWindow"), 1);  // the lowest free number
    EXPECT_EQ(d.readInt("Columns"), 3);
}
