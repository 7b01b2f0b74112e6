#include "serial/ScreenWriter.h"

#include "model/CharacterSets.h"
#include "model/Profiles.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace serial {
namespace {

// Blink rate sent for whole-display blinking: n x 50 ms on and off.
constexpr char blinkRate = 10;

bool anyAttribute(const model::DisplayModel& model, std::int32_t bit) {
    for (std::int32_t r = 0; r < model.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < model.deviceColumns(); ++c) {
            if (model.shownCell(r, c).attribute & bit) return true;
        }
    }
    return false;
}

}  // namespace

ScreenWriter::ScreenWriter(const model::CommandSet& set, std::int32_t rows, std::int32_t columns)
    : set_(&set),
      repertoire_(&model::repertoireOf(set)),
      planner_(set, *repertoire_),
      rows_(rows),
      columns_(columns) {
    buildMoves();
}

ShadowState ScreenWriter::afterInitialise() const {
    ShadowState state{model::DisplayModel(rows_, columns_), 0, {}, {}, {}, {}, {}, {}, {}, {}};
    // Initialise restores power-on settings: nothing blinks or is reversed.
    if (model::writerForm(*set_, model::Command::blink)) state.blink = false;
    if (model::writerForm(*set_, model::Command::reverse)) state.reverse = false;
    return state;
}

std::string ScreenWriter::initialiseBytes() const {
    // Overwrite mode explicitly: the writer's cursor tracking depends on it,
    // and a display may have been left in a scroll mode.
    return model::encode(*set_, model::Command::initialise) +
           model::encode(*set_, model::Command::overwriteMode);
}

std::optional<std::int32_t> ScreenWriter::cursorCell(const model::DisplayModel& model) const {
    const model::WindowGeometry& g = model.geometry(model.currentWindow());
    const std::int32_t row = model.cursorRow();
    // Just past the end of a row the cursor shows on the row's last cell.
    const std::int32_t column = std::min(model.cursorColumn(), g.viewportWidth - 1);
    if (row >= g.viewportHeight || column < 0) return std::nullopt;
    return (g.viewportRow + row) * columns_ + g.viewportColumn + column;
}

char ScreenWriter::cellByte(const model::DisplayModel& target, std::int32_t cell) const {
    const char32_t ch = target.shownCell(cell / columns_, cell % columns_).character;
    const std::string bytes = model::toCodePage(std::u32string_view(&ch, 1), target.characterSet());
    return bytes.empty() ? '?' : bytes.front();
}

std::string ScreenWriter::settingsBytes(
    ShadowState& state, const model::DisplayModel& target, bool cursorLast) const {
    std::string out;
    const bool hasCursorCommand = model::writerForm(*set_, model::Command::cursorVisible) != nullptr;
    const bool cursorWanted = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none;
    if (hasCursorCommand && state.cursorOn != cursorWanted && cursorWanted == cursorLast) {
        // Off goes first, so the cursor is not seen running over the cells;
        // on goes last, once it stands where it belongs.
        out += model::encode(
            *set_, model::Command::cursorVisible, std::string(1, cursorWanted ? '\x01' : '\x00'));
        state.cursorOn = cursorWanted;
    }
    if (cursorLast) return out;

    if (model::writerForm(*set_, model::Command::brightness) && !set_->levelPercent.empty()) {
        // The level whose percentage is nearest the picture's brightness.
        std::int32_t level = 1;
        for (std::size_t i = 0; i < set_->levelPercent.size(); ++i) {
            if (std::abs(set_->levelPercent[i] - target.brightness()) <=
                std::abs(set_->levelPercent[static_cast<std::size_t>(level - 1)] - target.brightness())) {
                level = static_cast<std::int32_t>(i + 1);
            }
        }
        if (state.brightnessLevel != level) {
            out += model::encode(*set_, model::Command::brightness, std::string(1, static_cast<char>(level)));
            state.brightnessLevel = level;
        }
    }
    if (target.characterSet() != model::charSetUnicode) {
        // A code page is written byte for byte in plain ASCII: undo what
        // Unicode text selected (the display's own defaults are left alone).
        for (const model::Selector& selector : repertoire_->selectors) {
            if (selector.command != model::Command::internationalSet) continue;
            const auto plain = selector.choices.front().argument;
            if (state.internationalSet && *state.internationalSet != plain) {
                out += model::encode(*set_, selector.command, std::string(1, static_cast<char>(plain)));
                state.internationalSet = plain;
            }
        }
        if (state.userCharactersOn == true) {
            out += model::encode(*set_, model::Command::selectUserCharacters, std::string(1, '\x00'));
            state.userCharactersOn = false;
        }
    }
    if (model::writerForm(*set_, model::Command::codeTable)) {
        const model::CodeTable* table = model::findCodeTable(*set_, target.characterSet());
        if (table != nullptr && state.codeTable != table->number) {
            out += model::encode(
                *set_, model::Command::codeTable, std::string(1, static_cast<char>(table->number)));
            state.codeTable = table->number;
        }
    }
    if (model::writerForm(*set_, model::Command::blink)) {
        const bool wanted = anyAttribute(target, model::attribute::blink);
        if (state.blink != wanted) {
            out += model::encode(*set_, model::Command::blink, std::string(1, wanted ? blinkRate : '\x00'));
            state.blink = wanted;
        }
    }
    return out;
}

