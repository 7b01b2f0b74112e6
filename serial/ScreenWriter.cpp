#include "serial/ScreenWriter.h"

#include "model/CharacterSets.h"
#include "model/Profiles.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace serial {
namespace {

using model::Command;

// Blink rate sent for whole-display blinking: n x 50 ms on and off.
constexpr char blinkRate = 10;
// Task starts that are no cell: any cell of the task's row, or wherever the
// cursor is (a whole-row write needs none).
constexpr std::int32_t inRow = -1;
constexpr std::int32_t anywhere = -2;
constexpr std::size_t infinite = std::numeric_limits<std::size_t>::max() / 4;
// Up to this many tasks the order is searched exhaustively.
constexpr std::size_t exactTasks = 10;
// Ways of splitting a run tried for each plan, not splitting included, and
// up to how many tasks splitting is tried at all.
constexpr std::size_t maxSplitPoints = 8;
constexpr std::size_t splitTasks = 7;
// Places a scroll may start from, besides the nearest.
constexpr std::size_t scrollPlaces = 4;

bool anyAttribute(const model::DisplayModel& model, std::int32_t bit) {
    for (std::int32_t r = 0; r < model.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < model.deviceColumns(); ++c) {
            if (model.shownCell(r, c).attribute & bit) return true;
        }
    }
    return false;
}

bool setHas(const model::CommandSet& set, Command command) {
    return model::writerForm(set, command) != nullptr;
}

constexpr std::size_t commandCount = static_cast<std::size_t>(Command::identify) + 1;

std::string flag(bool on) { return std::string(1, on ? '\x01' : '\x00'); }

}  // namespace

ScreenWriter::ScreenWriter(const model::CommandSet& set, std::int32_t rows, std::int32_t columns)
    : set_(&set),
      repertoire_(&model::repertoireOf(set)),
      planner_(set, *repertoire_),
      rows_(rows),
      columns_(columns),
      cells_(rows * columns),
      wholeRows_(model::wholeRows(set)) {
    // What the set can do, looked up once: the plans ask it thousands of times.
    for (std::size_t c = 0; c < commandCount; ++c) {
        if (setHas(set, static_cast<Command>(c))) commands_.set(c);
    }
    if (has(Command::reverse)) showable_ |= model::attribute::reverse;
    if (has(Command::blinkCharacters)) showable_ |= model::attribute::blink;
    if (wholeRows_) return;
    // A scroll: a line feed on the last row, in the sets where that is all
    // it takes or where vertical scroll mode makes it so.
    if (rows_ > 1 && set.behaviour.lineFeed == model::LineFeed::scrolls) {
        lineFeed_ = model::encode(set, Command::cursorDown);
    } else if (rows_ > 1 && set.behaviour.lineFeed == model::LineFeed::otherRowOrScroll &&
               setHas(set, Command::overwriteMode) && setHas(set, Command::verticalScrollMode)) {
        lineFeed_ = model::encode(set, Command::cursorDown);
        scrollModeOn_ = model::encode(set, Command::verticalScrollMode);
        scrollModeOff_ = model::encode(set, Command::overwriteMode);
    }
    if (setHas(set, Command::initialise) && setHas(set, Command::overwriteMode)) {
        resetBytes_ = model::encode(set, Command::initialise) + model::encode(set, Command::overwriteMode);
    }
    backspaceBytes_ = model::encode(set, Command::cursorLeft).size();
    buildMoves();
}

ShadowState ScreenWriter::afterInitialise() const {
    ShadowState state;
    state.picture = model::DisplayModel(rows_, columns_);
    // A whole-row set's display shows whatever it showed: its start bytes
    // change modes, not cells.
    state.pictureKnown = !wholeRows_;
    if (!wholeRows_) state.cursor = 0;
    if (set_->behaviour.brightnessAfterReset > 0) state.brightness = set_->behaviour.brightnessAfterReset;
    // Initialise restores power-on settings: nothing blinks or is reversed.
    if (has(Command::blink)) state.blink = false;
    if (has(Command::reverse)) state.reverse = false;
    if (has(Command::blinkCharacters)) state.blinkCharacters = false;
    return state;
}

std::string ScreenWriter::initialiseBytes() const { return std::string(set_->start); }

std::optional<std::int32_t> ScreenWriter::cursorCell(const model::DisplayModel& model) const {
    const model::WindowGeometry& g = model.geometry(model.currentWindow());
    const std::int32_t row = model.cursorRow();
    // Just past the end of a row the cursor shows on the row's last cell.
    const std::int32_t column = std::min(model.cursorColumn(), g.viewportWidth - 1);
    if (row >= g.viewportHeight || column < 0) return std::nullopt;
    return (g.viewportRow + row) * columns_ + g.viewportColumn + column;
}

char ScreenWriter::cellByte(
    const model::DisplayModel& target, std::int32_t cell, const ShadowState* state) const {
    const char32_t ch = target.shownCell(cell / columns_, cell % columns_).character;
    if (target.characterSet() == model::charSetUnicode) {
        const model::UserCharacterSlots none;
        return static_cast<char>(planner_.freeByte(ch, state ? state->userCharacters : none).value_or('?'));
    }
    const std::string bytes = model::toCodePage(std::u32string_view(&ch, 1), target.characterSet());
    return bytes.empty() ? '?' : bytes.front();
}

