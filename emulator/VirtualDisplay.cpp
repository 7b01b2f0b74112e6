#include "emulator/VirtualDisplay.h"

#include "model/CharacterSets.h"
#include "model/Hex.h"
#include "model/Repertoire.h"
#include "model/Utf.h"

#include <algorithm>

namespace emulator {
namespace {

using model::Command;
using model::Match;

const char* modeName(Mode mode) {
    switch (mode) {
    case Mode::overwrite: return "overwrite";
    case Mode::verticalScroll: return "vertical-scroll";
    case Mode::horizontalScroll: return "horizontal-scroll";
    }
    return "?";
}

unsigned byteAt(std::string_view bytes, std::size_t i) { return static_cast<unsigned char>(bytes[i]); }

// Row and marquee text may run a little long in a faulty writer; beyond
// this much without its closing byte the command is taken as malformed, so
// that a lost 0D cannot swallow everything that follows.
constexpr std::size_t maxTextRows = 2;

}  // namespace

VirtualDisplay::VirtualDisplay(const model::CommandSet& set, std::int32_t rows, std::int32_t columns)
    : set_(&set), repertoire_(&model::repertoireOf(set)), model_(rows, columns) {
    // Clearing the screen or its line also ends a row's text (string mode).
    stringEnders_ = model::encode(set, Command::clearScreen) + model::encode(set, Command::clearLine);
    powerUp();
}

void VirtualDisplay::powerUp() {
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    model_ = model::DisplayModel(rows, columns);
    state_ = PanelState{};
    // Each selector starts at its first choice.
    for (const model::Selector& selector : repertoire_->selectors) {
        const model::Choice& first = selector.choices.front();
        if (selector.command == Command::codeTable) {
            state_.codeTable = first.argument;
            state_.characterSet = first.page;
        } else {
            state_.internationalSet = first.argument;
        }
    }
    if (repertoire_->selectors.empty() || repertoire_->selectors.front().command != Command::codeTable)
        state_.characterSet = repertoire_->basePage;
}

bool VirtualDisplay::feed(std::string_view bytes) {
    const model::DisplayModel modelBefore = model_;
    const PanelState stateBefore = state_;
    const std::size_t faultsBefore = faultCount_;
    pending_.append(bytes);
    std::size_t at = 0;
    while (at < pending_.size()) {
        std::string_view input = std::string_view(pending_).substr(at);
        Match m = model::matchAt(*set_, input);
        const bool text = m.form != nullptr && m.form->tail == model::Tail::textToCarriageReturn;
        if (text && m.kind != Match::Kind::unknown) {
            // Only the first rows' worth of bytes may end a row's text, so
            // that how the stream is split into reads never changes how it
            // reads: a clear there ends the text and is then read as a
            // command of its own; no end there is a fault.
            const std::size_t fixed = m.form->bytes.size();
            const std::size_t limit = maxTextRows * static_cast<std::size_t>(model_.deviceColumns());
            const std::string_view window = input.substr(0, fixed + limit + 1);
            const std::size_t ender = window.find_first_of(stringEnders_, fixed);
            const std::size_t carriageReturn = window.find('\x0D', fixed);
            if (ender != std::string_view::npos &&
                (carriageReturn == std::string_view::npos || ender < carriageReturn)) {
                m = {Match::Kind::command, m.form, ender + 1};
                const std::string whole = std::string(input.substr(0, ender)) + '\x0D';
                std::string reason;
                if (state_.selected && !apply(m, whole, reason))
                    fault(input.substr(0, ender), std::move(reason));
                at += ender;
                continue;
            }
            if (carriageReturn == std::string_view::npos) {
                if (window.size() <= fixed + limit) break;  // the end may still come
                fault(input.substr(0, fixed), "text without its closing 0D");
                at += fixed;
                continue;
            }
            m = {Match::Kind::command, m.form, carriageReturn + 1};
        }
        if (m.kind == Match::Kind::incomplete) break;
        if (m.kind == Match::Kind::character) {
            if (state_.selected) putCharacter(static_cast<unsigned char>(input.front()));
            at += 1;
            continue;
        }
        if (m.kind == Match::Kind::unknown) {
            std::size_t length = m.length;
            std::string reason = m.form != nullptr ? "malformed sequence" : "unknown sequence";
            // An escape or unit-separator byte starts a two-byte command in
            // both sets: an unknown one takes its next byte along, which
            // would otherwise show as a stray character.
            const unsigned first = byteAt(input, 0);
            if (m.form == nullptr && (first == 0x1B || first == 0x1F) && input.size() >= 2) length = 2;
            if (state_.selected) fault(input.substr(0, length), std::move(reason));
            at += length;
            continue;
        }
        const std::string_view whole = input.substr(0, m.length);
        std::string reason;
        if (state_.selected || m.form->command == Command::selectDevice) {
            if (!apply(m, whole, reason)) fault(whole, std::move(reason));
        }
        at += m.length;
    }
    pending_.erase(0, at);
    return faultCount_ != faultsBefore || !(model_ == modelBefore) || !(state_ == stateBefore);
}

void VirtualDisplay::fault(std::string_view bytes, std::string reason) {
    faults_.push_back({std::string(bytes), std::move(reason)});
    if (faults_.size() > keptFaults) faults_.pop_front();
    ++faultCount_;
}

char32_t VirtualDisplay::characterOf(unsigned char byte) const {
    if (state_.userCharactersSelected && state_.userCharacters.contains(byte))
        return userCharacterBase + byte;
    // The code table decides the upper half, the international set the lower.
    model::Selection selection;
    for (const model::Selector& selector : repertoire_->selectors) {
        const auto argument =
            selector.command == Command::codeTable ? state_.codeTable : state_.internationalSet;
        selection.push_back(model::choiceOf(selector, static_cast<std::uint8_t>(argument)));
    }
    const char32_t shown = model::characterOf(*repertoire_, selection, byte);
    return shown == 0 ? U'?' : shown;
}

void VirtualDisplay::putCell(std::int32_t row, std::int32_t column, model::Cell cell) {
    const std::int32_t savedRow = model_.cursorRow();
    const std::int32_t savedColumn = model_.cursorColumn();
    model_.setCursor(row, column);
    model_.writeText(std::u32string_view(&cell.character, 1), cell.attribute, false);
    model_.setCursor(savedRow, savedColumn);
}

void VirtualDisplay::clearRow(std::int32_t row) {
    for (std::int32_t c = 0; c < model_.deviceColumns(); ++c) putCell(row, c, model::Cell{});
}

void VirtualDisplay::scrollUp() {
    for (std::int32_t r = 1; r < model_.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < model_.deviceColumns(); ++c) putCell(r - 1, c, model_.shownCell(r, c));
    }
    clearRow(model_.deviceRows() - 1);
}