bool ScreenWriter::reversed(const model::DisplayModel& model, std::int32_t cell) const {
    return model::writerForm(*set_, model::Command::reverse) != nullptr &&
           (model.shownCell(cell / columns_, cell % columns_).attribute & model::attribute::reverse) != 0;
}

void ScreenWriter::writeCell(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::int32_t cell, Coding& coding) const {
    // Reverse is a mode for the characters written after it, so it is set
    // to each cell's own attribute before the cell goes out.
    if (model::writerForm(*set_, model::Command::reverse)) {
        const bool wanted = reversed(target, cell);
        if (state.reverse != wanted) {
            out += model::encode(*set_, model::Command::reverse, std::string(1, wanted ? '\x01' : '\x00'));
            state.reverse = wanted;
        }
    }
    coding.written += target.shownCell(cell / columns_, cell % columns_).character;
    if (coding.planned != nullptr) {
        out += (*coding.planned)[coding.next++];
    } else {
        out += cellByte(target, cell);
    }
}

void ScreenWriter::buildMoves() {
    const std::int32_t cells = rows_ * columns_;
    const std::int32_t nodes = cells + 1;  // the last node: "cursor position not known"
    const auto node = [nodes](std::int32_t from, std::int32_t to) {
        return static_cast<std::size_t>(from * nodes + to);
    };
    edges_.assign(static_cast<std::size_t>(nodes), {});
    const auto add = [&](std::int32_t from, model::Command command, std::int32_t to) {
        const model::CommandForm* form = model::writerForm(*set_, command);
        if (form == nullptr) return;
        const std::size_t cost = form->bytes.size() + (command == model::Command::moveTo ? 2 : 0);
        edges_[static_cast<std::size_t>(from)].push_back({false, command, to, cost});
    };
    for (std::int32_t from = 0; from < nodes; ++from) {
        // Writing the cell under the cursor moves it on, as overwrite mode
        // does (the last cell wraps to the first); it is the one-byte step
        // right, and writes what the target shows there anyway.
        if (from < cells) {
            edges_[static_cast<std::size_t>(from)].push_back(
                {true, model::Command::home, (from + 1) % cells, 1});
        }
        add(from, model::Command::home, 0);
        add(from, model::Command::bottomLeft, (rows_ - 1) * columns_);
        for (std::int32_t to = 0; to < cells; ++to) add(from, model::Command::moveTo, to);
        if (from == cells) continue;
        // Relative moves only where every firmware agrees on what they do:
        // never across a row's end or past the first or last row.
        const std::int32_t row = from / columns_, column = from % columns_;
        if (column > 0) add(from, model::Command::cursorLeft, from - 1);
        if (row > 0) add(from, model::Command::cursorUp, from - columns_);
        if (row + 1 < rows_) add(from, model::Command::cursorDown, from + columns_);
        add(from, model::Command::leftmost, row * columns_);
        add(from, model::Command::rightmost, row * columns_ + columns_ - 1);
    }
    // All shortest paths (Floyd-Warshall; a few dozen nodes, once per writer).
    constexpr std::size_t infinite = std::numeric_limits<std::size_t>::max() / 4;
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
}

std::size_t ScreenWriter::distance(std::int32_t from, std::int32_t to) const {
    return distance_[static_cast<std::size_t>(from * (rows_ * columns_ + 1) + to)];
}