model::Cell ScreenWriter::shownAs(const model::DisplayModel& model, std::int32_t cell) const {
    model::Cell c = model.shownCell(cell / columns_, cell % columns_);
    c.attribute &= showable_;
    return c;
}

std::int32_t ScreenWriter::afterWrite(std::int32_t cell) const {
    if (cell % columns_ + 1 < columns_) return cell + 1;
    // Overwrite mode wraps at the end of a row, and from the last cell to
    // the first; where wrapping is not established the cursor is lost.
    return set_->behaviour.wrapsAtRowEnd ? (cell + 1) % cells_ : cells_;
}

std::string ScreenWriter::settingsBytes(
    ShadowState& state, const model::DisplayModel& target, bool cursorLast) const {
    std::string out;
    const bool hasCursorCommand = has(Command::cursorVisible);
    const bool cursorWanted = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none;
    if (hasCursorCommand && state.cursorOn != cursorWanted && cursorWanted == cursorLast) {
        // Off goes first, so the cursor is not seen running over the cells;
        // on goes last, once it stands where it belongs.
        out += model::encode(*set_, Command::cursorVisible, flag(cursorWanted));
        state.cursorOn = cursorWanted;
    }
    if (cursorLast) return out;

    if (has(Command::brightness) && !set_->levels.empty()) {
        // The level whose percentage is nearest the picture's brightness.
        const model::Level* level = &set_->levels.front();
        for (const model::Level& l : set_->levels) {
            if (std::abs(l.percent - target.brightness()) <= std::abs(level->percent - target.brightness())) {
                level = &l;
            }
        }
        if (state.brightness != level->percent) {
            out +=
                model::encode(*set_, Command::brightness, std::string(1, static_cast<char>(level->argument)));
            state.brightness = level->percent;
        }
    }
    if (target.characterSet() != model::charSetUnicode) {
        // A code page is written byte for byte in plain ASCII: undo what
        // Unicode text selected (the display's own defaults are left alone).
        for (const model::Selector& selector : repertoire_->selectors) {
            if (selector.command != Command::internationalSet) continue;
            const auto plain = selector.choices.front().argument;
            if (state.internationalSet && *state.internationalSet != plain) {
                out += model::encode(*set_, selector.command, std::string(1, static_cast<char>(plain)));
                state.internationalSet = plain;
            }
        }
        if (state.userCharactersOn == true) {
            out += model::encode(*set_, Command::selectUserCharacters, flag(false));
            state.userCharactersOn = false;
        }
    }
    if (has(Command::codeTable)) {
        const model::CodeTable* table = model::findCodeTable(*set_, target.characterSet());
        if (table != nullptr && state.codeTable != table->number) {
            out += model::encode(*set_, Command::codeTable, std::string(1, static_cast<char>(table->number)));
            state.codeTable = table->number;
        }
    }
    if (has(Command::blink)) {
        const bool wanted = anyAttribute(target, model::attribute::blink);
        if (state.blink != wanted) {
            out += model::encode(*set_, Command::blink, std::string(1, wanted ? blinkRate : '\x00'));
            state.blink = wanted;
        }
    }
    return out;
}

void ScreenWriter::writeCell(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::int32_t cell, Coding* coding) const {
    // Reverse and per-character blink are modes for the characters written
    // after them, so they are set to each cell's own attribute first.
    const model::Cell shown = shownAs(target, cell);
    if (has(Command::reverse)) {
        const bool wanted = (shown.attribute & model::attribute::reverse) != 0;
        if (state.reverse != wanted) {
            out += model::encode(*set_, Command::reverse, flag(wanted));
            state.reverse = wanted;
        }
    }
    if (has(Command::blinkCharacters)) {
        const bool wanted = (shown.attribute & model::attribute::blink) != 0;
        if (state.blinkCharacters != wanted) {
            out += model::encode(*set_, Command::blinkCharacters, flag(wanted));
            state.blinkCharacters = wanted;
        }
    }
    if (coding != nullptr) coding->written += shown.character;
    if (coding != nullptr && coding->planned != nullptr) {
        out += (*coding->planned)[coding->next++];
    } else {
        out += cellByte(target, cell, &state);
    }
}

