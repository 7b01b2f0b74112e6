// The life cycle of the built-in control, driven by dispatch ID: every row of
// the standard's life-cycle table, the order of precondition checks, ResultCode
// bookkeeping and the values read while closed.
#include "DeviceTesting.h"
#include "support/BuiltInControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace devicetest;
using namespace display;

namespace {

// A simulated display whose hardware answers enable with a fixed result.
class AbsentDisplay : public device::SimulatedDisplay {
public:
    AbsentDisplay(const model::DeviceProfile& p, std::int32_t result)
        : SimulatedDisplay(p), result_(result) {}
    std::int32_t enable() override { return result_; }

private:
    std::int32_t result_;
};

Driver driverServedBy(device::DeviceRegistry::Factory factory) {
    const std::string name = uniqueDeviceName("seam");
    auto registry = std::make_shared<device::DeviceRegistry>();
    registry->add(name, std::move(factory));
    return Driver(name, registry);
}

}  // namespace

TEST(Open, unknownNameGivesNoExist) {
    Driver d;
    EXPECT_EQ(d.call("Open", {S(u"NoSuchDisplay")}), OPOS_E_NOEXIST);
    EXPECT_EQ(d.readInt("State"), 1);
}

TEST(Open, secondOpenIsIllegalAndLeavesTheFirst) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.open(), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.readInt("State"), 2);
}

TEST(Open, serviceThatCannotBeCreatedGivesNoService) {
    Driver missing = driverServedBy([] { return std::unique_ptr<device::ServiceObject>(); });
    EXPECT_EQ(missing.open(), OPOS_E_NOSERVICE);
    Driver failing = driverServedBy(
        []() -> std::unique_ptr<device::ServiceObject> { throw std::runtime_error("no port"); });
    EXPECT_EQ(failing.open(), OPOS_E_NOSERVICE);
    EXPECT_EQ(failing.readInt("State"), 1);
}

TEST(Open, setsTheStartingState) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("State"), 2);
    EXPECT_FALSE(d.readBool("Claimed"));
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
    EXPECT_FALSE(d.readBool("FreezeEvents"));
    EXPECT_EQ(d.readInt("PowerNotify"), 0);
    EXPECT_EQ(d.readInt("CurrentWindow"), 0);
    EXPECT_EQ(d.readInt("Rows"), 2);
    EXPECT_EQ(d.readInt("Columns"), 20);
    EXPECT_EQ(d.readInt("DeviceBrightness"), 100);
    EXPECT_TRUE(d.readBool("CursorUpdate"));
    EXPECT_EQ(d.readText("CheckHealthText"), u"");
}

TEST(Open, builtInFactoryServesBothDisplaysAndNothingElse) {
    auto control = testsupport::builtInControl();
    const auto open = [&](std::u16string name) {
        const Variant arg = Variant::fromString(std::move(name));
        return control->invoke(dispIdOf("Open"), invokeMethod | invokePropertyGet, std::span(&arg, 1))
            .int32();
    };
    const auto close = [&] { control->invoke(dispIdOf("Close"), invokeMethod, {}); };
    EXPECT_EQ(open(u"TQN730"), OPOS_SUCCESS);
    close();
    EXPECT_EQ(open(u"DM-D202"), OPOS_SUCCESS);
    close();
    EXPECT_EQ(open(u"tqn730"), OPOS_E_NOEXIST);
}

TEST(ClaimDevice, whileClosedGivesClosed) {
    Driver d;
    EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_E_CLOSED);
}

TEST(ClaimDevice, negativeTimeoutOtherThanMinusOneIsIllegal) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.call("ClaimDevice", {I(-2)}), OPOS_E_ILLEGAL);
    EXPECT_FALSE(d.readBool("Claimed"));
    EXPECT_EQ(d.call("ClaimDevice", {I(-1)}), OPOS_SUCCESS);  // free: "forever" returns at once
    EXPECT_TRUE(d.readBool("Claimed"));
}

TEST(ClaimDevice, againByTheHolderChangesNothing) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    EXPECT_TRUE(d.readBool("Claimed"));
    EXPECT_TRUE(d.readBool("DeviceEnabled"));
}

