// Readers, writers and toggles: which property each button touches, the ways
// of showing a value, the conversions of typed numbers, and the failure paths.
#include "support/Console.h"

#include "display/DispatchError.h"

using display::Variant;
using testsupport::changedLabels;
using testsupport::Console;
using Calls = std::vector<std::string>;

namespace {

enum class Way { Decimal, Boolean, Text, FalseTest, StandardTrue, Enabled };

struct ReaderRow {
    const char* button;
    const char* property;
    Way way;
    const char* label;
};

// The readers as the window's user sees them, written out independently of
// the handlers' own table.
const ReaderRow readerRows[] = {
    {"Command8", "DeviceEnabled", Way::FalseTest, "Label4"},
    {"Command9", "Columns", Way::Decimal, "Label5"},
    {"Command10", "CursorColumn", Way::Decimal, "Label6"},
    {"Command11", "CursorRow", Way::Decimal, "Label7"},
    {"Command12", "Rows", Way::Decimal, "Label8"},
    {"Command13", "CursorUpdate", Way::Boolean, "Label9"},
    {"Command21", "InterCharacterWait", Way::Decimal, "Label11"},
    {"Command23", "CapHMarquee", Way::StandardTrue, "Label16"},
    {"Command24", "CapVMarquee", Way::StandardTrue, "Label17"},
    {"Command25", "MarqueeFormat", Way::Decimal, "Label18"},
    {"Command26", "MarqueeRepeatWait", Way::Decimal, "Label19"},
    {"Command28", "CharacterSet", Way::Decimal, "Label12"},
    {"Command29", "PowerState", Way::Decimal, "Label13"},
    {"Command30", "CapPowerReporting", Way::Decimal, "Label14"},
    {"Command31", "PowerNotify", Way::Enabled, "Label20"},
    {"Command32", "CapBlinkRate", Way::Boolean, "Label21"},
    {"Command34", "CapBlink", Way::Decimal, "Label23"},
    {"Command35", "CapDescriptors", Way::Boolean, "Label24"},
    {"Command36", "DeviceDescriptors", Way::Decimal, "Label25"},
    {"Command40", "CursorType", Way::Decimal, "Label26"},
    {"Command41", "CapCursorType", Way::Decimal, "Label27"},
    {"Command42", "DeviceBrightness", Way::Decimal, "Label28"},
    {"Command44", "CapBrightness", Way::Boolean, "Label29"},
    {"Command45", "CustomGlyphList", Way::Text, "Label30"},
    {"Command46", "CapCustomGlyph", Way::Boolean, "Label31"},
    {"Command47", "CharacterSetList", Way::Text, "Label32"},
    {"Command48", "Claimed", Way::Boolean, "Label33"},
    {"Command49", "ResultCode", Way::Decimal, "Label34"},
    {"Command50", "ResultCodeExtended", Way::Decimal, "Label35"},
    {"Command51", "FreezeEvents", Way::Boolean, "Label37"},
    {"Command52", "State", Way::Decimal, "Label38"},
    {"Command53", "CurrentWindow", Way::Decimal, "Label39"},
    {"Command54", "BinaryConversion", Way::Decimal, "Label40"},
    {"Command55", "DeviceWindows", Way::Decimal, "Label41"},
    {"Command57", "CapReverse", Way::Decimal, "Label43"},
};

// Values and the texts each way of showing makes of them.
struct Sample {
    Variant value;
    std::u16string shown;
};
std::vector<Sample> samples(Way way) {
    switch (way) {
    case Way::Decimal:
        return {{Variant::fromInt32(-42), u"-42"}, {Variant::fromInt32(2147483647), u"2147483647"},
            {Variant::fromInt32(0), u"0"}};
    case Way::Boolean:
        return {{Variant::fromRawBool(1), u"True"}, {Variant::fromBool(true), u"True"},
            {Variant::fromBool(false), u"False"}, {Variant::fromInt32(7), u"True"}};
    case Way::Text:
        return {{Variant::fromString(u"437,850,998"), u"437,850,998"}, {Variant::fromString(u""), u""},
            {Variant::fromString(u" x "), u" x "}};
    case Way::FalseTest:
        return {{Variant::fromRawBool(1), u"True"}, {Variant::fromBool(true), u"True"},
            {Variant::fromBool(false), u"False"}};
    case Way::StandardTrue:
        return {{Variant::fromRawBool(1), u"False"}, {Variant::fromBool(true), u"True"},
            {Variant::fromBool(false), u"False"}, {Variant::fromInt32(5), u"True"}};
    case Way::Enabled:
        return {{Variant::fromInt32(2), u"ENABLED"}, {Variant::fromInt32(1), u"ENABLED"},
            {Variant::fromInt32(0), u"DISABLED"}, {Variant::fromInt32(-1), u"ENABLED"}};
    }
    return {};
}

}  // namespace