// The cost model: every way the cursor can move, and what it costs.
void ScreenWriter::buildMoves() {
    const std::int32_t nodes = cells_ + 1;  // the last node: "cursor position not known"
    const auto node = [nodes](std::int32_t from, std::int32_t to) {
        return static_cast<std::size_t>(from * nodes + to);
    };
    edges_.assign(static_cast<std::size_t>(nodes), {});
    const auto add = [&](std::int32_t from, Command command, std::int32_t to) {
        const model::CommandForm* form = model::writerForm(*set_, command);
        if (form == nullptr) return;
        const std::size_t cost = command == Command::moveTo
                                     ? model::encodeMove(*set_, to / columns_, to % columns_, columns_).size()
                                     : model::encode(*set_, command).size();
        edges_[static_cast<std::size_t>(from)].push_back({false, command, to, cost});
    };
    for (std::int32_t from = 0; from < nodes; ++from) {
        // Writing the cell under the cursor moves it on: the one-byte step
        // right, which writes what the target shows there anyway.
        if (from < cells_)
            edges_[static_cast<std::size_t>(from)].push_back({true, Command::home, afterWrite(from), 1});
        add(from, Command::home, 0);
        add(from, Command::bottomLeft, (rows_ - 1) * columns_);
        for (std::int32_t to = 0; to < cells_; ++to) add(from, Command::moveTo, to);
        if (from == cells_) continue;
        // Relative moves only where every firmware agrees on what they do:
        // never across a row's end or past the first or last row, and never
        // a backspace that erases.
        const std::int32_t row = from / columns_, column = from % columns_;
        if (column > 0 && set_->behaviour.backspace != model::Backspace::erasesAndWraps)
            add(from, Command::cursorLeft, from - 1);
        if (row > 0) add(from, Command::cursorUp, from - columns_);
        if (row + 1 < rows_) add(from, Command::cursorDown, from + columns_);
        // "The other row": a line feed on the lower row of two goes to the upper.
        if (rows_ == 2 && row == 1 && set_->behaviour.lineFeed == model::LineFeed::otherRowOrScroll)
            add(from, Command::cursorDown, column);
        add(from, Command::leftmost, row * columns_);
        add(from, Command::rightmost, row * columns_ + columns_ - 1);
    }
    // All shortest paths (Floyd-Warshall; a few dozen nodes, once per writer).
    distance_.assign(static_cast<std::size_t>(nodes * nodes), infinite);
    firstStep_.assign(static_cast<std::size_t>(nodes * nodes), -1);
    for (std::int32_t from = 0; from < nodes; ++from) {
        distance_[node(from, from)] = 0;
        const auto& out = edges_[static_cast<std::size_t>(from)];
        for (std::size_t e = 0; e < out.size(); ++e) {
            if (out[e].cost < distance_[node(from, out[e].to)]) {
                distance_[node(from, out[e].to)] = out[e].cost;
                firstStep_[node(from, out[e].to)] = static_cast<std::int32_t>(e);
            }
        }
    }
    for (std::int32_t via = 0; via < nodes; ++via) {
        for (std::int32_t from = 0; from < nodes; ++from) {
            for (std::int32_t to = 0; to < nodes; ++to) {
                const std::size_t d = distance_[node(from, via)] + distance_[node(via, to)];
                if (d < distance_[node(from, to)]) {
                    distance_[node(from, to)] = d;
                    firstStep_[node(from, to)] = firstStep_[node(from, via)];
                }
            }
        }
    }
    rowDistance_.assign(static_cast<std::size_t>(nodes * rows_), infinite);
    rowNearest_.assign(static_cast<std::size_t>(nodes * rows_), 0);
    for (std::int32_t from = 0; from < nodes; ++from) {
        for (std::int32_t cell = 0; cell < cells_; ++cell) {
            const auto at = static_cast<std::size_t>(from * rows_ + cell / columns_);
            if (distance(from, cell) < rowDistance_[at]) {
                rowDistance_[at] = distance(from, cell);
                rowNearest_[at] = cell;
            }
        }
    }
}

std::size_t ScreenWriter::distance(std::int32_t from, std::int32_t to) const {
    return distance_[static_cast<std::size_t>(from * (cells_ + 1) + to)];
}

std::int32_t ScreenWriter::backspaceSource(std::int32_t cell) const {
    if (set_->behaviour.backspace != model::Backspace::erasesAndWraps) return -1;
    if (cell % columns_ + 1 < columns_) return cell + 1;
    // On two rows, from (1,2) a backspace goes to (20,1), from (1,1) to (20,2).
    if (rows_ != 2) return -1;
    return ((cell / columns_ + 1) % rows_) * columns_;
}

std::size_t ScreenWriter::startDistance(std::int32_t from, const Task& task) const {
    if (task.start == anywhere) return 0;
    if (task.start == inRow) return rowDistance_[static_cast<std::size_t>(from * rows_ + task.row)];
    std::size_t d = distance(from, task.start);
    // A run can also be entered by a backspace that erases: it writes the
    // cell anyway.
    if (const std::int32_t source = backspaceSource(task.start);
        task.kind == Task::Kind::run && source >= 0) {
        d = std::min(d, distance(from, source) + backspaceBytes_);
    }
    return d;
}

void ScreenWriter::travel(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::int32_t from, std::int32_t to, std::vector<model::Cell>* cells, Coding* coding) const {
    const std::int32_t nodes = cells_ + 1;
    while (from != to) {
        const auto e = firstStep_[static_cast<std::size_t>(from * nodes + to)];
        const Step& s = edges_[static_cast<std::size_t>(from)][static_cast<std::size_t>(e)];
        if (s.write) {
            writeCell(out, state, target, from, coding);
            if (cells != nullptr) (*cells)[static_cast<std::size_t>(from)] = shownAs(target, from);
        } else if (s.command == Command::moveTo) {
            out += model::encodeMove(*set_, s.to / columns_, s.to % columns_, columns_);
        } else {
            out += model::encode(*set_, s.command);
        }
        from = s.to;
    }
}

