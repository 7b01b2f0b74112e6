// The handlers against the built-in control object and its simulated
// displays: what a technician sees on the window for the usual roads.
#include "support/RealConsole.h"

#include <gtest/gtest.h>

using testsupport::RealConsole;

TEST(ConsoleRoad, openClaimEnableThenTextReachesTheDisplay) {
    RealConsole c;
    for (const auto& step : testsupport::firstRoad) {
        c.click(step.button);
        EXPECT_EQ(c.label(step.label), step.shows) << step.button;
    }

    c.click("Command7");
    c.device().waitUntilIdle();
    c.click("Command49");
    EXPECT_EQ(c.label("Label34"), u"0");
    const auto rows = c.device().shownRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(0, 14), u"Disp Text Test");

    c.click("Command1");
    c.click("Command8");
    EXPECT_EQ(c.label("Label4"), u"False");
    c.click("cmdExit");
    c.click("Command52");
    EXPECT_EQ(c.label("Label38"), u"1");
}

TEST(ConsoleRoad, blinkOnTheDefaultDisplayIsRefusedAndTheScreenStays) {
    RealConsole c;
    testsupport::openClaimEnable(c);
    c.click("Command7");
    c.device().waitUntilIdle();
    const auto before = c.device().shownRows();
    c.form.select("Option4");
    c.form.type("Text4", u"XXXX");
    c.click("Command7");
    c.device().waitUntilIdle();
    EXPECT_EQ(c.device().shownRows(), before);
    c.click("Command49");
    EXPECT_EQ(c.label("Label34"), u"106");
}

TEST(ConsoleRoad, aCursorRowOutsideTheDisplayChangesNothing) {
    RealConsole c;
    testsupport::openClaimEnable(c);
    c.form.type("Text5", u"1");
    c.click("Command37");
    c.form.type("Text5", u"7");
    c.click("Command37");
    c.click("Command49");
    EXPECT_EQ(c.label("Label34"), u"106");
    c.click("Command11");
    EXPECT_EQ(c.label("Label7"), u"1");
}

TEST(ConsoleRoad, healthCheckAndItsText) {
    RealConsole c;
    c.click("Command14");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_CLOSED");
    testsupport::openClaimEnable(c);
    c.click("Command14");
    EXPECT_EQ(c.label("Label1"), u"OPOS_SUCCESS");
    c.click("Command27");
    EXPECT_EQ(c.label("Label10"), u"Internal HCheck: Successful");
}

TEST(ConsoleRoad, destroyingTheDeviceWindowIsRefused) {
    RealConsole c;
    c.click("Command20");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_CLOSED");
    testsupport::openClaimEnable(c);
    c.click("Command20");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_ILLEGAL");
}

TEST(ConsoleRoad, secondConsoleClaimingTheSameDisplayTimesOut) {
    RealConsole first;
    RealConsole second;
    first.click("Command2");
    first.click("Command3");
    second.click("Command2");
    second.click("Command3");
    EXPECT_EQ(second.label("Label1"), u"OPOS_E_TIMEOUT");
    first.click("Command1");
    second.click("Command3");
    EXPECT_EQ(second.label("Label1"), u"OPOS_SUCCESS");
    // The other display is not affected by this claim.
    first.click("cmdExit");
    first.form.select("Option1");
    first.click("Command2");
    first.click("Command3");
    EXPECT_EQ(first.label("Label1"), u"OPOS_SUCCESS");
}

TEST(ConsoleRoad, readersShowTheClosedDevicesValues) {
    RealConsole c;
    c.click("Command52");
    EXPECT_EQ(c.label("Label38"), u"1");
    c.click("Command49");
    EXPECT_EQ(c.label("Label34"), u"101");
    c.click("Command9");
    EXPECT_EQ(c.label("Label5"), u"0");
    c.click("Command47");
    EXPECT_EQ(c.label("Label32"), u"");
    c.click("Command31");
    EXPECT_EQ(c.label("Label20"), u"DISABLED");
    c.click("Command43");  // writing while closed is refused with 101
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_CLOSED");
    c.click("Command19");  // the toggle's write is refused; the read-back shows it
    EXPECT_EQ(c.label("Label15"), u"False");
}
