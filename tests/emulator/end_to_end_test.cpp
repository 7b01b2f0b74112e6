// End to end through a real pseudo-terminal: the console's click handlers,
// the built-in control object, the serial service object writing a command
// set to the virtual display's pty, and the virtual display's reader and
// model. The console finds the display as the run command wires it: a device
// configuration named by LDT_DEVICE_CONFIG maps "TQN730" to the pty's link.
// The same script runs first on the built-in simulated display; after every
// step the virtual display must show what the simulated one showed.
#include "app/DeviceSetup.h"
#include "device/LineDisplayControl.h"
#include "emulator/Line.h"
#include "emulator/PtyServer.h"
#include "emulator/VirtualDisplay.h"
#include "model/Hex.h"
#include "support/RealConsole.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using testsupport::RealConsole;

// A step of the script: what the technician types and clicks, and the status
// label and device rows expected afterwards (empty: not checked literally).
struct Step {
    const char* what;
    std::function<void(RealConsole&)> act;
    std::u16string status;
    std::vector<std::u16string> rows;
    std::int32_t brightness = 100;  // on the virtual display, from this step on
};

std::u16string blank() { return std::u16string(20, u' '); }
std::u16string padded(std::u16string text) { return text.append(20 - text.size(), u' '); }

void type(RealConsole& c, std::string_view box, std::u16string text) { c.form.type(box, std::move(text)); }

const std::vector<Step>& script() {
    static const std::vector<Step> steps{
        {"open, claim, enable", [](RealConsole& c) { testsupport::openClaimEnable(c); }, u"OPOS_SUCCESS",
            {blank(), blank()}},
        {"disp text", [](RealConsole& c) { c.click("Command7"); }, u"", {padded(u"Disp Text Test"), blank()}},
        {"disp text at row 1, column 5",
            [](RealConsole& c) {
                type(c, "Text3", u"Total 12.50");
                c.click("Command6");
            },
            u"", {padded(u"Disp Text Test"), padded(u"     Total 12.50")}},
        {"a shorter total over a longer one",
            [](RealConsole& c) {
                type(c, "Text3", u"Total 9.99");
                c.click("Command6");
            },
            u"", {padded(u"Disp Text Test"), padded(u"     Total 9.990")}},
        {"text that wraps and scrolls",
            [](RealConsole& c) {
                type(c, "Text4", u"Thank you, please come again");
                c.click("Command7");
            },
            u"", {}},
        {"code-page letters",
            [](RealConsole& c) {
                type(c, "Text3", u"Caf\u00E9 \u00A3");
                type(c, "Text1", u"0");
                type(c, "Text2", u"0");
                c.click("Command6");
            },
            u"", {}},
        {"brightness",
            [](RealConsole& c) {
                type(c, "Text11", u"40");
                c.click("Command43");
            },
            u"", {}, 40},
        {"clear", [](RealConsole& c) { c.click("Command5"); }, u"", {blank(), blank()}},
        {"text after clear", [](RealConsole& c) { c.click("Command7"); }, u"", {}},
        {"health check, interactive", [](RealConsole& c) { c.click("Command17"); }, u"", {}},
    };
    return steps;
}

// What the console shows of the device: its rows and the status label.
struct Seen {
    std::vector<std::u16string> rows;
    std::u16string status;
};

void runOnSimulated(std::vector<Seen>& seen) {
    RealConsole c(device::DeviceRegistry::builtIn());
    for (const Step& step : script()) {
        step.act(c);
        c.device().waitUntilIdle();
        seen.push_back({c.device().shownRows(), c.form.label("Label1")});
    }
    c.click("Command1");
    c.click("cmdExit");
}

// Everything the serial display has sent so far, read into the virtual
// display; through its receiver when given one, which garbles what a sender
// set otherwise sends.
void drain(emulator::PtyServer& server, emulator::VirtualDisplay& display, emulator::Line* line = nullptr) {
    for (std::string bytes = server.readFor(100ms); !bytes.empty(); bytes = server.readFor(100ms))
        display.feed(line != nullptr ? line->receive(bytes, server.senderSettings()) : bytes);
    if (line != nullptr) display.feed(line->idle());
}

// The devices the console gets when a device configuration, written into
// `folder` and named by LDT_DEVICE_CONFIG as the run command does, wires
// "TQN730" to a serial display on `port`, in code page 437, whose letters
// every set's table holds (Unicode, where a set may show them otherwise, is
// the multilingual test's).
app::DeviceSetup devicesWiredTo(
    const fs::path& folder, const std::string& port, std::string_view commandSet) {
    const fs::path config = folder / "devices.toml";
    std::ofstream(config) << "[devices.\"TQN730\"]\nservice = \"serial\"\nport = \"" << port
                          << "\"\nbaud = 115200\ncommand-set = \"" << commandSet
                          << "\"\ncharacter-set = 437\n";
    ::setenv("LDT_DEVICE_CONFIG", config.c_str(), 1);
    app::DeviceSetup devices = app::setUpDevicesFromEnvironment();
    ::unsetenv("LDT_DEVICE_CONFIG");
    return devices;
}

}  // namespace

