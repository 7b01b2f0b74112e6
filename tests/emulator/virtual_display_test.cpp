// The virtual display's reader: byte streams of every command set in, the
// screen and state out, by the hardware's rules. Expected bytes are written
// out literally from the protocol documents.
#include "emulator/VirtualDisplay.h"
#include "model/Hex.h"

#include <gtest/gtest.h>

using namespace std::string_literals;
using namespace std::string_view_literals;
using emulator::Mode;
using emulator::VirtualDisplay;

namespace {

VirtualDisplay dmD() { return VirtualDisplay(model::dmD()); }
VirtualDisplay cd5220() { return VirtualDisplay(model::cd5220()); }

std::string row(const VirtualDisplay& d, int r) { return d.rowsText().at(static_cast<std::size_t>(r)); }
std::string padded(std::string text) { return text.append(20 - text.size(), ' '); }

void expectCursor(const VirtualDisplay& d, int column, int row) {
    EXPECT_EQ(d.model().cursorColumn() + 1, column) << "cursor column";
    EXPECT_EQ(d.model().cursorRow() + 1, row) << "cursor row";
}

}  // namespace

TEST(VirtualDisplayDmD, overwriteModeWrapsRowOneToTwoAndRowTwoToOne) {
    auto d = dmD();
    EXPECT_TRUE(
        d.feed("\x1B\x40\x1F\x01"
               "\x1F\x24\x13\x01"
               "ABC"sv));  // (19,1): A B on row 1, C wraps to (1,2)
    EXPECT_EQ(row(d, 0), padded("                  AB"));
    EXPECT_EQ(row(d, 1), padded("C"));
    expectCursor(d, 2, 2);
    d.feed(
        "\x1F\x24\x14\x02"
        "XY"sv);  // (20,2) wraps to (1,1)
    EXPECT_EQ(row(d, 1).substr(19), "X");
    EXPECT_EQ(row(d, 0).substr(0, 1), "Y");
    expectCursor(d, 2, 1);
    // Cursor moves wrap the same way, and left from (1,1) goes to (20,2).
    d.feed("\x0B\x08"sv);
    expectCursor(d, 20, 2);
    d.feed("\x09"sv);
    expectCursor(d, 1, 1);
    d.feed("\x1F\x0A"sv);  // up from row 1 goes to row 2
    expectCursor(d, 1, 2);
    d.feed("\x18"sv);  // clears the cursor's row only
    EXPECT_EQ(row(d, 1), padded(""));
    EXPECT_EQ(row(d, 0).substr(0, 1), "Y");
    EXPECT_EQ(d.faultCount(), 0u);
}

TEST(VirtualDisplayDmD, scrollModesMoveRowsOnlyWhenWritingPastTheEnd) {
    auto d = dmD();
    d.feed(
        "\x1F\x02"
        "\x1F\x24\x01\x01"
        "upper\x1F\x42"
        "lower row fills it:"sv);
    d.feed("!"sv);  // (20,2) written: nothing moves yet
    EXPECT_EQ(row(d, 0), padded("upper"));
    EXPECT_EQ(row(d, 1), "lower row fills it:!");
    d.feed("next"sv);  // writing past (20,2) moves row 2 up and clears it
    EXPECT_EQ(row(d, 0), "lower row fills it:!");
    EXPECT_EQ(row(d, 1), padded("next"));
    expectCursor(d, 5, 2);

    d.feed(
        "\x0C\x1F\x03"
        "\x1F\x24\x12\x01"
        "abcde"sv);  // horizontal: the row shifts left at its end
    EXPECT_EQ(row(d, 0), std::string(15, ' ') + "abcde");
    EXPECT_EQ(row(d, 1), padded(""));
    EXPECT_EQ(d.state().mode, Mode::horizontalScroll);
}

TEST(VirtualDisplayDmD, aStreamSplitAnywhereGivesTheSameScreen) {
    const std::string stream =
        "\x1B\x40\x1F\x43\x00\x1F\x58\x02Price\x1F\x24\x05\x02\x1F\x72\x01"
        "9.99\x1F\x0A\x1F\x0D"s;
    auto whole = dmD();
    whole.feed(stream);
    auto split = dmD();
    for (char byte : stream) split.feed(std::string_view(&byte, 1));
    EXPECT_EQ(split.rowsText(), whole.rowsText());
    EXPECT_TRUE(split.model() == whole.model());
    EXPECT_TRUE(split.state() == whole.state());
    EXPECT_EQ(split.pendingBytes(), 0u);
    EXPECT_EQ(whole.model().brightness(), 40);
    EXPECT_FALSE(whole.state().cursorVisible);
    EXPECT_EQ(whole.model().shownCell(1, 4).attribute, model::attribute::reverse);
    EXPECT_EQ(whole.model().shownCell(0, 0).attribute, model::attribute::normal);
    expectCursor(whole, 20, 1);
    // Half a command shows nothing and waits.
    auto half = dmD();
    EXPECT_FALSE(half.feed("\x1F\x24\x03"sv));
    EXPECT_EQ(half.pendingBytes(), 3u);
}

