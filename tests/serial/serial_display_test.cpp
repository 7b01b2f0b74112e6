// What a serial display sends for each operation, byte for byte, in both
// command sets, on a real pseudo-terminal. The expected bytes are written
// from the command tables of the displays' protocol documents; each row also
// says why it is the least the operation needs.
#include "PtyTesting.h"
#include "model/Hex.h"
#include "serial/SerialDisplay.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace std::string_literals;
using namespace model;

namespace {

struct Row {
    const char* what;
    std::vector<DisplayOp> ops;
    std::string dmD;
    std::string cd5220;
};

// One script, on displays set to open with PC437 (Unicode has a test of
// its own); the cursor is hidden until the cursor row, so until then the
// writer never spends bytes putting it back where the model has it.
const std::vector<Row>& script() {
    static const std::vector<Row> rows{
        // clang-format off
        // Enable: initialise, overwrite mode, cursor off, brightest level,
        // code table 0 (PC437); the CD5220 has no code-table command.
        {"enable", {}, "\x1B\x40\x1F\x01\x1F\x43\x00\x1F\x58\x04\x1B\x74\x00"s, "\x1B\x40\x1B\x11\x1B\x5F\x00\x1B\x2A\x04"s},
        // The cursor stands at home after initialise: just the characters.
        {"text", {op::Text{U"HELLO"}}, "HELLO", "HELLO"},
        // From (6,1) to (4,2): left two, down one (3 bytes) beats the 4-byte move.
        {"text at a position", {op::SetCursor{1, 3}, op::Text{U"AB"}}, "\x08\x08\x0A" "AB", "\x08\x08\x0A" "AB"},
        // Past the end of row 1 the display wraps to row 2 by itself.
        {"wrap", {op::SetCursor{0, 18}, op::Text{U"WXYZ"}}, "\x1F\x24\x13\x01WXYZ", "\x1B\x6C\x13\x01WXYZ"},
        // 20 characters from (3,2) scroll: every cell of row 1 changes, so
        // clear, home and 22 characters (24) beat rewriting blanks (26).
        {"scroll", {op::Text{U"0123456789ABCDEFGHIJ"}}, "\x0C\x0BYZ0123456789ABCDEFGHIJ", "\x0C\x0BYZ0123456789ABCDEFGHIJ"},
        {"clear", {op::Clear{}}, "\x0C", "\x0C"},
        {"brightness", {op::Brightness{40}}, "\x1F\x58\x02", "\x1B\x2A\x02"},
        // Showing the cursor: where clearing left it is not known, so home
        // first, then on.
        {"cursor", {op::CursorType{cursor::underline}}, "\x0B\x1F\x43\x01", "\x0B\x1B\x5F\x01"},
        // Characters go as code page bytes: e-acute is 82 in PC437.
        {"code page", {op::Text{U"H\u00E9"}}, "H\x82", "H\x82"},
        // Nothing changes on the display: nothing is sent.
        {"same picture", {op::SetCursor{0, 2}}, "", ""},
        // clang-format on
    };
    return rows;
}

void runScript(const model::CommandSet& set, const std::function<const std::string&(const Row&)>& expected) {
    serialtest::Pty pty;
    serial::SerialDisplay display({"test", pty.slavePath(), {.baud = 115200}, &set, 2, 20, false, 437});
    display.claim(std::chrono::milliseconds(0));
    ASSERT_EQ(display.enable(), 0);
    for (const Row& row : script()) {
        for (const DisplayOp& o : row.ops) display.apply(o);
        EXPECT_EQ(model::hexBytes(pty.take()), model::hexBytes(expected(row)))
            << set.name << ": " << row.what;
    }
    EXPECT_EQ(display.shown().shownRows()[0], u"H\u00E9                  ");
}

}  // namespace

TEST(SerialDisplay, dmDSendsTheLeastBytesForEachOperation) {
    runScript(model::dmD(), [](const Row& r) -> const std::string& { return r.dmD; });
}

TEST(SerialDisplay, cd5220SendsTheLeastBytesForEachOperation) {
    runScript(model::cd5220(), [](const Row& r) -> const std::string& { return r.cd5220; });
}

TEST(SerialDisplay, blinkFollowsTheWholeDisplayAndReverseEachCharacter) {
    serialtest::Pty pty;
    serial::SerialDisplay display(
        {"test", pty.slavePath(), {.baud = 115200}, &model::dmD(), 2, 20, false, 437});
    display.claim(std::chrono::milliseconds(0));
    ASSERT_EQ(display.enable(), 0);
    pty.take();
    display.apply(op::Text{U"!", attribute::blinkReverse});
    EXPECT_EQ(model::hexBytes(pty.take()), model::hexBytes("\x1F\x45\x0A\x1F\x72\x01!"));
    display.apply(op::Clear{});
    EXPECT_EQ(model::hexBytes(pty.take()), model::hexBytes("\x1F\x45\x00\x0C"s));
    // Clearing leaves the reverse mode on, so reversed text needs no switch;
    // normal text after it switches the mode back before it is written, and a
    // cell is re-sent when only its attribute changes.
    display.apply(op::Text{U"a", attribute::reverse});
    display.apply(op::Text{U"b", attribute::normal});
    display.apply(op::SetCursor{0, 0});
    display.apply(op::Text{U"a", attribute::normal});
    EXPECT_EQ(model::hexBytes(pty.take()), model::hexBytes("\x0B"
                                                           "a"
                                                           "\x1F\x72\x00"
                                                           "b"
                                                           "\x0B"
                                                           "a"s));
}

