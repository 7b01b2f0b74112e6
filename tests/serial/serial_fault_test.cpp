// Faults of a serial display, through the control object as the console
// drives it, on real pseudo-terminals: a port that is missing, one this user
// may not open, one another process holds, and a display that goes away
// before and while it is written to. Every fault ends in its result code,
// within its time, and nothing that failed counts as shown.
#include "PtyTesting.h"
#include "device/DeviceTesting.h"
#include "serial/SerialDisplay.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstring>
#include <stdexcept>
#include <thread>

using namespace devicetest;
using namespace std::string_literals;
using namespace display;
using Clock = std::chrono::steady_clock;

namespace {

// A control whose device is a display of the set (DM-D by default) on
// `port` at 115200 baud, set to open with PC437.
Driver serialDriver(const std::string& port, const model::CommandSet& set = model::dmD()) {
    const std::string name = uniqueDeviceName("serial");
    auto registry = std::make_shared<device::DeviceRegistry>();
    const serial::SerialSettings settings{name, port, {.baud = 115200}, &set, 2, 20, false, 437};
    registry->add(name, [settings] { return std::make_unique<serial::SerialDisplay>(settings); });
    return Driver(name, registry);
}

std::int32_t claimQuietly(Driver& d, std::int32_t timeout, std::string* reason = nullptr) {
    testing::internal::CaptureStderr();
    const std::int32_t result = d.call("ClaimDevice", {I(timeout)});
    const std::string err = testing::internal::GetCapturedStderr();
    if (reason) *reason = err;
    return result;
}

}  // namespace

TEST(SerialFaults, missingPortAtClaimGivesNoHardwareWithTheReason) {
    Driver d = serialDriver("/dev/ldt-no-such-port");
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    std::string reason;
    EXPECT_EQ(claimQuietly(d, 500, &reason), OPOS_E_NOHARDWARE);
    EXPECT_NE(reason.find("serial port /dev/ldt-no-such-port does not exist"), std::string::npos) << reason;
    EXPECT_FALSE(d.readBool("Claimed"));
}

TEST(SerialFaults, portWithoutPermissionGivesNoHardwareWithTheReason) {
    serialtest::Pty pty;
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0600), 0);
    // Tests run as root, who may open anything: the claim runs in a child
    // that has become nobody.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        Driver d = serialDriver(pty.slavePath());
        if (d.open() != OPOS_SUCCESS) ::_exit(3);
        std::string reason;
        if (claimQuietly(d, 500, &reason) != OPOS_E_NOHARDWARE) ::_exit(4);
        ::_exit(reason.find("may not be opened by this user") != std::string::npos ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not drop privileges, 4: wrong code, 5: wrong reason";
}

TEST(SerialFaults, portHeldByAnotherProcessTimesOutThenIsClaimedOnceFree) {
    serialtest::Pty pty;
    serialtest::PortHolder holder(pty.slavePath());
    Driver d = serialDriver(pty.slavePath());
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    const auto started = Clock::now();
    std::string reason;
    EXPECT_EQ(claimQuietly(d, 300, &reason), OPOS_E_TIMEOUT);
    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(280));  // it did wait for the holder
    EXPECT_LT(waited, std::chrono::seconds(5));         // and no longer than about the timeout
    EXPECT_NE(reason.find("is held by another program"), std::string::npos) << reason;
    EXPECT_FALSE(d.readBool("Claimed"));

    holder.release();
    EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_SUCCESS);
}