TEST(VirtualDisplayDmD, unknownAndMalformedSequencesAreReportedNotShown) {
    auto d = dmD();
    EXPECT_TRUE(
        d.feed("A\x1F\x99"
               "B\x07\x1F\x24\x25\x01\x1F\x58\x09\x1B\x74\x63"
               "C"sv));
    EXPECT_EQ(row(d, 0), padded("ABC"));  // nothing of the bad sequences shows
    ASSERT_EQ(d.faultCount(), 5u);
    EXPECT_EQ(model::hexBytes(d.faults()[0].bytes), "1F 99");
    EXPECT_EQ(d.faults()[0].reason, "unknown sequence");
    EXPECT_EQ(model::hexBytes(d.faults()[1].bytes), "07");
    EXPECT_EQ(d.faults()[2].reason, "column 37 outside 1..20");
    EXPECT_EQ(d.faults()[3].reason, "brightness level 9 outside 1..4");
    EXPECT_EQ(d.faults()[4].reason, "code table 99 unknown");
    EXPECT_EQ(d.model().brightness(), 100);
    // Only the last few are kept, but all are counted.
    for (int i = 0; i < 20; ++i) d.feed("\x07"sv);
    EXPECT_EQ(d.faults().size(), VirtualDisplay::keptFaults);
    EXPECT_EQ(d.faultCount(), 25u);
    EXPECT_NE(d.describe().find("fault 07: unknown sequence\nend\n"), std::string::npos);
}

TEST(VirtualDisplayDmD, deviceStateCommands) {
    auto d = dmD();
    d.feed("\x9B\x1B\x74\x02\x9B"sv);  // the same byte in code page 437, then 850
    EXPECT_EQ(row(d, 0).substr(0, 4), "\u00A2\u00F8");
    EXPECT_EQ(d.state().characterSet, 850);
    d.feed("\x1F\x45\x0A"sv);
    EXPECT_EQ(d.state().blinkInterval, 10);
    d.feed("\x1F\x45\xFF"sv);
    EXPECT_FALSE(d.state().displayOn);
    // User characters show once selected; initialise forgets them.
    d.feed(
        "\x1B\x26\x01\x41\x41\x7F\x41\x41\x41\x7F\x1B\x25\x01"
        "AB"sv);
    EXPECT_EQ(d.model().shownCell(0, 2).character, emulator::userCharacterBase + 'A');
    EXPECT_EQ(d.model().shownCell(0, 3).character, U'B');
    EXPECT_EQ(d.state().userCharacters.at('A')[0], 0x7F);
    // Addressed to the printer only, the display ignores what follows.
    d.feed(
        "\x1B\x3D\x01"
        "printer text\x0C\x1B\x3D\x02"sv);
    EXPECT_EQ(d.model().shownCell(0, 4).character, U' ');
    EXPECT_NE(row(d, 0), padded(""));
    d.feed("\x1B\x40"sv);
    EXPECT_EQ(row(d, 0), padded(""));
    EXPECT_TRUE(d.state() == emulator::PanelState{});
}

