// Identification: the sweep and the probes played through the real reader
// of every set of the table behind the real model of a display's receiver,
// at every line setting (a new set's rows are checked as they land); a
// display that answers found with no operator; and the program itself, as a
// person runs it: found and saved with the old file kept, or stopped with
// Ctrl-C leaving the port and the file as they were.
#include "devices/Identify.h"
#include "emulator/Line.h"
#include "emulator/VirtualDisplay.h"
#include "serial/PtyTesting.h"
#include "support/IdentifyTrial.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <deque>
#include <fstream>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What a display of `set` at `line` shows after each of `sends` (bytes and
// the settings they go out with), a rest on the line after each.
struct Screen {
    std::optional<std::string> lone;
    std::string text;
};
std::vector<Screen> play(const model::CommandSet& set, const model::LineSettings& line,
    const std::vector<std::pair<std::string, model::LineSettings>>& sends) {
    emulator::VirtualDisplay display(set);
    emulator::Line receiver(line);
    std::vector<Screen> screens;
    for (const auto& [bytes, sender] : sends) {
        std::string received = receiver.receive(bytes, sender);
        display.feed(received + receiver.idle());
        const auto rows = display.rowsText();
        screens.push_back({testsupport::loneCode(rows), rows[0] + "\n" + rows[1]});
    }
    return screens;
}

}  // namespace

TEST(Identify, eachSweepCodeStandsAloneOnlyAtItsOwnSettingOnEverySet) {
    // The whole sweep, as an operator who answers late sees it: at the
    // display's own setting its code stands alone; no other setting's code
    // shows anywhere, before or after.
    const auto sets = model::commandSets();
    const auto candidates = devices::sweepCandidates();
    // Before the sweep, the requests of the sets that answer at every
    // setting: garbled, they must not leave a display in another mode.
    std::vector<std::pair<std::string, model::LineSettings>> sends;
    for (const auto& c : candidates) {
        for (const model::CommandSet& set : sets)
            sends.emplace_back(model::encode(set, model::Command::identify), c.line);
    }
    const std::size_t asked = sends.size();
    for (const auto& c : candidates) sends.emplace_back(devices::sweepBytes(sets, c.code, 20), c.line);
    for (const model::CommandSet& set : sets) {
        for (std::size_t right = 0; right < candidates.size(); ++right) {
            auto screens = play(set, candidates[right].line, sends);
            screens.erase(screens.begin(), screens.begin() + static_cast<std::ptrdiff_t>(asked));
            EXPECT_EQ(screens[right].lone, std::string(candidates[right].code))
                << set.name << " at " << model::speedAndFrame(candidates[right].line) << ":\n"
                << screens[right].text;
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                for (const auto& c : candidates) {
                    if (i == right || c.code == candidates[right].code) continue;
                    EXPECT_EQ(screens[i].text.find(c.code), std::string::npos)
                        << set.name << " at " << model::speedAndFrame(candidates[right].line) << " shows "
                        << c.code << " after the bytes for " << model::speedAndFrame(candidates[i].line)
                        << ":\n"
                        << screens[i].text;
                }
            }
        }
    }
}

TEST(Identify, eachProbeLeavesItsCodeAloneOnlyOnADisplayOfItsOwnSet) {
    const auto sets = model::commandSets();
    for (const model::LineSettings& line :
        {model::LineSettings{}, model::LineSettings{.baud = 1200, .parity = model::Parity::odd}}) {
        for (const model::CommandSet& set : sets) {
            // After the sweep's last bytes, every probe in the order sent.
            std::vector<std::pair<std::string, model::LineSettings>> sends{
                {devices::sweepBytes(sets, "K5", 20), line}};
            for (const model::CommandSet& probed : sets)
                sends.emplace_back(probed.identification.probe, line);
            const auto screens = play(set, line, sends);
            for (std::size_t i = 0; i < sets.size(); ++i) {
                const auto& code = sets[i].identification.code;
                if (&sets[i] == &set) {
                    EXPECT_EQ(screens[i + 1].lone, std::string(code)) << set.name << ":\n"
                                                                      << screens[i + 1].text;
                } else {
                    // Another set's probe leaves no other set's code alone (the
                    // display's own may still stand after its probe).
                    for (const model::CommandSet& other : sets) {
                        if (&other == &set) continue;
                        EXPECT_NE(screens[i + 1].lone, std::string(other.identification.code))
                            << sets[i].name << "'s probe on a " << set.name << " display:\n"
                            << screens[i + 1].text;
                    }
                }
            }
        }
    }
}

