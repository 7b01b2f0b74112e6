// Property writes: each property's range, the state it needs and its result
// code, one row per rule; a refused write leaves the property unchanged.
// Also the brightness levels, the cursor types, the marquee types and power
// reporting of each profile.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

#include <optional>

using namespace devicetest;
using namespace display;

namespace {

enum class Stage { Closed, Opened, Claimed, Enabled };

const char* stageName(Stage s) {
    switch (s) {
    case Stage::Closed: return "closed";
    case Stage::Opened: return "opened";
    case Stage::Claimed: return "claimed";
    case Stage::Enabled: return "enabled";
    }
    return "?";
}

// Takes a fresh driver to a stage; false if a step fails.
bool reach(Driver& d, Stage stage) {
    if (stage == Stage::Closed) return true;
    if (d.open() != OPOS_SUCCESS) return false;
    if (stage == Stage::Opened) return true;
    if (d.call("ClaimDevice", {I(0)}) != OPOS_SUCCESS) return false;
    if (stage == Stage::Claimed) return true;
    return d.write("DeviceEnabled", B(true)) == OPOS_SUCCESS;
}

struct Rule {
    const char* profile = nullptr;
    const char* property = nullptr;
    Variant value;
    Stage stage{};
    std::int32_t result = 0;
    std::optional<Variant> readsAfter = std::nullopt;  // when it differs from the value written
};

void checkRule(const Rule& rule) {
    SCOPED_TRACE(std::string(rule.profile) + ": " + rule.property + " = " + rule.value.describe() +
                 " while " + stageName(rule.stage));
    Driver d(rule.profile);
    ASSERT_TRUE(reach(d, rule.stage));
    const Variant before = d.read(rule.property);
    EXPECT_EQ(d.write(rule.property, rule.value), rule.result);
    const Variant after = d.read(rule.property);
    if (rule.result != OPOS_SUCCESS) {
        EXPECT_EQ(after, before) << "a refused write must leave the property unchanged";
    } else {
        EXPECT_EQ(after, rule.readsAfter.value_or(rule.value));
    }
}

// The window and device properties need the device claimed and enabled.
const char* const windowAndDeviceProperties[] = {
    "CursorRow",
    "CursorColumn",
    "CursorUpdate",
    "CursorType",
    "DeviceBrightness",
    "InterCharacterWait",
    "MarqueeFormat",
    "MarqueeRepeatWait",
    "MarqueeType",
    "MarqueeUnitWait",
    "CurrentWindow",
    "CharacterSet",
};

}  // namespace

TEST(PropertyWrites, windowAndDevicePropertiesNeedClaimAndEnable) {
    for (const char* property : windowAndDeviceProperties) {
        const Variant value = operationNamed(property).valueType == VariantType::Boolean ? B(false) : I(0);
        checkRule({"TQN730", property, value, Stage::Closed, OPOS_E_CLOSED});
        checkRule({"TQN730", property, value, Stage::Opened, OPOS_E_NOTCLAIMED});
        checkRule({"TQN730", property, value, Stage::Claimed, OPOS_E_DISABLED});
    }
}

