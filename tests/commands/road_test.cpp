// The handlers against the built-in control object and its simulated
// displays: what a technician sees on the window for the usual roads.
#include "commands/Commands.h"
#include "device/LineDisplayControl.h"
#include "support/MemoryForm.h"

#include <gtest/gtest.h>

namespace {

// One console window with its own built-in control object, created by ProgID
// as start-up creates it.
struct RealConsole {
    RealConsole() : control(makeControl()) {}
    static std::unique_ptr<display::Dispatch> makeControl() {
        display::ControlFactory factory;
        device::registerBuiltInControl(factory);
        return factory.create(display::lineDisplayProgId);
    }
    void click(std::string_view button) { commands::click(button, form, control); }
    std::u16string label(std::string_view name) const { return form.label(name); }
    device::LineDisplayControl& device() {
        return dynamic_cast<device::LineDisplayControl&>(control.control());
    }

    testsupport::MemoryForm form;
    display::OPOSLineDisplay control;
};

}  // namespace

TEST(ConsoleRoad, openClaimEnableThenTextReachesTheDisplay) {
    RealConsole c;
    c.click("Command3");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_CLOSED");
    c.click("Command2");
    EXPECT_EQ(c.label("Label1"), u"OPOS_SUCCESS");
    c.click("Command2");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_ILLEGAL");
    c.click("Command3");
    EXPECT_EQ(c.label("Label1"), u"OPOS_SUCCESS");
    c.click("Command4");
    c.click("Command8");
    EXPECT_EQ(c.label("Label4"), u"True");

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
    for (const char* b : {"Command2", "Command3", "Command4", "Command7"}) c.click(b);
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
    for (const char* b : {"Command2", "Command3", "Command4"}) c.click(b);
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
    for (const char* b : {"Command2", "Command3", "Command4", "Command14"}) c.click(b);
    EXPECT_EQ(c.label("Label1"), u"OPOS_SUCCESS");
    c.click("Command27");
    EXPECT_EQ(c.label("Label10"), u"Internal HCheck: Successful");
}

TEST(ConsoleRoad, destroyingTheDeviceWindowIsRefused) {
    RealConsole c;
    c.click("Command20");
    EXPECT_EQ(c.label("Label1"), u"OPOS_E_CLOSED");
    for (const char* b : {"Command2", "Command3", "Command4", "Command20"}) c.click(b);
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