TEST(ClaimDevice, secondInstanceInTheSameProcessTimesOutUntilReleased) {
    Driver first;
    ASSERT_TRUE(first.openClaimEnable());
    Driver second(first.deviceName(), registryFor(first.deviceName(), "TQN730"));
    ASSERT_EQ(second.open(), OPOS_SUCCESS);
    EXPECT_EQ(second.call("ClaimDevice", {I(0)}), OPOS_E_TIMEOUT);
    EXPECT_EQ(second.call("ClaimDevice", {I(50)}), OPOS_E_TIMEOUT);
    // Asking who holds the claim, however often, never disturbs the holder.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(second.write("DeviceEnabled", B(true)), OPOS_E_CLAIMED);
        EXPECT_EQ(second.call("DisplayText", {S(u"x"), I(0)}), OPOS_E_CLAIMED);
    }
    EXPECT_FALSE(second.readBool("Claimed"));
    EXPECT_TRUE(first.readBool("Claimed"));

    EXPECT_EQ(first.call("ReleaseDevice"), OPOS_SUCCESS);
    EXPECT_EQ(second.write("DeviceEnabled", B(true)), OPOS_E_NOTCLAIMED);
    EXPECT_EQ(second.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(first.call("ClaimDevice", {I(0)}), OPOS_E_TIMEOUT);
}

TEST(ClaimDevice, waitsForAHolderThatReleasesWithinTheTimeout) {
    Driver first;
    ASSERT_TRUE(first.openClaimEnable());
    Driver second(first.deviceName(), registryFor(first.deviceName(), "TQN730"));
    ASSERT_EQ(second.open(), OPOS_SUCCESS);
    std::thread holder([&first] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        first.call("ReleaseDevice");
    });
    EXPECT_EQ(second.call("ClaimDevice", {I(1000)}), OPOS_SUCCESS);
    holder.join();
    EXPECT_TRUE(second.readBool("Claimed"));
}

TEST(ClaimDevice, closeFreesTheClaim) {
    Driver first;
    ASSERT_TRUE(first.openClaimEnable());
    Driver second(first.deviceName(), registryFor(first.deviceName(), "TQN730"));
    ASSERT_EQ(second.open(), OPOS_SUCCESS);
    first.call("Close");
    EXPECT_EQ(second.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
}

TEST(ReleaseDevice, whenClosedOrNotClaimed) {
    Driver d;
    EXPECT_EQ(d.call("ReleaseDevice"), OPOS_E_CLOSED);
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.call("ReleaseDevice"), OPOS_E_ILLEGAL);
}

TEST(ReleaseDevice, disablesFirst) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("ReleaseDevice"), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
    EXPECT_FALSE(d.readBool("Claimed"));
    EXPECT_EQ(d.readInt("State"), 2);
    // Claiming again does not bring back the enabled state.
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
}

TEST(Close, whenNotOpenGivesClosed) {
    Driver d;
    EXPECT_EQ(d.call("Close"), OPOS_E_CLOSED);
}

TEST(Close, disablesReleasesAndDropsWindows) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("CreateWindow", {I(0), I(0), I(1), I(10), I(1), I(10)}), OPOS_SUCCESS);
    ASSERT_EQ(d.readInt("CurrentWindow"), 1);
    ASSERT_EQ(d.call("DisplayText", {S(u"Hello"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.call("Close"), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("State"), 1);
    EXPECT_TRUE(d.control().shownRows().empty());

    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("Claimed"));
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
    EXPECT_EQ(d.readInt("CurrentWindow"), 0);
    EXPECT_EQ(d.readInt("Columns"), 20);
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);  // the claim was given up
    ASSERT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_EQ(
        d.shownRows(), (std::vector<std::u16string>{std::u16string(20, u' '), std::u16string(20, u' ')}));
}

TEST(DeviceEnabled, needsTheClaim) {
    Driver d;
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_E_CLOSED);
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_E_NOTCLAIMED);
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_TRUE(d.readBool("DeviceEnabled"));
    EXPECT_EQ(d.write("DeviceEnabled", B(false)), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("DeviceEnabled"));
}

