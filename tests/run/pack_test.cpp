// The conformance pack: that it covers every operation of the dispatch
// table in every state, that every device the target serves (both
// simulated profiles and each serial command set of the table, through a
// virtual display) passes it without a divergence, that mistakes in a pack
// file are told where they are; and how a device trace reads for replay.
#include "run/Pack.h"
#include "RunTesting.h"
#include "run/LocalTarget.h"
#include "run/Replay.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <sstream>

using namespace run;

namespace {

const Pack& builtIn() {
    static const Pack pack = parsePack(builtInPack());
    return pack;
}

}  // namespace

TEST(ConformancePack, coversEveryOperationOfTheTableInEveryState) {
    const Pack& pack = builtIn();
    EXPECT_GE(pack.cases.size(), 400u);
    std::set<std::string> covered;  // "<kind> <operation> <state>"
    for (const PackCase& c : pack.cases) {
        const char* kind = c.action.kind == Statement::Kind::write ? "write" : "call";
        covered.insert(std::string(kind) + " " + std::string(c.action.operation->name) + " " + c.state);
    }
    for (const auto& op : display::operations) {
        for (const char* state : {"closed", "opened", "elsewhere", "claimed", "enabled", "offline"}) {
            EXPECT_TRUE(covered.count("call " + std::string(op.name) + " " + state))
                << op.name << " in " << state;
            if (op.writable) {
                EXPECT_TRUE(covered.count("write " + std::string(op.name) + " " + state))
                    << op.name << " = ... in " << state;
            }
        }
    }
}

class EveryDevice : public testing::TestWithParam<std::string> {};

TEST_P(EveryDevice, passesThePackWithoutADivergence) {
    LocalTarget target;
    DeviceFacts facts(target, GetParam());
    std::ostringstream out;
    Reporter reporter(out, nullptr, {.quiet = true});
    runPack(builtIn(), target, facts, reporter);
    reporter.finish();
    EXPECT_EQ(reporter.failed(), 0) << out.str();
    EXPECT_EQ(static_cast<std::size_t>(reporter.passed() + reporter.skipped()), builtIn().cases.size());
    // Skipped for a reason: what the device lacks, or a display that cannot be unplugged here.
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("SKIP")) {
            EXPECT_NE(line.find(": needs "), std::string::npos) << line;
        }
    }
    std::cout << GetParam() << ": " << reporter.passed() << " passed, " << reporter.skipped() << " skipped\n";
}

INSTANTIATE_TEST_SUITE_P(ConformancePack, EveryDevice, testing::ValuesIn(LocalTarget::knownDevices()),
    [](const testing::TestParamInfo<std::string>& info) {
        std::string name;
        for (const char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(ConformancePack, mistakesInAPackFileAreToldWhereTheyAre) {
    const runtest::Refused cases[] = {
        {"a | fresh | | Close | 101 | | | r", "p.cases:1:5: no state named \"fresh\""},
        {"state s =\na | s | | Close | 101 | | | r", "p.cases:2:29: no rule named \"r\""},
        {"state s =\nrule r = x\na | s | | Close | 101 | |", "p.cases:3:1: a case row has 8 cells"},
        {"state s =\nrule r = x\na | s | | Close | 101 | | | r\na | s | | Close | 101 | | | r",
            "p.cases:4:1: case a is there twice"},
        {"state s =\nrule r = x\na | s | | Close -> 0 | 101 | | | r", "p.cases:3:11: the action is one call"},
        {"state s =\nrule r = x\na | s | | Close | true | | | r",
            "p.cases:3:19: this action's result is of another type"},
        {"state s =\nrule r = x\na | s | | Close | | | | r", "a case needs the result it expects"},
        {"state s =\nrule r = x\na | s | | Close | 0 | Nothing=1 | | r",
            "p.cases:3:23: \"Nothing\" is no property"},
        {"state s =\nrule r = x\na | s | | Close | 0 | Claimed=1 | | r",
            "p.cases:3:23: Claimed cannot take the value"},
        {"state s =\nrule r = x\na | s | | Close | 0 | | CapBlink>> | r",
            "p.cases:3:25: a need reads Property<op>value"},
        {"state s = Opn DEVICE", "p.cases:1:11: \"Opn\" is no Line Display operation"},
        {"rule without equals", "p.cases:1:1: a rule reads: rule <name> = <text>"},
    };
    runtest::expectRefused([](const char* text) { parsePack({{"p.cases", text}}); }, cases);
}

TEST(TraceReplay, readsCallsWireLinesAndNotesAsTheTraceWritesThem) {
    const RecordedTrace trace = parseTrace(
        "2026-12-08T10:00:00.000100Z Bench 2 Open \"Bench 2\" -> OPOS_SUCCESS  # 0.050 ms\n"
        "2026-12-08T10:00:00.000200Z Bench 2 wire 2 bytes: 1B 40\n"
        "2026-12-08T10:00:00.000300Z Bench 2 DeviceEnabled = true -> OPOS_SUCCESS  # 0.150 ms\n"
        "2026-12-08T10:00:00.050000Z Bench 2 wire 1 bytes: 41\n"
        "2026-12-08T10:00:00.060000Z Bench 2 Line Display \"Bench 2\": Open gives 104 -> the reason  # 1 ms\n"
        "2026-12-08T10:00:00.070000Z Bench 2 CheckHealthText -> \"Internal HCheck: Successful\"  # 0.001 ms\n"
        "2026-12-08T10:00:00.080000Z Bench 2 ClaimDevice 0 -> error \"the control failed\"  # 0.001 ms\n",
        "t.log");
    ASSERT_EQ(trace.calls.size(), 4u);
    EXPECT_EQ(trace.calls[0].device, "Bench 2");
    EXPECT_EQ(trace.calls[0].statement.source, "Open \"Bench 2\" -> OPOS_SUCCESS");
    EXPECT_EQ(trace.calls[0].statement.where.column, 37);
    // The wire line written during the call came after the call began.
    EXPECT_EQ(trace.calls[1].wireAtStart, 0u);
    EXPECT_EQ(trace.calls[1].wireBefore, 2u);
    // Slow output's byte reached the line before the next call began.
    EXPECT_EQ(trace.calls[2].wireAtStart, 3u);
    EXPECT_EQ(trace.calls[2].gap, std::chrono::microseconds(9999));
    EXPECT_EQ(trace.wire.at("Bench 2"), "\x1B@A");

    const runtest::Refused broken[] = {
        {"Open \"x\" -> OPOS_SUCCESS\n", "t.log:1:1: this is not a line of a device trace"},
        {"2026-13-08T10:00:00.000100Z X Open \"x\" -> OPOS_SUCCESS  # 0.1 ms\n",
            "t.log:1:1: this is not a line"},
        {"2026-12-08T10:00:00.000100Z X\n2026-12-08T10:00:00.000100Z X Open \"x\" -> OPOS_BAD  # 0.1 ms\n",
            "t.log:2:43: expected a whole number, found \"OPOS_BAD\""},
    };
    runtest::expectRefused([](const char* text) { parseTrace(text, "t.log"); }, broken);
}
