// The serial command sets of 2x20 customer displays, as data.
//
// One table row per byte form of a command: the fixed bytes that start it and
// what follows them (argument bytes, text up to a carriage return, a decimal
// position, user character definitions). A command with several forms (the
// CD5220's one-byte and escape-sequence cursor moves, say) has a row for
// each; the first row of a command is the form a writer sends, and a reader
// accepts them all. A form whose meaning makers disagree on is marked
// uncertain: a reader takes it in its most common meaning, a writer never
// sends it. Beside the forms, each set has a row of what the documents say
// about its edges (where clear leaves the cursor, whether backspace erases,
// what a line feed does on the last row, whether text outside commands is
// shown at all), its brightness levels, code tables and user characters.
//
// The serial service objects build their output from these rows, the virtual
// display parses its input with them, the identification probes and the
// fuzzer read them too, and the tests check all of them against byte
// sequences written down from the protocol documents.
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
    initialise,  // a reset: blank, cursor home, power-on settings
    clearScreen,
    clearLine,            // clears the cursor's row
    clearToEndOfRow,      // from the cursor to the end of its row
    clearToEndOfDisplay,  // from the cursor to the last cell
    cursorRight,
    cursorLeft,  // Behaviour::backspace says whether it erases
    cursorDown,  // Behaviour::lineFeed says what it does on the last row
    cursorUp,
    home,        // (1,1)
    leftmost,    // column 1 of the cursor's row
    rightmost,   // column 20 of the cursor's row
    bottomLeft,  // (1,2)
    moveTo,      // a position, encoded as CommandSet::position says
    overwriteMode,
    verticalScrollMode,
    horizontalScrollMode,
    brightness,       // argument: a level's byte (CommandSet::levels)
    blink,            // whole display; argument: n x 50 ms on and off; 0 stops, 255 display off
    blinkCharacters,  // argument 0 / 1: characters written from now on blink
    cursorVisible,    // argument: 0 off, 1 on
    reverse,          // argument 0 / 1: characters written from now on are reversed
    codeTable,        // argument: table number (CommandSet::codeTables)
    internationalSet,
    selectFont,     // argument kept, no known effect
    writeUpperRow,  // text up to 0D, at most one row
    writeLowerRow,
    writeBothRows,             // text up to 0D: the first row's width to row 1, the rest to row 2
    marquee,                   // text up to 0D, moving left on the upper row, endlessly
    marqueeOnce,               // the same, one pass
    marqueeLowerRow,           // moving left on the lower row
    marqueeRightward,          // moving right on the upper row
    marqueeLowerRowRightward,  // moving right on the lower row
    clock,                     // text "hh:mm", a running clock on the lower row
    stopTrapping,              // text; no visible effect is documented
    changeAttention,           // text: the two bytes of the new attention code
    defineUserCharacters,      // 01 n m, then 5 column bytes per character n..m
    defineUserCharacter,       // code c, then 5 bytes of 35 dots row by row
    selectUserCharacters,      // argument: 0 / 1
    deleteUserCharacter,       // argument: character code
    selfTest,
    selectDevice,  // argument: 1 printer, 2 display, 3 both
    enhancedMode,  // to the partner set (UTC standard to UTC enhanced)
    standardMode,  // back from the partner set; nothing in the standard set itself
    identify,      // asks the display for its identification (CommandSet::reply)
};

// What follows a row's fixed bytes.
enum class Tail : std::uint8_t {
    none,
    arguments,        // CommandForm::count argument bytes
    text,             // data bytes ended by 0D (see textLimit)
    userCharacters,   // 01 n m and 5 bytes per character from n to m
    decimalPosition,  // ASCII decimal row, 3B (";"), ASCII decimal column, then 48 ("H")
};

