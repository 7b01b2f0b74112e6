#include "emulator/VirtualDisplay.h"

#include "model/CharacterSets.h"
#include "model/Hex.h"
#include "model/Repertoire.h"
#include "model/Utf.h"

#include <algorithm>
#include <utility>

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

std::string twoDigits(std::int32_t n) {
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

bool isMarquee(Command command) {
    switch (command) {
    case Command::marquee:
    case Command::marqueeOnce:
    case Command::marqueeLowerRow:
    case Command::marqueeRightward:
    case Command::marqueeLowerRowRightward: return true;
    default: return false;
    }
}

// The commands that move the Logic Controls cursor and so stop a marquee on
// the row they act on.
bool movesCursor(Command command) {
    switch (command) {
    case Command::cursorLeft:
    case Command::cursorRight:
    case Command::cursorDown:
    case Command::leftmost:
    case Command::moveTo: return true;
    default: return false;
    }
}

}  // namespace

VirtualDisplay::VirtualDisplay(const model::CommandSet& set, std::int32_t rows, std::int32_t columns)
    : set_(&set), initial_(&set), model_(rows, columns) {
    powerUp();
}

void VirtualDisplay::powerUp() {
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    model_ = model::DisplayModel(rows, columns);
    state_ = PanelState{};
    const model::Behaviour& b = set_->behaviour;
    state_.mode = b.powerOnMode;
    state_.cursorVisible =
        b.cursorShownAtPowerOn && model::writerForm(*set_, Command::cursorVisible) != nullptr;
    // Each selector starts at its first choice.
    const model::Repertoire& repertoire = model::repertoireOf(*set_);
    state_.characterSet = repertoire.basePage;
    for (const model::Selector& selector : repertoire.selectors) {
        const model::Choice& first = selector.choices.front();
        if (selector.command == Command::codeTable) {
            state_.codeTable = first.argument;
            state_.characterSet = first.page;
        } else {
            state_.internationalSet = first.argument;
        }
    }
    state_.attention = std::string(set_->attention);
}

void VirtualDisplay::switchTo(const model::CommandSet& set) {
    set_ = &set;
    state_.attention = std::string(set.attention);
    state_.moving.running = false;
}