void VirtualDisplay::putCharacter(unsigned char byte) {
    const std::int32_t columns = model_.deviceColumns();
    std::int32_t row = model_.cursorRow();
    std::int32_t column = model_.cursorColumn();
    // The scroll modes hold the cursor just past the last cell until the
    // next character, which then scrolls.
    if (column >= columns) {
        if (state_.mode == Mode::horizontalScroll) {
            for (std::int32_t c = 1; c < columns; ++c) putCell(row, c - 1, model_.shownCell(row, c));
        } else if (row + 1 < model_.deviceRows()) {
            ++row;
        } else {
            scrollUp();
        }
        column = state_.mode == Mode::horizontalScroll ? columns - 1 : 0;
    }
    const std::int32_t attr = state_.reverse ? model::attribute::reverse : model::attribute::normal;
    putCell(row, column, model::Cell{characterOf(byte), attr});
    model_.setCursor(row, column + 1);
    if (column + 1 >= columns && state_.mode != Mode::horizontalScroll) {
        if (state_.mode == Mode::overwrite) {
            model_.setCursor((row + 1) % model_.deviceRows(), 0);
        } else if (row + 1 < model_.deviceRows()) {
            model_.setCursor(row + 1, 0);
        }
    }
}

void VirtualDisplay::moveRight() {
    const std::int32_t columns = model_.deviceColumns();
    const std::int32_t row = model_.cursorRow();
    const std::int32_t column = std::min(model_.cursorColumn(), columns - 1) + 1;
    if (column < columns) {
        model_.setCursor(row, column);
    } else if (state_.mode == Mode::overwrite) {
        model_.setCursor((row + 1) % model_.deviceRows(), 0);
    } else if (state_.mode == Mode::verticalScroll) {
        if (row + 1 < model_.deviceRows()) {
            model_.setCursor(row + 1, 0);
        } else {
            scrollUp();
            model_.setCursor(row, 0);
        }
    }  // horizontal scroll: the cursor stays at the right end
}

