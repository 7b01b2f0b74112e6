// Calls that fail as calls: the control throws DispatchError with the kind
// and a message naming the operation and what was wrong; and the coercions
// it accepts between integers and booleans.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

using namespace devicetest;
using namespace display;

namespace {

// The failure of one invoke: its kind and message (the test fails if none).
DispatchError failureOf(Driver& d, DispId id, unsigned flags, std::vector<Variant> args) {
    try {
        d.control().invoke(id, flags, std::span(args.data(), args.size()));
    } catch (const DispatchError& e) {
        return e;
    }
    ADD_FAILURE() << "invoke of " << id << " did not fail";
    return DispatchError(FailureKind::ControlFault, "");
}

constexpr unsigned readFlags = invokeMethod | invokePropertyGet;

}  // namespace

TEST(DispatchFailures, unknownDispatchId) {
    Driver d;
    const auto e = failureOf(d, 9999, readFlags, {});
    EXPECT_EQ(e.kind(), FailureKind::UnknownMember);
    EXPECT_NE(std::string(e.what()).find("9999"), std::string::npos);
}

TEST(DispatchFailures, putOnReadOnlyPropertyOrMethod) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    for (const char* name : {"Columns", "State", "CheckHealthText", "Claimed", "ClearText"}) {
        SCOPED_TRACE(name);
        const auto e = failureOf(d, operationNamed(name).id, invokePropertyPut, {I(1)});
        EXPECT_EQ(e.kind(), FailureKind::UnknownMember);
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
    }
    EXPECT_EQ(d.readInt("Columns"), 20);
}

TEST(DispatchFailures, wrongFormOfInvoke) {
    Driver d;
    // A property called as a method, and a method read as a property.
    EXPECT_EQ(failureOf(d, dispIdOf("Columns"), invokeMethod, {}).kind(), FailureKind::UnknownMember);
    EXPECT_EQ(failureOf(d, dispIdOf("ClearText"), invokePropertyGet, {}).kind(), FailureKind::UnknownMember);
}

TEST(DispatchFailures, wrongArgumentCountSaysWhatIsExpected) {
    Driver d;
    const auto e = failureOf(d, dispIdOf("DisplayText"), readFlags, {S(u"x")});
    EXPECT_EQ(e.kind(), FailureKind::BadArgumentCount);
    EXPECT_STREQ(e.what(), "DisplayText takes 2 arguments (string, integer), got 1");
    EXPECT_STREQ(
        failureOf(d, dispIdOf("Close"), invokeMethod, {I(1)}).what(), "Close takes no arguments, got 1");
    EXPECT_STREQ(
        failureOf(d, dispIdOf("Open"), readFlags, {}).what(), "Open takes 1 argument (string), got 0");
    EXPECT_EQ(failureOf(d, dispIdOf("Columns"), readFlags, {I(1)}).kind(), FailureKind::BadArgumentCount);
    EXPECT_EQ(
        failureOf(d, dispIdOf("CursorRow"), invokePropertyPut, {}).kind(), FailureKind::BadArgumentCount);
    EXPECT_EQ(failureOf(d, dispIdOf("CursorRow"), invokePropertyPut, {I(1), I(2)}).kind(),
        FailureKind::BadArgumentCount);
    // A failing call is no OPOS call: ResultCode keeps its value.
    EXPECT_EQ(d.readInt("ResultCode"), OPOS_E_CLOSED);
}

TEST(DispatchFailures, wrongArgumentTypeNamesPositionAndValue) {
    Driver d;
    const auto e = failureOf(d, dispIdOf("DisplayTextAt"), readFlags, {I(0), S(u"5"), S(u"x"), I(0)});
    EXPECT_EQ(e.kind(), FailureKind::TypeMismatch);
    EXPECT_STREQ(e.what(), "argument 2 of DisplayTextAt must be an integer, got string \"5\"");
    EXPECT_EQ(failureOf(d, dispIdOf("Open"), readFlags, {I(5)}).kind(), FailureKind::TypeMismatch);
    EXPECT_EQ(
        failureOf(d, dispIdOf("ClaimDevice"), readFlags, {Variant()}).kind(), FailureKind::TypeMismatch);
    const auto put = failureOf(d, dispIdOf("CursorUpdate"), invokePropertyPut, {S(u"True")});
    EXPECT_EQ(put.kind(), FailureKind::TypeMismatch);
    EXPECT_NE(std::string(put.what()).find("CursorUpdate"), std::string::npos);
}

TEST(DispatchCoercion, integersAndBooleansStandInForEachOther) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    // An integer for a boolean: non-zero is true.
    EXPECT_EQ(d.write("DeviceEnabled", I(1)), OPOS_SUCCESS);
    EXPECT_EQ(d.read("DeviceEnabled"), Variant::fromBool(true));
    EXPECT_EQ(d.write("CursorUpdate", I(0)), OPOS_SUCCESS);
    EXPECT_FALSE(d.readBool("CursorUpdate"));
    // A boolean for an integer: its value, so true is -1 and out of range here.
    EXPECT_EQ(d.write("CursorRow", B(true)), OPOS_E_ILLEGAL);
    EXPECT_EQ(d.write("CursorRow", B(false)), OPOS_SUCCESS);
    EXPECT_EQ(d.call("DisplayText", {S(u"x"), B(false)}), OPOS_SUCCESS);
}

TEST(DispatchFailures, serviceObjectFailureIsAControlFaultNamingTheOperation) {
    // A display whose output path breaks, as a serial port can.
    class BrokenDisplay : public device::SimulatedDisplay {
    public:
        using SimulatedDisplay::SimulatedDisplay;
        void apply(const model::DisplayOp&) override { throw std::runtime_error("port closed"); }
    };
    const std::string name = uniqueDeviceName("broken");
    auto registry = std::make_shared<device::DeviceRegistry>();
    registry->add(name, [] { return std::make_unique<BrokenDisplay>(*model::findProfile("TQN730")); });
    Driver d(name, registry);
    ASSERT_TRUE(d.openClaimEnable());
    const auto e = failureOf(d, dispIdOf("DisplayText"), readFlags, {S(u"x"), I(0)});
    EXPECT_EQ(e.kind(), FailureKind::ControlFault);
    EXPECT_STREQ(e.what(), "DisplayText failed inside the Line Display control: port closed");
}