TEST(VirtualDisplayCd5220, rowWritesMarqueeAndEscapeCursorMoves) {
    auto d = cd5220();
    d.feed(
        "\x1B\x40\x1B\x11"
        "\x1B\x51\x41Total\x0D"
        "\x1B\x51\x42"
        "12.50\x0D"sv);
    EXPECT_EQ(row(d, 0), padded("Total"));
    EXPECT_EQ(row(d, 1), padded("12.50"));
    d.feed(
        "\x1B\x6C\x03\x02\x1B\x5B\x44"
        "X\x1B\x5B\x41\x1B\x5B\x52"
        "Z"sv);
    EXPECT_EQ(row(d, 1), padded("1X.50"));
    EXPECT_EQ(row(d, 0), padded("Total").substr(0, 19) + "Z");
    d.feed("\x1B\x2A\x01\x1B\x5F\x00"sv);
    EXPECT_EQ(d.model().brightness(), 20);
    EXPECT_FALSE(d.state().cursorVisible);
    d.feed("\x1B\x51\x44Welcome to the shop, have a nice day\x0D"sv);  // shown statically
    EXPECT_EQ(row(d, 0), "Welcome to the shop,");
    EXPECT_EQ(d.state().marquee, "Welcome to the shop, have a nice day");
    EXPECT_EQ(d.faultCount(), 0u);
    // A DM-D-only command is unknown here, and its bytes never show as text.
    d.feed("\x1F\x58\x02"sv);
    ASSERT_EQ(d.faultCount(), 2u);
    EXPECT_EQ(model::hexBytes(d.faults()[0].bytes), "1F 58");
    EXPECT_EQ(model::hexBytes(d.faults()[1].bytes), "02");
    EXPECT_EQ(row(d, 0), "Welcome to the shop,");
}

TEST(VirtualDisplayCd5220, clearEndsRowTextAndALostCarriageReturnIsMalformed) {
    auto d = cd5220();
    d.feed(
        "\x1B\x51\x42"
        "abc\x0C"
        "def"sv);  // clear ends string mode, then clears
    EXPECT_EQ(row(d, 1), padded(""));
    EXPECT_EQ(row(d, 0), padded("def"));
    EXPECT_EQ(d.pendingBytes(), 0u);
    d.feed("\x1B\x51\x41" + std::string(22, 'z') + "\x18");  // too long, ended by a clear of the line
    EXPECT_EQ(d.faults().back().reason, "row text of 22 bytes, longer than 20");
    EXPECT_EQ(row(d, 0), padded(""));
    d.feed("\x1B\x51\x41" + std::string(60, 'x'));
    ASSERT_EQ(d.faultCount(), 2u);
    EXPECT_EQ(d.faults()[1].reason, "text without its closing 0D");
    EXPECT_EQ(d.pendingBytes(), 0u);
    d.feed("\x1B\x51\x41" + std::string(25, 'y') + "\x0D");
    EXPECT_EQ(row(d, 0), std::string(20, 'y'));
    EXPECT_EQ(d.faults().back().reason, "row text of 25 bytes, longer than 20");
}

TEST(VirtualDisplayCd5220, rowTextThatNeverEndsReadsTheSameHoweverTheReadsSplitIt) {
    // Found by fuzzing: 45 bytes of text and then a clear used to read as one
    // over-long row when it came in one read, but as a lost 0D followed by
    // stray commands when the first read stopped before the clear.
    const std::string stream = "\x1B\x51\x41" + std::string(45, 'w') + "\x1F\x24\x05\x02W\x0C";
    auto whole = cd5220();
    whole.feed(stream);
    auto split = cd5220();
    split.feed(std::string_view(stream).substr(0, 46));
    split.feed(std::string_view(stream).substr(46));
    EXPECT_EQ(split.describe(), whole.describe());
    EXPECT_EQ(split.faultCount(), whole.faultCount());
    EXPECT_EQ(whole.faults().front().reason, "text without its closing 0D");
}