std::string ScreenWriter::rowData(const model::DisplayModel& target, std::int32_t firstCell,
    std::int32_t length, const ShadowState& state) const {
    std::string data;
    for (std::int32_t i = 0; i < length; ++i) data += cellByte(target, firstCell + i, &state);
    // The display starts a command wherever its attention code appears, text
    // or not: text that holds the code shows '?' in its last byte instead.
    const std::string_view attention = set_->attention;
    if (!attention.empty()) {
        for (std::size_t at = data.find(attention); at != std::string::npos;
             at = data.find(attention, at + 1)) {
            data[at + attention.size() - 1] = '?';
        }
    }
    return data;
}

Update ScreenWriter::update(const ShadowState& from, const model::DisplayModel& target) const {
    return wholeRows_ ? updateRows(from, target) : updateCells(from, target);
}

Update ScreenWriter::updateRows(const ShadowState& from, const model::DisplayModel& target) const {
    Update u{std::string(), from};
    u.bytes = settingsBytes(u.after, target, false);
    // The cells a write must cover: up to the last one that shows or should
    // show anything, since whether a short write blanks the rest is not
    // established; everything while the picture is not known.
    const auto needed = [&](std::int32_t first, std::int32_t count) {
        if (!from.pictureKnown) return count;
        std::int32_t length = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t cell = first + i;
            const bool blank = target.shownCell(cell / columns_, cell % columns_).character == U' ' &&
                               from.picture.shownCell(cell / columns_, cell % columns_).character == U' ';
            if (!blank) length = i + 1;
        }
        return length;
    };
    const auto changed = [&](std::int32_t row) {
        if (!from.pictureKnown) return true;
        for (std::int32_t c = 0; c < columns_; ++c) {
            if (target.shownCell(row, c).character != from.picture.shownCell(row, c).character) return true;
        }
        return false;
    };
    const Command rowCommand[2] = {Command::writeUpperRow, Command::writeLowerRow};
    std::string separate;
    const std::int32_t writable = std::min(rows_, 2);
    for (std::int32_t row = 0; row < writable; ++row) {
        if (!changed(row)) continue;
        separate += model::encode(
            *set_, rowCommand[row], rowData(target, row * columns_, needed(row * columns_, columns_), from));
    }
    std::string both;
    if (rows_ == 2 && has(Command::writeBothRows) && (changed(0) || changed(1))) {
        both = model::encode(*set_, Command::writeBothRows, rowData(target, 0, needed(0, cells_), from));
    }
    u.bytes += !both.empty() && both.size() < separate.size() ? both : separate;
    u.after.picture = target;
    u.after.pictureKnown = true;
    return u;
}

std::optional<ScreenWriter::Start> ScreenWriter::begin(Global global, std::int32_t scrolls,
    std::int32_t place, const ShadowState& from, const model::DisplayModel& target, Coding* coding) const {
    Start s;
    s.state = from;
    if (global == Global::reset) {
        // A reset drops the user characters too: never where the picture
        // shows one.
        if (resetBytes_.empty() || showsUserCharacter(from, target)) return std::nullopt;
        // The reset drops the settings too; they follow it.
        s.bytes = resetBytes_;
        s.state = afterInitialise();
        s.state.picture = from.picture;
        s.bytes += settingsBytes(s.state, target, false);
        s.cells.assign(static_cast<std::size_t>(cells_), model::Cell{});
        s.at = 0;
        return s;
    }
    s.bytes = settingsBytes(s.state, target, false);
    s.at = from.cursor.value_or(cells_);
    for (std::int32_t i = 0; i < cells_; ++i) s.cells.push_back(shownAs(from.picture, i));
    switch (global) {
    case Global::none: return s;
    case Global::clear: {
        if (!has(Command::clearScreen)) return std::nullopt;
        s.bytes += model::encode(*set_, Command::clearScreen);
        std::fill(s.cells.begin(), s.cells.end(), model::Cell{});
        const model::CursorAfter after = set_->behaviour.afterClear;
        if (after == model::CursorAfter::home) s.at = 0;
        if (after == model::CursorAfter::unknown) s.at = cells_;
        return s;
    }
    case Global::scroll: {
        if (lineFeed_.empty() || scrolls < 1) return std::nullopt;
        // On the last row, a line feed moves the rows up; the cursor stays.
        const std::int32_t last = rows_ - 1;
        const std::int32_t cell =
            place >= 0 ? place : rowNearest_[static_cast<std::size_t>(s.at * rows_ + last)];
        travel(s.bytes, s.state, target, s.at, cell, &s.cells, coding);
        s.bytes += scrollModeOn_;
        for (std::int32_t n = 0; n < scrolls; ++n) {
            s.bytes += lineFeed_;
            std::move(s.cells.begin() + columns_, s.cells.end(), s.cells.begin());
            std::fill(s.cells.end() - columns_, s.cells.end(), model::Cell{});
        }
        s.bytes += scrollModeOff_;
        s.at = cell;
        return s;
    }
    case Global::reset: break;
    }
    return std::nullopt;
}