TEST(DeviceEnabled, absentOrOfflineHardwareIsReported) {
    const auto profile = *model::findProfile("TQN730");
    for (const std::int32_t code : {OPOS_E_NOHARDWARE, OPOS_E_OFFLINE}) {
        Driver d = driverServedBy([profile, code] { return std::make_unique<AbsentDisplay>(profile, code); });
        ASSERT_EQ(d.open(), OPOS_SUCCESS);
        ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
        EXPECT_EQ(d.write("DeviceEnabled", B(true)), code);
        EXPECT_FALSE(d.readBool("DeviceEnabled"));
    }
}

// Every Line Display method checks closed, then claim, then enabled, then
// its arguments; arguments that are wrong in every way must not change that.
TEST(Preconditions, areCheckedInTheStandardOrder) {
    struct MethodCall {
        const char* name;
        std::vector<Variant> goodArgs;
        std::vector<Variant> badArgs;
    };
    const std::vector<MethodCall> methods{
        {"CheckHealth", {I(1)}, {I(9)}},
        {"ClearText", {}, {}},
        {"DisplayText", {S(u"x"), I(0)}, {S(u"x"), I(7)}},
        {"DisplayTextAt", {I(0), I(0), S(u"x"), I(0)}, {I(-1), I(99), S(u"x"), I(7)}},
        {"DestroyWindow", {}, {}},
        {"CreateWindow", {I(0), I(0), I(1), I(5), I(1), I(5)}, {I(-1), I(0), I(0), I(5), I(1), I(5)}},
    };
    const auto invoke = [](Driver& d, const MethodCall& m, const std::vector<Variant>& args) {
        return d.control()
            .invoke(operationNamed(m.name).id, invokeMethod | invokePropertyGet,
                std::span(args.data(), args.size()))
            .int32();
    };
    for (const auto& m : methods) {
        SCOPED_TRACE(m.name);
        Driver d;
        EXPECT_EQ(invoke(d, m, m.badArgs), OPOS_E_CLOSED);
        ASSERT_EQ(d.open(), OPOS_SUCCESS);
        EXPECT_EQ(invoke(d, m, m.badArgs), OPOS_E_NOTCLAIMED);
        {
            Driver other(d.deviceName(), registryFor(d.deviceName(), "TQN730"));
            ASSERT_EQ(other.open(), OPOS_SUCCESS);
            ASSERT_EQ(other.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
            EXPECT_EQ(invoke(d, m, m.badArgs), OPOS_E_CLAIMED);
        }
        ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
        EXPECT_EQ(invoke(d, m, m.badArgs), OPOS_E_DISABLED);
        ASSERT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
        // ClearText has no argument to get wrong; DestroyWindow fails on window 0.
        if (std::string_view(m.name) != "ClearText") {
            EXPECT_EQ(invoke(d, m, m.badArgs), OPOS_E_ILLEGAL);
        }
        if (std::string_view(m.name) != "DestroyWindow") {
            EXPECT_EQ(invoke(d, m, m.goodArgs), OPOS_SUCCESS);
        }
    }
}

TEST(ResultCode, readsClosedBeforeTheFirstCall) {
    Driver d;
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_E_CLOSED);
    EXPECT_EQ(d.readInt("ResultCodeExtended"), 0);
}

TEST(ResultCode, isStoredByMethodsAndWritesButNotByReads) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_SUCCESS);
    EXPECT_EQ(d.call("ClearText"), OPOS_E_NOTCLAIMED);
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_E_NOTCLAIMED);
    d.readInt("Columns");
    d.readText("CharacterSetList");
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_E_NOTCLAIMED);
    EXPECT_EQ(d.write("BinaryConversion", I(5)), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.write("BinaryConversion", I(1)), OPOS_SUCCESS);
    // A discarded call stores its result all the same.
    d.control().invoke(dispIdOf("ReleaseDevice"), invokeMethod, {});
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_E_ILLEGAL);
}

