// Scripts run against the built-in control and the virtual displays, as
// ldt-run runs them: the README's example, what a failed check tells, the
// bytes and screens of a serial display, and the program itself (exit
// status, nothing sent from a script that does not parse, JUnit XML).
#include "run/Runner.h"
#include "RunTesting.h"
#include "run/LocalTarget.h"
#include "run/Report.h"
#include "run/Script.h"
#include "serial/PtyTesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace run;
namespace fs = std::filesystem;

namespace {

using runtest::slurp;
using serialtest::TempDir;

// Runs a script's text on a target; the report's lines.
std::string runText(Target& target, const std::string& text, const std::string& device = "TQN730") {
    std::ostringstream out;
    Reporter reporter(out, nullptr, {});
    DeviceFacts facts(target, device);
    runScript(parseScript(text, "s.ldt"), target, facts, reporter);
    reporter.finish();
    return out.str();
}

// The first ```ldt block of the README: the example every newcomer runs first.
std::string readmeExample() {
    const std::string readme = slurp(LDT_README);
    const auto begin = readme.find("```ldt\n");
    const auto end = readme.find("```\n", begin + 7);
    if (begin == std::string::npos || end == std::string::npos) return {};
    return readme.substr(begin + 7, end - begin - 7);
}

struct Ran {
    int status = -1;
    std::string out, err;
};

// ldt-run as a newcomer runs it, with the environment given.
Ran ldtRun(const TempDir& dir, const std::string& arguments, const std::string& environment = "") {
    const fs::path out = dir.path() / "stdout", err = dir.path() / "stderr";
    const std::string command = environment + " " + LDT_RUN_PATH + " " + arguments + " >" + out.string() +
                                " 2>" + err.string() + " </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

}  // namespace

TEST(Scripts, theReadmeExampleRunsOnTheBuiltInDisplay) {
    const std::string example = readmeExample();
    ASSERT_FALSE(example.empty()) << "README.md has no ```ldt block";
    LocalTarget target;
    const std::string report = runText(target, example);
    EXPECT_EQ(report.find("FAIL"), std::string::npos) << report;
    EXPECT_EQ(report.find("SKIP"), std::string::npos) << report;
    EXPECT_NE(report.find("passed, 0 failed\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("0 passed"), std::string::npos) << report;
}

TEST(Scripts, aFailedCheckTellsWhereWhatWasExpectedAndWhatCame) {
    LocalTarget target;
    const std::string report = runText(target,
        "Open DEVICE -> OPOS_SUCCESS\n"
        "ClaimDevice 0 -> OPOS_E_ILLEGAL\n"
        "expect CursorRow 1\n"
        "expect Label1 \"OPOS_SUCCESS\"\n"
        "type Text11 \"abc\"\n"
        "press \"Device Brightness\" in \"Set Properties\"\n"
        "DeviceEnabled = true\n"
        "expect screen \"x\" \"\"\n"
        "expect wire 1B\n"
        "ClearText -> error \"x\"\n"
        "expect error \"not a number\"\n");
    const std::string expected =
        "PASS s.ldt:1 Open DEVICE -> OPOS_SUCCESS\n"
        "FAIL s.ldt:2 ClaimDevice 0 -> OPOS_E_ILLEGAL: gave OPOS_SUCCESS (0), expected OPOS_E_ILLEGAL (106)\n"
        "FAIL s.ldt:3 expect CursorRow 1: read 0, expected 1\n"
        "FAIL s.ldt:4 expect Label1 \"OPOS_SUCCESS\": Label1 shows \"Label1\", expected \"OPOS_SUCCESS\"\n"
        "FAIL s.ldt:6 press \"Device Brightness\" in \"Set Properties\": failed as a call: \"Device "
        "Brightness\" "
        "failed: \"abc\" is not a number (expected digits with an optional sign and decimal point, such as "
        "-12 or "
        "2.5, or a hexadecimal number such as 0x1F)\n"
        "FAIL s.ldt:8 expect screen \"x\" \"\": row 0 shows \"\", expected \"x\"\n"
        "FAIL s.ldt:9 expect wire 1B: the last action sent nothing, expected 1B (1 byte)\n"
        "FAIL s.ldt:10 ClearText -> error \"x\": gave OPOS_SUCCESS (0), expected it to fail with the words "
        "\"x\"\n"
        "FAIL s.ldt:11 expect error \"not a number\": the last action did not fail\n"
        "1 passed, 8 failed\n";
    EXPECT_EQ(report, expected);
}

TEST(Scripts, aSerialDisplaysBytesAndScreenOnTheVirtualDisplayAndItsLoss) {
    LocalTarget target;
    const std::string report = runText(target,
        "Open DEVICE; ClaimDevice 1000; DeviceEnabled = true; CharacterSet = 437\n"
        "DisplayTextAt 1 0 \"Total\" 0 -> OPOS_SUCCESS\n"
        "expect wire 0A \"Total\"\n"  // from home, one line down is the cheapest way
        "DisplayText \"\\u{E9}\" 0\n"
        "expect wire 82\n"  // code page 437, chosen after enable
        "expect screen \"\" \"Total\\u{E9}\"\n"
        "expect cursor 1 6\n"
        "ClearText\n"
        "expect wire 0C\n"
        "DisplayText \"Hi\" 0\n"
        "unplug\n"
        "DisplayText \"!\" 0 -> OPOS_E_OFFLINE\n"
        "expect wire\n"
        "expect screen \"Hi\" \"\"\n"
        "DeviceEnabled = true -> OPOS_E_NOHARDWARE\n"
        "replug\n"
        "DeviceEnabled = true -> OPOS_SUCCESS\n",
        "virtual:DM-D");
    EXPECT_EQ(report.find("FAIL"), std::string::npos) << report;
    EXPECT_NE(report.find("11 passed, 0 failed"), std::string::npos) << report;
    // Plugged back in, the display was set up afresh and shows the picture again.
    const std::vector<std::string> rows = target.virtualRows("virtual:DM-D");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "Hi                  ");
}

// A script written in another language reads as it is written: its text
// and expectations in Unicode, on a simulated display (which transliterates
// what its pages lack) and on a virtual DM-D (which switches code pages and
// shows everything), and a failed check tells the screen in Unicode too.
TEST(Scripts, textAndExpectationsInAnyLanguage) {
    LocalTarget target;
    const std::string script =
        "Open DEVICE; ClaimDevice 1000; DeviceEnabled = true\n"
        "DisplayText \"Grüße, Привет\" 0\n"
        "expect CharacterSet 997\n"
        "expect screen EXPECTED \"\"\n";
    const auto run = [&](const std::string& device, const std::string& expected) {
        std::string text = script;
        text.replace(text.find("EXPECTED"), 8, "\"" + expected + "\"");
        return runText(target, text, device);
    };
    EXPECT_NE(run("TQN730", "Grüße, Privet").find("2 passed, 0 failed"), std::string::npos);
    EXPECT_NE(run("virtual:DM-D", "Grüße, Привет").find("2 passed, 0 failed"), std::string::npos);
    const std::string failed = run("TQN730", "Grüße, Привет");
    EXPECT_NE(failed.find("row 0 shows \"Grüße, Privet\", expected \"Grüße, Привет\""), std::string::npos)
        << failed;
}

TEST(Scripts, theWholeRunAsJUnitXml) {
    std::ostringstream out;
    Reporter reporter(out, nullptr, {.quiet = true});
    reporter.beginSuite("a <script>");
    reporter.report({Finding::Status::pass, "a:1", "Open DEVICE", "", {}});
    reporter.report({Finding::Status::fail, "a:2", "expect Label1 \"x&y\"", "shows \"\x01\"", {}});
    reporter.report({Finding::Status::skip, "a:3", "expect wire", "no wire", {}});
    reporter.finish();
    EXPECT_EQ(out.str(),
        "FAIL a:2 expect Label1 \"x&y\": shows \"\x01\"\nSKIP a:3 expect wire: no wire\n1 skipped\n1 passed, "
        "1 failed\n");
    const std::string xml = reporter.junitXml();
    EXPECT_NE(xml.find("<testsuites name=\"ldt-run\" tests=\"3\" failures=\"1\" skipped=\"1\">"),
        std::string::npos);
    EXPECT_NE(xml.find("<testsuite name=\"a &lt;script&gt;\" tests=\"3\" failures=\"1\""), std::string::npos);
    EXPECT_NE(xml.find("<failure message=\"shows &quot;\\x01&quot;\">a:2: shows &quot;\\x01&quot;</failure>"),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<skipped message=\"no wire\"/>"), std::string::npos);
}

TEST(Scripts, progressOnATerminalNeverMixesWithTheLines) {
    std::ostringstream out, terminal;
    Reporter reporter(out, &terminal, {});
    reporter.progress(1, 10, "a rather long line of progress");
    reporter.report({Finding::Status::pass, "a:1", "Close", "", {}});
    reporter.progress(2, 10, "short");
    reporter.finish();
    EXPECT_EQ(out.str(), "PASS a:1 Close\n1 passed, 0 failed\n");
    EXPECT_EQ(terminal.str(), "\r[1/10] a rather long line of progress\r" + std::string(37, ' ') +
                                  "\r\r[2/10] short\r" + std::string(12, ' ') + "\r");
}

TEST(LdtRun, aScriptThatDoesNotParseSendsNothingAndSaysWhere) {
    TempDir dir;
    std::ofstream(dir.path() / "devices.toml") << "[devices.\"Traced\"]\nservice = \"simulated\"\ntrace = \""
                                               << (dir.path() / "trace.log").string() << "\"\n";
    std::ofstream(dir.path() / "good.ldt") << "Open \"Traced\" -> OPOS_SUCCESS\n";
    std::ofstream(dir.path() / "bad.ldt") << "Open \"Traced\"\n\n  DisplayText \"x\" zero\n";
    const std::string environment = "LDT_DEVICE_CONFIG=" + (dir.path() / "devices.toml").string();
    const Ran bad = ldtRun(
        dir, (dir.path() / "good.ldt").string() + " " + (dir.path() / "bad.ldt").string(), environment);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(
        bad.err, (dir.path() / "bad.ldt").string() + ":3:19: expected a whole number, found \"zero\"\n");
    EXPECT_EQ(slurp(dir.path() / "trace.log"), "");  // not even the good script's Open

    const Ran good = ldtRun(dir, (dir.path() / "good.ldt").string(), environment);
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, "PASS " + (dir.path() / "good.ldt").string() +
                            ":1 Open \"Traced\" -> OPOS_SUCCESS\n" + "1 passed, 0 failed\n");
    EXPECT_NE(slurp(dir.path() / "trace.log").find(" Traced Open \"Traced\" -> OPOS_SUCCESS  # "),
        std::string::npos);
}