std::vector<ScreenWriter::RowOption> ScreenWriter::rowOptions(std::int32_t row,
    const std::vector<model::Cell>& cells, const model::DisplayModel& target,
    const ShadowState& state) const {
    std::vector<RowOption> options{{Task::Kind::run}};
    const auto at = [&](std::int32_t column) { return static_cast<std::size_t>(row * columns_ + column); };
    std::int32_t lastShown = -1;  // the last column the target shows anything in
    std::int32_t lastStale = -1;  // the last column showing something its target does not
    bool differs = false;
    std::vector<std::int32_t> runStarts;
    for (std::int32_t c = 0; c < columns_; ++c) {
        const model::Cell want = shownAs(target, row * columns_ + c);
        if (want != model::Cell{}) lastShown = c;
        if (cells[at(c)] != model::Cell{} && want == model::Cell{}) lastStale = c;
        const bool d = cells[at(c)] != want;
        if (d && (c == 0 || cells[at(c - 1)] == shownAs(target, row * columns_ + c - 1)))
            runStarts.push_back(c);
        differs = differs || d;
    }
    if (!differs) return options;
    // Blanking pays only where something stale is left to blank.
    if (lastStale >= 0 && has(Command::clearLine)) options.push_back({Task::Kind::clearLine});
    if (lastStale >= 0 && has(Command::clearToEndOfRow)) {
        // From just after the last character wanted, or from where a run of
        // changes starts; the nearest candidates to the stale cells first.
        std::vector<std::int32_t> from{lastShown + 1};
        from.insert(from.end(), runStarts.rbegin(), runStarts.rend());
        std::int32_t taken = 0;
        for (const std::int32_t k : from) {
            if (k > lastStale || k >= columns_ || taken == 4) continue;
            if (std::ranges::any_of(options,
                    [&](const RowOption& o) { return o.kind == Task::Kind::clearToEnd && o.column == k; }))
                continue;
            options.push_back({Task::Kind::clearToEnd, k});
            ++taken;
        }
    }
    const bool upper = row == 0 && has(Command::writeUpperRow);
    const bool lower = row == rows_ - 1 && row > 0 && rows_ == 2 && has(Command::writeLowerRow);
    // Text inside a row write cannot switch pages: in Unicode it takes only
    // characters that show the same whatever is selected.
    const bool plainText = target.characterSet() != model::charSetUnicode || [&] {
        for (std::int32_t c = 0; c < columns_; ++c) {
            if (!planner_.freeByte(target.shownCell(row, c).character, state.userCharacters)) return false;
        }
        return true;
    }();
    if ((upper || lower) && plainText) options.push_back({Task::Kind::rowWrite});
    return options;
}

std::vector<ScreenWriter::Task> ScreenWriter::tasksFor(const std::vector<RowOption>& options,
    std::vector<model::Cell>& cells, const model::DisplayModel& target) const {
    std::vector<Task> tasks;
    std::vector<std::int32_t> rowTask(static_cast<std::size_t>(rows_), -1);
    const auto unknownOr = [&](model::CursorAfter after, std::int32_t cell) {
        if (after == model::CursorAfter::stays) return cell;
        return after == model::CursorAfter::home ? 0 : cells_;
    };
    const auto blank = [&](std::int32_t first, std::int32_t end) {
        std::fill(cells.begin() + first, cells.begin() + end, model::Cell{});
    };
    for (std::int32_t row = 0; row < rows_; ++row) {
        const RowOption& o = options[static_cast<std::size_t>(row)];
        const std::int32_t first = row * columns_;
        Task t{.kind = o.kind, .row = row};
        switch (o.kind) {
        case Task::Kind::run: continue;
        case Task::Kind::clearLine:
            t.start = inRow;
            t.after = set_->behaviour.afterClearLine == model::CursorAfter::home ? 0 : cells_;
            t.cost = model::encode(*set_, Command::clearLine).size();
            blank(first, first + columns_);
            break;
        case Task::Kind::clearToEnd:
            t.first = first + o.column;
            t.start = t.first;
            t.after = unknownOr(set_->behaviour.afterClearLine, t.first);
            t.cost = model::encode(*set_, Command::clearToEndOfRow).size();
            blank(t.first, first + columns_);
            break;
        case Task::Kind::rowWrite: {
            // Up to the last cell that shows or should show anything: the
            // cells after a short write must be blank either way.
            std::int32_t length = 0;
            for (std::int32_t c = 0; c < columns_; ++c) {
                if (cells[static_cast<std::size_t>(first + c)] != model::Cell{} ||
                    shownAs(target, first + c) != model::Cell{})
                    length = c + 1;
            }
            t.first = first;
            t.end = length;
            t.start = anywhere;
            t.after = cells_;  // where a row write leaves the cursor is not documented
            const Command command = row == 0 ? Command::writeUpperRow : Command::writeLowerRow;
            t.cost = model::encode(*set_, command, std::string(static_cast<std::size_t>(length), ' ')).size();
            for (std::int32_t c = 0; c < length; ++c) {
                cells[static_cast<std::size_t>(first + c)] = shownAs(target, first + c);
            }
            break;
        }
        }
        rowTask[static_cast<std::size_t>(row)] = static_cast<std::int32_t>(tasks.size());
        tasks.push_back(t);
    }
    // The runs of cells still differing, each after the row steps of the
    // rows it touches; where a row's end does not wrap, runs end with it.
    for (std::int32_t i = 0; i < cells_;) {
        if (cells[static_cast<std::size_t>(i)] == shownAs(target, i)) {
            ++i;
            continue;
        }
        Task run{.kind = Task::Kind::run, .row = i / columns_, .first = i, .start = i};
        std::int32_t end = i;
        while (end < cells_ && cells[static_cast<std::size_t>(end)] != shownAs(target, end)) {
            ++end;
            if (end % columns_ == 0 && !set_->behaviour.wrapsAtRowEnd) break;
        }
        run.end = end;
        run.after = afterWrite(end - 1);
        run.cost = static_cast<std::size_t>(end - i);
        for (std::int32_t row = i / columns_; row <= (end - 1) / columns_; ++row) {
            if (rowTask[static_cast<std::size_t>(row)] >= 0)
                run.needs |= 1u << rowTask[static_cast<std::size_t>(row)];
        }
        tasks.push_back(run);
        i = end;
    }
    return tasks;
}