TEST(Reads, whileClosedGiveZeroFalseOrEmpty) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"abc"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("CheckHealth", {I(1)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("Close"), OPOS_SUCCESS);
    for (const auto& op : operations) {
        if (op.isMethod || op.name == "ResultCode" || op.name == "ResultCodeExtended") continue;
        SCOPED_TRACE(std::string(op.name));
        const Variant value = d.read(op.name);
        if (op.name == "State") {
            EXPECT_EQ(value, Variant::fromInt32(1));
        } else if (op.valueType == VariantType::Int32) {
            EXPECT_EQ(value, Variant::fromInt32(0));
        } else if (op.valueType == VariantType::Boolean) {
            EXPECT_EQ(value, Variant::fromBool(false));
        } else {
            EXPECT_EQ(value, Variant::fromString(u""));
        }
    }
}

// Every operation answers in the type of its row of the operations table,
// in every state, and a method returns its result code as an integer.
TEST(Operations, answerInTheirTableTypes) {
    Driver d;
    const auto checkAll = [&] {
        for (const auto& op : operations) {
            if (op.isMethod) continue;
            SCOPED_TRACE(std::string(op.name));
            EXPECT_EQ(d.read(op.name).type(), op.valueType);
        }
    };
    checkAll();
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    checkAll();
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    checkAll();
    for (const auto& op : operations) {
        if (!op.isMethod || op.name == "Open" || op.name == "Close") continue;
        SCOPED_TRACE(std::string(op.name));
        std::vector<Variant> args;
        for (const auto type : op.parameters()) {
            args.push_back(type == VariantType::String ? S(u"x") : I(0));
        }
        const Variant result =
            d.control().invoke(op.id, invokeMethod | invokePropertyGet, std::span(args.data(), args.size()));
        EXPECT_EQ(result.type(), VariantType::Int32);
    }
}

TEST(Capabilities, comeFromTheProfileRow) {
    for (const auto& profile : model::profiles) {
        SCOPED_TRACE(std::string(profile.name));
        Driver d(profile.name);
        ASSERT_EQ(d.open(), OPOS_SUCCESS);
        EXPECT_EQ(d.readInt("DeviceRows"), profile.rows);
        EXPECT_EQ(d.readInt("DeviceColumns"), profile.columns);
        EXPECT_EQ(d.readInt("CapBlink"), profile.capBlink);
        EXPECT_EQ(d.readInt("CapReverse"), profile.capReverse);
        EXPECT_EQ(d.readBool("CapBrightness"), profile.capBrightness);
        EXPECT_EQ(d.readInt("CapCursorType"), profile.capCursorType);
        EXPECT_EQ(d.readInt("CursorType"), profile.initialCursorType);
        EXPECT_EQ(d.readBool("CapDescriptors"), profile.capDescriptors);
        EXPECT_EQ(d.readInt("DeviceDescriptors"), profile.deviceDescriptors);
        EXPECT_EQ(d.readBool("CapHMarquee"), profile.capHMarquee);
        EXPECT_EQ(d.readBool("CapVMarquee"), profile.capVMarquee);
        EXPECT_EQ(d.readBool("CapBlinkRate"), profile.capBlinkRate);
        EXPECT_EQ(d.readBool("CapCustomGlyph"), profile.capCustomGlyph);
        EXPECT_EQ(d.readText("CustomGlyphList"), model::utf16(profile.customGlyphList));
        EXPECT_EQ(d.readInt("CapCharacterSet"), profile.capCharacterSet);
        EXPECT_EQ(d.readText("CharacterSetList"), model::utf16(profile.characterSetList));
        EXPECT_EQ(d.readInt("CharacterSet"), profile.initialCharacterSet);
        EXPECT_EQ(d.readBool("CapICharWait"), profile.capICharWait);
        EXPECT_EQ(d.readInt("CapPowerReporting"), profile.capPowerReporting);
        EXPECT_EQ(d.readInt("DeviceWindows"), profile.deviceWindows);
        // Booleans travel as the standard true.
        if (profile.capBrightness) {
            EXPECT_EQ(d.read("CapBrightness").rawBool(), variantTrue);
        }
        // The initial character set must be one the profile lists.
        EXPECT_TRUE(model::listsCharacterSet(profile, profile.initialCharacterSet));
    }
}
