// The devices the console serves from a configuration, driven through the
// control object as the console drives it: a serial display on a real pty,
// a broken entry that gives 104 and says why, and the trace of both.
#include "app/DeviceSetup.h"
#include "device/DeviceTesting.h"
#include "serial/PtyTesting.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

using namespace devicetest;
using namespace display;

namespace {

constexpr std::array<std::string_view, 2> commandSets{"DM-D", "CD5220"};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(DeviceSetup, aConfiguredSerialDisplayIsDrivenAndTracedThroughTheControl) {
    serialtest::Pty pty;
    serialtest::TempDir dir;
    const std::string name = uniqueDeviceName("serial");
    const auto trace = dir.path() / "trace.log";
    const auto config = device::parseDeviceConfig(
        "[devices.\"" + name + "\"]\nservice = \"serial\"\nport = \"" + pty.slavePath() +
            "\"\nbaud = 115200\ntrace = \"" + trace.string() + "\"\n",
        "devices.toml", commandSets);
    const auto setup = app::setUpDevices(config);
    ASSERT_TRUE(setup.problems.empty());
    // The built-in displays are still there.
    EXPECT_NE(setup.registry->find("TQN730"), nullptr);

    Driver d(name, setup.registry);
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.readInt("DeviceRows"), 2);
    EXPECT_FALSE(d.readBool("CapDescriptors"));
    pty.take();
    EXPECT_EQ(d.call("DisplayTextAt", {I(1), I(0), S(u"Total"), I(0)}), OPOS_SUCCESS);
    // From home, one line down is the cheapest way to (1,2).
    EXPECT_EQ(pty.take(), "\x0ATotal");
    // Data that would end a line or fake another one stays inside its literal.
    EXPECT_EQ(
        d.call("DisplayText", {S(u"\"x\"\n2026-01-01T00:00:00Z " + model::utf16(name)), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("Close"), OPOS_SUCCESS);

    const std::string log = slurp(trace);
    EXPECT_NE(log.find(name + " DisplayTextAt 1 0 \"Total\" 0 -> OPOS_SUCCESS  # "), std::string::npos)
        << log;
    EXPECT_NE(log.find(name + " wire 6 bytes: 0A 54 6F 74 61 6C"), std::string::npos) << log;
    EXPECT_NE(log.find(name + " DeviceEnabled = true -> OPOS_SUCCESS  # "), std::string::npos) << log;
    EXPECT_NE(log.find(name + " DeviceRows -> 2  # "), std::string::npos) << log;
    EXPECT_NE(log.find(" DisplayText \"\\\"x\\\"\\n2026-01-01T00:00:00Z " + name + "\" 0 -> OPOS_SUCCESS"),
        std::string::npos)
        << log;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(line.starts_with("20")) << line;
}

TEST(DeviceSetup, aBrokenEntryGivesNoServiceAndSaysWhyOnStandardErrorAndInTheTrace) {
    serialtest::TempDir dir;
    const std::string name = uniqueDeviceName("broken");
    const auto trace = dir.path() / "trace.log";
    const auto config =
        device::parseDeviceConfig("[devices.\"" + name + "\"]\nservice = \"serial\"\ntrace = \"" +
                                      trace.string() + "\"\nport = \"/dev/ttyS0\"\nbaud = 9601\n",
            "devices.toml", commandSets);
    const auto setup = app::setUpDevices(config);
    const std::string reason = "devices.toml:5: device \"" + name + "\": baud 9601 is not a supported speed";
    ASSERT_EQ(setup.problems.size(), 1u);  // told at start-up too
    EXPECT_TRUE(setup.problems[0].starts_with(reason)) << setup.problems[0];
    Driver d(name, setup.registry);
    testing::internal::CaptureStderr();
    EXPECT_EQ(d.open(), OPOS_E_NOSERVICE);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(reason), std::string::npos) << err;
    EXPECT_NE(slurp(trace).find(reason), std::string::npos);
    EXPECT_NE(slurp(trace).find("Open \"" + name + "\" -> OPOS_E_NOSERVICE  # "), std::string::npos);
}

TEST(DeviceSetup, anUnwritableTraceIsAProblemAndTheDeviceStillWorks) {
    const std::string name = uniqueDeviceName("untraced");
    const auto config = device::parseDeviceConfig(
        "[devices.\"" + name + "\"]\nservice = \"simulated\"\ntrace = \"/nonexistent/dir/t.log\"\n",
        "devices.toml", commandSets);
    const auto setup = app::setUpDevices(config);
    ASSERT_EQ(setup.problems.size(), 1u);
    EXPECT_NE(setup.problems[0].find(
                  "devices.toml:1: device \"" + name +
                  "\": cannot open the trace file \"/nonexistent/dir/t.log\": No such file or directory"),
        std::string::npos)
        << setup.problems[0];
    // Told again where the technician is looking when the device is opened.
    Driver d(name, setup.registry);
    testing::internal::CaptureStderr();
    EXPECT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(setup.problems[0]), std::string::npos);
    EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_SUCCESS);
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
}

TEST(DeviceSetup, aFileThatCannotBeReadGivesNoServiceForEveryNameTheBuiltInOnesIncluded) {
    serialtest::TempDir dir;
    std::ofstream(dir.path() / "devices.toml")
        << "[devices]\nTQN730 = { service = \"serial\", port = /dev/ttyUSB0 }\n";
    const auto setup =
        app::setUpDevices(device::loadDeviceConfig({{}, dir.path() / "devices.toml"}, commandSets));
    ASSERT_EQ(setup.problems.size(), 1u);
    for (const std::string name : {"TQN730", "DM-D202", "Bench"}) {
        Driver d(name, setup.registry);
        testing::internal::CaptureStderr();
        EXPECT_EQ(d.open(), OPOS_E_NOSERVICE) << name;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(setup.problems[0]), std::string::npos);
    }
}