bool VirtualDisplay::feed(std::string_view bytes) {
    const model::DisplayModel modelBefore = model_;
    const PanelState stateBefore = state_;
    const std::size_t faultsBefore = faultCount_;
    const std::size_t passedBefore = passedThroughCount_;
    pending_.append(bytes);
    std::size_t at = 0;
    while (at < pending_.size()) {
        const std::string_view input = std::string_view(pending_).substr(at);
        if (state_.selfTestMs > 0) {
            // A display running its self-test takes nothing in.
            droppedDuringSelfTest_ += input.size();
            at = pending_.size();
            break;
        }
        const Match m = model::matchAt(*set_, input, state_.attention, model_.deviceColumns());
        if (m.kind == Match::Kind::incomplete) break;
        if (m.kind == Match::Kind::character) {
            if (set_->behaviour.passThrough) {
                passThrough(input.substr(0, 1));
            } else if (state_.selected) {
                putCharacter(static_cast<unsigned char>(input.front()));
            }
            at += 1;
            continue;
        }
        if (m.kind == Match::Kind::unknown) {
            std::string reason = "unknown sequence";
            if (m.form != nullptr) {
                reason =
                    m.form->tail == model::Tail::text ? "text without its closing 0D" : "malformed sequence";
            }
            if (state_.selected) fault(input.substr(0, m.length), std::move(reason));
            at += m.length;
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
    return faultCount_ != faultsBefore || passedThroughCount_ != passedBefore || !(model_ == modelBefore) ||
           !(state_ == stateBefore);
}

bool VirtualDisplay::advance(std::chrono::milliseconds elapsed) {
    const model::DisplayModel modelBefore = model_;
    const auto ms =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(elapsed.count(), 0, std::int64_t{24} * 3'600'000));
    Marquee& m = state_.moving;
    if (m.running && !m.text.empty()) {
        m.sinceStepMs += ms;
        const std::int32_t steps = m.sinceStepMs / marqueeStepMs;
        m.sinceStepMs %= marqueeStepMs;
        const auto loop = static_cast<std::int64_t>(m.text.size()) + model_.deviceColumns();
        const std::int64_t step = m.step + static_cast<std::int64_t>(steps);
        if (m.once && step >= loop) {
            // One pass ends where it began, with the text's start shown.
            m.step = 0;
            m.running = false;
        } else {
            m.step = static_cast<std::int32_t>(step % loop);
        }
        if (steps > 0) drawMarquee();
    }
    if (state_.clockMinutes) {
        state_.clockMs += ms;
        constexpr std::int32_t minute = 60'000;
        const std::int32_t minutes = state_.clockMs / minute;
        state_.clockMs %= minute;
        if (minutes > 0) {
            state_.clockMinutes = (*state_.clockMinutes + minutes) % (24 * 60);
            drawClock();
        }
    }
    if (state_.selfTestMs > 0) {
        state_.selfTestMs -= std::min(ms, state_.selfTestMs);
        if (state_.selfTestMs == 0) {
            // The test ends on a blank screen with the cursor home.
            model_.clearWindow();
            return true;
        }
    }
    return !(model_ == modelBefore);
}

std::string VirtualDisplay::takeReplies() { return std::exchange(replies_, std::string()); }

void VirtualDisplay::fault(std::string_view bytes, std::string reason) {
    faults_.push_back({std::string(bytes), std::move(reason)});
    if (faults_.size() > keptFaults) faults_.pop_front();
    ++faultCount_;
}

void VirtualDisplay::passThrough(std::string_view bytes) {
    passedThrough_.append(bytes);
    if (passedThrough_.size() > keptPassedThrough)
        passedThrough_.erase(0, passedThrough_.size() - keptPassedThrough);
    passedThroughCount_ += bytes.size();
}

char32_t VirtualDisplay::characterOf(unsigned char byte) const {
    if (state_.userCharactersSelected && state_.userCharacters.contains(byte))
        return userCharacterBase + byte;
    return romCharacterOf(byte);
}

char32_t VirtualDisplay::romCharacterOf(unsigned char byte) const {
    // The code table decides the upper half, the international set the lower
    // (the ANSI set's one command both), as the set's repertoire says.
    const model::Repertoire& repertoire = model::repertoireOf(*set_);
    model::Selection selection;
    for (const model::Selector& selector : repertoire.selectors) {
        const auto argument =
            selector.command == Command::codeTable ? state_.codeTable : state_.internationalSet;
        selection.push_back(model::choiceOf(selector, static_cast<std::uint8_t>(argument)));
    }
    const char32_t shown = model::characterOf(repertoire, selection, byte);
    // DEL, where it shows at all (a set whose user character may take its
    // code), shows the house of the IBM table: a glyph of its own, so that
    // a cell written with it is never taken for one written "?".
    if (byte == 0x7F) return U'\u2302';
    return shown == 0 ? U'?' : shown;
}

void VirtualDisplay::putCell(std::int32_t row, std::int32_t column, model::Cell cell) {
    const std::int32_t savedRow = model_.cursorRow();
    const std::int32_t savedColumn = model_.cursorColumn();
    model_.setCursor(row, column);
    model_.writeText(std::u32string_view(&cell.character, 1), cell.attribute, false);
    model_.setCursor(savedRow, savedColumn);
}

void VirtualDisplay::clearCells(std::int32_t fromCell, std::int32_t endCell) {
    const std::int32_t columns = model_.deviceColumns();
    for (std::int32_t i = fromCell; i < endCell; ++i) putCell(i / columns, i % columns, model::Cell{});
}

void VirtualDisplay::scrollUp() {
    for (std::int32_t r = 1; r < model_.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < model_.deviceColumns(); ++c) putCell(r - 1, c, model_.shownCell(r, c));
    }
    const std::int32_t last = model_.deviceRows() - 1;
    clearCells(last * model_.deviceColumns(), (last + 1) * model_.deviceColumns());
}