void ScreenWriter::travel(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::int32_t from, std::int32_t to, Coding& coding) const {
    const std::int32_t nodes = rows_ * columns_ + 1;
    while (from != to) {
        const auto e = firstStep_[static_cast<std::size_t>(from * nodes + to)];
        const Step& s = edges_[static_cast<std::size_t>(from)][static_cast<std::size_t>(e)];
        if (s.write) {
            writeCell(out, state, target, from, coding);
        } else if (s.command == model::Command::moveTo) {
            const char args[2] = {
                static_cast<char>(s.to % columns_ + 1), static_cast<char>(s.to / columns_ + 1)};
            out += model::encode(*set_, model::Command::moveTo, std::string_view(args, 2));
        } else {
            out += model::encode(*set_, s.command);
        }
        from = s.to;
    }
}

std::vector<ScreenWriter::Run> ScreenWriter::differingRuns(
    const ShadowState& state, const model::DisplayModel& target) const {
    const std::int32_t cells = rows_ * columns_;
    std::vector<Run> runs;
    for (std::int32_t i = 0; i < cells; ++i) {
        const bool differs = state.picture.shownCell(i / columns_, i % columns_).character !=
                                 target.shownCell(i / columns_, i % columns_).character ||
                             reversed(state.picture, i) != reversed(target, i);
        if (!differs) continue;
        if (!runs.empty() && runs.back().end == i) {
            runs.back().end = i + 1;
        } else {
            runs.push_back({i, i + 1});
        }
    }
    return runs;
}

std::vector<std::size_t> ScreenWriter::cheapestOrder(
    const std::vector<Run>& runs, std::int32_t start, std::optional<std::int32_t> finalCursor) const {
    const std::int32_t cells = rows_ * columns_;
    const auto after = [cells](const Run& r) { return r.end % cells; };
    const auto finish = [&](std::int32_t at) -> std::size_t {
        return finalCursor ? distance(at, *finalCursor) : 0;
    };
    std::vector<std::size_t> order;
    const std::size_t n = runs.size();
    if (n == 0) return order;
    constexpr std::size_t exactLimit = 12;
    if (n > exactLimit) {
        // Too many subsets to search: the nearest run next.
        std::vector<bool> used(n);
        std::int32_t at = start;
        for (std::size_t k = 0; k < n; ++k) {
            std::size_t pick = n;
            for (std::size_t r = 0; r < n; ++r) {
                if (!used[r] && (pick == n || distance(at, runs[r].first) < distance(at, runs[pick].first))) {
                    pick = r;
                }
            }
            used[pick] = true;
            order.push_back(pick);
            at = after(runs[pick]);
        }
        return order;
    }
    // Dynamic programming over subsets: best[set][last] is the least moving
    // cost to write the runs of `set`, ending with `last`.
    constexpr std::size_t infinite = std::numeric_limits<std::size_t>::max() / 4;
    const std::size_t subsets = std::size_t{1} << n;
    std::vector<std::size_t> best(subsets * n, infinite);
    std::vector<std::int32_t> came(subsets * n, -1);
    for (std::size_t r = 0; r < n; ++r) best[(std::size_t{1} << r) * n + r] = distance(start, runs[r].first);
    for (std::size_t set = 1; set < subsets; ++set) {
        for (std::size_t last = 0; last < n; ++last) {
            const std::size_t here = best[set * n + last];
            if (here >= infinite || !(set & (std::size_t{1} << last))) continue;
            for (std::size_t next = 0; next < n; ++next) {
                if (set & (std::size_t{1} << next)) continue;
                const std::size_t wider = set | (std::size_t{1} << next);
                const std::size_t d = here + distance(after(runs[last]), runs[next].first);
                if (d < best[wider * n + next]) {
                    best[wider * n + next] = d;
                    came[wider * n + next] = static_cast<std::int32_t>(last);
                }
            }
        }
    }
    const std::size_t all = subsets - 1;
    std::size_t last = 0;
    for (std::size_t r = 1; r < n; ++r) {
        if (best[all * n + r] + finish(after(runs[r])) < best[all * n + last] + finish(after(runs[last]))) {
            last = r;
        }
    }
    for (std::size_t set = all; set != 0;) {
        order.push_back(last);
        const std::int32_t previous = came[set * n + last];
        set &= ~(std::size_t{1} << last);
        if (previous < 0) break;
        last = static_cast<std::size_t>(previous);
    }
    std::reverse(order.begin(), order.end());
    return order;
}