struct CommandForm {
    Command command;
    std::string_view bytes;  // the fixed leading bytes (after the attention code, see below)
    Tail tail = Tail::none;
    // Tail::arguments: how many argument bytes. Tail::text: the most data
    // bytes a display takes (0: the rows the command writes).
    std::uint8_t count = 0;
    // An argument the bytes themselves stand for (13 is "cursor on", 14
    // "cursor off"), or -1.
    std::int16_t implied = -1;
    bool afterAttention = false;  // the bytes follow the set's current attention code
    // Makers disagree on what it does, or some models lack it: a reader takes
    // it in its common meaning, a writer never sends it.
    bool uncertain = false;
};

// A brightness level: its percentage and the argument byte that selects it.
struct Level {
    std::int32_t percent;
    std::uint8_t argument;
};

// A character set (by its CharacterSet value) a display can show, and the
// code-table number that selects it with the set's codeTable command.
struct CodeTable {
    std::int32_t characterSet;
    std::uint8_t number;
};

// How a moveTo form carries its position.
enum class Position : std::uint8_t {
    columnRowBytes,    // two bytes: column x, row y, both 1-based
    cellByte,          // one byte: (y - 1) * columns + (x - 1)
    decimalRowColumn,  // Tail::decimalPosition: "y;xH" in ASCII decimal
};

// The display modes of the sets that have them.
enum class Mode : std::uint8_t { overwrite, verticalScroll, horizontalScroll };

// Where a command leaves the cursor, as far as the documents say.
enum class CursorAfter : std::uint8_t { unknown, home, stays };

enum class Backspace : std::uint8_t {
    wrapsInOverwriteMode,  // one cell left; from column 1 to the end of the row above in overwrite mode
    erasesAndWraps,        // one cell left and blanks it; (1,2) to (20,1), (1,1) to (20,2)
    stopsAtRowStart,       // one cell left without erasing; ignored in column 1
};

enum class LineFeed : std::uint8_t {
    byMode,            // down; on the last row: overwrite mode to the top row, vertical scroll mode scrolls
    otherRowOrScroll,  // the other row, same column; vertical scroll mode on the last row scrolls
    scrolls,           // down; on the last row the rows move up and the cursor stays
};

// What the documents say about a set's edges; a writer relies only on what
// is established, a reader does what the display does.
struct Behaviour {
    CursorAfter afterClear = CursorAfter::unknown;      // clearScreen
    CursorAfter afterClearLine = CursorAfter::unknown;  // clearLine, clearToEndOfRow, clearToEndOfDisplay
    Backspace backspace = Backspace::wrapsInOverwriteMode;
    LineFeed lineFeed = LineFeed::byMode;
    // A character in a row's last column moves the cursor on to the next row
    // (as the mode says); false: where it goes is not established.
    bool wrapsAtRowEnd = true;
    Mode powerOnMode = Mode::overwrite;  // the mode after power-on and initialise
    bool cursorShownAtPowerOn = true;
    std::int32_t brightnessAfterReset = 0;  // per cent after initialise; 0: not documented
    bool passThrough = false;               // bytes outside commands go to a printer port, never shown
    bool clearEndsText = false;             // clearScreen and clearLine also end row or marquee text
    // A marquee on a row keeps running while the cursor works on another one
    // (it moves off the marquee's row when one starts); otherwise the next
    // command stops it.
    bool marqueeBesideCursor = false;
    // Bytes that begin longer commands: an unknown sequence starting with one
    // takes its next byte along (which would otherwise show as a character).
    std::string_view leaders{};
};

// How the user characters of a set are defined.
enum class GlyphLayout : std::uint8_t {
    none,
    columns5x7,  // 5 bytes, one per column, bit 0 the top dot of 7
    rows5x7,     // 5 bytes holding 35 dots row by row: dot 1 (top left) is bit 0 of byte 1
};

struct UserCharacters {
    GlyphLayout layout = GlyphLayout::none;
    std::int32_t count = 0;  // how many can be defined at once
    std::uint8_t first = 0;  // the codes they may take
    std::uint8_t last = 0;
};

