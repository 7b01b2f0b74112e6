// The command-set tables: what a writer sends and how a reader splits a byte
// stream, checked against sequences written down from the protocol documents.
#include "model/CommandSet.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;
using model::Command;
using model::Match;

TEST(CommandSet, writerFormsAreTheDocumentedBytes) {
    const auto& dmD = model::dmD();
    const auto& cd = model::cd5220();
    EXPECT_EQ(model::encode(dmD, Command::moveTo, "\x05\x02"sv), "\x1F\x24\x05\x02"sv);
    EXPECT_EQ(model::encode(dmD, Command::cursorUp), "\x1F\x0A"sv);
    EXPECT_EQ(model::encode(dmD, Command::brightness, "\x04"sv), "\x1F\x58\x04"sv);
    EXPECT_EQ(model::encode(cd, Command::moveTo, "\x14\x01"sv), "\x1B\x6C\x14\x01"sv);
    // The CD5220's one-byte cursor moves are the cheaper form, and its modes
    // use the escape form older firmware also takes.
    EXPECT_EQ(model::encode(cd, Command::cursorLeft), "\x08"sv);
    EXPECT_EQ(model::encode(cd, Command::overwriteMode), "\x1B\x11"sv);
    EXPECT_EQ(model::encode(cd, Command::writeLowerRow, "Total"sv), "\x1B\x51\x42Total\x0D"sv);
    // A command the set lacks has no bytes.
    EXPECT_EQ(model::encode(cd, Command::reverse, "\x01"sv), "");
    EXPECT_EQ(model::findCommandSet("CD5220"), &cd);
    EXPECT_EQ(model::findCommandSet("cd5220"), nullptr);
}

TEST(CommandSet, codeTablesSelectTheCharacterSets) {
    ASSERT_NE(model::findCodeTable(model::dmD(), 858), nullptr);
    EXPECT_EQ(model::findCodeTable(model::dmD(), 858)->number, 19);
    EXPECT_EQ(model::findCodeTable(model::dmD(), 1252)->number, 16);
    EXPECT_EQ(model::findCodeTable(model::dmD(), 997), nullptr);
    // The CD5220 cannot change tables: it shows PC437 only.
    EXPECT_EQ(model::writerForm(model::cd5220(), Command::codeTable), nullptr);
    EXPECT_NE(model::findCodeTable(model::cd5220(), 437), nullptr);
    EXPECT_EQ(model::findCodeTable(model::cd5220(), 850), nullptr);
}

TEST(CommandSet, readerSplitsAStreamIntoCommandsAndCharacters) {
    const auto& dmD = model::dmD();
    const std::string_view stream =
        "\x1F\x0A"
        "A\x1F\x24\x03\x02\x1F\x99"sv;
    auto m = model::matchAt(dmD, stream);
    ASSERT_EQ(m.kind, Match::Kind::command);  // the longer 1F 0A, not 0A alone
    EXPECT_EQ(m.form->command, Command::cursorUp);
    EXPECT_EQ(m.length, 2u);
    m = model::matchAt(dmD, stream.substr(2));
    EXPECT_EQ(m.kind, Match::Kind::character);
    m = model::matchAt(dmD, stream.substr(3));
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(m.form->command, Command::moveTo);
    EXPECT_EQ(model::argumentsOf(m, stream.substr(3)), "\x03\x02"sv);
    // An unknown unit-separator sequence takes its next byte along, which
    // would otherwise show as a character.
    m = model::matchAt(dmD, stream.substr(7));
    EXPECT_EQ(m.kind, Match::Kind::unknown);
    EXPECT_EQ(m.length, 2u);
}

TEST(CommandSet, readerWaitsForTheRestOfACommand) {
    const auto& cd = model::cd5220();
    EXPECT_EQ(model::matchAt(cd, "\x1B"sv).kind, Match::Kind::incomplete);
    EXPECT_EQ(model::matchAt(cd, "\x1B\x6C\x01"sv).kind, Match::Kind::incomplete);
    EXPECT_EQ(model::matchAt(cd, "\x1B\x51\x41Hello"sv).kind, Match::Kind::incomplete);
    const std::string_view row = "\x1B\x51\x41Hello\x0Dz"sv;
    const auto m = model::matchAt(cd, row);
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(m.length, 9u);
    EXPECT_EQ(model::argumentsOf(m, row), "Hello");
}

TEST(CommandSet, userCharacterDefinitionsTakeFiveBytesPerCharacter) {
    const auto& dmD = model::dmD();
    const std::string two = std::string("\x1B\x26\x01\x41\x42", 5) + std::string(10, '\x7F');
    EXPECT_EQ(model::matchAt(dmD, std::string_view(two).substr(0, 14)).kind, Match::Kind::incomplete);
    const auto m = model::matchAt(dmD, two);
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(m.length, 15u);
    // A backwards range is reported, not read as a huge definition.
    const auto bad = model::matchAt(dmD, "\x1B\x26\x01\x42\x41"sv);
    EXPECT_EQ(bad.kind, Match::Kind::unknown);
    EXPECT_EQ(bad.length, 5u);
}

