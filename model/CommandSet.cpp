// The command-set tables, written from the displays' protocol documents.
#include "model/CommandSet.h"

#include <algorithm>
#include <array>

namespace model {
namespace {

using enum Command;
using enum Tail;
using namespace std::string_view_literals;

// The writer sends a command's first row: for cursor moves the one-byte
// forms where a set has them, for modes the form every firmware takes.
constexpr std::array dmDForms{
    CommandForm{initialise, "\x1B\x40"},
    CommandForm{clearScreen, "\x0C"},
    CommandForm{clearLine, "\x18"},
    CommandForm{cursorRight, "\x09"},
    CommandForm{cursorLeft, "\x08"},
    CommandForm{cursorDown, "\x0A"},
    CommandForm{cursorUp, "\x1F\x0A"},
    CommandForm{home, "\x0B"},
    CommandForm{leftmost, "\x0D"},
    CommandForm{rightmost, "\x1F\x0D"},
    CommandForm{bottomLeft, "\x1F\x42"},
    CommandForm{moveTo, "\x1F\x24", arguments, 2},
    CommandForm{overwriteMode, "\x1F\x01"},
    CommandForm{verticalScrollMode, "\x1F\x02"},
    CommandForm{horizontalScrollMode, "\x1F\x03"},
    CommandForm{brightness, "\x1F\x58", arguments, 1},
    CommandForm{blink, "\x1F\x45", arguments, 1},
    CommandForm{cursorVisible, "\x1F\x43", arguments, 1},
    CommandForm{reverse, "\x1F\x72", arguments, 1},
    CommandForm{codeTable, "\x1B\x74", arguments, 1},
    CommandForm{internationalSet, "\x1B\x52", arguments, 1},
    CommandForm{defineUserCharacters, "\x1B\x26", userCharacters},
    CommandForm{selectUserCharacters, "\x1B\x25", arguments, 1},
    CommandForm{deleteUserCharacter, "\x1B\x3F", arguments, 1},
    CommandForm{selfTest, "\x1F\x40"},
    CommandForm{selectDevice, "\x1B\x3D", arguments, 1},
};

constexpr std::array cd5220Forms{
    CommandForm{initialise, "\x1B\x40"},
    CommandForm{overwriteMode, "\x1B\x11"},
    CommandForm{overwriteMode, "\x1F\x01"},
    CommandForm{verticalScrollMode, "\x1B\x12"},
    CommandForm{verticalScrollMode, "\x1F\x02"},
    CommandForm{horizontalScrollMode, "\x1B\x13"},
    CommandForm{horizontalScrollMode, "\x1F\x03"},
    CommandForm{writeUpperRow, "\x1B\x51\x41", text},
    CommandForm{writeLowerRow, "\x1B\x51\x42", text},
    // The CD5220 documents give no limit; the CD5220-family manuals give 40.
    CommandForm{marquee, "\x1B\x51\x44", text, 40},
    CommandForm{cursorLeft, "\x08"},
    CommandForm{cursorLeft, "\x1B\x5B\x44"},
    CommandForm{cursorRight, "\x09"},
    CommandForm{cursorRight, "\x1B\x5B\x43"},
    CommandForm{cursorUp, "\x1B\x5B\x41"},
    CommandForm{cursorDown, "\x0A"},
    CommandForm{cursorDown, "\x1B\x5B\x42"},
    CommandForm{home, "\x0B"},
    CommandForm{home, "\x1B\x5B\x48"},
    CommandForm{leftmost, "\x0D"},
    CommandForm{leftmost, "\x1B\x5B\x4C"},
    CommandForm{rightmost, "\x1B\x5B\x52"},
    CommandForm{bottomLeft, "\x1B\x5B\x4B"},
    CommandForm{moveTo, "\x1B\x6C", arguments, 2},
    CommandForm{clearScreen, "\x0C"},
    CommandForm{clearLine, "\x18"},
    CommandForm{brightness, "\x1B\x2A", arguments, 1},
    CommandForm{cursorVisible, "\x1B\x5F", arguments, 1},
    CommandForm{defineUserCharacters, "\x1B\x26", userCharacters},
    CommandForm{selectUserCharacters, "\x1B\x25", arguments, 1},
    CommandForm{deleteUserCharacter, "\x1B\x3F", arguments, 1},
    CommandForm{internationalSet, "\x1B\x66", arguments, 1},
};

// Logic Controls (LD9000, PD3000/PD6000, TD3000, LDX9 "LCI").
constexpr std::array logicControlsForms{
    CommandForm{initialise, "\x1F"},
    CommandForm{overwriteMode, "\x11"},
    CommandForm{verticalScrollMode, "\x12"},
    CommandForm{brightness, "\x04", arguments, 1},
    CommandForm{cursorLeft, "\x08"},  // a backspace: it erases
    CommandForm{cursorRight, "\x09"},
    CommandForm{cursorDown, "\x0A"},
    CommandForm{leftmost, "\x0D"},
    CommandForm{moveTo, "\x10", arguments, 1},
    CommandForm{.command = cursorVisible, .bytes = "\x13", .implied = 1},
    CommandForm{.command = cursorVisible, .bytes = "\x14", .implied = 0},
    CommandForm{defineUserCharacter, "\x03", arguments, 6},
    CommandForm{marquee, "\x05", text, 45},
    // The other three marquees are in the LD9000 manual only.
    CommandForm{marqueeLowerRow, "\x1B\x06", text, 45},
    CommandForm{marqueeRightward, "\x1B\x07", text, 45},
    CommandForm{marqueeLowerRowRightward, "\x1B\x0B", text, 45},
};

// UTC standard ("UTC/S", "direct to pole"; sold as Ultimate too).
constexpr std::array utcStandardForms{
    CommandForm{brightness, "\x04", arguments, 1},
    CommandForm{cursorLeft, "\x08"},  // a backspace: it erases
    CommandForm{cursorRight, "\x09"},
    CommandForm{cursorDown, "\x0A"},
    CommandForm{leftmost, "\x0D"},
    CommandForm{moveTo, "\x10", arguments, 1},
    CommandForm{overwriteMode, "\x11"},
    CommandForm{verticalScrollMode, "\x12"},
    // In the clone makers' and Posiflex tables, not in UTC Retail's own.
    CommandForm{.command = cursorVisible, .bytes = "\x13", .implied = 1},
    CommandForm{.command = cursorVisible, .bytes = "\x14", .implied = 0},
    // Missing on the USB PD1200, which would leave the old text standing.
    CommandForm{.command = clearToEndOfRow, .bytes = "\x18", .uncertain = true},
    CommandForm{.command = clearToEndOfDisplay, .bytes = "\x19", .uncertain = true},
    CommandForm{selectFont, "\x1A", arguments, 1},
    CommandForm{.command = blinkCharacters, .bytes = "\x1C", .implied = 1},
    CommandForm{.command = blinkCharacters, .bytes = "\x1D", .implied = 0},
    CommandForm{clearScreen, "\x1E"},  // home and clear
    CommandForm{initialise, "\x1F"},
    CommandForm{enhancedMode, "\x1B\x64"},
    // The way back from enhanced mode, harmless here.
    CommandForm{standardMode, "\x1B\x1E\x0D"},
    CommandForm{standardMode, "\x1B\x1E"},
    CommandForm{standardMode, "\x1B\x0F\x0D"},
};

// UTC enhanced ("UTC/P", "pass-thru"): attention code ESC u.
constexpr std::array utcEnhancedForms{
    CommandForm{.command = writeUpperRow, .bytes = "A", .tail = text, .afterAttention = true},
    CommandForm{.command = writeLowerRow, .bytes = "B", .tail = text, .afterAttention = true},
    // Posiflex lists I as "display fonts".
    CommandForm{
        .command = writeBothRows, .bytes = "I", .tail = text, .afterAttention = true, .uncertain = true},
    CommandForm{.command = marquee, .bytes = "D", .tail = text, .count = 45, .afterAttention = true},
    CommandForm{.command = marqueeOnce, .bytes = "F", .tail = text, .count = 45, .afterAttention = true},
    CommandForm{.command = clock, .bytes = "E", .tail = text, .count = 5, .afterAttention = true},
    // Posiflex calls H "redefine graphic".
    CommandForm{.command = changeAttention,
        .bytes = "H",
        .tail = text,
        .count = 2,
        .afterAttention = true,
        .uncertain = true},
    CommandForm{standardMode, "\x1B\x1E\x0D"},
    CommandForm{standardMode, "\x1B\x1E"},
    CommandForm{standardMode, "\x1B\x0F\x0D"},
};

// AEDEX, also sold as EMAX: attention code "!#".
constexpr std::array aedexForms{
    CommandForm{.command = writeUpperRow, .bytes = "1", .tail = text, .afterAttention = true},
    CommandForm{.command = writeLowerRow, .bytes = "2", .tail = text, .afterAttention = true},
    CommandForm{.command = writeBothRows, .bytes = "9", .tail = text, .afterAttention = true},
    // Limits vary by maker (45, 60, 40, 20): the largest is taken.
    CommandForm{.command = marquee, .bytes = "4", .tail = text, .count = 60, .afterAttention = true},
    CommandForm{.command = marqueeOnce, .bytes = "6", .tail = text, .count = 60, .afterAttention = true},
    CommandForm{.command = clock, .bytes = "5", .tail = text, .count = 5, .afterAttention = true},
    CommandForm{.command = stopTrapping, .bytes = "7", .tail = text, .count = 40, .afterAttention = true},
    CommandForm{.command = changeAttention, .bytes = "8", .tail = text, .count = 2, .afterAttention = true},
    // Logic Controls: reset; Tysso: "upper line scroll message".
    CommandForm{.command = initialise,
        .bytes = "A",
        .tail = text,
        .count = 40,
        .afterAttention = true,
        .uncertain = true},
};

// What the ANSI-style display answers to its identification request. The
// documents do not establish its format; the display frames it with ESC as
// an application string (ESC _ ... ESC \).
constexpr std::string_view ansiReply = "\x1B_BA63 LDT virtual display 1.0\x1B\\";

// The ANSI-style set of the BA63 family, a VT100 subset.
constexpr std::array ansiForms{
    CommandForm{clearScreen, "\x1B\x5B\x32\x4A"},
    CommandForm{moveTo, "\x1B\x5B", decimalPosition},
    CommandForm{clearToEndOfRow, "\x1B\x5B\x30\x4B"},
    CommandForm{codeTable, "\x1B\x52", arguments, 1},
    CommandForm{identify, "\x1B\x5B\x30\x63"},
    CommandForm{cursorLeft, "\x08"},  // a backspace that does not erase
    CommandForm{cursorDown, "\x0A"},
    CommandForm{leftmost, "\x0D"},
    CommandForm{selfTest, ansiReply},
};

// Level n: about 20, 40, 60 and 100 per cent.
constexpr std::array fourLevels{Level{20, 1}, Level{40, 2}, Level{60, 3}, Level{100, 4}};
constexpr std::array dimmingLevels{Level{20, 0x20}, Level{40, 0x40}, Level{60, 0x60}, Level{100, 0xFF}};

// The DM-D's code tables by their ESC t numbers; 998 (ASCII) is the lower
// half of any of them. The sets without a code-table command show the PC437
// table of the IBM-compatible firmware they come from (the Logic Controls
// set on IBM's displays resets to it); the ANSI set picks its "standard"
// page, 858 and 866 by the values two drivers agree on.
constexpr std::array dmDCodeTables{
    CodeTable{437, 0},
    CodeTable{850, 2},
    CodeTable{852, 18},
    CodeTable{858, 19},
    CodeTable{866, 17},
    CodeTable{998, 0},
    CodeTable{1252, 16},
};
constexpr std::array pc437Only{CodeTable{437, 0}, CodeTable{998, 0}};
constexpr std::array ansiCodeTables{
    CodeTable{437, 0x30},
    CodeTable{858, 0x34},
    CodeTable{866, 0x35},
    CodeTable{998, 0x30},
};

constexpr std::array<std::string_view, 1> ultimate{"Ultimate"};
constexpr std::array<std::string_view, 1> emax{"EMAX"};

// The DM-D's and CD5220's unknown escape and unit-separator sequences take
// their next byte, as do the ANSI set's escapes; the Logic Controls family
// ignores a stray byte alone.
constexpr std::string_view escapeAndUnitSeparator = "\x1B\x1F";
constexpr std::string_view escape = "\x1B";

// The probes put the code's second character first and its first one left of
// it with the set's own cursor move, after the set's own initialise: only a
// display that reads those moves shows the code the right way round, alone.
constexpr Identification dmDIdentification{
    // Select the display (a printer may have been addressed), initialise.
    .reset = "\x1B\x3D\x02\x1B\x40",
    .probe =
        "\x1B\x3D\x02\x1B\x40\x1F\x24\x02\x01"
        "7\x1F\x24\x01\x01"
        "H",
    .code = "H7",
};
constexpr Identification cd5220Identification{
    .reset = "\x1B\x40",
    .probe =
        "\x1B\x40\x1B\x6C\x02\x01"
        "8\x1B\x6C\x01\x01"
        "J",
    .code = "J8",
};

// The Logic Controls family (Logic Controls, UTC standard) shares its reset
// and its cursor; 1E (UTC standard's home and clear, which Logic Controls
// ignores) tells the two apart: the Logic Controls probe ends with it, so
// its code stays only where 1E does nothing, and the UTC standard probe
// puts a mark before it that only a UTC standard display wipes. The reset's
// 11 keeps the 1F from taking a carriage return after it on a DM-D or
// CD5220 display (as their "rightmost").
constexpr std::string_view logicControlsReset = "\x1F\x11";
constexpr Identification logicControlsIdentification{
    .reset = logicControlsReset,
    .probe =
        "\x1F\x11\x10\x16"
        "4\x10\x15"
        "D\x1E",
    .code = "D4",
};
constexpr Identification utcStandardIdentification{
    .reset = logicControlsReset,
    .probe =
        "\x1F\x11#\x1E\x10\x16"
        "5\x10\x15"
        "E",
    .code = "E5",
};
// The pass-through sets show nothing but their row writes: both rows blanked
// by empty or short writes, then the code written to the top row.
constexpr Identification utcEnhancedIdentification{
    .reset = "\x1B\x75\x41\x0D\x1B\x75\x42\x0D",
    .probe = "\x1B\x75\x42\x0D\x1B\x75\x41\x43\x33\x0D",
    .code = "C3",
    .textBefore = "\x1B\x75\x41",
};
constexpr Identification aedexIdentification{
    .reset = "!#9 \x0D",
    .probe = "!#9 \x0D!#1B2\x0D",
    .code = "B2",
    .textBefore = "!#1",
};
// Recognised by its answer; the probe serves a display whose answer is lost.
constexpr Identification ansiIdentification{
    .reset = "\x1B[2J\x1B[1;1H",
    .probe = "\x1B[2J\x1B[1;2H1\x1B[1;1HA",
    .code = "A1",
};

const std::array sets{
    CommandSet{
        .name = "DM-D",
        .forms = dmDForms,
        .levels = fourLevels,
        .codeTables = dmDCodeTables,
        .position = Position::columnRowBytes,
        .start = "\x1B\x40\x1F\x01",
        .behaviour = {.leaders = escapeAndUnitSeparator},
        .userCharacters = {GlyphLayout::columns5x7, 95, 0x20, 0x7E},
        .identification = dmDIdentification,
    },
    CommandSet{
        .name = "CD5220",
        .forms = cd5220Forms,
        .levels = fourLevels,
        .codeTables = pc437Only,
        .position = Position::columnRowBytes,
        .start = "\x1B\x40\x1B\x11",
        .behaviour = {.clearEndsText = true, .leaders = escapeAndUnitSeparator},
        .userCharacters = {GlyphLayout::columns5x7, 95, 0x20, 0x7E},
        .identification = cd5220Identification,
    },
    CommandSet{
        .name = "Logic Controls",
        .forms = logicControlsForms,
        .levels = dimmingLevels,
        .codeTables = pc437Only,
        .position = Position::cellByte,
        // Reset, then normal (wrap) mode: reset picks vertical scroll.
        .start = "\x1F\x11",
        .behaviour =
            {
                .backspace = Backspace::erasesAndWraps,
                .lineFeed = LineFeed::otherRowOrScroll,
                .powerOnMode = Mode::verticalScroll,
                .brightnessAfterReset = 100,
                .marqueeBesideCursor = true,
            },
        .userCharacters = {GlyphLayout::rows5x7, 1, 0x20, 0x7F},
        .identification = logicControlsIdentification,
    },
    CommandSet{
        .name = "UTC standard",
        .aliases = ultimate,
        .forms = utcStandardForms,
        .levels = dimmingLevels,
        .codeTables = pc437Only,
        .position = Position::cellByte,
        // Back from enhanced mode should the display be in it (in standard
        // mode the same bytes do nothing), reset, normal mode.
        .start = "\x1B\x1E\x0D\x1F\x11",
        .partner = "UTC enhanced",
        .behaviour =
            {
                .afterClear = CursorAfter::home,
                .backspace = Backspace::erasesAndWraps,
                .lineFeed = LineFeed::otherRowOrScroll,
                .powerOnMode = Mode::verticalScroll,
                .brightnessAfterReset = 100,
            },
        .identification = utcStandardIdentification,
    },
    CommandSet{
        .name = "UTC enhanced",
        .forms = utcEnhancedForms,
        .codeTables = pc437Only,
        // Back to standard mode, reset there, and into enhanced mode: right
        // whichever mode the display was left in.
        .start = "\x1B\x1E\x0D\x1F\x1B\x64",
        .attention = "\x1B\x75",
        .partner = "UTC standard",
        .behaviour = {.passThrough = true},
        .identification = utcEnhancedIdentification,
    },
    CommandSet{
        .name = "AEDEX",
        .aliases = emax,
        .forms = aedexForms,
        .codeTables = pc437Only,
        .attention = "!#",
        .behaviour = {.passThrough = true},
        .identification = aedexIdentification,
    },
    CommandSet{
        .name = "ANSI",
        .forms = ansiForms,
        .codeTables = ansiCodeTables,
        .nationalVariants = 0x0D,
        .position = Position::decimalRowColumn,
        // USA national variant, clear (the cursor stays), home.
        .start = "\x1B\x52\x00\x1B\x5B\x32\x4A\x1B\x5B\x31\x3B\x31\x48"sv,
        .reply = ansiReply,
        .behaviour =
            {
                .afterClear = CursorAfter::stays,
                .backspace = Backspace::stopsAtRowStart,
                .lineFeed = LineFeed::scrolls,
                .wrapsAtRowEnd = false,
                .cursorShownAtPowerOn = false,
                .leaders = escape,
            },
        .line = {.parity = Parity::odd},  // jumper JP3 open, as the BA63 leaves the factory
        .identification = ansiIdentification,
    },
};

struct Unsupported {
    std::string_view name;
    std::string_view why;
};
constexpr std::array unsupported{
    Unsupported{"ICD-2002",
        "is not supported: its published table stops short of the row-mode values of ESC E and of what "
        "its default \"shift\" mode does, so no display could be driven safely with it; set the display "
        "to another emulation (CD5220, DM-D, AEDEX, ...) with its switches"},
};

constexpr std::size_t userCharacterColumns = 5;
constexpr std::size_t longestDecimalPosition = 16;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// How the fixed bytes of a form sit at the start of the input: fully, as a
// prefix the input has not yet completed, or not at all.
enum class Fit : std::uint8_t { full, partial, none };

Fit fitOf(const CommandForm& form, std::string_view attention, std::string_view input) {
    std::string_view lead = form.afterAttention ? attention : std::string_view{};
    const std::size_t total = lead.size() + form.bytes.size();
    // Compare the two parts without joining them.
    const std::size_t n = std::min(input.size(), total);
    for (std::size_t i = 0; i < n; ++i) {
        const char want = i < lead.size() ? lead[i] : form.bytes[i - lead.size()];
        if (input[i] != want) return Fit::none;
    }
    return input.size() >= total ? Fit::full : Fit::partial;
}

std::size_t fixedLength(const CommandForm& form, std::string_view attention) {
    return (form.afterAttention ? attention.size() : 0) + form.bytes.size();
}

// Whether another command of the set starts at the beginning of `input`
// (fully), could start there once more bytes come (partially), or not.
Fit commandStart(const CommandSet& set, std::string_view attention, std::string_view input) {
    Fit best = Fit::none;
    for (const CommandForm& form : set.forms) {
        if (!form.afterAttention) continue;
        const Fit fit = fitOf(form, attention, input);
        if (fit == Fit::full) return Fit::full;
        if (fit == Fit::partial) best = Fit::partial;
    }
    return best;
}

Match readText(const CommandSet& set, const CommandForm& form, std::string_view input, std::size_t fixed,
    std::string_view attention, std::int32_t columns) {
    // A lost 0D must not swallow what follows: the end has to come within
    // twice what the command can show.
    const std::size_t window = fixed + 2 * std::max<std::size_t>(textLimit(form, columns), 1) + 1;
    const std::string_view seen = input.substr(0, window);
    const std::string enders = set.behaviour.clearEndsText
                                   ? encode(set, Command::clearScreen) + encode(set, Command::clearLine)
                                   : std::string();
    for (std::size_t i = fixed; i < seen.size(); ++i) {
        const char byte = seen[i];
        if (byte == '\x0D') return {Match::Kind::command, &form, i + 1, fixed, true};
        if (enders.find(byte) != std::string::npos) return {Match::Kind::command, &form, i, fixed, false};
        // The attention-code trap: the display starts a command wherever
        // its attention code and a function byte appear, text or not.
        if (!attention.empty() && byte == attention.front()) {
            const Fit start = commandStart(set, attention, input.substr(i));
            if (start == Fit::full) return {Match::Kind::command, &form, i, fixed, false};
            if (start == Fit::partial) return {Match::Kind::incomplete, &form, 0};
        }
    }
    if (seen.size() < window) return {Match::Kind::incomplete, &form, 0};
    return {Match::Kind::unknown, &form, fixed};
}

Match readDecimalPosition(const CommandForm& form, std::string_view input, std::size_t fixed) {
    for (std::size_t i = fixed; i < input.size(); ++i) {
        const auto byte = static_cast<unsigned char>(input[i]);
        if ((byte >= '0' && byte <= '9') || byte == ';') {
            if (i - fixed >= longestDecimalPosition) return {Match::Kind::unknown, &form, i};
            continue;
        }
        // The final byte of a control sequence: only "H" is a position.
        if (byte >= 0x40 && byte <= 0x7E) {
            if (byte == 'H') return {Match::Kind::command, &form, i + 1, fixed};
            return {Match::Kind::unknown, nullptr, i + 1};
        }
        return {Match::Kind::unknown, &form, i};
    }
    return {Match::Kind::incomplete, &form, 0};
}

}  // namespace

std::span<const CommandSet> commandSets() { return sets; }

const CommandSet* findCommandSet(std::string_view name) {
    for (const CommandSet& set : sets) {
        if (set.name == name || std::ranges::find(set.aliases, name) != set.aliases.end()) return &set;
    }
    return nullptr;
}

const CommandSet& dmD() { return sets[0]; }
const CommandSet& cd5220() { return sets[1]; }

std::string commandSetNames() {
    std::string names;
    for (const CommandSet& set : sets) {
        if (!names.empty()) names += ", ";
        names += set.name;
        for (std::size_t i = 0; i < set.aliases.size(); ++i) {
            names += i == 0 ? " (or " : ", ";
            names += set.aliases[i];
        }
        if (!set.aliases.empty()) names += ')';
    }
    return names;
}

std::optional<std::string_view> unsupportedCommandSet(std::string_view name) {
    for (const Unsupported& u : unsupported) {
        if (equalsIgnoringCase(u.name, name)) return u.why;
    }
    return std::nullopt;
}

bool wholeRows(const CommandSet& set) { return writerForm(set, Command::moveTo) == nullptr; }

const CodeTable* findCodeTable(const CommandSet& set, std::int32_t characterSet) {
    auto it = std::ranges::find(set.codeTables, characterSet, &CodeTable::characterSet);
    return it == set.codeTables.end() ? nullptr : &*it;
}

const CommandForm* writerForm(const CommandSet& set, Command command, std::int32_t argument) {
    for (const CommandForm& form : set.forms) {
        if (form.command != command || form.uncertain) continue;
        if (form.implied < 0 || argument < 0 || form.implied == argument) return &form;
    }
    return nullptr;
}

std::string encode(const CommandSet& set, Command command, std::string_view arguments) {
    const std::int32_t implied = arguments.empty() ? -1 : static_cast<unsigned char>(arguments.front());
    const CommandForm* form = writerForm(set, command, implied);
    if (form == nullptr) return {};
    std::string bytes;
    if (form->afterAttention) bytes += set.attention;
    bytes += form->bytes;
    if (form->implied < 0) bytes += arguments;
    if (form->tail == text) bytes += '\x0D';
    return bytes;
}

std::string encodeMove(const CommandSet& set, std::int32_t row, std::int32_t column, std::int32_t columns) {
    switch (set.position) {
    case Position::columnRowBytes: {
        const char args[2] = {static_cast<char>(column + 1), static_cast<char>(row + 1)};
        return encode(set, Command::moveTo, std::string_view(args, 2));
    }
    case Position::cellByte: {
        const char cell = static_cast<char>(row * columns + column);
        return encode(set, Command::moveTo, std::string_view(&cell, 1));
    }
    case Position::decimalRowColumn:
        return encode(set, Command::moveTo, std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H');
    }
    return {};
}

std::size_t textLimit(const CommandForm& form, std::int32_t columns) {
    if (form.count != 0) return form.count;
    const auto width = static_cast<std::size_t>(std::max(columns, 1));
    return form.command == Command::writeBothRows ? 2 * width : width;
}

Match matchAt(
    const CommandSet& set, std::string_view input, std::string_view attention, std::int32_t columns) {
    if (input.empty()) return {Match::Kind::incomplete, nullptr, 0};
    // The longest fixed prefix wins, so that 1F 0A (up) is not read as a
    // stray 1F followed by 0A (down); while a longer form may still come,
    // the reader waits, so that how the stream is split into reads never
    // changes how it reads.
    const CommandForm* best = nullptr;
    std::size_t bestLength = 0;
    bool partial = false;
    for (const CommandForm& form : set.forms) {
        const Fit fit = fitOf(form, attention, input);
        if (fit == Fit::full && (best == nullptr || fixedLength(form, attention) > bestLength)) {
            best = &form;
            bestLength = fixedLength(form, attention);
        } else if (fit == Fit::partial) {
            partial = true;
        }
    }
    if (partial) return {Match::Kind::incomplete, best, 0};
    if (best == nullptr) {
        const auto byte = static_cast<unsigned char>(input.front());
        // Outside a command a pass-through display forwards every byte.
        if (set.behaviour.passThrough) return {Match::Kind::character, nullptr, 1};
        // Bytes below 0x20 (and DEL, unless a user character may take its
        // code) are control bytes: one the set has no command for is
        // reported, never shown.
        const bool delShows = set.userCharacters.count > 0 && set.userCharacters.last >= 0x7F;
        if (byte < 0x20 || (byte == 0x7F && !delShows)) {
            const bool leader = set.behaviour.leaders.find(static_cast<char>(byte)) != std::string_view::npos;
            if (leader && input.size() < 2) return {Match::Kind::incomplete, nullptr, 0};
            return {Match::Kind::unknown, nullptr, leader ? 2u : 1u};
        }
        return {Match::Kind::character, nullptr, 1};
    }
    const std::size_t fixed = bestLength;
    auto need = [&](std::size_t length) -> Match {
        if (input.size() < length) return {Match::Kind::incomplete, best, 0};
        return {Match::Kind::command, best, length, fixed};
    };
    switch (best->tail) {
    case none: return need(fixed);
    case arguments: return need(fixed + best->count);
    case text: return readText(set, *best, input, fixed, attention, columns);
    case decimalPosition: return readDecimalPosition(*best, input, fixed);
    case userCharacters: {
        if (input.size() < fixed + 3) return {Match::Kind::incomplete, best, 0};
        const auto first = static_cast<unsigned char>(input[fixed + 1]);
        const auto last = static_cast<unsigned char>(input[fixed + 2]);
        // A range that runs backwards is malformed: take the header as the
        // bad bytes rather than guessing how many column bytes follow.
        if (input[fixed] != '\x01' || last < first) return {Match::Kind::unknown, best, fixed + 3};
        return need(fixed + 3 + userCharacterColumns * (last - first + 1u));
    }
    }
    return {Match::Kind::unknown, nullptr, 1};
}

std::string_view argumentsOf(const Match& match, std::string_view input) {
    if (match.kind != Match::Kind::command || match.form == nullptr) return {};
    std::size_t length = match.length - match.fixed;
    if (match.form->tail == text && match.closed) --length;  // the closing 0D
    return input.substr(match.fixed, length);
}

std::optional<Place> decodeMove(
    const CommandSet& set, const Match& match, std::string_view input, std::int32_t columns) {
    const std::string_view args = argumentsOf(match, input);
    switch (set.position) {
    case Position::columnRowBytes:
        if (args.size() != 2) return std::nullopt;
        return Place{static_cast<unsigned char>(args[1]) - 1, static_cast<unsigned char>(args[0]) - 1};
    case Position::cellByte: {
        if (args.size() != 1 || columns <= 0) return std::nullopt;
        const std::int32_t p = static_cast<unsigned char>(args[0]);
        return Place{p / columns, p % columns};
    }
    case Position::decimalRowColumn: {
        // "y;xH": both numbers present, digits only.
        const std::size_t separator = args.find(';');
        if (args.size() < 4 || separator == std::string_view::npos || args.back() != 'H') return std::nullopt;
        const std::string_view y = args.substr(0, separator);
        const std::string_view x = args.substr(separator + 1, args.size() - separator - 2);
        const auto number = [](std::string_view digits) -> std::optional<std::int32_t> {
            if (digits.empty() || digits.size() > 6) return std::nullopt;
            std::int32_t value = 0;
            for (char d : digits) {
                if (d < '0' || d > '9') return std::nullopt;
                value = value * 10 + (d - '0');
            }
            return value;
        };
        const auto row = number(y);
        const auto column = number(x);
        if (!row || !column) return std::nullopt;
        return Place{*row - 1, *column - 1};
    }
    }
    return std::nullopt;
}

}  // namespace model