TEST(PropertyWrites, rangesAndCapabilities) {
    const Rule rules[] = {
        {"TQN730", "CursorRow", I(1), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorRow", I(2), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CursorRow", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CursorColumn", I(20), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorColumn", I(21), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CursorColumn", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CursorUpdate", B(false), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorType", I(2), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorType", I(4 | 0x10000000), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorType", I(0), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CursorType", I(3), Stage::Enabled, OPOS_E_ILLEGAL},  // no half block
        {"TQN730", "CursorType", I(5), Stage::Enabled, OPOS_E_ILLEGAL},  // no reverse cursor
        {"TQN730", "CursorType", I(7), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CursorType", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"DM-D202", "CursorType", I(1), Stage::Enabled, OPOS_E_ILLEGAL},  // a fixed cursor
        {"DM-D202", "CursorType", I(4 | 0x10000000), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "DeviceBrightness", I(100), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "DeviceBrightness", I(60), Stage::Enabled, OPOS_SUCCESS, I(50)},
        {"TQN730", "DeviceBrightness", I(63), Stage::Enabled, OPOS_SUCCESS, I(75)},
        {"TQN730", "DeviceBrightness", I(12), Stage::Enabled, OPOS_SUCCESS, I(0)},
        {"TQN730", "DeviceBrightness", I(0), Stage::Enabled, OPOS_SUCCESS},
        {"DM-D202", "DeviceBrightness", I(30), Stage::Enabled, OPOS_SUCCESS, I(40)},  // a tie goes up
        {"DM-D202", "DeviceBrightness", I(1), Stage::Enabled, OPOS_SUCCESS, I(0)},
        {"TQN730", "DeviceBrightness", I(101), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "DeviceBrightness", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "InterCharacterWait", I(100), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "InterCharacterWait", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"DM-D202", "InterCharacterWait", I(100), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "MarqueeFormat", I(1), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "MarqueeFormat", I(2), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "MarqueeFormat", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "MarqueeRepeatWait", I(500), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "MarqueeRepeatWait", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "MarqueeUnitWait", I(50), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "MarqueeUnitWait", I(-1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "MarqueeType", I(0), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "MarqueeType", I(3), Stage::Enabled, OPOS_E_ILLEGAL},  // window 0 fits its viewport
        {"TQN730", "MarqueeType", I(6), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CharacterSet", I(850), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CharacterSet", I(1252), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CharacterSet", I(0), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "CurrentWindow", I(0), Stage::Enabled, OPOS_SUCCESS},
        {"TQN730", "CurrentWindow", I(1), Stage::Enabled, OPOS_E_ILLEGAL},
        // PowerNotify: open and not enabled, on a device that reports power.
        {"TQN730", "PowerNotify", I(1), Stage::Closed, OPOS_E_CLOSED},
        {"TQN730", "PowerNotify", I(1), Stage::Opened, OPOS_SUCCESS},
        {"TQN730", "PowerNotify", I(1), Stage::Claimed, OPOS_SUCCESS},
        {"TQN730", "PowerNotify", I(1), Stage::Enabled, OPOS_E_ILLEGAL},
        {"TQN730", "PowerNotify", I(2), Stage::Opened, OPOS_E_ILLEGAL},
        {"TQN730", "PowerNotify", I(-1), Stage::Opened, OPOS_E_ILLEGAL},
        {"DM-D202", "PowerNotify", I(1), Stage::Opened, OPOS_E_ILLEGAL},
        // FreezeEvents and BinaryConversion need only an open device.
        {"TQN730", "FreezeEvents", B(true), Stage::Closed, OPOS_E_CLOSED},
        {"TQN730", "FreezeEvents", B(true), Stage::Opened, OPOS_SUCCESS},
        {"TQN730", "BinaryConversion", I(2), Stage::Closed, OPOS_E_CLOSED},
        {"TQN730", "BinaryConversion", I(2), Stage::Opened, OPOS_SUCCESS},
        {"TQN730", "BinaryConversion", I(3), Stage::Opened, OPOS_E_ILLEGAL},
        {"TQN730", "BinaryConversion", I(-1), Stage::Opened, OPOS_E_ILLEGAL},
    };
    for (const auto& rule : rules) checkRule(rule);
}

TEST(PropertyWrites, brightnessReachesTheDisplay) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("DeviceBrightness", I(40)), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    EXPECT_EQ(d.control().shownModel()->brightness(), 50);
}

TEST(PropertyWrites, cursorMovesTheNextOutput) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("CursorRow", I(1)), OPOS_SUCCESS);
    ASSERT_EQ(d.write("CursorColumn", I(18)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"ab"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows()[1], u"                  ab");
}

TEST(MarqueeType, directionNeedsAWindowLargerThanItsViewportAndTheCapability) {
    struct Case {
        const char* profile;
        std::vector<Variant> window;  // CreateWindow arguments
        std::int32_t type;
        std::int32_t result;
    };
    const std::vector<Variant> wide{I(0), I(0), I(1), I(10), I(1), I(30)};
    const std::vector<Variant> tall{I(0), I(0), I(1), I(10), I(4), I(10)};
    const Case cases[] = {
        {"TQN730", wide, 3, OPOS_SUCCESS},
        {"TQN730", wide, 4, OPOS_SUCCESS},
        {"TQN730", wide, 1, OPOS_E_ILLEGAL},
        {"TQN730", tall, 1, OPOS_SUCCESS},
        {"TQN730", tall, 2, OPOS_SUCCESS},
        {"TQN730", tall, 3, OPOS_E_ILLEGAL},
        {"TQN730", wide, 5, OPOS_SUCCESS},
        {"DM-D202", tall, 1, OPOS_E_ILLEGAL},  // no vertical marquee
        {"DM-D202", tall, 5, OPOS_E_ILLEGAL},
        {"DM-D202", wide, 3, OPOS_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " type " + std::to_string(c.type));
        Driver d(c.profile);
        ASSERT_TRUE(d.openClaimEnable());
        const auto created = d.control().invoke(dispIdOf("CreateWindow"), invokeMethod | invokePropertyGet,
            std::span(c.window.data(), c.window.size()));
        ASSERT_EQ(created.int32(), OPOS_SUCCESS);
        EXPECT_EQ(d.write("MarqueeType", I(c.type)), c.result);
        EXPECT_EQ(d.readInt("MarqueeType"), c.result == OPOS_SUCCESS ? c.type : 0);
    }
}

TEST(PowerState, isKnownOnlyWhileWatched) {
    Driver d;
    EXPECT_EQ(d.readInt("PowerState"), 0);  // closed
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("PowerState"), 2000);
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("PowerState"), 2000);  // enabled, but nobody asked for power reports
    ASSERT_EQ(d.write("DeviceEnabled", B(false)), OPOS_SUCCESS);
    ASSERT_EQ(d.write("PowerNotify", I(1)), OPOS_SUCCESS);
    ASSERT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("PowerState"), 2001);
    ASSERT_EQ(d.write("DeviceEnabled", B(false)), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("PowerState"), 2000);

    Driver dm("DM-D202");
    ASSERT_TRUE(dm.openClaimEnable());
    EXPECT_EQ(dm.readInt("PowerState"), 2000);
}