std::size_t ScreenWriter::sequence(const std::vector<Task>& tasks, std::int32_t start,
    std::optional<std::int32_t> finalCursor, std::vector<std::size_t>* order, std::int32_t preferredEnd,
    std::int32_t* endsAt) const {
    const auto finish = [&](std::int32_t at) -> std::size_t {
        return finalCursor ? distance(at, *finalCursor) : 0;
    };
    const std::size_t n = tasks.size();
    if (order != nullptr) order->clear();
    const auto ending = [&](std::int32_t at) {
        if (endsAt != nullptr) *endsAt = finalCursor.value_or(at);
    };
    if (n == 0) {
        ending(start);
        return finish(start);
    }
    const auto step = [&](std::int32_t at, std::size_t next) {
        return startDistance(at, tasks[next]) + tasks[next].cost;
    };
    if (n > exactTasks) {
        // Too many subsets to search: the nearest available task next.
        std::uint64_t done = 0;
        std::int32_t at = start;
        std::size_t total = 0;
        for (std::size_t k = 0; k < n; ++k) {
            std::size_t pick = n;
            for (std::size_t t = 0; t < n; ++t) {
                const bool ready = !(done >> t & 1u) && (tasks[t].needs & ~done) == 0;
                if (ready && (pick == n || step(at, t) < step(at, pick))) pick = t;
            }
            total += step(at, pick);
            done |= std::uint64_t{1} << pick;
            at = tasks[pick].after;
            if (order != nullptr) order->push_back(pick);
        }
        ending(at);
        return total + finish(at);
    }
    // Dynamic programming over subsets: best[set][last] is the least cost to
    // do the tasks of `set`, ending with `last`.
    const std::size_t subsets = std::size_t{1} << n;
    std::vector<std::size_t> best(subsets * n, infinite);
    std::vector<std::int16_t> came(subsets * n, -1);
    for (std::size_t t = 0; t < n; ++t) {
        if (tasks[t].needs == 0) best[(std::size_t{1} << t) * n + t] = step(start, t);
    }
    for (std::size_t set = 1; set < subsets; ++set) {
        for (std::size_t last = 0; last < n; ++last) {
            const std::size_t here = best[set * n + last];
            if (here >= infinite) continue;
            for (std::size_t next = 0; next < n; ++next) {
                if ((set >> next & 1u) || (tasks[next].needs & ~set) != 0) continue;
                const std::size_t wider = set | (std::size_t{1} << next);
                const std::size_t d = here + step(tasks[last].after, next);
                if (d < best[wider * n + next]) {
                    best[wider * n + next] = d;
                    came[wider * n + next] = static_cast<std::int16_t>(last);
                }
            }
        }
    }
    const std::size_t all = subsets - 1;
    std::size_t last = n;
    std::size_t total = infinite;
    // Of equal ways, one that leaves the cursor where the text goes on.
    for (std::size_t t = 0; t < n; ++t) {
        if (best[all * n + t] >= infinite) continue;
        const std::size_t d = best[all * n + t] + finish(tasks[t].after);
        const bool preferred =
            tasks[t].after == preferredEnd && (last == n || tasks[last].after != preferredEnd);
        if (d < total || (d == total && preferred)) {
            total = d;
            last = t;
        }
    }
    if (last < n) ending(tasks[last].after);
    if (order != nullptr && last < n) {
        for (std::size_t set = all; set != 0;) {
            order->push_back(last);
            const std::int16_t previous = came[set * n + last];
            set &= ~(std::size_t{1} << last);
            if (previous < 0) break;
            last = static_cast<std::size_t>(previous);
        }
        std::reverse(order->begin(), order->end());
    }
    return total;
}

