// The text output buttons: the DeviceEnabled guard, the attribute groups, the
// row and column conversions and the order in which inputs are read.
#include "support/Console.h"

#include "display/DispatchError.h"

using display::Variant;
using testsupport::Console;
using Calls = std::vector<std::string>;

namespace {
Console enabledConsole() {
    Console c;
    c.control().answer("DeviceEnabled", Variant::fromBool(true));
    return c;
}
}  // namespace

TEST(TextOutput, withTheWindowAsItStartsWritesTheDefaultTexts) {
    Console c = enabledConsole();
    c.click("Command7");
    c.click("Command6");
    c.click("Command5");
    EXPECT_EQ(
        c.calls(), (Calls{"read DeviceEnabled#17()", R"(read DisplayText#84("Disp Text Test", 0))",
                       "read DeviceEnabled#17()", R"(read DisplayTextAt#85(1, 5, "Disp Text At Test", 0))",
                       "read DeviceEnabled#17()", "call ClearText#81()"}));
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
}

TEST(TextOutput, eachButtonUsesItsOwnAttributeGroup) {
    Console c = enabledConsole();
    const std::pair<const char*, int> dispText[] = {
        {"Option3", 0}, {"Option4", 1}, {"Option5", 2}, {"Option6", 3}};
    for (const auto& [option, value] : dispText) {
        c.form.select(option);
        c.control().clearLog();
        c.click("Command7");
        c.click("Command6");
        EXPECT_EQ(c.calls()[1], "read DisplayText#84(\"Disp Text Test\", " + std::to_string(value) + ")");
        EXPECT_EQ(c.calls()[3], R"(read DisplayTextAt#85(1, 5, "Disp Text At Test", 0))");
    }
    c.form.select("Option9");
    c.control().clearLog();
    c.click("Command6");
    EXPECT_EQ(c.calls()[1], R"(read DisplayTextAt#85(1, 5, "Disp Text At Test", 2))");
    c.form.clearOptions("Frame1");
    c.control().clearLog();
    c.click("Command6");
    EXPECT_EQ(c.calls()[1], R"(read DisplayTextAt#85(1, 5, "Disp Text At Test", 0))");
    // Should two of a group show as selected, the first in the group's order counts.
    c.form.select("Option4");
    c.form.forceSelected("Option6", true);
    c.form.forceSelected("Option8", true);
    c.form.forceSelected("Option10", true);
    c.control().clearLog();
    c.click("Command7");
    c.click("Command6");
    EXPECT_EQ(c.calls()[1], R"(read DisplayText#84("Disp Text Test", 1))");
    EXPECT_EQ(c.calls()[3], R"(read DisplayTextAt#85(1, 5, "Disp Text At Test", 1))");
}

TEST(TextOutput, aDisabledDeviceGetsOnlyTheEnabledReadAndNoInputIsRead) {
    Console c;
    c.control().answer("DeviceEnabled", Variant::fromBool(false));
    c.form.type("Text1", u"abc");
    c.form.type("Text2", u"");
    const auto before = c.form.labels();
    for (const char* button : {"Command5", "Command7", "Command6"}) c.click(button);
    EXPECT_EQ(c.calls(), Calls(3, "read DeviceEnabled#17()"));
    for (const auto& access : c.form.accesses())
        EXPECT_EQ(access.rfind("text", 0), std::string::npos) << access;
    EXPECT_EQ(c.form.labels(), before);
}

TEST(TextOutput, aNonStandardTrueCountsAsEnabled) {
    Console c;
    c.control().answer("DeviceEnabled", Variant::fromRawBool(1));
    c.click("Command5");
    EXPECT_EQ(c.calls().back(), "call ClearText#81()");
}

TEST(DispTextAt, convertsRowAndColumnFromTheirBoxes) {
    const std::pair<std::u16string, int> rows[] = {
        {u"2.5", 2}, {u"3.5", 4}, {u"  7  ", 7}, {u"-1", -1}, {u"+3", 3}};
    for (const auto& [text, row] : rows) {
        Console c = enabledConsole();
        c.form.type("Text1", text);
        c.form.type("Text2", u"99");
        c.click("Command6");
        EXPECT_EQ(c.calls().back(),
            "read DisplayTextAt#85(" + std::to_string(row) + R"(, 99, "Disp Text At Test", 0))");
    }
}

