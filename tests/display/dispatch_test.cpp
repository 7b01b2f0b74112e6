// The operations table, result code names, variants and the control factory.
#include "display/DispatchError.h"
#include "display/OPOSLineDisplay.h"
#include "display/Operations.h"
#include "display/ResultCodes.h"

#include <gtest/gtest.h>

#include <set>

using display::Variant;
using display::VariantType;

TEST(OperationsTable, holdsTheConsoleOperationsWithUniqueIdsAndNames) {
    std::set<int> ids;
    std::set<std::string_view> names;
    int console = 0;
    for (const auto& op : display::operations) {
        EXPECT_TRUE(ids.insert(op.id).second) << op.name;
        EXPECT_TRUE(names.insert(op.name).second) << op.name;
        console += op.usedByConsole;
        if (op.isMethod) {
            EXPECT_EQ(op.valueType, VariantType::Int32) << op.name << " returns a result code";
        }
    }
    EXPECT_EQ(console, 45);
}

TEST(OperationsTable, matchesTheDispatchInterface) {
    // name, dispatch ID, form, the value or parameter types, written out
    // independently of the table.
    struct Row {
        const char* name;
        int id;
        display::Form form;
        std::vector<VariantType> types;
    };
    using enum display::Form;
    const auto I = VariantType::Int32, B = VariantType::Boolean, S = VariantType::String;
    const Row rows[] = {
        {"Open", 37, Read, {S}},
        {"ClaimDevice", 32, Read, {I}},
        {"Close", 35, Call, {}},
        {"ReleaseDevice", 38, Call, {}},
        {"CheckHealth", 31, Read, {I}},
        {"ClearText", 81, Call, {}},
        {"DestroyWindow", 83, Read, {}},
        {"DisplayText", 84, Read, {S, I}},
        {"DisplayTextAt", 85, Read, {I, I, S, I}},
        {"DeviceEnabled", 17, ReadWrite, {B}},
        {"CursorUpdate", 63, ReadWrite, {B}},
        {"PowerNotify", 20, ReadWrite, {I}},
        {"CursorColumn", 61, ReadWrite, {I}},
        {"CursorRow", 62, ReadWrite, {I}},
        {"DeviceBrightness", 64, ReadWrite, {I}},
        {"InterCharacterWait", 69, ReadWrite, {I}},
        {"MarqueeFormat", 70, ReadWrite, {I}},
        {"MarqueeRepeatWait", 71, ReadWrite, {I}},
        {"CursorType", 106, ReadWrite, {I}},
        {"ResultCode", 22, Read, {I}},
        {"BinaryConversion", 11, Read, {I}},
        {"CapPowerReporting", 12, Read, {I}},
        {"PowerState", 21, Read, {I}},
        {"ResultCodeExtended", 23, Read, {I}},
        {"State", 24, Read, {I}},
        {"CapBlink", 50, Read, {I}},
        {"CharacterSet", 57, Read, {I}},
        {"Columns", 59, Read, {I}},
        {"CurrentWindow", 60, Read, {I}},
        {"DeviceDescriptors", 66, Read, {I}},
        {"DeviceWindows", 68, Read, {I}},
        {"Rows", 74, Read, {I}},
        {"CapCursorType", 102, Read, {I}},
        {"CapReverse", 105, Read, {I}},
        {"Claimed", 14, Read, {B}},
        {"FreezeEvents", 18, Read, {B}},
        {"CapBrightness", 51, Read, {B}},
        {"CapDescriptors", 53, Read, {B}},
        {"CapHMarquee", 54, Read, {B}},
        {"CapVMarquee", 56, Read, {B}},
        {"CapBlinkRate", 101, Read, {B}},
        {"CapCustomGlyph", 103, Read, {B}},
        {"CheckHealthText", 13, Read, {S}},
        {"CharacterSetList", 58, Read, {S}},
        {"CustomGlyphList", 107, Read, {S}},
    };
    ASSERT_EQ(std::size(rows), 45u);
    for (const Row& row : rows) {
        const display::Operation* op = display::findOperation(row.id);
        ASSERT_NE(op, nullptr) << row.name;
        EXPECT_EQ(op->name, row.name);
        EXPECT_TRUE(op->usedByConsole) << row.name;
        EXPECT_EQ(op->form, row.form) << row.name;
        const std::vector<VariantType> types =
            op->isMethod ? std::vector<VariantType>(op->parameters().begin(), op->parameters().end())
                         : std::vector<VariantType>{op->valueType};
        EXPECT_EQ(types, row.types) << row.name;
    }
    EXPECT_EQ(display::findOperation(9999), nullptr);
    EXPECT_THROW(display::operationNamed("Nope"), display::DispatchError);
}

TEST(OperationsTable, writablePropertiesAreTheConsolesWritesAndTheStandardsOthers) {
    std::set<std::string_view> writable;
    for (const auto& op : display::operations) {
        if (op.writable) writable.insert(op.name);
        if (op.form == display::Form::ReadWrite) {
            EXPECT_TRUE(op.writable) << op.name;
        }
    }
    EXPECT_EQ(
        writable, (std::set<std::string_view>{"DeviceEnabled", "CursorUpdate", "PowerNotify", "CursorColumn",
                      "CursorRow", "DeviceBrightness", "InterCharacterWait", "MarqueeFormat",
                      "MarqueeRepeatWait", "CursorType", "BinaryConversion", "CharacterSet", "CurrentWindow",
                      "FreezeEvents", "MarqueeType", "MarqueeUnitWait"}));
}

