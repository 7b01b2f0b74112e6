// The command-set tables, written from the displays' protocol documents.
#include "model/CommandSet.h"

#include <algorithm>
#include <array>

namespace model {
namespace {

using enum Command;
using enum Tail;

// The writer sends a command's first row: for cursor moves the one-byte
// forms where a set has them, for modes the form every firmware takes.
constexpr std::array dmDForms{
    CommandForm{initialise, "\x1B\x40", none},
    CommandForm{clearScreen, "\x0C", none},
    CommandForm{clearLine, "\x18", none},
    CommandForm{cursorRight, "\x09", none},
    CommandForm{cursorLeft, "\x08", none},
    CommandForm{cursorDown, "\x0A", none},
    CommandForm{cursorUp, "\x1F\x0A", none},
    CommandForm{home, "\x0B", none},
    CommandForm{leftmost, "\x0D", none},
    CommandForm{rightmost, "\x1F\x0D", none},
    CommandForm{bottomLeft, "\x1F\x42", none},
    CommandForm{moveTo, "\x1F\x24", twoBytes},
    CommandForm{overwriteMode, "\x1F\x01", none},
    CommandForm{verticalScrollMode, "\x1F\x02", none},
    CommandForm{horizontalScrollMode, "\x1F\x03", none},
    CommandForm{brightness, "\x1F\x58", oneByte},
    CommandForm{blink, "\x1F\x45", oneByte},
    CommandForm{cursorVisible, "\x1F\x43", oneByte},
    CommandForm{reverse, "\x1F\x72", oneByte},
    CommandForm{codeTable, "\x1B\x74", oneByte},
    CommandForm{internationalSet, "\x1B\x52", oneByte},
    CommandForm{defineUserCharacters, "\x1B\x26", userCharacters},
    CommandForm{selectUserCharacters, "\x1B\x25", oneByte},
    CommandForm{deleteUserCharacter, "\x1B\x3F", oneByte},
    CommandForm{selfTest, "\x1F\x40", none},
    CommandForm{selectDevice, "\x1B\x3D", oneByte},
};

constexpr std::array cd5220Forms{
    CommandForm{initialise, "\x1B\x40", none},
    CommandForm{overwriteMode, "\x1B\x11", none},
    CommandForm{overwriteMode, "\x1F\x01", none},
    CommandForm{verticalScrollMode, "\x1B\x12", none},
    CommandForm{verticalScrollMode, "\x1F\x02", none},
    CommandForm{horizontalScrollMode, "\x1B\x13", none},
    CommandForm{horizontalScrollMode, "\x1F\x03", none},
    CommandForm{writeUpperRow, "\x1B\x51\x41", textToCarriageReturn},
    CommandForm{writeLowerRow, "\x1B\x51\x42", textToCarriageReturn},
    CommandForm{marquee, "\x1B\x51\x44", textToCarriageReturn},
    CommandForm{cursorLeft, "\x08", none},
    CommandForm{cursorLeft, "\x1B\x5B\x44", none},
    CommandForm{cursorRight, "\x09", none},
    CommandForm{cursorRight, "\x1B\x5B\x43", none},
    CommandForm{cursorUp, "\x1B\x5B\x41", none},
    CommandForm{cursorDown, "\x0A", none},
    CommandForm{cursorDown, "\x1B\x5B\x42", none},
    CommandForm{home, "\x0B", none},
    CommandForm{home, "\x1B\x5B\x48", none},
    CommandForm{leftmost, "\x0D", none},
    CommandForm{leftmost, "\x1B\x5B\x4C", none},
    CommandForm{rightmost, "\x1B\x5B\x52", none},
    CommandForm{bottomLeft, "\x1B\x5B\x4B", none},
    CommandForm{moveTo, "\x1B\x6C", twoBytes},
    CommandForm{clearScreen, "\x0C", none},
    CommandForm{clearLine, "\x18", none},
    CommandForm{brightness, "\x1B\x2A", oneByte},
    CommandForm{cursorVisible, "\x1B\x5F", oneByte},
    CommandForm{defineUserCharacters, "\x1B\x26", userCharacters},
    CommandForm{selectUserCharacters, "\x1B\x25", oneByte},
    CommandForm{deleteUserCharacter, "\x1B\x3F", oneByte},
    CommandForm{internationalSet, "\x1B\x66", oneByte},
};

// Level n of either set: about 20, 40, 60 and 100 per cent.
constexpr std::array<std::int32_t, 4> fourLevels{20, 40, 60, 100};

// The DM-D's code tables by their ESC t numbers; 998 (ASCII) is the lower
// half of any of them. The CD5220 has one table, the PC437 one.
constexpr std::array dmDCodeTables{
    CodeTable{437, 0},
    CodeTable{850, 2},
    CodeTable{852, 18},
    CodeTable{858, 19},
    CodeTable{866, 17},
    CodeTable{998, 0},
    CodeTable{1252, 16},
};
constexpr std::array cd5220CodeTables{CodeTable{437, 0}, CodeTable{998, 0}};

const std::array<CommandSet, 2> sets{
    CommandSet{"DM-D", dmDForms, fourLevels, dmDCodeTables},
    CommandSet{"CD5220", cd5220Forms, fourLevels, cd5220CodeTables},
};

constexpr std::size_t userCharacterColumns = 5;

bool startsWith(std::string_view input, std::string_view prefix) {
    return input.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::span<const CommandSet> commandSets() { return sets; }

const CommandSet* findCommandSet(std::string_view name) {
    auto it = std::ranges::find(sets, name, &CommandSet::name);
    return it == sets.end() ? nullptr : &*it;
}

const CommandSet& dmD() { return sets[0]; }
const CommandSet& cd5220() { return sets[1]; }

const CodeTable* findCodeTable(const CommandSet& set, std::int32_t characterSet) {
    auto it = std::ranges::find(set.codeTables, characterSet, &CodeTable::characterSet);
    return it == set.codeTables.end() ? nullptr : &*it;
}

const CommandForm* writerForm(const CommandSet& set, Command command) {
    auto it = std::ranges::find(set.forms, command, &CommandForm::command);
    return it == set.forms.end() ? nullptr : &*it;
}

std::string encode(const CommandSet& set, Command command, std::string_view arguments) {
    const CommandForm* form = writerForm(set, command);
    if (form == nullptr) return {};
    std::string bytes(form->bytes);
    bytes += arguments;
    if (form->tail == textToCarriageReturn) bytes += '\x0D';
    return bytes;
}

Match matchAt(const CommandSet& set, std::string_view input) {
    if (input.empty()) return {Match::Kind::incomplete, nullptr, 0};
    // The longest fixed prefix wins, so that 1F 0A (up) is not read as a
    // stray 1F followed by 0A (down).
    const CommandForm* best = nullptr;
    bool partial = false;
    for (const CommandForm& form : set.forms) {
        if (startsWith(input, form.bytes)) {
            if (best == nullptr || form.bytes.size() > best->bytes.size()) best = &form;
        } else if (input.size() < form.bytes.size() && startsWith(form.bytes, input)) {
            partial = true;
        }
    }
    if (best == nullptr) {
        if (partial) return {Match::Kind::incomplete, nullptr, 0};
        const auto byte = static_cast<unsigned char>(input.front());
        // Bytes below 0x20 (and DEL) are control bytes: one the set has no
        // command for is reported, never shown.
        if (byte < 0x20 || byte == 0x7F) return {Match::Kind::unknown, nullptr, 1};
        return {Match::Kind::character, nullptr, 1};
    }
    const std::size_t fixed = best->bytes.size();
    auto need = [&](std::size_t length) -> Match {
        if (input.size() < length) return {Match::Kind::incomplete, best, 0};
        return {Match::Kind::command, best, length};
    };
    switch (best->tail) {
    case none: return need(fixed);
    case oneByte: return need(fixed + 1);
    case twoBytes: return need(fixed + 2);
    case textToCarriageReturn: {
        const std::size_t end = input.find('\x0D', fixed);
        if (end == std::string_view::npos) return {Match::Kind::incomplete, best, 0};
        return {Match::Kind::command, best, end + 1};
    }
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
    const std::size_t fixed = match.form->bytes.size();
    std::size_t length = match.length - fixed;
    if (match.form->tail == textToCarriageReturn) --length;  // the closing 0D
    return input.substr(fixed, length);
}

}  // namespace model