namespace {

// A stream in one set and what the display shows after it: both rows
// (padded to 20), the cursor (column and row, 1-based; 0 when not checked)
// and the count of faults.
struct ReadCase {
    const char* set;
    const char* what;
    std::string bytes;
    std::string top;
    std::string bottom;
    int column = 0;
    int row = 0;
    std::size_t faults = 0;
};

const std::vector<ReadCase>& readCases() {
    static const std::vector<ReadCase> cases{
        // clang-format off
        {"Logic Controls", "normal mode wraps (20,1) to (1,2) and (20,2) to (1,1)",
            "\x1F\x11\x10\x13" "AB\x10\x27" "XY", "Y                  A", "B                  X", 2, 1},
        {"Logic Controls", "reset picks vertical scroll: writing past (20,2) scrolls",
            "\x1F\x10\x26pqr", "                  pq", "r", 2, 2},
        {"Logic Controls", "backspace erases; from (1,2) it goes to (20,1)",
            "\x1F\x11" "abc\x08\x08\x10\x13Z\x10\x14\x08", "a", "", 20, 1},
        {"Logic Controls", "line feed goes to the other row, in scroll mode it scrolls",
            "\x1F\x11" "ab\x0A\x0A\x12\x10\x14" "bot\x0A", "bot", "", 4, 2},
        {"Logic Controls", "carriage return never scrolls; a cell past 39 is ignored",
            "\x1F\x10\x16" "ab\x0D\x10\x28", "", "  ab", 1, 2, 1},
        {"Logic Controls", "cursor on and off, dimming bytes", "\x1F\x14\x04\x40" "a\x04\x30", "a", "", 2, 1, 1},
        {"UTC standard", "home and clear; clear to the end of the row and display",
            "\x1F\x11" "abcdef\x1E" "xyz\x10\x15" "uvw\x10\x01\x18\x10\x16\x19", "x", " u", 3, 2},
        {"UTC standard", "ESC d to enhanced mode, ESC RS back; text there never shows",
            "\x1B\x64" "lost\x1B\x75" "AHi\x0D\x1B\x1E\x0D" "k", "ki", "", 2, 1},
        {"UTC enhanced", "row writes with the attention code ESC u",
            "\x1B\x75" "ATotal\x0D\x1B\x75" "B12.50\x0D", "Total", "12.50"},
        {"UTC enhanced", "a changed attention code", "\x1B\x75" "H!!\x0D!!AHi\x0D\x1B\x75" "Ano\x0D", "Hi", ""},
        {"AEDEX", "row writes; a short one blanks the rest of its row",
            "!#1Top line\x0D!#2Bottom\x0D!#1Top\x0D", "Top", "Bottom"},
        {"AEDEX", "both rows at once; a single blank clears both", "!#9" + std::string(20, 'a') + "bc\x0D!#9 \x0D", "", ""},
        {"AEDEX", "both rows: the first 20 bytes to row 1", "!#9" + std::string(20, 'a') + "bc\x0D",
            std::string(20, 'a'), "bc"},
        {"AEDEX", "the attention-code trap: two blanks then 1 start a command inside text",
            "!#8  \x0D  1Total  1.99\x0D", ".99", ""},
        {"AEDEX", "an unknown function after the code is plain text, passed through", "!#3!#1ok\x0D", "ok", ""},
        {"ANSI", "clear leaves the cursor where it was", "\x1B[1;5Hab\x1B[2J", "", "", 7, 1},
        {"ANSI", "no wrap past column 20: the last column is written again", "\x1B[1;19Habc",
            "                  ac", "", 20, 1},
        {"ANSI", "line feed on the last row scrolls, the cursor stays",
            "\x1B[1;1Htop\x1B[2;1Hbot\x0A", "bot", "", 4, 2},
        {"ANSI", "backspace does not erase and stops at column 1", "ab\x08\x08\x08", "ab", "", 1, 1},
        {"ANSI", "erase to the end of the row; a leading zero in a position",
            "abcdef\x1B[1;03H\x1B[0K", "ab", "", 3, 1},
        {"ANSI", "an unknown sequence is taken whole", "a\x1B[5mb\x1B[3;1H", "ab", "", 3, 1, 2},
        // clang-format on
    };
    return cases;
}

}  // namespace

TEST(VirtualDisplay, eachSetReadsItsOwnEdgesAsItsDocumentSays) {
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(std::string(c.set) + ": " + c.what);
        const model::CommandSet* set = model::findCommandSet(c.set);
        ASSERT_NE(set, nullptr);
        VirtualDisplay d(*set);
        d.feed(c.bytes);
        EXPECT_EQ(row(d, 0), padded(c.top));
        EXPECT_EQ(row(d, 1), padded(c.bottom));
        if (c.row != 0) expectCursor(d, c.column, c.row);
        EXPECT_EQ(d.faultCount(), c.faults) << d.describe();
        // However the reads split the stream, it reads the same.
        VirtualDisplay bytewise(*set);
        for (char byte : c.bytes) bytewise.feed(std::string_view(&byte, 1));
        EXPECT_EQ(bytewise.describe(), d.describe());
    }
}