// Enable on every set: the initialisation its document gives, then what the
// picture needs (blank, cursor hidden, brightest, code table 0 or its page).
TEST(SerialDisplay, enableSendsEachSetsInitialisation) {
    const std::string blankRow(20, ' ');
    const struct {
        const char* set;
        std::string bytes;
    } rows[] = {
        {"Logic Controls", "\x1F\x11\x14"},            // reset, normal mode, cursor off; 100 % after reset
        {"UTC standard", "\x1B\x1E\x0D\x1F\x11\x14"},  // out of enhanced mode should it be there
        // Into enhanced mode from either mode, then both rows written whole:
        // what the display showed is not known.
        {"UTC enhanced",
            "\x1B\x1E\x0D\x1F\x1B\x64\x1B\x75"
            "A" +
                blankRow +
                "\x0D\x1B\x75"
                "B" +
                blankRow + "\x0D"},
        {"AEDEX", "!#9" + blankRow + blankRow + "\x0D"},
        // In Unicode a page is chosen when text needs one.
        {"ANSI", "\x1B\x52\x00\x1B[2J\x1B[1;1H"s},
    };
    for (const auto& row : rows) {
        serialtest::Pty pty;
        serial::SerialDisplay display(
            {"test", pty.slavePath(), {.baud = 115200}, model::findCommandSet(row.set), 2, 20});
        display.claim(std::chrono::milliseconds(0));
        ASSERT_EQ(display.enable(), 0);
        EXPECT_EQ(model::hexBytes(pty.take()), model::hexBytes(row.bytes)) << row.set;
    }
}

TEST(SerialDisplay, capabilitiesComeFromTheCommandSet) {
    const auto dmD = serial::profileFor(model::dmD(), 2, 20);
    EXPECT_EQ(dmD.capBlink, cap::blinkAll);
    EXPECT_EQ(dmD.capReverse, cap::reverseEach);
    EXPECT_EQ(std::vector<std::int32_t>(dmD.levels().begin(), dmD.levels().end()),
        (std::vector<std::int32_t>{20, 40, 60, 100}));
    EXPECT_EQ(dmD.characterSetList, "437,850,852,858,866,997,998,1252");
    const auto cd = serial::profileFor(model::cd5220(), 4, 40);
    EXPECT_EQ(cd.capBlink, cap::blinkNone);
    EXPECT_EQ(cd.capReverse, cap::reverseNone);
    EXPECT_EQ(cd.characterSetList, "437,997,998");
    EXPECT_EQ(cd.rows, 4);
    EXPECT_EQ(cd.columns, 40);
    // Per-character blink on UTC standard; no cursor, no dimming on the
    // whole-row sets; the ANSI set's code pages.
    const auto utc = serial::profileFor(*model::findCommandSet("UTC standard"), 2, 20);
    EXPECT_EQ(utc.capBlink, cap::blinkEach);
    EXPECT_EQ(utc.capCursorType, cap::cursorUnderline);
    EXPECT_EQ(std::vector<std::int32_t>(utc.levels().begin(), utc.levels().end()),
        (std::vector<std::int32_t>{20, 40, 60, 100}));
    const auto aedex = serial::profileFor(*model::findCommandSet("AEDEX"), 2, 20);
    EXPECT_EQ(aedex.capCursorType, 0);
    EXPECT_FALSE(aedex.capBrightness);
    EXPECT_EQ(aedex.capBlink, cap::blinkNone);
    const auto ansi = serial::profileFor(*model::findCommandSet("ANSI"), 2, 20);
    EXPECT_EQ(ansi.capCursorType, 0);
    EXPECT_EQ(ansi.characterSetList, "437,858,866,997,998");
    EXPECT_EQ(
        serial::profileFor(*model::findCommandSet("Logic Controls"), 2, 20).characterSetList, "437,997,998");
}

TEST(SerialDisplay, externalHealthCheckLightsEveryCellThenPutsThePictureBack) {
    serialtest::Pty pty;
    serial::SerialDisplay display(
        {"test", pty.slavePath(), {.baud = 115200}, &model::dmD(), 2, 20, false, 437});
    display.claim(std::chrono::milliseconds(0));
    ASSERT_EQ(display.enable(), 0);
    display.apply(op::Text{U"HELLO"});
    const DisplayModel before = display.shown();
    pty.take();
    const device::HealthReport report = display.checkHealth(2);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.text, u"External HCheck: Successful");
    EXPECT_EQ(display.shown(), before);
    // Home, 40 stars (wrapping back to home), then the picture redrawn:
    // clear, home and "HELLO" is cheaper than rewriting 35 blanks.
    EXPECT_EQ(pty.take(), "\x0B" + std::string(40, '*') + "\x0C\x0BHELLO");
    EXPECT_EQ(display.checkHealth(1).result, 0);
    display.release();
    EXPECT_EQ(display.checkHealth(1).result, 108);
}
