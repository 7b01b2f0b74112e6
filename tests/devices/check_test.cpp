// ldt-devices check and list, run as a technician runs them, against each
// fault of a bench set up on pseudo-terminals, virtual displays and
// configuration files: the step that fails, its cause and its fix. Where the
// check asks what the display shows, the answer is read off the virtual
// display's screen, as a person reads the glass.
#include "model/CommandSet.h"
#include "serial/PtyTesting.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testsupport::Process;

namespace {

// The rows of the last screen a headless display printed, as one line.
std::string lastScreen(const std::string& output) {
    const std::size_t start = output.rfind("screen\n");
    if (start == std::string::npos) return {};
    std::string text;
    std::size_t at = start + 7;
    while (at < output.size() && output[at] == '|') {
        const std::size_t close = output.find("|\n", at + 1);
        if (close == std::string::npos) break;
        text += output.substr(at + 1, close - at - 1) + " ";
        at = close + 2;
    }
    return text;
}

// A bench: a folder with the device configuration and the display's link.
class Bench {
public:
    Bench() {
        // Readable by nobody too, for the run without privileges.
        ::chmod(dir_.path().c_str(), 0755);
    }
    fs::path path(const std::string& name) const { return dir_.path() / name; }
    std::string link() const { return path("display").string(); }

    void configure(const std::string& entries) {
        std::ofstream(path("devices.toml")) << entries;
        ::chmod(path("devices.toml").c_str(), 0644);
    }
    std::unique_ptr<Process> display(std::vector<std::string> args) {
        args.insert(args.end(), {"--headless", "--link", link()});
        auto process = std::make_unique<Process>(VIRTUAL_DISPLAY_PATH, args);
        EXPECT_TRUE(process->waitFor("end\n")) << process->output();
        return process;
    }

    struct Run {
        int status = -1;
        std::string output;
    };
    // Runs ldt-devices; each question about the display is answered with
    // what `display` shows a moment later.
    Run run(const std::vector<std::string>& args, Process* display = nullptr, bool asNobody = false) {
        Process program(LDT_DEVICES_PATH, args, {"XDG_CONFIG_HOME"},
            {"LDT_DEVICE_CONFIG=" + path("devices.toml").string(), "HOME=" + dir_.path().string()}, asNobody);
        Run run;
        std::size_t asked = 0;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!program.ended(run.status) && std::chrono::steady_clock::now() < deadline) {
            program.waitFor("\n", 50ms);
            const std::size_t question = program.output().find("Type", asked);
            if (question == std::string::npos || program.output().find('\n', question) == std::string::npos)
                continue;
            asked = question + 4;
            // A person looks up at the display and reads it once it is still.
            std::string seen;
            if (display != nullptr) {
                const auto latest = std::chrono::steady_clock::now() + 5s;
                std::size_t before = 0;
                do {
                    before = display->output().size();
                    std::this_thread::sleep_for(200ms);
                    while (display->pump()) {}
                } while (display->output().size() != before && std::chrono::steady_clock::now() < latest);
                seen = lastScreen(display->output());
            }
            program.type(seen);
        }
        run.output = program.output();
        return run;
    }

private:
    serialtest::TempDir dir_;
};

// The device's name: its own in each test, since claims are machine-wide and
// the tests run side by side.
std::string pole() {
    return std::string("Pole-") + testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::string serialEntry(const std::string& port, const std::string& more = "") {
    return "[devices.\"" + pole() + "\"]\nservice = \"serial\"\nport = \"" + port + "\"\n" + more;
}

// Both the cause and the fix are told, with these words.
void expectDiagnosis(const Bench::Run& run, const std::string& cause, const std::string& fix) {
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cause: " + cause), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("fix:   " + fix), std::string::npos) << run.output;
}

}  // namespace