TEST(SerialFaults, unpluggedWhileEnabledGivesOfflineUntilEnabledAgainOnAFreePortThenRedraws) {
    serialtest::TempDir dir;
    const auto link = dir.path() / "display";
    auto pty = std::make_unique<serialtest::Pty>();
    serialtest::pointLink(link, pty->slavePath());
    Driver d = serialDriver(link.string());
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"Shown"), I(0)}), OPOS_SUCCESS);

    pty->closeMaster();  // unplugged
    testing::internal::CaptureStderr();
    EXPECT_EQ(d.call("DisplayText", {S(u" lost"), I(0)}), OPOS_E_OFFLINE);
    EXPECT_EQ(d.call("ClearText"), OPOS_E_OFFLINE);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("went away"), std::string::npos) << err;
    // What failed is not reported as shown, and the cursor did not move for it.
    EXPECT_EQ(d.shownRows()[0], u"Shown               ");
    EXPECT_EQ(d.readInt("CursorColumn"), 5);
    EXPECT_TRUE(d.readBool("DeviceEnabled"));

    // Still unplugged: enabling again says there is no hardware.
    testing::internal::CaptureStderr();
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_E_NOHARDWARE);
    testing::internal::GetCapturedStderr();

    // Plugged back in (on another pty, as a USB adapter comes back), but
    // another program took the port meanwhile: the claim is ours, so this is
    // no timeout; there is just no display to use.
    pty = std::make_unique<serialtest::Pty>();
    serialtest::pointLink(link, pty->slavePath());
    {
        serialtest::PortHolder holder(pty->slavePath());
        testing::internal::CaptureStderr();
        EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_E_NOHARDWARE);
        const std::string held = testing::internal::GetCapturedStderr();
        EXPECT_NE(held.find("is held by another program"), std::string::npos) << held;
    }

    // Given back: enable re-initialises and redraws what was shown.
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_EQ(pty->take(), "\x1B\x40\x1F\x01\x1F\x43\x00\x1F\x58\x04\x1B\x74\x00Shown"s);
    EXPECT_EQ(d.call("DisplayText", {S(u"!"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(pty->take(), "!");
}

TEST(SerialFaults, aWholeRowDisplayBackAfterAnUnplugGetsEveryRowWrittenWhole) {
    // What the display shows after it was away is not known, so a short
    // write that might leave old characters standing will not do.
    serialtest::TempDir dir;
    const auto link = dir.path() / "display";
    auto pty = std::make_unique<serialtest::Pty>();
    serialtest::pointLink(link, pty->slavePath());
    Driver d = serialDriver(link.string(), *model::findCommandSet("AEDEX"));
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"Shown"), I(0)}), OPOS_SUCCESS);
    pty->take();
    pty->closeMaster();
    testing::internal::CaptureStderr();
    EXPECT_EQ(d.call("DisplayText", {S(u" lost"), I(0)}), OPOS_E_OFFLINE);
    testing::internal::GetCapturedStderr();
    pty = std::make_unique<serialtest::Pty>();
    serialtest::pointLink(link, pty->slavePath());
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_SUCCESS);
    EXPECT_EQ(pty->take(), "!#9Shown" + std::string(35, ' ') + "\x0D");
    // From then on only what changes, and short where that is safe.
    EXPECT_EQ(d.call("DisplayText", {S(u"!"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(pty->take(), "!#1Shown!\x0D");
}

TEST(SerialFaults, unpluggedUnderSlowOutputOrAClearGivesOfflineNotSuccess) {
    serialtest::Pty pty;
    Driver d = serialDriver(pty.slavePath());
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(5)), OPOS_SUCCESS);
    pty.closeMaster();
    testing::internal::CaptureStderr();
    // Slow output returns at once; its failure on the control's own thread
    // is the answer of the next call that needs the device.
    EXPECT_EQ(d.call("DisplayText", {S(u"abc"), I(0)}), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    EXPECT_EQ(d.call("DisplayText", {S(u"x"), I(0)}), OPOS_E_OFFLINE);
    EXPECT_EQ(d.shownRows()[0], std::u16string(20, u' '));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("slow output: "), std::string::npos) << err;

    // A clear is the caller's own write, and fails as such.
    serialtest::Pty second;
    Driver other = serialDriver(second.slavePath());
    ASSERT_TRUE(other.openClaimEnable());
    ASSERT_EQ(other.call("DisplayText", {S(u"a"), I(0)}), OPOS_SUCCESS);  // so that clearing sends bytes
    second.closeMaster();
    testing::internal::CaptureStderr();
    EXPECT_EQ(other.call("ClearText"), OPOS_E_OFFLINE);
    testing::internal::GetCapturedStderr();
}

TEST(SerialFaults, displayThatStopsTakingBytesGivesOfflineInsteadOfHanging) {
    serialtest::Pty pty;
    Driver d = serialDriver(pty.slavePath());
    ASSERT_TRUE(d.openClaimEnable());
    const int filler = serialtest::fillLine(pty);
    testing::internal::CaptureStderr();
    const auto started = Clock::now();
    EXPECT_EQ(d.call("DisplayText", {S(u"stuck"), I(0)}), OPOS_E_OFFLINE);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("did not take the bytes in time"), std::string::npos) << err;
    EXPECT_EQ(d.shownRows()[0], std::u16string(20, u' '));
    ::close(filler);
}

TEST(SerialFaults, displayGoingAwayMidWriteGivesOffline) {
    serialtest::Pty pty;
    Driver d = serialDriver(pty.slavePath());
    ASSERT_TRUE(d.openClaimEnable());
    const int filler = serialtest::fillLine(pty);
    std::jthread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.closeMaster();
    });
    testing::internal::CaptureStderr();
    const auto started = Clock::now();
    EXPECT_EQ(d.call("DisplayText", {S(u"half"), I(0)}), OPOS_E_OFFLINE);
    EXPECT_LT(Clock::now() - started,
        std::chrono::milliseconds(900));  // the hang-up ended the wait, not the deadline
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("went away"), std::string::npos) << err;
    EXPECT_EQ(d.shownRows()[0], std::u16string(20, u' '));
    ::close(filler);
}

TEST(SerialFaults, releaseAndCloseGiveThePortBack) {
    serialtest::Pty pty;
    // Two device names for one port, as two entries of a configuration may.
    Driver first = serialDriver(pty.slavePath());
    Driver second = serialDriver(pty.slavePath());
    ASSERT_TRUE(first.openClaimEnable());
    ASSERT_EQ(second.open(), OPOS_SUCCESS);
    EXPECT_EQ(claimQuietly(second, 100), OPOS_E_TIMEOUT);
    ASSERT_EQ(first.call("ReleaseDevice"), OPOS_SUCCESS);
    EXPECT_EQ(second.call("ClaimDevice", {I(100)}), OPOS_SUCCESS);
    ASSERT_EQ(second.call("Close"), OPOS_SUCCESS);
    EXPECT_EQ(first.call("ClaimDevice", {I(100)}), OPOS_SUCCESS);
}

TEST(SerialFaults, aPortThatIsNoSerialPortOrIsTheConsoleIsRefusedForWhatItIs) {
    serialtest::TempDir dir;
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = (dir.path() / "socket").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    const std::vector<std::pair<std::string, std::string>> cases{
        {fifo, "serial port " + fifo + " is a named pipe (FIFO), not a serial port (a character device)"},
        {socketPath, "serial port " + socketPath + " is a socket, not a serial port (a character device)"},
        {"/dev/console",
            "serial port /dev/console is not used: it is the machine's console (/dev/console); say "
            "allow-console = true in its device configuration to use it all the same"},
    };
    for (const auto& [port, why] : cases) {
        Driver d = serialDriver(port);
        ASSERT_EQ(d.open(), OPOS_SUCCESS);
        std::string reason;
        EXPECT_EQ(claimQuietly(d, 200, &reason), OPOS_E_NOHARDWARE) << port;
        EXPECT_NE(reason.find(why), std::string::npos) << reason;
    }
    ::close(listener);
}