void VirtualDisplay::putCharacter(unsigned char byte) {
    if (state_.moving.running && !set_->behaviour.marqueeBesideCursor) state_.moving.running = false;
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
    std::int32_t attr = model::attribute::normal;
    if (state_.reverse) attr |= model::attribute::reverse;
    if (state_.blinkCharacters) attr |= model::attribute::blink;
    putCell(row, column, model::Cell{characterOf(byte), attr});
    model_.setCursor(row, column + 1);
    if (column + 1 < columns) return;
    if (!set_->behaviour.wrapsAtRowEnd) {
        // No wrap: the cursor stays on the last column, which the next
        // character overwrites.
        model_.setCursor(row, columns - 1);
    } else if (state_.mode == Mode::overwrite) {
        model_.setCursor((row + 1) % model_.deviceRows(), 0);
    } else if (state_.mode == Mode::verticalScroll && row + 1 < model_.deviceRows()) {
        model_.setCursor(row + 1, 0);
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

void VirtualDisplay::backspace() {
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    const std::int32_t row = model_.cursorRow();
    const std::int32_t column = std::min(model_.cursorColumn(), columns - 1);
    switch (set_->behaviour.backspace) {
    case model::Backspace::wrapsInOverwriteMode:
        if (column > 0) {
            model_.setCursor(row, column - 1);
        } else if (state_.mode == Mode::overwrite) {
            model_.setCursor((row + rows - 1) % rows, columns - 1);
        }
        return;
    case model::Backspace::erasesAndWraps: {
        const std::int32_t toRow = column > 0 ? row : (row + rows - 1) % rows;
        const std::int32_t toColumn = column > 0 ? column - 1 : columns - 1;
        putCell(toRow, toColumn, model::Cell{});
        model_.setCursor(toRow, toColumn);
        return;
    }
    case model::Backspace::stopsAtRowStart:
        if (column > 0) model_.setCursor(row, column - 1);
        return;
    }
}

void VirtualDisplay::moveDown() {
    const std::int32_t row = model_.cursorRow() + 1;
    const std::int32_t column = std::min(model_.cursorColumn(), model_.deviceColumns() - 1);
    if (row < model_.deviceRows()) {
        model_.setCursor(row, column);
        return;
    }
    const bool scrolls =
        set_->behaviour.lineFeed == model::LineFeed::scrolls || state_.mode == Mode::verticalScroll;
    if (scrolls) {
        scrollUp();
        model_.setCursor(row - 1, column);
    } else if (set_->behaviour.lineFeed == model::LineFeed::otherRowOrScroll ||
               state_.mode == Mode::overwrite) {
        model_.setCursor(0, column);
    }
}

void VirtualDisplay::writeRow(std::int32_t row, std::string_view data) {
    // A write shorter than the row blanks the rest of it.
    const auto columns = static_cast<std::size_t>(model_.deviceColumns());
    for (std::size_t c = 0; c < columns; ++c) {
        const char32_t ch = c < data.size() ? characterOf(static_cast<unsigned char>(data[c])) : U' ';
        putCell(row, static_cast<std::int32_t>(c), model::Cell{ch, model::attribute::normal});
    }
}

void VirtualDisplay::drawMarquee() {
    const Marquee& m = state_.moving;
    const std::int32_t columns = model_.deviceColumns();
    // The text goes round with a row's width of blanks after it.
    const auto length = static_cast<std::int32_t>(m.text.size());
    const std::int32_t loop = length + columns;
    for (std::int32_t c = 0; c < columns; ++c) {
        const std::int32_t i = m.rightward ? ((c - m.step) % loop + loop) % loop : (c + m.step) % loop;
        const char32_t ch =
            i < length ? characterOf(static_cast<unsigned char>(m.text[static_cast<std::size_t>(i)])) : U' ';
        putCell(m.row, c, model::Cell{ch, model::attribute::normal});
    }
}

void VirtualDisplay::startMarquee(const model::CommandForm& form, std::string_view text) {
    const std::int32_t rows = model_.deviceRows();
    const Command command = form.command;
    const bool lower = command == Command::marqueeLowerRow || command == Command::marqueeLowerRowRightward;
    // Bytes beyond what the display takes are dropped.
    state_.marquee = std::string(text.substr(0, model::textLimit(form, model_.deviceColumns())));
    state_.moving = Marquee{
        .text = state_.marquee,
        .row = lower ? rows - 1 : 0,
        .rightward = command == Command::marqueeRightward || command == Command::marqueeLowerRowRightward,
        .once = command == Command::marqueeOnce,
        .running = true,
    };
    if (state_.moving.row == rows - 1) state_.clockMinutes.reset();
    drawMarquee();
    // Logic Controls: the cursor leaves the marquee's row for the other one.
    if (set_->behaviour.marqueeBesideCursor && model_.cursorRow() == state_.moving.row && rows > 1) {
        model_.setCursor(lower ? 0 : rows - 1, 0);
    }
}

void VirtualDisplay::stopMarqueeFor(const model::CommandForm& form, std::int32_t rowBefore) {
    Marquee& m = state_.moving;
    if (!m.running || isMarquee(form.command)) return;
    // Logic Controls: only a reset, or the cursor acting on its row.
    const bool actsOnItsRow =
        form.command == Command::initialise ||
        (movesCursor(form.command) && (rowBefore == m.row || model_.cursorRow() == m.row));
    if (!set_->behaviour.marqueeBesideCursor || actsOnItsRow) m.running = false;
}

void VirtualDisplay::drawClock() {
    if (!state_.clockMinutes) return;
    const std::int32_t minutes = *state_.clockMinutes;
    writeRow(model_.deviceRows() - 1, twoDigits(minutes / 60) + ':' + twoDigits(minutes % 60));
}

void VirtualDisplay::drawSelfTest() {
    // The test pattern: the characters of the current table from "!" on.
    const std::int32_t columns = model_.deviceColumns();
    for (std::int32_t i = 0; i < model_.deviceRows() * columns; ++i) {
        const auto byte = static_cast<unsigned char>(0x21 + i % 0x5E);
        putCell(i / columns, i % columns, model::Cell{characterOf(byte), model::attribute::normal});
    }
}

bool VirtualDisplay::applyMove(const Match& match, std::string_view bytes, std::string& reason) {
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    const auto place = model::decodeMove(*set_, match, bytes, columns);
    if (!place) {
        reason = "malformed position";
        return false;
    }
    if (set_->position == model::Position::cellByte) {
        // The display ignores a position past its last cell.
        const std::int32_t p = place->row * columns + place->column;
        if (place->row >= rows) {
            reason = "position " + std::to_string(p) + " outside 0.." + std::to_string(rows * columns - 1);
            return false;
        }
    } else {
        const auto range = [&](const char* what, std::int32_t value, std::int32_t high) {
            reason = std::string(what) + " " + std::to_string(value) + " outside 1.." + std::to_string(high);
            return false;
        };
        if (place->column < 0 || place->column >= columns) return range("column", place->column + 1, columns);
        if (place->row < 0 || place->row >= rows) return range("row", place->row + 1, rows);
    }
    model_.setCursor(place->row, place->column);
    return true;
}

bool VirtualDisplay::applyUserCharacter(std::string_view args, std::string& reason) {
    const model::UserCharacters& u = set_->userCharacters;
    const unsigned code = byteAt(args, 0);
    if (code < u.first || code > u.last) {
        reason = "user character " + std::to_string(code) + " outside " + std::to_string(u.first) + ".." +
                 std::to_string(u.last);
        return false;
    }
    // 35 dots row by row, dot 1 in bit 0 of the first byte.
    Glyph glyph{};
    for (unsigned dot = 0; dot < 35; ++dot) {
        if ((byteAt(args, 1 + dot / 8) >> (dot % 8)) & 1u) {
            glyph[dot % 5] = static_cast<std::uint8_t>(glyph[dot % 5] | (1u << (dot / 5)));
        }
    }
    // Only one at a time: the one defined before shows its own glyph again,
    // everywhere; every cell holding the new code shows the new glyph.
    std::optional<std::uint8_t> previous;
    if (!state_.userCharacters.empty()) previous = state_.userCharacters.begin()->first;
    state_.userCharacters = {{static_cast<std::uint8_t>(code), glyph}};
    state_.userCharactersSelected = true;
    for (std::int32_t r = 0; r < model_.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < model_.deviceColumns(); ++c) {
            model::Cell cell = model_.shownCell(r, c);
            if (previous && cell.character == userCharacterBase + *previous) {
                cell.character = romCharacterOf(*previous);
            } else if (cell.character == romCharacterOf(static_cast<unsigned char>(code))) {
                cell.character = userCharacterBase + code;
            } else {
                continue;
            }
            putCell(r, c, cell);
        }
    }
    return true;
}

bool VirtualDisplay::applyText(const Match& match, std::string_view args, std::string& reason) {
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    const auto width = static_cast<std::size_t>(columns);
    const Command command = match.form->command;
    const auto tooLong = [&](std::size_t limit) {
        if (args.size() <= limit) return true;
        reason =
            "row text of " + std::to_string(args.size()) + " bytes, longer than " + std::to_string(limit);
        return false;
    };
    switch (command) {
    case Command::writeUpperRow:
    case Command::writeLowerRow: {
        const std::int32_t row = command == Command::writeLowerRow ? rows - 1 : 0;
        if (row == rows - 1) state_.clockMinutes.reset();
        writeRow(row, args.substr(0, width));
        return tooLong(width);
    }
    case Command::writeBothRows:
        // The first row's width goes to row 1, the rest to row 2.
        state_.clockMinutes.reset();
        writeRow(0, args.substr(0, width));
        if (rows > 1) writeRow(1, args.size() > width ? args.substr(width, width) : std::string_view());
        return tooLong(2 * width);
    case Command::clock: {
        // "hh:mm" sets it; no data shows it as it is.
        if (!args.empty()) {
            const auto digit = [&](std::size_t i) { return args[i] >= '0' && args[i] <= '9'; };
            if (args.size() != 5 || args[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4)) {
                reason = "clock \"" + model::hexBytes(args) + "\" is not hh:mm";
                return false;
            }
            const std::int32_t hours = (args[0] - '0') * 10 + (args[1] - '0');
            const std::int32_t minutes = (args[3] - '0') * 10 + (args[4] - '0');
            if (hours > 23 || minutes > 59) {
                reason = "clock " + std::string(args) + " is no time of day";
                return false;
            }
            state_.clockMinutes = hours * 60 + minutes;
            state_.clockMs = 0;
        } else if (!state_.clockMinutes) {
            state_.clockMinutes = 0;
        }
        if (state_.moving.row == rows - 1) state_.moving.running = false;
        drawClock();
        return true;
    }
    case Command::changeAttention:
        if (args.size() != 2) {
            reason = "attention code of " + std::to_string(args.size()) + " bytes, not 2";
            return false;
        }
        state_.attention = std::string(args);
        return true;
    case Command::stopTrapping: return true;
    case Command::initialise: powerUp(); return true;
    default:
        if (isMarquee(command)) {
            startMarquee(*match.form, args);
            return true;
        }
        reason = "command not handled";
        return false;
    }
}

bool VirtualDisplay::apply(const Match& match, std::string_view bytes, std::string& reason) {
    const std::string_view args = model::argumentsOf(match, bytes);
    const std::int32_t rows = model_.deviceRows();
    const std::int32_t columns = model_.deviceColumns();
    const std::int32_t row = model_.cursorRow();
    const std::int32_t column = std::min(model_.cursorColumn(), columns - 1);
    const model::CommandForm& form = *match.form;
    const unsigned n = form.implied >= 0 ? static_cast<unsigned>(form.implied)
                       : args.empty()    ? 0
                                         : byteAt(args, 0);
    auto outOfRange = [&](const char* what, unsigned value, unsigned low, unsigned high) {
        reason = std::string(what) + " " + std::to_string(value) + " outside " + std::to_string(low) + ".." +
                 std::to_string(high);
        return false;
    };
    if (!set_->behaviour.marqueeBesideCursor && state_.moving.running && !isMarquee(form.command))
        state_.moving.running = false;
    struct AfterwardsStopMarquee {
        VirtualDisplay& d;
        const model::CommandForm& form;
        std::int32_t rowBefore;
        ~AfterwardsStopMarquee() { d.stopMarqueeFor(form, rowBefore); }
    } stopMarquee{*this, form, row};
    if (form.tail == model::Tail::text) return applyText(match, args, reason);
    switch (form.command) {
    case Command::initialise: {
        // The receive buffer and the addressing of a shared line survive.
        const bool selected = state_.selected;
        powerUp();
        state_.selected = selected;
        return true;
    }
    case Command::clearScreen: {
        model_.clearWindow();
        // Where the documents leave it open, the cursor goes home.
        if (set_->behaviour.afterClear == model::CursorAfter::stays) model_.setCursor(row, column);
        return true;
    }
    case Command::clearLine:
        clearCells(row * columns, (row + 1) * columns);
        model_.setCursor(row, 0);
        return true;
    case Command::clearToEndOfRow: clearCells(row * columns + column, (row + 1) * columns); return true;
    case Command::clearToEndOfDisplay: clearCells(row * columns + column, rows * columns); return true;
    case Command::cursorRight: moveRight(); return true;
    case Command::cursorLeft: backspace(); return true;
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
    case Command::moveTo: return applyMove(match, bytes, reason);
    case Command::overwriteMode: state_.mode = Mode::overwrite; return true;
    case Command::verticalScrollMode: state_.mode = Mode::verticalScroll; return true;
    case Command::horizontalScrollMode: state_.mode = Mode::horizontalScroll; return true;
    case Command::brightness: {
        const auto level = std::ranges::find(set_->levels, n, &model::Level::argument);
        if (level != set_->levels.end()) {
            model_.setBrightness(level->percent);
            return true;
        }
        if (!set_->levels.empty() && set_->levels.front().argument == 1) {
            return outOfRange("brightness level", n, 1, static_cast<unsigned>(set_->levels.size()));
        }
        reason = "brightness " + model::hexBytes(args) + " is none of";
        for (const model::Level& l : set_->levels)
            reason += " " + model::hexBytes(std::string(1, static_cast<char>(l.argument)));
        return false;
    }
    case Command::blink:
        state_.displayOn = n != 255;
        state_.blinkInterval = n == 255 ? 0 : static_cast<std::int32_t>(n);
        return true;
    case Command::blinkCharacters: state_.blinkCharacters = n == 1; return true;
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
        const model::Repertoire& repertoire = model::repertoireOf(*set_);
        const auto selector =
            std::ranges::find(repertoire.selectors, match.form->command, &model::Selector::command);
        const auto choice = selector == repertoire.selectors.end()
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
    case Command::selectFont: state_.font = static_cast<std::int32_t>(n); return true;
    case Command::defineUserCharacters: {
        const std::size_t fixed = match.fixed;
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
    case Command::defineUserCharacter: return applyUserCharacter(args, reason);
    case Command::selectUserCharacters:
        if (n > 1) return outOfRange("user character switch", n, 0, 1);
        state_.userCharactersSelected = n == 1;
        return true;
    case Command::deleteUserCharacter: state_.userCharacters.erase(static_cast<std::uint8_t>(n)); return true;
    case Command::selfTest:
        if (!set_->reply.empty()) {
            // The echo of the display's own answer: a long self-test.
            state_.selfTestMs = selfTestMs;
            drawSelfTest();
            return true;
        }
        // The self-test shows its pages and ends with clear and home.
        model_.clearWindow();
        return true;
    case Command::selectDevice:
        if (n < 1 || n > 3) return outOfRange("device", n, 1, 3);
        state_.selected = (n & 2) != 0;
        return true;
    case Command::enhancedMode:
    case Command::standardMode: {
        // Standard mode reads commands on a cursor, enhanced mode takes an
        // attention code: the partner set is the other mode of the display.
        const bool toEnhanced = form.command == Command::enhancedMode;
        if (toEnhanced == set_->behaviour.passThrough) return true;  // already there
        const model::CommandSet* partner = model::findCommandSet(set_->partner);
        if (partner == nullptr) {
            reason = "no other mode to switch to";
            return false;
        }
        switchTo(*partner);
        return true;
    }
    case Command::identify: replies_ += set_->reply; return true;
    default: break;
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

std::string VirtualDisplay::passedThroughText() const {
    if (passedThroughCount_ == 0) return {};
    return std::to_string(passedThroughCount_) +
           " bytes passed to the printer port, last: " + model::hexBytes(passedThrough_);
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
    if (!lineStatus_.empty()) out += "line " + lineStatus_ + "\n";
    if (set_ != initial_) out += "command set " + std::string(set_->name) + "\n";
    if (!state_.moving.text.empty()) {
        out += "marquee row " + std::to_string(state_.moving.row + 1) +
               (state_.moving.running ? " running step " + std::to_string(state_.moving.step) : " stopped") +
               "\n";
    }
    if (state_.clockMinutes) {
        out += "clock " + twoDigits(*state_.clockMinutes / 60) + ":" + twoDigits(*state_.clockMinutes % 60) +
               "\n";
    }
    if (state_.selfTestMs > 0) out += "self-test running\n";
    if (droppedDuringSelfTest_ > 0) {
        out += std::to_string(droppedDuringSelfTest_) + " bytes dropped during the self-test\n";
    }
    if (passedThroughCount_ > 0) out += passedThroughText() + "\n";
    for (const auto& f : faults_) out += "fault " + model::hexBytes(f.bytes) + ": " + f.reason + "\n";
    out += "end\n";
    return out;
}

}  // namespace emulator