TEST(Check, aSoundDisplayPassesEveryStepWithItsResultAndTime) {
    Bench bench;
    bench.configure(serialEntry(bench.link(), "baud = 19200\ncommand-set = \"CD5220\"\n"));
    auto display = bench.display({"--command-set", "CD5220", "--line", "19200,8N1"});
    const auto run = bench.run({"check", pole()}, display.get());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("serial display on " + bench.link() +
                              " at 19200 8N1, no flow control, command set "
                              "CD5220"),
        std::string::npos)
        << run.output;
    for (const char* step : {"Open", "ClaimDevice 1000", "DeviceEnabled = true", "DisplayText (pattern)",
             "DeviceEnabled = false", "ReleaseDevice", "Close"}) {
        EXPECT_NE(run.output.find("  " + std::string(step) + std::string(23 - std::string(step).size(), ' ') +
                                  "OPOS_SUCCESS"),
            std::string::npos)
            << step << "\n"
            << run.output;
    }
    EXPECT_NE(run.output.find(" ms\n"), std::string::npos);
    EXPECT_NE(run.output.find("The device works."), std::string::npos) << run.output;
}

TEST(Check, faultsOfThePortAndTheEntryAreToldWithTheirFix) {
    Bench bench;
    bench.configure(serialEntry("/dev/ldt-no-such-port"));
    expectDiagnosis(bench.run({"check", pole()}), "the port /dev/ldt-no-such-port does not exist",
        "plug the display's adapter in");

    fs::create_symlink("/dev/pts/4242", bench.link());  // left by a display that was killed
    bench.configure(serialEntry(bench.link()));
    expectDiagnosis(bench.run({"check", pole()}),
        "the virtual display that served " + bench.link() + " has ended",
        "start it again: ldt-virtual-display --link " + bench.link());

    bench.configure(serialEntry("/dev/ttyS0", "parity = \"odd \"\n"));
    const auto broken = bench.run({"check", pole()});
    expectDiagnosis(broken,
        "the configuration entry is broken: " + bench.path("devices.toml").string() + ":4: device \"" +
            pole() + "\": parity must be",
        "correct it at " + bench.path("devices.toml").string() + ":1");
    EXPECT_NE(broken.output.find("OPOS_E_NOSERVICE"), std::string::npos) << broken.output;

    serialtest::Pty pty;
    bench.configure(serialEntry(pty.slavePath()));
    {
        serialtest::PortHolder holder(pty.slavePath());
        const auto held = bench.run({"check", pole()});
        expectDiagnosis(held, pty.slavePath() + " is held by another program: pid ", "close that program");
        EXPECT_NE(held.output.find("OPOS_E_TIMEOUT"), std::string::npos) << held.output;
    }
    // Nobody reads the line, so it fills up and the display takes no more.
    ::close(serialtest::fillLine(pty));
    expectDiagnosis(bench.run({"check", pole()}), "the display stopped taking bytes on " + pty.slavePath(),
        "check the cable and its handshake lines");
    pty.take();

    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0600), 0);
    const auto denied = bench.run({"check", pole()}, nullptr, true);
    expectDiagnosis(denied, "this user (nobody) may not open " + pty.slavePath() + ": it belongs to root:",
        "it is a pseudo-terminal of root");
}

TEST(Check, theOperatorsReadingTellsWrongSpeedWrongParityAndWrongCommandSetApart) {
    Bench bench;
    {
        auto display = bench.display({"--line", "9600,8N1"});
        bench.configure(serialEntry(bench.link(), "baud = 19200\n"));
        expectDiagnosis(bench.run({"check", pole()}, display.get()),
            "wrong speed: the display does not read 19200 8N1",
            "find its settings with `ldt-devices identify");
    }
    {
        auto display = bench.display({"--line", "9600,8O1"});
        bench.configure(serialEntry(bench.link()));
        expectDiagnosis(bench.run({"check", pole()}, display.get()),
            "wrong parity: the display reads 9600 8O1, not 9600 8N1", "set parity = \"odd\" in ");
    }
    {
        auto display = bench.display({"--command-set", "CD5220"});
        bench.configure(serialEntry(bench.link(), "command-set = \"DM-D\"\n"));
        expectDiagnosis(bench.run({"check", pole()}, display.get()),
            "the display does not read the DM-D set's commands", "find its set with `ldt-devices identify");
    }
    {
        // The two sets that differ in one byte (1E, home and clear).
        auto display = bench.display({"--command-set", "UTC standard"});
        bench.configure(serialEntry(bench.link(), "command-set = \"Logic Controls\"\n"));
        expectDiagnosis(bench.run({"check", pole()}, display.get()),
            "the display does not read the Logic Controls set's commands",
            "find its set with `ldt-devices identify");
    }
}