TEST(EndToEnd, consoleDrivesTheVirtualDisplayThroughAPtyAsTheSimulatedDisplayShows) {
    std::vector<Seen> simulated;
    runOnSimulated(simulated);

    for (const model::CommandSet& set : model::commandSets()) {
        SCOPED_TRACE(std::string(set.name));
        char pattern[] = "/tmp/ldt-e2e-XXXXXX";
        const fs::path folder = mkdtemp(pattern);
        // The display at its set's factory frame; the configuration names
        // only the speed, so the serial display must take the same frame.
        model::LineSettings factory = set.line;
        factory.baud = 115200;
        emulator::PtyServer server({(folder / "display").string(), 0, factory});
        emulator::Line line(factory);
        emulator::VirtualDisplay screen(set);

        const app::DeviceSetup devices = devicesWiredTo(folder, server.link(), set.name);
        ASSERT_TRUE(devices.problems.empty()) << devices.problems.front();
        RealConsole c(devices.registry);

        for (std::size_t i = 0; i < script().size(); ++i) {
            const Step& step = script()[i];
            SCOPED_TRACE(step.what);
            step.act(c);
            c.device().waitUntilIdle();
            drain(server, screen, &line);
            // The virtual display shows what the simulated display showed,
            // and what the control object says its device shows.
            EXPECT_EQ(screen.model().shownRows(), simulated[i].rows);
            EXPECT_EQ(screen.model().shownRows(), c.device().shownRows());
            // Brightness is a matter of the display's levels: the serial
            // sets that dim have 20/40/60/100 %, the simulated display its
            // own; the others stay bright.
            const bool dims = model::writerForm(set, model::Command::brightness) != nullptr;
            EXPECT_EQ(screen.model().brightness(), dims ? c.device().shownModel()->brightness() : 100);
            EXPECT_EQ(c.form.label("Label1"), simulated[i].status);
            if (!step.status.empty()) {
                EXPECT_EQ(c.form.label("Label1"), step.status);
            }
            if (step.brightness != 100 && dims) {
                EXPECT_EQ(screen.model().brightness(), step.brightness);
            }
            if (!step.rows.empty()) {
                EXPECT_EQ(screen.model().shownRows(), step.rows);
            }
        }
        EXPECT_EQ(line.lost() + line.replaced(), 0u);
        EXPECT_EQ(screen.faultCount(), 0u)
            << (screen.faults().empty() ? "" : model::hexBytes(screen.faults().back().bytes));
        EXPECT_EQ(screen.pendingBytes(), 0u);
        // Nothing the writer sends misses the glass of a pass-through set.
        EXPECT_EQ(screen.passedThroughCount(), 0u) << screen.passedThroughText();
        c.click("Command1");
        c.click("cmdExit");
        fs::remove_all(folder);
    }
}

TEST(EndToEnd, whenTheVirtualDisplayEndsTheConsoleGetsOfflineAndEnableRedrawsItOnceItIsBack) {
    char pattern[] = "/tmp/ldt-e2e-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const std::string link = (folder / "display").string();
    auto server = std::make_unique<emulator::PtyServer>(emulator::PtyServer::Options{link, 0, {}});
    const app::DeviceSetup devices = devicesWiredTo(folder, link, "DM-D");
    RealConsole c(devices.registry);
    testsupport::openClaimEnable(c);
    c.click("Command7");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_SUCCESS");

    server.reset();  // the virtual display ends, as an unplugged display does
    c.click("Command6");
    c.click("Command49");
    EXPECT_EQ(c.form.label("Label34"), u"108");

    // Back under the same link, it is blank until Enable draws the picture again.
    server = std::make_unique<emulator::PtyServer>(emulator::PtyServer::Options{link, 0, {}});
    emulator::VirtualDisplay screen(model::dmD());
    c.click("Command4");
    c.click("Command49");
    EXPECT_EQ(c.form.label("Label34"), u"0");
    drain(*server, screen);
    EXPECT_EQ(screen.model().shownRows(), c.device().shownRows());
    EXPECT_EQ(screen.model().shownRows()[0], padded(u"Disp Text Test"));
    EXPECT_EQ(screen.faultCount(), 0u);
    c.click("Command1");
    c.click("cmdExit");
    server.reset();
    fs::remove_all(folder);
}

TEST(EndToEnd, reversedCharactersReachTheVirtualDisplayCellByCell) {
    char pattern[] = "/tmp/ldt-e2e-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    emulator::PtyServer server({(folder / "display").string(), 0, {}});
    emulator::VirtualDisplay screen(model::dmD());
    const app::DeviceSetup devices = devicesWiredTo(folder, server.link(), "DM-D");
    RealConsole c(devices.registry);
    testsupport::openClaimEnable(c);
    // Reversed text, then normal text after it, then a reversed cell made
    // normal again without its character changing.
    c.form.select("Option5");
    c.form.select("Option9");
    c.click("Command7");
    c.form.select("Option3");
    c.form.select("Option7");
    type(c, "Text3", u"Total");
    c.click("Command6");
    type(c, "Text1", u"0");
    type(c, "Text2", u"0");
    type(c, "Text3", u"D");
    c.click("Command6");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_SUCCESS");
    c.device().waitUntilIdle();
    drain(server, screen);

    const model::DisplayModel shown = *c.device().shownModel();
    ASSERT_EQ(screen.model().shownRows(), shown.shownRows());
    int reversed = 0;
    for (std::int32_t row = 0; row < shown.deviceRows(); ++row) {
        for (std::int32_t column = 0; column < shown.deviceColumns(); ++column) {
            const bool wanted = (shown.shownCell(row, column).attribute & model::attribute::reverse) != 0;
            reversed += wanted ? 1 : 0;
            EXPECT_EQ(
                (screen.model().shownCell(row, column).attribute & model::attribute::reverse) != 0, wanted)
                << "cell " << row << "," << column;
        }
    }
    EXPECT_EQ(reversed, 13);  // "Disp Text Test" but its first cell
    EXPECT_EQ(screen.faultCount(), 0u);
    c.click("Command1");
    c.click("cmdExit");
    fs::remove_all(folder);
}