void VirtualDisplay::moveDown() {
    const std::int32_t row = model_.cursorRow() + 1;
    const std::int32_t column = std::min(model_.cursorColumn(), model_.deviceColumns() - 1);
    if (row < model_.deviceRows()) {
        model_.setCursor(row, column);
    } else if (state_.mode == Mode::overwrite) {
        model_.setCursor(0, column);
    } else if (state_.mode == Mode::verticalScroll) {
        scrollUp();
        model_.setCursor(row - 1, column);
    }
}

void VirtualDisplay::writeRow(std::int32_t row, std::string_view data) {
    const auto columns = static_cast<std::size_t>(model_.deviceColumns());
    for (std::size_t c = 0; c < columns; ++c) {
        const char32_t ch = c < data.size() ? characterOf(static_cast<unsigned char>(data[c])) : U' ';
        putCell(row, static_cast<std::int32_t>(c), model::Cell{ch, model::attribute::normal});
    }
}

bool VirtualDisplay::apply(const Match& match, std::string_view bytes, std::string& reason) {
    const std::string_view args = model::argumentsOf(match, bytes);
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    const std::int32_t row = model_.cursorRow();
    const std::int32_t column = std::min(model_.cursorColumn(), columns - 1);
    const unsigned n = args.empty() ? 0 : byteAt(args, 0);
    auto outOfRange = [&](const char* what, unsigned value, unsigned low, unsigned high) {
        reason = std::string(what) + " " + std::to_string(value) + " outside " + std::to_string(low) + ".." +
                 std::to_string(high);
        return false;
    };
    switch (match.form->command) {
    case Command::initialise: {
        // The receive buffer and the addressing of a shared line survive.
        const bool selected = state_.selected;
        powerUp();
        state_.selected = selected;
        return true;
    }
    case Command::clearScreen: model_.clearWindow(); return true;
    case Command::clearLine:
        clearRow(row);
        model_.setCursor(row, 0);
        return true;
    case Command::cursorRight: moveRight(); return true;
    case Command::cursorLeft:
        if (column > 0) {
            model_.setCursor(row, column - 1);
        } else if (state_.mode == Mode::overwrite) {
            model_.setCursor((row + rows - 1) % rows, columns - 1);
        }
        return true;
    case Command::cursorDown: moveDown(); return true;
    case Command::cursorUp:
        if (row > 0) {
            model_.setCursor(row - 1, column);
        } else if (state_.mode == Mode::overwrite) {
            model_.setCursor(rows - 1, column);
        }
        return true;
    case Command::home: model_.setCursor(0, 0); return true;
    case Command::leftmost: model_.setCursor(row, 0); return true;
    case Command::rightmost: model_.setCursor(row, columns - 1); return true;
    case Command::bottomLeft: model_.setCursor(rows - 1, 0); return true;
    case Command::moveTo: {
        const unsigned x = byteAt(args, 0);
        const unsigned y = byteAt(args, 1);
        if (x < 1 || x > static_cast<unsigned>(columns)) return outOfRange("column", x, 1, columns);
        if (y < 1 || y > static_cast<unsigned>(rows)) return outOfRange("row", y, 1, rows);
        model_.setCursor(static_cast<std::int32_t>(y - 1), static_cast<std::int32_t>(x - 1));
        return true;
    }
    case Command::overwriteMode: state_.mode = Mode::overwrite; return true;
    case Command::verticalScrollMode: state_.mode = Mode::verticalScroll; return true;
    case Command::horizontalScrollMode: state_.mode = Mode::horizontalScroll; return true;
    case Command::brightness: {
        const auto levels = static_cast<unsigned>(set_->levelPercent.size());
        if (n < 1 || n > levels) return outOfRange("brightness level", n, 1, levels);
        model_.setBrightness(set_->levelPercent[n - 1]);
        return true;
    }
    case Command::blink:
        state_.displayOn = n != 255;
        state_.blinkInterval = n == 255 ? 0 : static_cast<std::int32_t>(n);
        return true;
    case Command::cursorVisible:
        if (n > 1) return outOfRange("cursor switch", n, 0, 1);
        state_.cursorVisible = n == 1;
        return true;
    case Command::reverse:
        if (n > 1) return outOfRange("reverse switch", n, 0, 1);
        state_.reverse = n == 1;
        return true;
    case Command::codeTable:
    case Command::internationalSet: {
        // The repertoire knows what each number selects.
        const auto selector =
            std::ranges::find(repertoire_->selectors, match.form->command, &model::Selector::command);
        const auto choice = selector == repertoire_->selectors.end()
                                ? std::nullopt
                                : model::choiceOf(*selector, static_cast<std::uint8_t>(n));
        if (!choice) {
            reason = std::string(
                         match.form->command == Command::codeTable ? "code table " : "international set ") +
                     std::to_string(n) + " unknown";
            return false;
        }
        if (match.form->command == Command::codeTable) {
            state_.codeTable = static_cast<std::int32_t>(n);
            state_.characterSet = selector->choices[*choice].page;
        } else {
            state_.internationalSet = static_cast<std::int32_t>(n);
        }
        return true;
    }
    case Command::writeUpperRow:
    case Command::writeLowerRow:
    case Command::marquee: {
        const std::int32_t target = match.form->command == Command::writeLowerRow ? rows - 1 : 0;
        if (match.form->command == Command::marquee) state_.marquee = std::string(args);
        writeRow(target, args.substr(0, static_cast<std::size_t>(columns)));
        if (match.form->command != Command::marquee && args.size() > static_cast<std::size_t>(columns)) {
            reason = "row text of " + std::to_string(args.size()) + " bytes, longer than " +
                     std::to_string(columns);
            return false;
        }
        return true;
    }
    case Command::defineUserCharacters: {
        const std::size_t fixed = match.form->bytes.size();
        const unsigned first = byteAt(bytes, fixed + 1);
        const unsigned last = byteAt(bytes, fixed + 2);
        if (first < 0x20 || last > 0xFF) return outOfRange("user character", first, 0x20, 0xFF);
        for (unsigned code = first; code <= last; ++code) {
            Glyph glyph{};
            for (std::size_t i = 0; i < glyph.size(); ++i) {
                glyph[i] = static_cast<std::uint8_t>(
                    byteAt(bytes, fixed + 3 + static_cast<std::size_t>(code - first) * 5 + i) & 0x7F);
            }
            state_.userCharacters[static_cast<std::uint8_t>(code)] = glyph;
        }
        return true;
    }
    case Command::selectUserCharacters:
        if (n > 1) return outOfRange("user character switch", n, 0, 1);
        state_.userCharactersSelected = n == 1;
        return true;
    case Command::deleteUserCharacter: state_.userCharacters.erase(static_cast<std::uint8_t>(n)); return true;
    case Command::selfTest:
        // The self-test shows its pages and ends with clear and home.
        model_.clearWindow();
        return true;
    case Command::selectDevice:
        if (n < 1 || n > 3) return outOfRange("device", n, 1, 3);
        state_.selected = (n & 2) != 0;
        return true;
    }
    reason = "command not handled";
    return false;
}

std::vector<std::string> VirtualDisplay::rowsText() const {
    std::vector<std::string> rows;
    for (std::int32_t r = 0; r < model_.deviceRows(); ++r) {
        std::string line;
        for (std::int32_t c = 0; c < model_.deviceColumns(); ++c)
            model::appendUtf8(line, model_.shownCell(r, c).character);
        rows.push_back(std::move(line));
    }
    return rows;
}

std::string VirtualDisplay::describe() const {
    std::string out = "screen\n";
    for (const auto& row : rowsText()) out += "|" + row + "|\n";
    out +=
        "cursor " + std::to_string(model_.cursorRow() + 1) + " " + std::to_string(model_.cursorColumn() + 1);
    out += state_.cursorVisible ? " shown" : " hidden";
    out += " brightness " + std::to_string(model_.brightness());
    out += " blink " + std::to_string(state_.blinkInterval);
    out += state_.displayOn ? " on" : " off";
    out += std::string(" mode ") + modeName(state_.mode);
    out += " faults " + std::to_string(faultCount_) + "\n";
    for (const auto& f : faults_) out += "fault " + model::hexBytes(f.bytes) + ": " + f.reason + "\n";
    out += "end\n";
    return out;
}

}  // namespace emulator