TEST(Check, aDisplayOfEverySetAtItsFactorySettingsPassesWithOnlyPortAndSetConfigured) {
    Bench bench;
    for (const model::CommandSet& set : model::commandSets()) {
        std::string line = model::speedAndFrame(set.line);
        line[line.find(' ')] = ',';
        auto display = bench.display({"--command-set", std::string(set.name), "--line", line});
        bench.configure(serialEntry(bench.link(), "command-set = \"" + std::string(set.name) + "\"\n"));
        const auto run = bench.run({"check", pole()}, display.get());
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(
            run.output.find(" at " + model::describe(set.line) + ", command set " + std::string(set.name)),
            std::string::npos)
            << run.output;
        // A set that answers is not asked about.
        EXPECT_EQ(run.output.find("should now show") == std::string::npos, !set.reply.empty()) << run.output;
    }
}

TEST(List, tellsEachPortsStateAndFixAndTheConfiguredNamesThatPointAtIt) {
    Bench bench;
    auto display = bench.display({});
    serialtest::Pty held;
    serialtest::PortHolder holder(held.slavePath());
    fs::create_symlink("/dev/pts/4243", bench.path("gone"));
    bench.configure("[devices.\"Virtual\"]\nservice = \"serial\"\nport = \"" + bench.link() + "\"\n" +
                    "[devices.\"Held\"]\nservice = \"serial\"\nport = \"" + held.slavePath() + "\"\n" +
                    "[devices.\"Missing\"]\nservice = \"serial\"\nport = \"/dev/ldt-no-such-port\"\n" +
                    "[devices.\"Gone\"]\nservice = \"serial\"\nport = \"" + bench.path("gone").string() +
                    "\"\n" +
                    "[devices.\"Broken\"]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nstop-bits = 3\n");
    const auto run = bench.run({"list"});
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string& out = run.output;
    const auto virtualAt = out.find("  " + bench.link() + " -> /dev/pts/");
    ASSERT_NE(virtualAt, std::string::npos) << out;
    EXPECT_NE(out.find("ready: this user can open it", virtualAt), std::string::npos) << out;
    EXPECT_NE(out.find("configured as \"Virtual\" (9600 8N1, no flow control, command set DM-D", virtualAt),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("\"Held\": " + held.slavePath()), std::string::npos) << out;
    EXPECT_NE(
        out.find("problem: " + held.slavePath() + " is held by another program: pid "), std::string::npos)
        << out;
    EXPECT_NE(out.find("problem: the port /dev/ldt-no-such-port does not exist"), std::string::npos) << out;
    EXPECT_NE(
        out.find("problem: the virtual display that served " + bench.path("gone").string() + " has ended"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("\"Broken\": " + bench.path("devices.toml").string() +
                       ":16: device \"Broken\": stop-bits "
                       "must be 1 or 2, not 3"),
        std::string::npos)
        << out;

    serialtest::Pty locked;
    ASSERT_EQ(::chmod(locked.slavePath().c_str(), 0600), 0);
    bench.configure(serialEntry(locked.slavePath()));
    const auto denied = bench.run({"list"}, nullptr, true);
    EXPECT_NE(denied.output.find("problem: this user (nobody) may not open " + locked.slavePath()),
        std::string::npos)
        << denied.output;
}