void ScreenWriter::drawCells(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::optional<std::int32_t> finalCursor, Coding& coding) const {
    const std::int32_t cells = rows_ * columns_;
    const std::int32_t unknown = cells;
    const std::vector<Run> runs = differingRuns(state, target);
    const std::int32_t start = state.cursor.value_or(unknown);
    std::int32_t at = start;
    // The order depends only on the runs and the cursor, the same in both
    // passes of a Unicode picture: found once.
    if (coding.order.empty()) coding.order = cheapestOrder(runs, start, finalCursor);
    for (const std::size_t r : coding.order) {
        travel(out, state, target, at, runs[r].first, coding);
        for (std::int32_t i = runs[r].first; i < runs[r].end; ++i) writeCell(out, state, target, i, coding);
        at = runs[r].end % cells;
    }
    if (finalCursor && at != *finalCursor) {
        // Writes along the way put back what the cells already show.
        travel(out, state, target, at, *finalCursor, coding);
        at = *finalCursor;
    }
    if (at != unknown) state.cursor = at;
}

model::SelectionState ScreenWriter::selectionOf(const ShadowState& state) const {
    model::SelectionState selection{model::Selection(repertoire_->selectors.size()), state.userCharactersOn};
    for (std::size_t s = 0; s < repertoire_->selectors.size(); ++s) {
        const model::Selector& selector = repertoire_->selectors[s];
        const auto& sent = selector.command == model::Command::codeTable
                               ? (state.codeTable ? std::optional(static_cast<std::uint8_t>(*state.codeTable))
                                                  : std::nullopt)
                               : state.internationalSet;
        if (sent) selection.choices[s] = model::choiceOf(selector, *sent);
    }
    return selection;
}

void ScreenWriter::adopt(ShadowState& state, const model::SelectionState& selection) const {
    for (std::size_t s = 0; s < repertoire_->selectors.size(); ++s) {
        const model::Selector& selector = repertoire_->selectors[s];
        std::optional<std::uint8_t> sent;
        if (selection.choices[s]) sent = selector.choices[*selection.choices[s]].argument;
        if (selector.command == model::Command::codeTable) {
            state.codeTable = sent;
        } else {
            state.internationalSet = sent;
        }
    }
    state.userCharactersOn = selection.userCharactersOn;
}

void ScreenWriter::drawPlanned(std::string& out, ShadowState& state, const model::DisplayModel& target,
    std::optional<std::int32_t> finalCursor) const {
    std::string scratch;
    ShadowState dry = state;
    Coding visit;
    drawCells(scratch, dry, target, finalCursor, visit);
    const model::CharacterPlan plan = planner_.plan(visit.written, selectionOf(state), state.userCharacters);
    Coding coded{&plan.bytes, 0, {}, std::move(visit.order)};
    drawCells(out, state, target, finalCursor, coded);
    adopt(state, plan.after);
}

Update ScreenWriter::update(const ShadowState& from, const model::DisplayModel& target) const {
    const bool cursorWanted = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none &&
                              model::writerForm(*set_, model::Command::cursorVisible) != nullptr;
    const std::optional<std::int32_t> finalCursor = cursorWanted ? cursorCell(target) : std::nullopt;

    const auto plan = [&](bool clearFirst) {
        Update u{std::string(), from};
        u.bytes = settingsBytes(u.after, target, false);
        if (clearFirst) {
            u.bytes += model::encode(*set_, model::Command::clearScreen);
            u.after.picture = model::DisplayModel(rows_, columns_);
            u.after.cursor.reset();  // where clearing leaves the cursor varies by model
        }
        if (target.characterSet() == model::charSetUnicode) {
            drawPlanned(u.bytes, u.after, target, finalCursor);
        } else {
            Coding plain;
            drawCells(u.bytes, u.after, target, finalCursor, plain);
        }
        u.bytes += settingsBytes(u.after, target, true);
        u.after.picture = target;
        return u;
    };
    Update direct = plan(false);
    if (model::writerForm(*set_, model::Command::clearScreen) == nullptr) return direct;
    Update cleared = plan(true);
    return cleared.bytes.size() < direct.bytes.size() ? cleared : direct;
}

}  // namespace serial