// One row per command of the five further sets, with the bytes the protocol
// documents give for it.
TEST(CommandSet, theFurtherSetsWriteTheDocumentedBytes) {
    struct Row {
        std::string_view set;
        Command command;
        std::string_view arguments;
        std::string_view bytes;
    };
    const Row rows[] = {
        {"Logic Controls", Command::initialise, "", "\x1F"},
        {"Logic Controls", Command::overwriteMode, "", "\x11"},
        {"Logic Controls", Command::brightness, "\x40", "\x04\x40"},
        {"Logic Controls", Command::cursorVisible, "\x00"sv, "\x14"},
        {"Logic Controls", Command::cursorVisible, "\x01", "\x13"},
        {"Logic Controls", Command::marquee, "Sale", "\x05Sale\x0D"},
        {"UTC standard", Command::clearScreen, "", "\x1E"},
        {"UTC standard", Command::blinkCharacters, "\x01", "\x1C"},
        {"UTC standard", Command::blinkCharacters, "\x00"sv, "\x1D"},
        {"UTC standard", Command::enhancedMode, "", "\x1B\x64"},
        // Missing on some models: never written.
        {"UTC standard", Command::clearToEndOfRow, "", ""},
        {"UTC enhanced", Command::writeUpperRow, "Total",
            "\x1B\x75"
            "ATotal\x0D"},
        {"UTC enhanced", Command::writeBothRows, "x", ""},
        {"UTC enhanced", Command::standardMode, "", "\x1B\x1E\x0D"},
        {"AEDEX", Command::writeBothRows, " ", "!#9 \x0D"},
        {"AEDEX", Command::writeLowerRow, "9.99", "!#29.99\x0D"},
        {"AEDEX", Command::initialise, "", ""},
        {"ANSI", Command::clearScreen, "", "\x1B\x5B\x32\x4A"},
        {"ANSI", Command::clearToEndOfRow, "", "\x1B\x5B\x30\x4B"},
        {"ANSI", Command::identify, "", "\x1B\x5B\x30\x63"},
        {"ANSI", Command::codeTable, "\x34", "\x1B\x52\x34"},
    };
    for (const Row& row : rows) {
        const model::CommandSet* set = model::findCommandSet(row.set);
        ASSERT_NE(set, nullptr) << row.set;
        EXPECT_EQ(model::encode(*set, row.command, row.arguments), row.bytes)
            << row.set << " command " << static_cast<int>(row.command);
    }
    // Positions: one binary cell byte, ASCII decimal "row;column H".
    EXPECT_EQ(model::encodeMove(*model::findCommandSet("Logic Controls"), 1, 3, 20), "\x10\x17");
    EXPECT_EQ(model::encodeMove(*model::findCommandSet("ANSI"), 0, 11, 20),
        "\x1B\x5B"
        "1;12H");
    EXPECT_EQ(model::encodeMove(model::dmD(), 1, 4, 20), "\x1F\x24\x05\x02");
    // Aliases name the same rows; ICD-2002 is refused with a reason.
    EXPECT_EQ(model::findCommandSet("Ultimate"), model::findCommandSet("UTC standard"));
    EXPECT_EQ(model::findCommandSet("EMAX"), model::findCommandSet("AEDEX"));
    EXPECT_EQ(model::findCommandSet("ICD-2002"), nullptr);
    EXPECT_NE(model::unsupportedCommandSet("icd-2002").value_or("").find("not supported"), std::string::npos);
    EXPECT_EQ(model::commandSetNames(),
        "DM-D, CD5220, Logic Controls, UTC standard (or Ultimate), UTC enhanced, AEDEX (or EMAX), ANSI");
}

TEST(CommandSet, attentionCodesStartCommandsEvenInsideText) {
    const model::CommandSet& aedex = *model::findCommandSet("AEDEX");
    // Outside a command every byte is passed through; "!#3" is no command.
    EXPECT_EQ(model::matchAt(aedex, "Hi"sv).kind, Match::Kind::character);
    EXPECT_EQ(model::matchAt(aedex, "!#"sv).kind, Match::Kind::incomplete);
    EXPECT_EQ(model::matchAt(aedex, "!#3"sv).kind, Match::Kind::character);
    // With the attention code changed to two blanks, "Total  1.99" in a row
    // write ends that write and starts another (the trap).
    const std::string_view trapped = "  1Total  1.99\x0D"sv;
    auto m = model::matchAt(aedex, trapped, "  ", 20);
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(m.form->command, Command::writeUpperRow);
    EXPECT_FALSE(m.closed);
    EXPECT_EQ(model::argumentsOf(m, trapped), "Total");
    m = model::matchAt(aedex, trapped.substr(m.length), "  ", 20);
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(model::argumentsOf(m, trapped.substr(8)), ".99");
    // A text that might still turn into a command waits for more bytes.
    EXPECT_EQ(model::matchAt(aedex, "  1Total "sv, "  ", 20).kind, Match::Kind::incomplete);
}

TEST(CommandSet, ansiPositionsAreDecimalAndOtherSequencesEndAtTheirFinalByte) {
    const model::CommandSet& ansi = *model::findCommandSet("ANSI");
    const std::string_view move = "\x1B[2;05Hx"sv;
    auto m = model::matchAt(ansi, move);
    ASSERT_EQ(m.kind, Match::Kind::command);
    EXPECT_EQ(m.length, 7u);
    const auto place = model::decodeMove(ansi, m, move, 20);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->row, 1);
    EXPECT_EQ(place->column, 4);
    EXPECT_EQ(model::matchAt(ansi, "\x1B[2"sv).kind, Match::Kind::incomplete);  // clear or a position
    m = model::matchAt(ansi, "\x1B[5mA"sv);                                     // an unknown sequence, whole
    EXPECT_EQ(m.kind, Match::Kind::unknown);
    EXPECT_EQ(m.length, 4u);
    EXPECT_EQ(model::matchAt(ansi, "\x1B[0K"sv).form->command, Command::clearToEndOfRow);
    EXPECT_EQ(model::matchAt(ansi, ansi.reply).form->command, Command::selfTest);  // its echo
}