// An operator at a seam: answers nothing, so only the display can.
class SilentOperator : public devices::Operator {
public:
    void say(std::string_view) override {}
    void progress(std::string_view) override {}
    std::optional<std::string> answerBy(Clock::time_point) override { return std::nullopt; }
    bool inputEnded() const override { return true; }
    void checkInterrupt() override {}
};

TEST(Identify, aDisplayThatAnswersIsFoundWithoutTheOperator) {
    // The ANSI set answers its identification request: a virtual display of
    // it at 19200 8O1 is found by its answer alone, the other sets' rows
    // beside it.
    serialtest::TempDir dir;
    const std::string link = (dir.path() / "display").string();
    testsupport::Process display(VIRTUAL_DISPLAY_PATH,
        {"--headless", "--command-set", "ANSI", "--line", "19200,8O1", "--link", link},
        {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    ASSERT_TRUE(display.waitFor("end\n")) << display.output();
    auto port = serial::Port::open(link, {}, 0ms, serial::Access::readWrite);
    SilentOperator op;
    const auto found = devices::identify(*port, model::commandSets(), op, {.hold = 100ms, .columns = 20});
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->byAnswer);
    EXPECT_EQ(found->set, model::findCommandSet("ANSI"));
    EXPECT_EQ(model::speedAndFrame(found->line), "19200 8O1");
    EXPECT_EQ(found->operatorAnswers, 0);
}

TEST(Identify, theProgramFindsTheDisplayAndSavesTheEntryKeepingTheOldFile) {
    serialtest::TempDir dir;
    const fs::path config = dir.path() / "devices.toml";
    const std::string old = "# the bench's displays\n[devices.\"Bench\"]\nservice = \"simulated\"\n";
    std::ofstream(config) << old;
    testsupport::TrialOptions options{
        .seed = 5, .hold = 300ms, .reaction = 100ms, .save = true, .folder = dir.path(), .limit = 60s};
    const auto result = testsupport::runTrial(options, VIRTUAL_DISPLAY_PATH, LDT_DEVICES_PATH);
    ASSERT_TRUE(result.identified()) << result.identifyOutput;
    EXPECT_EQ(result.status, 0);
    EXPECT_LE(result.answers, 2);
    const std::string saved = serialtest::readFile(config);
    EXPECT_TRUE(saved.starts_with(old)) << saved;
    EXPECT_NE(saved.find("[devices.\"TQN730\"]\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("command-set = \"" + std::string(result.hidden.commandSet->name) + "\""),
        std::string::npos);
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with("devices.toml.bak-"))
            backups.push_back(entry.path());
    }
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(serialtest::readFile(backups.front()), old);
    EXPECT_EQ(fs::status(backups.front()).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write);
}

TEST(Identify, ctrlCStopsTheSweepAndLeavesThePortAndTheFileAsTheyWere) {
    serialtest::TempDir dir;
    serialtest::Pty pty;
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.master(), &before), 0);
    testsupport::Process identify(LDT_DEVICES_PATH,
        {"identify", pty.slavePath(), "--config", (dir.path() / "devices.toml").string(), "--hold", "300"});
    // By the third setting the first two have been put on the port.
    ASSERT_TRUE(identify.waitFor("trying 19200 8N1")) << identify.output();
    termios during{};
    ASSERT_EQ(::tcgetattr(pty.master(), &during), 0);
    EXPECT_NE(::cfgetospeed(&during), ::cfgetospeed(&before));
    EXPECT_EQ(identify.stop(SIGINT), 130);
    EXPECT_NE(identify.output().find("Interrupted: nothing was changed"), std::string::npos)
        << identify.output();
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.master(), &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag & (CSTOPB | PARODD), before.c_cflag & (CSTOPB | PARODD));
    EXPECT_TRUE(fs::is_empty(dir.path()));
    pty.take();
}