void ScreenWriter::emit(std::string& out, ShadowState& state, const model::DisplayModel& target,
    const std::vector<Task>& tasks, const std::vector<std::size_t>& order,
    std::optional<std::int32_t> finalCursor, Coding* coding) const {
    std::int32_t at = state.cursor.value_or(cells_);
    for (const std::size_t i : order) {
        const Task& t = tasks[i];
        if (t.start == inRow) {
            const std::int32_t cell = rowNearest_[static_cast<std::size_t>(at * rows_ + t.row)];
            travel(out, state, target, at, cell, nullptr, coding);
            at = cell;
        } else if (t.start != anywhere) {
            const std::int32_t source = t.kind == Task::Kind::run ? backspaceSource(t.start) : -1;
            if (source >= 0 && distance(at, source) + backspaceBytes_ < distance(at, t.start)) {
                travel(out, state, target, at, source, nullptr, coding);
                out += model::encode(*set_, Command::cursorLeft);
            } else {
                travel(out, state, target, at, t.start, nullptr, coding);
            }
            at = t.start;
        }
        switch (t.kind) {
        case Task::Kind::run:
            for (std::int32_t cell = t.first; cell < t.end; ++cell)
                writeCell(out, state, target, cell, coding);
            break;
        case Task::Kind::clearLine: out += model::encode(*set_, Command::clearLine); break;
        case Task::Kind::clearToEnd: out += model::encode(*set_, Command::clearToEndOfRow); break;
        case Task::Kind::rowWrite:
            out += model::encode(*set_, t.row == 0 ? Command::writeUpperRow : Command::writeLowerRow,
                rowData(target, t.first, t.end, state));
            break;
        }
        at = t.after;
    }
    if (finalCursor && at != *finalCursor) {
        // Writes along the way put back what the cells already show.
        travel(out, state, target, at, *finalCursor, nullptr, coding);
        at = *finalCursor;
    }
    state.cursor = at == cells_ ? std::nullopt : std::optional<std::int32_t>(at);
}

model::SelectionState ScreenWriter::selectionOf(const ShadowState& state) const {
    model::SelectionState selection{model::Selection(repertoire_->selectors.size()), state.userCharactersOn};
    for (std::size_t s = 0; s < repertoire_->selectors.size(); ++s) {
        const model::Selector& selector = repertoire_->selectors[s];
        std::optional<std::uint8_t> sent = state.internationalSet;
        if (selector.command == Command::codeTable) {
            sent =
                state.codeTable ? std::optional(static_cast<std::uint8_t>(*state.codeTable)) : std::nullopt;
        }
        if (sent) selection.choices[s] = model::choiceOf(selector, *sent);
    }
    return selection;
}

void ScreenWriter::adopt(ShadowState& state, const model::SelectionState& selection) const {
    for (std::size_t s = 0; s < repertoire_->selectors.size(); ++s) {
        const model::Selector& selector = repertoire_->selectors[s];
        std::optional<std::uint8_t> sent;
        if (selection.choices[s]) sent = selector.choices[*selection.choices[s]].argument;
        if (selector.command == Command::codeTable) {
            state.codeTable = sent;
        } else {
            state.internationalSet = sent;
        }
    }
    state.userCharactersOn = selection.userCharactersOn;
}

bool ScreenWriter::showsUserCharacter(const ShadowState& state, const model::DisplayModel& target) const {
    if (target.characterSet() != model::charSetUnicode || state.userCharacters.slots().empty()) return false;
    for (std::int32_t cell = 0; cell < cells_; ++cell) {
        if (state.userCharacters.codeOf(target.shownCell(cell / columns_, cell % columns_).character))
            return true;
    }
    return false;
}

std::vector<std::int32_t> ScreenWriter::splitPoints(
    const std::vector<Task>& tasks, std::int32_t start, std::optional<std::int32_t> finalCursor) const {
    // Not splitting, and the cells where a run's later part can start at
    // less cost than its beginning: where the cursor must end (the first
    // part then ends there), below where the cursor is or a task ends (a
    // line feed away), and at a row's start (a carriage return away).
    std::vector<std::int32_t> points{-1};
    if (tasks.size() > splitTasks) return points;
    std::vector<std::int32_t> ends{start};
    for (const Task& t : tasks) ends.push_back(t.after);
    for (const Task& t : tasks) {
        if (t.kind != Task::Kind::run) continue;
        for (std::int32_t q = t.first + 1; q < t.end && points.size() < maxSplitPoints; ++q) {
            const bool lineFeedBelow = q >= columns_ && std::ranges::find(ends, q - columns_) != ends.end();
            if (q == finalCursor || lineFeedBelow || q % columns_ == 0) points.push_back(q);
        }
    }
    return points;
}

std::vector<ScreenWriter::Task> ScreenWriter::splitAt(std::vector<Task> tasks, std::int32_t split) const {
    if (split < 0) return tasks;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        Task& t = tasks[i];
        if (t.kind != Task::Kind::run || split <= t.first || split >= t.end) continue;
        // Two pieces, in either order: the first leaves the cursor at the
        // second's start.
        Task head = t;
        head.end = split;
        head.after = afterWrite(split - 1);
        head.cost = static_cast<std::size_t>(split - t.first);
        t.first = split;
        t.start = split;
        t.cost = static_cast<std::size_t>(t.end - split);
        tasks.push_back(head);
        break;
    }
    return tasks;
}

