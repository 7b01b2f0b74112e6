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
    m = model::matchAt(dmD, stream.substr(7));
    EXPECT_EQ(m.kind, Match::Kind::unknown);
    EXPECT_EQ(m.length, 1u);
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