TEST(ResultCodes, nameExactlyTheFifteenCodes) {
    EXPECT_EQ(display::resultCodeName(0), "OPOS_SUCCESS");
    EXPECT_EQ(display::resultCodeName(101), "OPOS_E_CLOSED");
    EXPECT_EQ(display::resultCodeName(112), "OPOS_E_TIMEOUT");
    EXPECT_EQ(display::resultCodeName(114), "OPOS_E_EXTENDED");
    int named = 0;
    for (int code = -200; code <= 300; ++code) named += display::resultCodeName(code).has_value();
    EXPECT_EQ(named, 15);
    for (const int none : {1, 100, 115, -1, 65536}) EXPECT_FALSE(display::resultCodeName(none)) << none;
}

TEST(ShowResultCode, writesKnownNamesAndIgnoresTheRest) {
    std::u16string status = u"Label1";
    std::vector<std::u16string> writes;
    const auto set = [&](std::u16string_view text) {
        status = text;
        writes.emplace_back(text);
    };
    display::ShowResultCode(115, set);
    EXPECT_EQ(status, u"Label1");
    display::ShowResultCode(106, set);
    EXPECT_EQ(status, u"OPOS_E_ILLEGAL");
    display::ShowResultCode(115, set);
    display::ShowResultCode(-1, set);
    EXPECT_EQ(status, u"OPOS_E_ILLEGAL");
    display::ShowResultCode(0, set);
    display::ShowResultCode(0, set);
    EXPECT_EQ(writes, (std::vector<std::u16string>{u"OPOS_E_ILLEGAL", u"OPOS_SUCCESS", u"OPOS_SUCCESS"}));
}

TEST(Variants, keepTheirTypeAndDescribeThemselves) {
    EXPECT_EQ(Variant().type(), VariantType::Empty);
    EXPECT_EQ(Variant::fromBool(true).rawBool(), -1);
    EXPECT_EQ(Variant::fromBool(false).rawBool(), 0);
    EXPECT_EQ(static_cast<int>(Variant::fromInt32(1).type()), 3);
    EXPECT_EQ(static_cast<int>(Variant::fromString(u"").type()), 8);
    EXPECT_EQ(static_cast<int>(Variant::fromBool(true).type()), 11);
    EXPECT_NE(Variant::fromInt32(-1), Variant::fromBool(true));
    EXPECT_EQ(Variant::fromString(u"TQN730").describe(), "string \"TQN730\"");
    EXPECT_EQ(Variant::fromRawBool(1).describe(), "boolean 1 (True)");
}

namespace {
struct Echo : display::Dispatch {
    display::Variant invoke(
        display::DispId id, unsigned flags, std::span<const display::Variant> args) override {
        lastFlags = flags;
        lastArgs.assign(args.begin(), args.end());
        return Variant::fromInt32(id);
    }
    unsigned lastFlags = 0;
    std::vector<Variant> lastArgs;
};
}  // namespace

TEST(ControlFactory, createsByProgIdAndExplainsWhatIsMissing) {
    display::ControlFactory factory;
    try {
        factory.create(display::lineDisplayProgId);
        ADD_FAILURE();
    } catch (const display::DispatchError& e) {
        EXPECT_EQ(e.kind(), display::FailureKind::ControlUnavailable);
        EXPECT_NE(
            std::string(e.what()).find("OposLineDisplay_1_7_LibCtl.OPOSLineDisplay"), std::string::npos);
    }
    factory.registerProgId("Broken.Control", []() -> std::unique_ptr<display::Dispatch> {
        throw std::runtime_error("no service object installed");
    });
    try {
        factory.create("Broken.Control");
        ADD_FAILURE();
    } catch (const display::DispatchError& e) {
        EXPECT_NE(std::string(e.what()).find("no service object installed"), std::string::npos);
    }
    factory.registerProgId(std::string(display::lineDisplayProgId), [] { return std::make_unique<Echo>(); });
    EXPECT_NE(factory.create(display::lineDisplayProgId), nullptr);
}

TEST(OPOSLineDisplay, invokesInTheThreeForms) {
    auto echo = std::make_unique<Echo>();
    Echo* raw = echo.get();
    display::OPOSLineDisplay control(std::move(echo));
    EXPECT_EQ(control.read(37, {Variant::fromString(u"TQN730")}), Variant::fromInt32(37));
    EXPECT_EQ(raw->lastFlags, unsigned(display::invokeMethod | display::invokePropertyGet));
    control.write(17, Variant::fromBool(true));
    EXPECT_EQ(raw->lastFlags, unsigned(display::invokePropertyPut));
    EXPECT_EQ(raw->lastArgs, std::vector<Variant>{Variant::fromBool(true)});
    control.call(35);
    EXPECT_EQ(raw->lastFlags, unsigned(display::invokeMethod));
    EXPECT_TRUE(raw->lastArgs.empty());
}