Update ScreenWriter::updateCells(const ShadowState& from, const model::DisplayModel& target) const {
    const bool cursorWanted = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none &&
                              has(Command::cursorVisible);
    const std::optional<std::int32_t> finalCursor = cursorWanted ? cursorCell(target) : std::nullopt;

    // Every global step with every combination of row steps is priced; a
    // combination whose own bytes already reach the best so far is skipped.
    // Of equal plans the first is taken: a clear of the screen before
    // clears of its rows.
    struct Choice {
        std::size_t cost = infinite;
        Global global = Global::none;
        std::int32_t scrolls = 0;
        std::int32_t place = -1;  // where the cursor scrolls (-1: the nearest cell of the last row)
        std::vector<RowOption> options;
        std::int32_t split = -1;  // where a run is written in two pieces, or -1
        std::int32_t endsAt = -1;
    } best;
    const std::int32_t natural = cursorCell(target).value_or(cells_);
    // Scrolling once, or more (on two rows, twice blanks them), from the
    // nearest cell of the last row or from where something is written there
    // next, since the cursor stays.
    struct Opening {
        Global global;
        std::int32_t scrolls;
        std::int32_t place;
    };
    std::vector<Opening> globals{{Global::clear, 0, -1}, {Global::none, 0, -1}, {Global::reset, 0, -1}};
    for (std::int32_t n = 1; n <= rows_ && !lineFeed_.empty(); ++n) {
        globals.push_back({Global::scroll, n, -1});
        const std::int32_t last = (rows_ - 1) * columns_;
        std::size_t places = 0;
        for (std::int32_t cell = last; cell < cells_ && places < scrollPlaces; ++cell) {
            const auto shown = [&](std::int32_t c) {
                const std::int32_t source = c + n * columns_;
                return source < cells_ ? shownAs(from.picture, source) : model::Cell{};
            };
            const bool differs = shown(cell) != shownAs(target, cell);
            const bool startsRun = cell == last || shown(cell - 1) == shownAs(target, cell - 1);
            if ((differs && startsRun) || cell == finalCursor) {
                globals.push_back({Global::scroll, n, cell});
                ++places;
            }
        }
    }
    for (const auto& [global, scrolls, place] : globals) {
        const std::optional<Start> start = begin(global, scrolls, place, from, target);
        if (!start) continue;
        std::vector<std::vector<RowOption>> choices;
        choices.reserve(static_cast<std::size_t>(rows_));
        for (std::int32_t row = 0; row < rows_; ++row)
            choices.push_back(rowOptions(row, start->cells, target, start->state));
        std::vector<std::size_t> pick(static_cast<std::size_t>(rows_), 0);
        std::vector<RowOption> options(static_cast<std::size_t>(rows_), RowOption{Task::Kind::run});
        for (;;) {
            for (std::size_t r = 0; r < pick.size(); ++r) options[r] = choices[r][pick[r]];
            std::vector<model::Cell> cells = start->cells;
            const std::vector<Task> whole = tasksFor(options, cells, target);
            std::size_t bound = start->bytes.size();
            for (const Task& t : whole) bound += t.cost;
            if (bound <= best.cost) {
                for (const std::int32_t split : splitPoints(whole, start->at, finalCursor)) {
                    const std::vector<Task> tasks = splitAt(whole, split);
                    std::int32_t endsAt = cells_;
                    const std::size_t cost = start->bytes.size() + sequence(tasks, start->at, finalCursor,
                                                                       nullptr, natural, &endsAt);
                    // Of equal plans, one that leaves the cursor where the
                    // text goes on, as the next text most likely does.
                    const bool better = cost < best.cost ||
                                        (cost == best.cost && endsAt == natural && best.endsAt != natural);
                    if (better) best = {cost, global, scrolls, place, options, split, endsAt};
                }
            }
            // The next combination.
            std::size_t r = 0;
            while (r < pick.size() && ++pick[r] == choices[r].size()) pick[r++] = 0;
            if (r == pick.size()) break;
        }
    }

    // The plan is carried out: in Unicode twice, first to learn the cells it
    // writes and their order, then with the bytes the planner gives them.
    const auto carryOut = [&](Coding* coding) {
        std::optional<Start> start = begin(best.global, best.scrolls, best.place, from, target, coding);
        std::vector<model::Cell> cells = start->cells;
        const std::vector<Task> tasks = splitAt(tasksFor(best.options, cells, target), best.split);
        std::vector<std::size_t> order;
        sequence(tasks, start->at, finalCursor, &order, natural, nullptr);
        Update u{std::move(start->bytes), std::move(start->state)};
        u.after.cursor = start->at == cells_ ? std::nullopt : std::optional<std::int32_t>(start->at);
        emit(u.bytes, u.after, target, tasks, order, finalCursor, coding);
        return u;
    };
    Update u;
    if (target.characterSet() == model::charSetUnicode) {
        Coding visit;
        const Update dry = carryOut(&visit);
        // What the plan's global step left selected and loaded.
        const model::CharacterPlan plan =
            planner_.plan(visit.written, selectionOf(dry.after), dry.after.userCharacters);
        Coding coded{&plan.bytes, 0, {}};
        u = carryOut(&coded);
        adopt(u.after, plan.after);
    } else {
        u = carryOut(nullptr);
    }
    u.bytes += settingsBytes(u.after, target, true);
    u.after.picture = target;
    u.after.pictureKnown = true;
    return u;
}

}  // namespace serial