TEST(LdtRun, exitsOneOnAFailedCheckAndWritesJUnitPrivately) {
    TempDir dir;
    std::ofstream(dir.path() / "s.ldt") << "Open DEVICE -> OPOS_E_ILLEGAL\n";
    const fs::path junit = dir.path() / "results.xml";
    const Ran ran =
        ldtRun(dir, "--junit " + junit.string() + " --device DM-D202 " + (dir.path() / "s.ldt").string());
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(ran.out.ends_with("0 passed, 1 failed\n")) << ran.out;
    EXPECT_NE(slurp(junit).find("<failure message=\"gave OPOS_SUCCESS (0), expected OPOS_E_ILLEGAL (106)\">"),
        std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(junit.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A link planted under the name is not followed.
    const fs::path link = dir.path() / "link.xml";
    fs::create_symlink(dir.path() / "elsewhere.xml", link);
    const Ran linked = ldtRun(dir, "--junit " + link.string() + " " + (dir.path() / "s.ldt").string());
    EXPECT_EQ(linked.status, 2);
    EXPECT_NE(linked.err.find("it is a symbolic link"), std::string::npos) << linked.err;
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere.xml"));

    const Ran usage = ldtRun(dir, "--conformance");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("--conformance needs a value"), std::string::npos);
    const Ran fifo = ldtRun(dir, "/dev/stdin");
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.err.find("is not a regular file"), std::string::npos) << fifo.err;
}