struct CommandSet {
    std::string_view name;                        // as the device configuration names it
    std::span<const std::string_view> aliases{};  // other names it is sold under
    std::span<const CommandForm> forms{};
    std::span<const Level> levels{};
    // The character sets its displays show; without a codeTable command only
    // those of the display's one built-in table (number 0), which it needs no
    // command to show.
    std::span<const CodeTable> codeTables{};
    std::uint8_t nationalVariants = 0;  // codeTable arguments 0..n-1 pick a national variant instead
    Position position = Position::columnRowBytes;
    std::string_view start{};      // the bytes that initialise a display at Enable
    std::string_view attention{};  // the attention code its commands begin with by default
    std::string_view reply{};      // its answer to `identify`; an echo of it starts the self-test
    std::string_view partner{};    // the set enhancedMode and standardMode switch between
    Behaviour behaviour{};
    UserCharacters userCharacters{};
};

// The command sets, in the order of the tables below; looked up by name or
// alias.
std::span<const CommandSet> commandSets();
const CommandSet* findCommandSet(std::string_view name);
const CommandSet& dmD();
const CommandSet& cd5220();
// The names a configuration may give, for messages: "DM-D, CD5220, ...,
// AEDEX (or EMAX), ...".
std::string commandSetNames();
// Why a known set that is not built cannot be used, or nothing.
std::optional<std::string_view> unsupportedCommandSet(std::string_view name);

// Whether a set writes whole rows only: it has no cursor to address.
bool wholeRows(const CommandSet& set);

// The code table that shows a CharacterSet value, or nullptr if none does.
const CodeTable* findCodeTable(const CommandSet& set, std::int32_t characterSet);

// The form a writer sends for a command (for a command whose forms imply
// their argument, the one implying `argument`), or nullptr if the set lacks
// it or has it only in uncertain forms.
const CommandForm* writerForm(const CommandSet& set, Command command, std::int32_t argument = -1);

// The bytes of a command in its writer form with its arguments (argument
// bytes, or the data of a text form); empty if the set lacks the command.
std::string encode(const CommandSet& set, Command command, std::string_view arguments = {});
// The bytes that put the cursor at a 0-based row and column of a display
// `columns` wide; empty if the set has no moveTo.
std::string encodeMove(const CommandSet& set, std::int32_t row, std::int32_t column, std::int32_t columns);

// Reading a byte stream: how the bytes at the start of `input` read.
struct Match {
    enum class Kind : std::uint8_t {
        command,     // `form` with `length` bytes in all (arguments included)
        character,   // one byte outside any command (shown, or passed through)
        incomplete,  // a command has begun but more bytes are needed
        unknown,     // bytes no form of the set can use (malformed when `form` is set)
    };
    Kind kind = Kind::unknown;
    const CommandForm* form = nullptr;
    std::size_t length = 0;  // bytes taken (for unknown: the bytes that make no sense, at least 1)
    std::size_t fixed = 0;   // command: the bytes before its arguments (attention code included)
    bool closed = true;      // text: ended by its 0D (false: by the start of another command)
};
// `attention` is the display's current attention code; `columns` bounds how
// far text may run before its end must have come (twice what the command
// can show), so that a lost 0D cannot swallow what follows.
Match matchAt(
    const CommandSet& set, std::string_view input, std::string_view attention, std::int32_t columns);
inline Match matchAt(const CommandSet& set, std::string_view input) {
    return matchAt(set, input, set.attention, 20);
}

// The most data bytes a text form shows on a display `columns` wide.
std::size_t textLimit(const CommandForm& form, std::int32_t columns);

// Where a command's arguments or text sit inside the `length` bytes a match took.
std::string_view argumentsOf(const Match& match, std::string_view input);

// The 0-based row and column a moveTo match names on a display `columns`
// wide, or nothing when its bytes are no position (the caller checks the
// range).
struct Place {
    std::int32_t row;
    std::int32_t column;
};
std::optional<Place> decodeMove(
    const CommandSet& set, const Match& match, std::string_view input, std::int32_t columns);

}  // namespace model