TEST(Readers, eachReadsItsPropertyIntoItsOwnLabelOnly) {
    ASSERT_EQ(std::size(readerRows), 35u);
    for (const ReaderRow& row : readerRows) {
        for (const Sample& sample : samples(row.way)) {
            Console c;
            c.control().answer(row.property, sample.value);
            const auto before = c.form.labels();
            c.click(row.button);
            const auto id = display::operationNamed(row.property).id;
            EXPECT_EQ(c.calls(), Calls{std::string("read ") + row.property + "#" + std::to_string(id) + "()"})
                << row.button;
            EXPECT_EQ(changedLabels(before, c.form.labels()),
                (std::map<std::string, std::u16string>{{row.label, sample.shown}}))
                << row.button << " given " << sample.value.describe();
            c.click(row.button);  // a second click with nothing changed shows the same
            EXPECT_EQ(c.form.label(row.label), sample.shown);
        }
    }
}

TEST(Readers, aValueTheRowCannotShowFailsAndLeavesTheLabel) {
    const std::pair<const char*, Variant> unshowable[] = {
        {"Command9", Variant::fromString(u"twenty")},  // decimal row, text that is no number
        {"Command13", Variant::fromString(u"maybe")},  // boolean row
        {"Command31", Variant()},                      // enabled test, no value at all
        {"Command45", Variant()},                      // text row, no value
        {"Command23", Variant::fromString(u"yes")},    // standard-true test
    };
    for (const auto& [button, value] : unshowable) {
        Console c;
        for (const ReaderRow& row : readerRows) c.control().answer(row.property, value);
        const auto before = c.form.labels();
        EXPECT_THROW(c.click(button), display::DispatchError) << button;
        EXPECT_EQ(c.form.labels(), before) << button;
    }
}

TEST(Readers, aFailingReadLeavesTheLabel) {
    Console c;
    c.control().failOn("Rows");
    EXPECT_THROW(c.click("Command12"), display::DispatchError);
    EXPECT_EQ(c.form.label("Label8"), u"Unknown");
}

TEST(Writers, withoutEditingWriteTheInitialTextsAsIntegers) {
    Console c;
    for (const char* button :
        {"Command15", "Command16", "Command22", "Command37", "Command38", "Command39"}) {
        c.click(button);
    }
    EXPECT_EQ(c.calls(), (Calls{"write InterCharacterWait#69(100)", "write MarqueeRepeatWait#71(0)",
                             "write MarqueeFormat#70(0)", "write CursorRow#62(0)", "write CursorColumn#61(0)",
                             "write CursorType#106(0)"}));
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
}

TEST(Writers, takeNumbersAsTypedWithRoundingAndSigns) {
    const std::pair<std::u16string, std::string> typed[] = {
        {u"-5", "-5"}, {u"  12  ", "12"}, {u"2.5", "2"}, {u"3.5", "4"}, {u"0x10000002", "268435458"}};
    for (const auto& [text, written] : typed) {
        Console c;
        c.form.type("Text10", text);
        c.click("Command39");
        EXPECT_EQ(c.calls(), Calls{"write CursorType#106(" + written + ")"});
    }
}