TEST(DispTextAt, aBadRowStopsBeforeTheColumnIsReadAndNothingReachesTheDisplay) {
    for (const std::u16string bad : {u"", u"abc", u"2147483648", u"1 2"}) {
        Console c = enabledConsole();
        c.form.type("Text1", bad);
        EXPECT_THROW(c.click("Command6"), display::DispatchError);
        EXPECT_EQ(c.calls(), Calls{"read DeviceEnabled#17()"});
        const auto& accesses = c.form.accesses();
        EXPECT_EQ(std::count(accesses.begin(), accesses.end(), "text Text2"), 0);
        EXPECT_EQ(std::count(accesses.begin(), accesses.end(), "text Text3"), 0);
    }
}

TEST(DispTextAt, aBadColumnStopsBeforeTheCall) {
    Console c = enabledConsole();
    c.form.type("Text2", u"five");
    EXPECT_THROW(c.click("Command6"), display::DispatchError);
    EXPECT_EQ(c.calls(), Calls{"read DeviceEnabled#17()"});
}

TEST(DispText, passesTheTextExactlyAsTypedEmptyIncluded) {
    Console c = enabledConsole();
    c.form.type("Text4", u"");
    c.click("Command7");
    c.form.type("Text4", u"  padded  ");
    c.click("Command7");
    EXPECT_EQ(c.calls()[1], R"(read DisplayText#84("", 0))");
    EXPECT_EQ(c.calls()[3], R"(read DisplayText#84("  padded  ", 0))");
}

TEST(TextOutput, resultsAreNotShownButMustBeNumbers) {
    Console c = enabledConsole();
    c.control().answer("DisplayText", Variant::fromInt32(106));
    c.click("Command7");
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
    c.control().answer("DisplayText", Variant::fromString(u"done"));
    EXPECT_THROW(c.click("Command7"), display::DispatchError);
}

TEST(DestoryWindow, callsWhateverTheStateAndNamesTheResult) {
    Console c;
    c.control().answer("DeviceEnabled", Variant::fromBool(false));
    c.control().answer("DestroyWindow", Variant::fromInt32(106));
    c.click("Command20");
    EXPECT_EQ(c.calls(), Calls{"read DestroyWindow#83()"});
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_ILLEGAL");
    c.control().answer("DestroyWindow", Variant::fromInt32(115));
    c.click("Command20");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_ILLEGAL");
}

TEST(HealthChecks, passTheirLevelAndNameTheFull32BitResult) {
    Console c;
    c.form.type("Text1", u"9");
    c.click("Command14");
    c.click("Command17");
    c.click("Command18");
    EXPECT_EQ(
        c.calls(), (Calls{"read CheckHealth#31(1)", "read CheckHealth#31(2)", "read CheckHealth#31(3)"}));
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_SUCCESS");
    c.control().answer("CheckHealth", Variant::fromInt32(101));
    c.click("Command17");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_CLOSED");
    // Not narrowed to 16 bits: an unnamed large code is no overflow.
    c.control().answer("CheckHealth", Variant::fromInt32(65536 + 106));
    EXPECT_NO_THROW(c.click("Command18"));
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_CLOSED");
}

TEST(HealthChecks, checksDoNotTouchTheHealthTextLabel) {
    Console c;
    c.control().answer("CheckHealthText", Variant::fromString(u"Internal HCheck: Successful"));
    c.click("Command14");
    EXPECT_EQ(c.form.label("Label10"), u"Unknown");
    c.click("Command27");
    EXPECT_EQ(c.form.label("Label10"), u"Internal HCheck: Successful");
    c.control().answer("CheckHealthText", Variant::fromString(u""));
    c.click("Command27");
    EXPECT_EQ(c.form.label("Label10"), u"");
    EXPECT_EQ(c.calls().back(), "read CheckHealthText#13()");
}

TEST(HealthChecks, aFailedTextReadKeepsTheLabel) {
    Console c;
    c.control().answer("CheckHealthText", Variant());
    EXPECT_THROW(c.click("Command27"), display::DispatchError);
    EXPECT_EQ(c.form.label("Label10"), u"Unknown");
}
