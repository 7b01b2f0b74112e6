// Slow output (InterCharacterWait): the call returns with the cursor at its
// final place, the characters reach the display one by one in call order,
// ClearText discards what is pending and a wait of 0 shows it at once.
// Nothing here measures time: the tests look at what the display shows
// while output is pending and after it has drained.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

using namespace devicetest;
using namespace display;

namespace {

std::u16string padded(std::u16string text) {
    text.resize(20, u' ');
    return text;
}

// Long enough that a test's own next steps always come before the second
// character, however slow the machine: the wait is cut short by what the
// tests do (ClearText, InterCharacterWait 0, Close), never sat out.
constexpr std::int32_t longWait = 60000;

}  // namespace

TEST(SlowOutput, callReturnsAtOnceWithTheCursorAtItsFinalPlace) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(longWait)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"Hello"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CursorColumn"), 5);
    // At most the first character can be out; the rest waits.
    const auto shown = d.control().shownRows()[0];
    EXPECT_EQ(shown.substr(1), padded(u"").substr(1));
    // Setting the wait back to 0 shows everything pending at once.
    ASSERT_EQ(d.write("InterCharacterWait", I(0)), OPOS_SUCCESS);
    EXPECT_EQ(d.control().shownRows()[0], padded(u"Hello"));
}

TEST(SlowOutput, charactersAppearOneByOneInCallOrder) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(2)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"abc"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayTextAt", {I(1), I(0), S(u"def"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.write("InterCharacterWait", I(0)), OPOS_SUCCESS);  // flushes what is left
    // Output written after slow output stays behind it, even at wait 0.
    ASSERT_EQ(d.call("DisplayText", {S(u"g"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows(), (std::vector{padded(u"abc"), padded(u"defg")}));

    // Watch every state the display passes through: each one adds one
    // character to the previous one, in the order written.
    ASSERT_EQ(d.call("ClearText"), OPOS_SUCCESS);
    ASSERT_EQ(d.write("InterCharacterWait", I(3)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"wxyz"), I(0)}), OPOS_SUCCESS);
    std::vector<std::u16string> seen;
    for (int i = 0; i < 200000 && (seen.empty() || seen.back() != padded(u"wxyz")); ++i) {
        const auto now = d.control().shownRows()[0];
        if (seen.empty() || seen.back() != now) seen.push_back(now);
    }
    // The loop may end before the last character on a slow machine; the
    // final picture is checked after draining, below.
    ASSERT_FALSE(seen.empty());
    const std::u16string full = u"wxyz";
    for (const auto& state : seen) {
        const auto written = state.find_last_not_of(u' ') + 1;
        EXPECT_EQ(state, padded(full.substr(0, written)));  // always a prefix: never out of order
    }
    d.control().waitUntilIdle();
    EXPECT_EQ(d.control().shownRows()[0], padded(u"wxyz"));
}

TEST(SlowOutput, clearTextDiscardsWhatIsPending) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(longWait)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"never shown"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("ClearText"), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    EXPECT_EQ(d.control().shownRows(), (std::vector{padded(u""), padded(u"")}));
    EXPECT_EQ(d.readInt("CursorColumn"), 0);
    // Output after the clear is slow again and lands at the home position.
    ASSERT_EQ(d.call("DisplayText", {S(u"ok"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.write("InterCharacterWait", I(0)), OPOS_SUCCESS);
    EXPECT_EQ(d.control().shownRows()[0], padded(u"ok"));
}

TEST(SlowOutput, clearTextInAnotherWindowDiscardsWhatIsPendingToo) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(longWait)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"Hello"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("CreateWindow", {I(1), I(0), I(1), I(20), I(1), I(20)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("ClearText"), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    // At most the first character had come out; the rest never does.
    const auto row0 = d.control().shownRows()[0];
    EXPECT_EQ(row0.substr(1), padded(u"").substr(1));
    const auto shownCount = static_cast<std::int32_t>(row0.find_last_not_of(u' ') + 1);
    // Window 0 carries on from what it really shows.
    ASSERT_EQ(d.write("CurrentWindow", I(0)), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("CursorColumn"), shownCount);
}

TEST(SlowOutput, cursorUpdateFalseEndsWhereTheCallBegan) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorUpdate", B(false)), OPOS_SUCCESS);
    ASSERT_EQ(d.write("InterCharacterWait", I(1)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayTextAt", {I(1), I(2), S(u"abc"), I(0)}), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    const auto shown = d.control().shownModel();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->shownRows()[1], padded(u"  abc"));
    EXPECT_EQ(shown->cursorRow(), 1);
    EXPECT_EQ(shown->cursorColumn(), 2);
}

TEST(SlowOutput, closeDropsPendingOutputWithoutWaiting) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(longWait)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"pending"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.call("Close"), OPOS_SUCCESS);  // would hang here if the wait were sat out
    EXPECT_TRUE(d.control().shownRows().empty());
}

TEST(SlowOutput, disableShowsWhatIsPending) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(longWait)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"bye"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.write("DeviceEnabled", B(false)), OPOS_SUCCESS);
    EXPECT_EQ(d.control().shownRows()[0], padded(u"bye"));
}

TEST(SlowOutput, needsTheCapability) {
    Driver d("DM-D202");
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.write("InterCharacterWait", I(100)), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.write("InterCharacterWait", I(0)), OPOS_SUCCESS);
}