TEST(VirtualDisplay, marqueesMoveWithTimeAndStopAsTheirSetSays) {
    VirtualDisplay aedex(*model::findCommandSet("AEDEX"));
    aedex.feed("!#4Sale today\x0D"sv);
    EXPECT_EQ(row(aedex, 0), padded("Sale today"));
    EXPECT_FALSE(aedex.advance(std::chrono::milliseconds(100)));
    EXPECT_TRUE(aedex.advance(std::chrono::milliseconds(150 + VirtualDisplay::marqueeStepMs)));
    EXPECT_EQ(row(aedex, 0), padded("le today"));
    aedex.feed("!#2x\x0D"sv);  // the next command stops it where it is
    aedex.advance(std::chrono::seconds(2));
    EXPECT_EQ(row(aedex, 0), padded("le today"));

    // Logic Controls: the cursor leaves the marquee's row, the marquee runs
    // on while text goes to the other row, until the cursor comes back.
    VirtualDisplay lc(*model::findCommandSet("Logic Controls"));
    lc.feed(
        "\x1F\x11\x05"
        "abc\x0D"
        "xy"sv);
    EXPECT_EQ(row(lc, 1), padded("xy"));
    lc.advance(std::chrono::milliseconds(VirtualDisplay::marqueeStepMs));
    EXPECT_EQ(row(lc, 0), padded("bc"));
    lc.feed("\x10\x00"sv);
    lc.advance(std::chrono::seconds(1));
    EXPECT_EQ(row(lc, 0), padded("bc"));

    // One pass ends with the text's start shown again.
    VirtualDisplay once(*model::findCommandSet("UTC enhanced"));
    once.feed(
        "\x1B\x75"
        "FHello\x0D"sv);
    once.advance(std::chrono::milliseconds(VirtualDisplay::marqueeStepMs * 3));
    EXPECT_EQ(row(once, 0), padded("lo"));
    once.advance(std::chrono::seconds(30));
    EXPECT_EQ(row(once, 0), padded("Hello"));
    EXPECT_FALSE(once.state().moving.running);
}

TEST(VirtualDisplay, clockBlinkUserCharacterAndPassedThroughBytes) {
    VirtualDisplay utc(*model::findCommandSet("UTC enhanced"));
    utc.feed(
        "\x1B\x75"
        "E23:59\x0D"sv);
    EXPECT_EQ(row(utc, 1), padded("23:59"));
    utc.advance(std::chrono::minutes(2));
    EXPECT_EQ(row(utc, 1), padded("00:01"));
    utc.feed(
        "\x1B\x75"
        "E24:00\x0D"
        "to the printer"sv);
    EXPECT_EQ(utc.faults().back().reason, "clock 24:00 is no time of day");
    EXPECT_EQ(utc.passedThroughCount(), 14u);
    EXPECT_NE(utc.describe().find("14 bytes passed to the printer port, last: 74 6F 20"), std::string::npos);

    VirtualDisplay standard(*model::findCommandSet("UTC standard"));
    standard.feed(
        "a\x1C"
        "b\x1D"
        "c"sv);
    EXPECT_EQ(standard.model().shownCell(0, 1).attribute, model::attribute::blink);
    EXPECT_EQ(standard.model().shownCell(0, 2).attribute, model::attribute::normal);

    // The one Logic Controls user character replaces its code everywhere,
    // and a second one gives the first its own glyph back.
    VirtualDisplay lc(*model::findCommandSet("Logic Controls"));
    lc.feed("AB\x03\x41\x1F\x00\x00\x00\x00"sv);  // dots 1-5: the top row
    EXPECT_EQ(lc.model().shownCell(0, 0).character, emulator::userCharacterBase + 'A');
    EXPECT_EQ(lc.state().userCharacters.at('A'), (emulator::Glyph{1, 1, 1, 1, 1}));
    lc.feed("\x03\x42\x00\x00\x00\x00\x04"sv);  // dot 35: bottom right
    EXPECT_EQ(lc.model().shownCell(0, 0).character, U'A');
    EXPECT_EQ(lc.model().shownCell(0, 1).character, emulator::userCharacterBase + 'B');
    EXPECT_EQ(lc.state().userCharacters.at('B'), (emulator::Glyph{0, 0, 0, 0, 0x40}));
}

TEST(VirtualDisplay, theAnsiSetAnswersAndItsAnswerEchoedStartsTheSelfTest) {
    const model::CommandSet& ansi = *model::findCommandSet("ANSI");
    VirtualDisplay d(ansi);
    d.feed("\x1B[0c"sv);
    const std::string reply = d.takeReplies();
    EXPECT_EQ(reply, ansi.reply);
    EXPECT_EQ(reply.front(), '\x1B');
    EXPECT_EQ(d.takeReplies(), "");
    d.feed(reply);
    EXPECT_EQ(d.state().selfTestMs, VirtualDisplay::selfTestMs);
    d.feed("ignored"sv);
    EXPECT_NE(d.describe().find("7 bytes dropped during the self-test"), std::string::npos);
    EXPECT_TRUE(d.advance(std::chrono::milliseconds(VirtualDisplay::selfTestMs)));
    EXPECT_EQ(row(d, 0), padded(""));
    d.feed("ok"sv);
    EXPECT_EQ(row(d, 0), padded("ok"));
}
