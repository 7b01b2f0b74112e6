// Line settings on a real pseudo-terminal: what the port keeps reaches the
// other side (which reads it back as the virtual display does), what it
// cannot keep is named in the trace's opening line instead of failing the
// claim, and a failure message names the settings.
#include "PtyTesting.h"
#include "serial/SerialDisplay.h"

#include <gtest/gtest.h>

#include <termios.h>

TEST(LineSettings, aPtyKeepsSpeedStopBitsOddFlagAndFlowControlAndTheTraceNamesTheRest) {
    serialtest::TempDir dir;
    const struct {
        model::LineSettings line;
        std::string notApplied;
    } cases[] = {
        {{.baud = 19200,
             .parity = model::Parity::odd,
             .stopBits = 2,
             .flowControl = model::FlowControl::rtsCts},
            "parity odd"},
        {{.baud = 2400,
             .dataBits = 7,
             .parity = model::Parity::even,
             .flowControl = model::FlowControl::dtrDsr},
            "7 data bits, parity even, DTR/DSR flow control"},
        {{.baud = 115200, .flowControl = model::FlowControl::xonXoff}, ""},
    };
    for (const auto& c : cases) {
        serialtest::Pty pty;
        const auto tracePath = dir.path() / "trace.log";
        std::filesystem::remove(tracePath);
        auto trace = std::make_shared<device::Trace>(tracePath.string());
        serial::SerialDisplay display({"Pole", pty.slavePath(), c.line, &model::dmD(), 2, 20}, trace);
        ASSERT_NO_THROW(display.claim(std::chrono::milliseconds(0))) << model::describe(c.line);
        termios seen{};
        ASSERT_EQ(::tcgetattr(pty.master(), &seen), 0);
        EXPECT_EQ(::cfgetospeed(&seen), c.line.baud == 19200  ? B19200
                                        : c.line.baud == 2400 ? B2400
                                                              : B115200);
        EXPECT_EQ((seen.c_cflag & CSTOPB) != 0, c.line.stopBits == 2);
        EXPECT_EQ((seen.c_cflag & PARODD) != 0, c.line.parity == model::Parity::odd);
        EXPECT_EQ((seen.c_cflag & CRTSCTS) != 0, c.line.flowControl == model::FlowControl::rtsCts);
        EXPECT_EQ((seen.c_iflag & IXON) != 0, c.line.flowControl == model::FlowControl::xonXoff);
        const std::string text = serialtest::readFile(tracePath);
        const std::string opened =
            "Pole port " + pty.slavePath() + " opened at " + model::describe(c.line) + ", command set DM-D";
        EXPECT_NE(text.find(opened), std::string::npos) << text;
        if (c.notApplied.empty()) {
            EXPECT_EQ(text.find("not applied"), std::string::npos) << text;
        } else {
            EXPECT_NE(text.find("not applied by this port (a pseudo-terminal): " + c.notApplied + "\n"),
                std::string::npos)
                << text;
        }
        // Bytes still flow: the display takes its initialisation.
        EXPECT_EQ(display.enable(), 0);
        EXPECT_FALSE(pty.take().empty());
    }
}

TEST(LineSettings, failuresNameThePortAndItsSettings) {
    const model::LineSettings line{.baud = 4800, .parity = model::Parity::odd};
    try {
        serial::Port::open("/dev/ldt-no-such-port", line, std::chrono::milliseconds(0));
        FAIL() << "opened a port that does not exist";
    } catch (const serial::PortError& e) {
        EXPECT_EQ(e.kind(), serial::PortFailure::missing);
        EXPECT_EQ(std::string(e.what()),
            "serial port /dev/ldt-no-such-port does not exist (look up: No such file or directory; 4800 8O1, "
            "no flow control)");
    }
    serialtest::Pty pty;
    auto port = serial::Port::open(pty.slavePath(), line, std::chrono::milliseconds(0));
    // Changing the settings of an open port is what an identification sweep does.
    port->setLine({.baud = 57600, .stopBits = 2});
    termios seen{};
    ASSERT_EQ(::tcgetattr(pty.master(), &seen), 0);
    EXPECT_EQ(::cfgetospeed(&seen), B57600);
    EXPECT_NE(seen.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(port->notApplied(), "");
    EXPECT_THROW(port->setLine({.baud = 9601}), serial::PortError);
}