TEST(Writers, textThatIsNoNumberWritesNothing) {
    for (const std::u16string bad : {u"", u"   ", u"abc", u"2147483648", u"-2147483649", u"12abc"}) {
        Console c;
        c.control().answer("ResultCode", Variant::fromInt32(0));
        c.form.type("Text11", bad);
        EXPECT_THROW(c.click("Command43"), display::DispatchError);
        EXPECT_TRUE(c.calls().empty());
        EXPECT_EQ(c.form.label("Label1"), u"Label1");
    }
}

TEST(DeviceBrightnessWriter, namesTheResultCodeOfTheWrite) {
    Console c;
    c.form.type("Text11", u"50");
    c.control().answer("ResultCode", Variant::fromInt32(101));
    c.click("Command43");
    EXPECT_EQ(c.calls(), (Calls{"write DeviceBrightness#64(50)", "read ResultCode#22()"}));
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_CLOSED");
}

TEST(Toggles, standardValuesFlipAndTwoClicksRestore) {
    Console c;
    c.control().answer("CursorUpdate", Variant::fromBool(true));
    c.control().answer("PowerNotify", Variant::fromInt32(0));
    c.click("Command19");
    EXPECT_EQ(c.form.label("Label15"), u"False");
    c.click("Command19");
    EXPECT_EQ(c.form.label("Label15"), u"True");
    c.click("Command56");
    EXPECT_EQ(c.form.label("Label42"), u"False");
    c.click("Command56");
    EXPECT_EQ(c.form.label("Label42"), u"True");
    c.control().clearLog();
    c.click("Command33");
    EXPECT_EQ(c.form.label("Label22"), u"1");
    c.click("Command33");
    EXPECT_EQ(c.form.label("Label22"), u"0");
    EXPECT_EQ(c.calls(), (Calls{"read PowerNotify#20()", "write PowerNotify#20(1)", "read PowerNotify#20()",
                             "read PowerNotify#20()", "write PowerNotify#20(0)", "read PowerNotify#20()"}));
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
}

TEST(Toggles, aRefusedWriteShowsTheUnchangedValue) {
    Console c;
    c.control().answer("CursorUpdate", Variant::fromBool(false));
    c.control().answer("PowerNotify", Variant::fromInt32(0));
    c.control().refuseWrites();
    for (int i = 0; i < 2; ++i) {
        c.click("Command19");
        c.click("Command56");
        c.click("Command33");
        EXPECT_EQ(c.form.label("Label15"), u"False");
        EXPECT_EQ(c.form.label("Label42"), u"False");
        EXPECT_EQ(c.form.label("Label22"), u"0");
    }
}

TEST(Toggles, aNonStandardTrueIsTreatedDifferentlyByTheTwoCursorUpdateButtons) {
    Console c;
    c.control().answer("CursorUpdate", Variant::fromRawBool(1));
    c.click("Command19");
    EXPECT_EQ(c.calls()[1], "write CursorUpdate#63(bool -1)");
    EXPECT_EQ(c.form.label("Label15"), u"True");

    c.control().answer("CursorUpdate", Variant::fromRawBool(1));
    c.control().clearLog();
    c.click("Command56");
    EXPECT_EQ(c.calls()[1], "write CursorUpdate#63(bool 0)");
    EXPECT_EQ(c.form.label("Label42"), u"False");
}

TEST(Toggles, anyNonZeroPowerNotifyWritesZero) {
    Console c;
    c.control().answer("PowerNotify", Variant::fromInt32(5));
    c.click("Command33");
    EXPECT_EQ(c.calls()[1], "write PowerNotify#20(0)");
}

TEST(Toggles, aFailedFirstReadWritesNothing) {
    Console c;
    c.control().failOn("CursorUpdate");
    EXPECT_THROW(c.click("Command19"), display::DispatchError);
    EXPECT_EQ(c.calls(), Calls{"read CursorUpdate#63()"});
    EXPECT_EQ(c.form.label("Label15"), u"Unknown");
    c.control().answer("PowerNotify", Variant::fromString(u"on"));
    EXPECT_THROW(c.click("Command33"), display::DispatchError);
    EXPECT_EQ(c.calls().back(), "read PowerNotify#20()");
}
