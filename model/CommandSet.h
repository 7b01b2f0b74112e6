// The serial command sets of 2x20 customer displays, as data.
//
// One table row per byte form of a command: the fixed bytes that start it and
// what follows them (argument bytes, text up to a carriage return, or user
// character definitions). A command with several forms (the CD5220's
// one-byte and escape-sequence cursor moves, say) has a row for each; the
// first row of a command is the form a writer sends, and a reader accepts
// them all. The serial service objects build their output from these rows,
// the virtual display parses its input with them, and the tests check both
// against byte sequences written down from the protocol documents.
//
// Constant data and pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace model {

// What a command does; a command set has rows only for the ones it knows.
enum class Command : std::uint8_t {
    initialise,
    clearScreen,
    clearLine,  // clears the cursor's row
    cursorRight,
    cursorLeft,
    cursorDown,
    cursorUp,
    home,        // (1,1)
    leftmost,    // column 1 of the cursor's row
    rightmost,   // column 20 of the cursor's row
    bottomLeft,  // (1,2)
    moveTo,      // arguments: column x, row y, both 1-based
    overwriteMode,
    verticalScrollMode,
    horizontalScrollMode,
    brightness,     // argument: level 1..4
    blink,          // argument: n x 50 ms on and off; 0 stops, 255 display off
    cursorVisible,  // argument: 0 off, 1 on
    reverse,        // argument: 0 off, 1 on
    codeTable,      // argument: table number
    internationalSet,
    writeUpperRow,  // text up to 0D, at most one row
    writeLowerRow,
    marquee,               // text up to 0D, scrolling on the upper row
    defineUserCharacters,  // 01 n m, then 5 column bytes per character n..m
    selectUserCharacters,  // argument: 0 / 1
    deleteUserCharacter,   // argument: character code
    selfTest,
    selectDevice,  // argument: 1 printer, 2 display, 3 both
};

// What follows a row's fixed bytes.
enum class Tail : std::uint8_t {
    none,
    oneByte,               // one argument byte
    twoBytes,              // two argument bytes (moveTo: x, y)
    textToCarriageReturn,  // data bytes ended by 0D
    userCharacters,        // 01 n m and 5 bytes per character from n to m
};

struct CommandForm {
    Command command;
    std::string_view bytes;  // the fixed leading bytes
    Tail tail;
};

// A character set (by its CharacterSet value) a display can show, and the
// code-table number that selects it with the set's codeTable command.
struct CodeTable {
    std::int32_t characterSet;
    std::uint8_t number;
};

struct CommandSet {
    std::string_view name;  // as the device configuration names it
    std::span<const CommandForm> forms;
    // Brightness by level: levelPercent[n - 1] is the brightness of level n.
    std::span<const std::int32_t> levelPercent;
    // The character sets its displays show; without a codeTable command only
    // those of the display's one built-in table (number 0), which it needs no
    // command to show.
    std::span<const CodeTable> codeTables;
};

// The command sets, in the order of the tables below; looked up by name.
std::span<const CommandSet> commandSets();
const CommandSet* findCommandSet(std::string_view name);
const CommandSet& dmD();
const CommandSet& cd5220();

// The code table that shows a CharacterSet value, or nullptr if none does.
const CodeTable* findCodeTable(const CommandSet& set, std::int32_t characterSet);

// The form a writer sends for a command, or nullptr if the set lacks it.
const CommandForm* writerForm(const CommandSet& set, Command command);

// The bytes of a command in its writer form with its arguments (argument
// bytes for oneByte/twoBytes, data for textToCarriageReturn); empty if the
// set lacks the command.
std::string encode(const CommandSet& set, Command command, std::string_view arguments = {});

// Reading a byte stream: how the bytes at the start of `input` read.
struct Match {
    enum class Kind : std::uint8_t {
        command,     // `form` with `length` bytes in all (arguments included)
        character,   // one displayable byte
        incomplete,  // a command has begun but more bytes are needed
        unknown,     // a control byte or sequence no form of the set starts with
    };
    Kind kind = Kind::unknown;
    const CommandForm* form = nullptr;
    std::size_t length = 0;  // bytes taken (for unknown: the bytes that make no sense, at least 1)
};
Match matchAt(const CommandSet& set, std::string_view input);

// Where a command's arguments or text sit inside the `length` bytes a match took.
std::string_view argumentsOf(const Match& match, std::string_view input);

}  // namespace model
