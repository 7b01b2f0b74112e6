#include "LeastBytes.h"

#include "model/CharacterSets.h"
#include "model/Profiles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

namespace bench {
namespace {

using model::Command;

constexpr std::size_t unreachable = std::size_t{1} << 40;

// One search state, packed into a string: a symbol per cell, then the
// cursor (cells = unknown), the mode (0 overwrite, 1 vertical scroll) and
// whether a reset dropped the settings.
struct Problem {
    const model::CommandSet& set;
    std::int32_t rows;
    std::int32_t columns;
    std::int32_t cells;
    std::vector<char32_t> symbols;  // symbol -> character; symbol 0 is the blank
    std::string target;             // the wanted symbol per cell
    std::optional<std::int32_t> finalCursor;
    std::size_t settingsFrom = 0;   // bytes the settings need when kept
    std::size_t settingsReset = 0;  // bytes the settings need after a reset
};

char symbolOf(std::vector<char32_t>& symbols, char32_t ch) {
    auto it = std::ranges::find(symbols, ch);
    if (it == symbols.end()) {
        symbols.push_back(ch);
        it = symbols.end() - 1;
    }
    return static_cast<char>(it - symbols.begin());
}

std::size_t bytesOf(const model::CommandSet& set, Command command, std::string_view arguments = {}) {
    return model::writerForm(set, command) == nullptr ? 0 : model::encode(set, command, arguments).size();
}
bool has(const model::CommandSet& set, Command command) { return model::writerForm(set, command) != nullptr; }

// The bytes that bring the settings from what is known to what the picture
// wants: each setting that differs costs its command.
std::size_t settingsCost(const model::CommandSet& set, std::optional<bool> cursorOn,
    std::optional<std::int32_t> brightness, std::optional<std::int32_t> codeTable,
    const model::DisplayModel& target) {
    std::size_t cost = 0;
    if (has(set, Command::cursorVisible)) {
        const bool wanted = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none;
        if (cursorOn != wanted)
            cost += bytesOf(set, Command::cursorVisible, wanted ? "\x01" : std::string_view("\x00", 1));
    }
    if (has(set, Command::brightness) && !set.levels.empty()) {
        std::int32_t best = set.levels.front().percent;
        for (const model::Level& l : set.levels) {
            if (std::abs(l.percent - target.brightness()) <= std::abs(best - target.brightness()))
                best = l.percent;
        }
        if (brightness != best) cost += bytesOf(set, Command::brightness, "\x01");
    }
    if (has(set, Command::codeTable)) {
        const model::CodeTable* table = model::findCodeTable(set, target.characterSet());
        if (table != nullptr && codeTable != table->number) cost += bytesOf(set, Command::codeTable, "\x01");
    }
    return cost;
}

class Search {
public:
    explicit Search(const Problem& p) : p_(p) {
        const model::CommandSet& set = p.set;
        const model::Behaviour& b = set.behaviour;
        canScrollByLineFeed_ =
            p.rows > 1 && (b.lineFeed == model::LineFeed::scrolls ||
                              (b.lineFeed == model::LineFeed::otherRowOrScroll &&
                                  has(set, Command::verticalScrollMode) && has(set, Command::overwriteMode)));
        resetBytes_ = has(set, Command::initialise) && has(set, Command::overwriteMode)
                          ? bytesOf(set, Command::initialise) + bytesOf(set, Command::overwriteMode)
                          : 0;
        for (std::int32_t cell = 0; cell < p.cells; ++cell) {
            moveBytes_.push_back(
                has(set, Command::moveTo)
                    ? model::encodeMove(set, cell / p.columns, cell % p.columns, p.columns).size()
                    : 0);
        }
        erases_ = b.backspace == model::Backspace::erasesAndWraps;
        if (!moveBytes_.empty()) {
            const auto [least, most] = std::ranges::minmax(moveBytes_);
            fewMoveCosts_ = most <= least + 1;
        }
        // The places for commands that act on a row: per row its cheapest
        // cell and the last cell of each move cost.
        rowPlaces_.assign(static_cast<std::size_t>(p.cells), false);
        for (std::int32_t row = 0; row < p.rows; ++row) {
            std::int32_t cheapest = row * p.columns;
            for (std::int32_t column = 0; column < p.columns; ++column) {
                const std::int32_t cell = row * p.columns + column;
                const auto cost = moveBytes_[static_cast<std::size_t>(cell)];
                if (cost < moveBytes_[static_cast<std::size_t>(cheapest)]) cheapest = cell;
                if (column + 1 == p.columns || moveBytes_[static_cast<std::size_t>(cell + 1)] != cost)
                    rowPlaces_[static_cast<std::size_t>(cell)] = true;
            }
            rowPlaces_[static_cast<std::size_t>(cheapest)] = true;
        }
        homes_ = resetBytes_ > 0 || b.afterClear == model::CursorAfter::home;
        // What a row write costs beside its data; the same for both rows.
        for (const Command row : {Command::writeUpperRow, Command::writeLowerRow}) {
            if (has(set, row)) rowWriteOverhead_ = std::max(rowWriteOverhead_, bytesOf(set, row));
        }
        if (has(set, Command::writeBothRows)) bothRowsOverhead_ = bytesOf(set, Command::writeBothRows);
        buildDistances();
    }

    void trace() { tracing_ = true; }

    // The steps to a state, each as its bytes, the cursor and the cells it
    // changed. (Strings are appended piece by piece: GCC 12 warns falsely,
    // -Wrestrict, on a literal + std::string.)
    std::string describePath(std::string key) const {
        std::vector<std::string> steps;
        while (parent_.contains(key) && !parent_.at(key).empty()) {
            const std::string& before = parent_.at(key);
            std::string step(1, '+');
            step += std::to_string(best_.at(key) - best_.at(before));
            step += " cursor ";
            step += std::to_string(cursorOf(before));
            step += '>';
            step += std::to_string(cursorOf(key));
            for (std::int32_t cell = 0; cell < p_.cells; ++cell) {
                const char now = key[static_cast<std::size_t>(cell)];
                if (before[static_cast<std::size_t>(cell)] == now) continue;
                step += ' ';
                step += std::to_string(cell);
                step += "='";
                step += static_cast<char>(p_.symbols[static_cast<std::size_t>(now)]);
                step += '\'';
            }
            if (scrollMode(before) != scrollMode(key))
                step += scrollMode(key) ? " scroll mode" : " overwrite mode";
            steps.push_back(std::move(step));
            key = before;
        }
        std::string out;
        std::reverse(steps.begin(), steps.end());
        for (const std::string& step : steps) {
            out += "      ";
            out += step;
            out += '\n';
        }
        return out;
    }

    Least run(const std::string& start, std::size_t budget) {
        Least result;
        push(start, 0);
        while (!open_.empty()) {
            const Node node = open_.top();
            open_.pop();
            const auto it = best_.find(node.key);
            if (it == best_.end() || it->second < node.g) continue;  // a better way was found since
            if (node.done) {
                result.bytes = node.g;
                if (tracing_) result.plan = describePath(node.key.substr(0, node.key.size() - 1));
                return result;
            }
            if (++result.states > budget) {
                result.complete = false;
                return result;
            }
            expanding_ = node.key;
            expand(node.key, node.g);
        }
        result.complete = false;
        return result;
    }

private:
    struct Node {
        std::size_t f;
        std::size_t g;
        std::string key;
        bool done;
        bool operator<(const Node& o) const { return f != o.f ? f > o.f : g < o.g; }  // least f, then deepest
    };

    std::int32_t cursorOf(const std::string& key) const { return static_cast<unsigned char>(key[p_.cells]); }
    bool scrollMode(const std::string& key) const { return key[p_.cells + 1] != 0; }
    bool wasReset(const std::string& key) const { return key[p_.cells + 2] != 0; }

    // A lower bound of the bytes still needed. Every cell whose wanted
    // character is not blank, that does not show it, and that a scroll could
    // not bring it to takes a byte of its own, written where it is. Each run
    // of such cells (in the order writing goes) must be reached: at least the
    // cheapest way there from where the cursor is or from the end of another
    // run, over cells that need no writing (distances by the set's moves,
    // steps and clears, found once). A row write reaches no cell but costs
    // its command beside its data, which bounds what a row's runs can add.
    std::size_t estimate(const std::string& key) const {
        const std::int32_t cells = p_.cells, columns = p_.columns;
        std::vector<bool> needed(static_cast<std::size_t>(cells));
        std::size_t h = 0;
        for (std::int32_t cell = 0; cell < cells; ++cell) {
            const char want = p_.target[static_cast<std::size_t>(cell)];
            if (want == 0 || key[static_cast<std::size_t>(cell)] == want) continue;
            // Shown below, or wanted below (written there and scrolled up),
            // it may come without a write of its own.
            bool below = false;
            for (std::int32_t under = cell + columns; canScrollByLineFeed_ && under < cells;
                 under += columns) {
                below = below || key[static_cast<std::size_t>(under)] == want ||
                        p_.target[static_cast<std::size_t>(under)] == want;
            }
            if (below) continue;
            needed[static_cast<std::size_t>(cell)] = true;
            ++h;
        }
        if (h == 0) return 0;
        const bool wraps = p_.set.behaviour.wrapsAtRowEnd;
        const auto previous = [&](std::int32_t cell) -> std::int32_t {
            if (cell % columns != 0) return cell - 1;
            if (!wraps) return -1;
            return cell == 0 ? cells - 1 : cell - 1;
        };
        const auto isNeeded = [&](std::int32_t cell) {
            return cell >= 0 && needed[static_cast<std::size_t>(cell)];
        };
        std::vector<std::int32_t> starts;
        std::vector<std::int32_t> from{cursorOf(key), cells};
        for (std::int32_t cell = 0; cell < cells; ++cell) {
            if (!isNeeded(cell)) continue;
            if (!isNeeded(previous(cell))) starts.push_back(cell);
            // The end of a run: where the cursor stands after writing it.
            std::int32_t next = cell + 1;
            if (cell % columns + 1 == columns) next = wraps ? (cell + 1) % cells : cells;
            if (next == cells || !isNeeded(next)) from.push_back(next);
        }
        if (homes_) from.push_back(0);
        std::vector<std::size_t> perRow(static_cast<std::size_t>(p_.rows), 0);
        for (const std::int32_t start : starts) {
            std::size_t arrive = unreachable;
            for (const std::int32_t f : from) arrive = std::min(arrive, distance(f, start));
            perRow[static_cast<std::size_t>(start / columns)] += arrive;
        }
        std::size_t arrivals = 0;
        for (const std::size_t row : perRow)
            arrivals += rowWriteOverhead_ > 0 ? std::min(row, rowWriteOverhead_) : row;
        if (bothRowsOverhead_ > 0) arrivals = std::min(arrivals, bothRowsOverhead_);
        return h + arrivals;
    }

    std::size_t distance(std::int32_t from, std::int32_t to) const {
        return distance_[static_cast<std::size_t>(from * (p_.cells + 1) + to)];
    }

    // The cheapest ways between cells (and from "unknown"), by every move,
    // character step and clear the set has, whatever they do to the cells:
    // a relaxation, for the estimate only.
    void buildDistances() {
        const model::CommandSet& set = p_.set;
        const model::Behaviour& b = set.behaviour;
        const std::int32_t cells = p_.cells, columns = p_.columns, rows = p_.rows, nodes = cells + 1;
        distance_.assign(static_cast<std::size_t>(nodes * nodes), unreachable);
        const auto edge = [&](std::int32_t from, std::int32_t to, std::size_t cost) {
            if (cost == 0 && from != to) return;
            auto& d = distance_[static_cast<std::size_t>(from * nodes + to)];
            d = std::min(d, cost);
        };
        for (std::int32_t from = 0; from < nodes; ++from) {
            edge(from, from, 0);
            edge(from, 0, bytesOf(set, Command::home));
            edge(from, (rows - 1) * columns, bytesOf(set, Command::bottomLeft));
            for (std::int32_t to = 0; to < cells; ++to)
                edge(from, to, moveBytes_[static_cast<std::size_t>(to)]);
            if (resetBytes_ > 0) edge(from, 0, resetBytes_);
            if (b.afterClear == model::CursorAfter::home) edge(from, 0, bytesOf(set, Command::clearScreen));
            if (from == cells) continue;
            const std::int32_t row = from / columns, column = from % columns;
            std::int32_t next = from + 1;
            if (column + 1 == columns) next = b.wrapsAtRowEnd ? (from + 1) % cells : cells;
            if (!model::wholeRows(set)) edge(from, next, 1);
            edge(from, row * columns, bytesOf(set, Command::leftmost));
            edge(from, row * columns + columns - 1, bytesOf(set, Command::rightmost));
            if (row > 0) edge(from, from - columns, bytesOf(set, Command::cursorUp));
            if (row + 1 < rows) edge(from, from + columns, bytesOf(set, Command::cursorDown));
            if (rows == 2 && row == 1 && b.lineFeed == model::LineFeed::otherRowOrScroll)
                edge(from, column, bytesOf(set, Command::cursorDown));
            if (column > 0) edge(from, from - 1, bytesOf(set, Command::cursorLeft));
            if (column == 0 && erases_)
                edge(from, ((row + rows - 1) % rows) * columns + columns - 1,
                    bytesOf(set, Command::cursorLeft));
            for (const Command clear : {Command::clearScreen, Command::clearLine, Command::clearToEndOfRow}) {
                if (has(set, clear)) edge(from, cells, bytesOf(set, clear));
            }
        }
        for (std::int32_t via = 0; via < nodes; ++via) {
            for (std::int32_t from = 0; from < nodes; ++from) {
                for (std::int32_t to = 0; to < nodes; ++to) {
                    const std::size_t d = distance(from, via) + distance(via, to);
                    auto& here = distance_[static_cast<std::size_t>(from * nodes + to)];
                    if (d < here) here = d;
                }
            }
        }
    }

    void push(const std::string& key, std::size_t g) {
        const auto it = best_.find(key);
        if (it != best_.end() && it->second <= g) return;
        best_[key] = g;
        if (tracing_) parent_[key] = expanding_;
        open_.push({g + estimate(key), g, key, false});
        // Finished here: all cells right, overwrite mode, the cursor where
        // it must be; the settings follow.
        if (key.compare(0, static_cast<std::size_t>(p_.cells), p_.target) == 0 && !scrollMode(key) &&
            (!p_.finalCursor || cursorOf(key) == *p_.finalCursor)) {
            std::string goal = key + '!';
            const std::size_t total = g + (wasReset(key) ? p_.settingsReset : p_.settingsFrom);
            const auto gi = best_.find(goal);
            if (gi == best_.end() || gi->second > total) {
                best_[goal] = total;
                open_.push({total, total, goal, true});
            }
        }
    }

    void withCursor(std::string key, std::size_t g, std::int32_t cursor, std::size_t cost) {
        key[static_cast<std::size_t>(p_.cells)] = static_cast<char>(cursor);
        push(key, g + cost);
    }

    void blank(std::string& key, std::int32_t first, std::int32_t end) const {
        std::fill(key.begin() + first, key.begin() + end, '\0');
    }

    std::int32_t after(model::CursorAfter a, std::int32_t cursor) const {
        if (a == model::CursorAfter::home) return 0;
        return a == model::CursorAfter::stays ? cursor : p_.cells;
    }

    void expand(const std::string& key, std::size_t g) {
        const model::CommandSet& set = p_.set;
        const model::Behaviour& b = set.behaviour;
        const std::int32_t cells = p_.cells, columns = p_.columns, rows = p_.rows;
        const std::int32_t cursor = cursorOf(key);
        const bool known = cursor < cells;
        const std::int32_t row = cursor / columns, column = cursor % columns;
        const bool scroll = scrollMode(key);

        // Characters: in overwrite mode, at a known cursor.
        if (known && !scroll && !model::wholeRows(set)) {
            std::int32_t next = cursor + 1;
            if (column + 1 == columns) next = b.wrapsAtRowEnd ? (cursor + 1) % cells : cells;
            std::string k = key;
            k[static_cast<std::size_t>(cursor)] = p_.target[static_cast<std::size_t>(cursor)];
            withCursor(k, g, next, 1);
        }
        // Moves.
        if (has(set, Command::home)) withCursor(key, g, 0, bytesOf(set, Command::home));
        if (has(set, Command::bottomLeft))
            withCursor(key, g, (rows - 1) * columns, bytesOf(set, Command::bottomLeft));
        if (has(set, Command::moveTo)) {
            for (std::int32_t to = 0; to < cells; ++to) {
                if (worthMovingTo(key, to)) withCursor(key, g, to, moveBytes_[static_cast<std::size_t>(to)]);
            }
        }
        if (known) {
            if (has(set, Command::leftmost))
                withCursor(key, g, row * columns, bytesOf(set, Command::leftmost));
            if (has(set, Command::rightmost))
                withCursor(key, g, row * columns + columns - 1, bytesOf(set, Command::rightmost));
            if (has(set, Command::cursorUp) && row > 0)
                withCursor(key, g, cursor - columns, bytesOf(set, Command::cursorUp));
            if (has(set, Command::cursorDown)) {
                const std::size_t lf = bytesOf(set, Command::cursorDown);
                if (row + 1 < rows) {
                    withCursor(key, g, cursor + columns, lf);
                } else if (rows > 1 &&
                           ((scroll && canScrollByLineFeed_) || b.lineFeed == model::LineFeed::scrolls)) {
                    scrollUp(key, g, lf);
                } else if (rows == 2 && !scroll && b.lineFeed == model::LineFeed::otherRowOrScroll) {
                    withCursor(key, g, column, lf);  // the other row, same column
                }
            }
            if (has(set, Command::cursorLeft)) {
                const std::size_t bs = bytesOf(set, Command::cursorLeft);
                if (b.backspace == model::Backspace::erasesAndWraps) {
                    // Left (from column 1 to the end of the row above, or
                    // from the top to the last row) and blank.
                    const std::int32_t to =
                        column > 0 ? cursor - 1 : ((row + rows - 1) % rows) * columns + columns - 1;
                    std::string k = key;
                    k[static_cast<std::size_t>(to)] = '\0';
                    withCursor(k, g, to, bs);
                } else if (column > 0) {
                    withCursor(key, g, cursor - 1, bs);
                }
            }
        }
        // Clears.
        if (has(set, Command::clearScreen)) {
            std::string k = key;
            blank(k, 0, cells);
            withCursor(k, g,
                known ? after(b.afterClear, cursor) : (b.afterClear == model::CursorAfter::home ? 0 : cells),
                bytesOf(set, Command::clearScreen));
        }
        if (known && has(set, Command::clearLine)) {
            std::string k = key;
            blank(k, row * columns, (row + 1) * columns);
            withCursor(k, g, after(b.afterClearLine, cursor), bytesOf(set, Command::clearLine));
        }
        if (known && has(set, Command::clearToEndOfRow)) {
            std::string k = key;
            blank(k, cursor, (row + 1) * columns);
            withCursor(k, g, after(b.afterClearLine, cursor), bytesOf(set, Command::clearToEndOfRow));
        }
        if (resetBytes_ > 0) {
            std::string k = key;
            blank(k, 0, cells);
            k[static_cast<std::size_t>(cells + 1)] = 0;
            k[static_cast<std::size_t>(cells + 2)] = 1;
            withCursor(k, g, 0, resetBytes_);
        }
        // Whole-row writes, as long as they must be.
        if (rows <= 2) {
            rowWrite(key, g, Command::writeUpperRow, 0, columns);
            if (rows == 2) {
                rowWrite(key, g, Command::writeLowerRow, columns, columns);
                rowWrite(key, g, Command::writeBothRows, 0, cells);
            }
        }
        // Modes, for the scroll by line feed.
        if (canScrollByLineFeed_ && b.lineFeed == model::LineFeed::otherRowOrScroll) {
            std::string k = key;
            k[static_cast<std::size_t>(cells + 1)] = scroll ? 0 : 1;
            push(k, g + bytesOf(set, scroll ? Command::overwriteMode : Command::verticalScrollMode));
        }
    }

    // Where an absolute move may go. A move whose next step only moves the
    // cursor on (a relative move, or a character the cell already shows) is
    // never cheaper than moving straight to where that step ends, since any
    // two moves to a cell differ by a byte at most and every step costs one;
    // so a move need only go where something changes next: a cell that is
    // wrong, one right of it (a backspace that erases), the final cursor, a
    // place for a command that acts on a row (the cheapest cell of each row,
    // the last cell of each move cost within a row, for erasing to the end),
    // and, where a line feed scrolls, any cell of the last row.
    bool worthMovingTo(const std::string& key, std::int32_t to) const {
        if (!fewMoveCosts_) return true;
        const std::int32_t columns = p_.columns;
        const auto wrong = [&](std::int32_t cell) {
            return cell >= 0 && cell < p_.cells &&
                   key[static_cast<std::size_t>(cell)] != p_.target[static_cast<std::size_t>(cell)];
        };
        if (wrong(to) || (p_.finalCursor && *p_.finalCursor == to)) return true;
        if (erases_ && ((to % columns > 0 && wrong(to - 1)) ||
                           (to % columns == 0 && wrong(to - 1 < 0 ? p_.cells - 1 : to - 1))))
            return true;
        if (canScrollByLineFeed_ && to / columns == p_.rows - 1) return true;
        return rowPlaces_[static_cast<std::size_t>(to)];
    }

    void scrollUp(const std::string& key, std::size_t g, std::size_t cost) {
        std::string k = key;
        std::copy(key.begin() + p_.columns, key.begin() + p_.cells, k.begin());
        blank(k, p_.cells - p_.columns, p_.cells);
        push(k, g + cost);
    }

    void rowWrite(
        const std::string& key, std::size_t g, Command command, std::int32_t first, std::int32_t span) {
        if (!has(p_.set, command)) return;
        std::int32_t length = 0;
        for (std::int32_t i = 0; i < span; ++i) {
            const auto at = static_cast<std::size_t>(first + i);
            if (key[at] != 0 || p_.target[at] != 0) length = i + 1;
        }
        std::string k = key;
        std::copy(p_.target.begin() + first, p_.target.begin() + first + length, k.begin() + first);
        if (k == key) return;
        // Where a row write leaves the cursor is not documented.
        withCursor(
            k, g, p_.cells, bytesOf(p_.set, command, std::string(static_cast<std::size_t>(length), ' ')));
    }

    const Problem& p_;
    bool canScrollByLineFeed_ = false;
    bool erases_ = false;
    bool fewMoveCosts_ = false;
    bool homes_ = false;
    std::size_t rowWriteOverhead_ = 0;
    std::size_t bothRowsOverhead_ = 0;
    std::vector<std::size_t> distance_;
    std::vector<bool> rowPlaces_;
    std::size_t resetBytes_ = 0;
    std::vector<std::size_t> moveBytes_;
    std::unordered_map<std::string, std::size_t> best_;
    std::priority_queue<Node> open_;
    bool tracing_ = false;
    std::string expanding_;
    std::unordered_map<std::string, std::string> parent_;
};

}  // namespace

Least leastBytes(const model::CommandSet& set, const serial::ShadowState& from,
    const model::DisplayModel& target, std::size_t budget, bool trace) {
    const std::int32_t rows = target.deviceRows(), columns = target.deviceColumns();
    Problem p{set, rows, columns, rows * columns, {U' '}, {}, std::nullopt};
    std::string start;
    for (std::int32_t cell = 0; cell < p.cells; ++cell) {
        // The display shows characters as code-page bytes: two characters
        // the page shows alike are alike.
        const auto shown = [&](const model::DisplayModel& m) {
            const char32_t ch = m.shownCell(cell / columns, cell % columns).character;
            const std::string byte = model::toCodePage(std::u32string_view(&ch, 1), target.characterSet());
            return static_cast<char32_t>(static_cast<unsigned char>(byte.empty() ? '?' : byte.front()));
        };
        p.target += symbolOf(p.symbols, shown(target));
        // An unknown picture: every cell counts as showing something else.
        start +=
            from.pictureKnown ? symbolOf(p.symbols, shown(from.picture)) : symbolOf(p.symbols, U'\uFFFF');
    }
    const bool cursorShown = (target.cursorType() & ~model::cursor::blinkFlag) != model::cursor::none &&
                             has(set, Command::cursorVisible);
    if (cursorShown) {
        const model::WindowGeometry& g = target.geometry(target.currentWindow());
        const std::int32_t column = std::min(target.cursorColumn(), g.viewportWidth - 1);
        if (target.cursorRow() < g.viewportHeight && column >= 0)
            p.finalCursor = (g.viewportRow + target.cursorRow()) * columns + g.viewportColumn + column;
    }
    p.settingsFrom = settingsCost(set, from.cursorOn, from.brightness, from.codeTable, target);
    const std::int32_t resetBrightness = set.behaviour.brightnessAfterReset;
    p.settingsReset = settingsCost(set, std::nullopt,
        resetBrightness > 0 ? std::optional<std::int32_t>(resetBrightness) : std::nullopt, std::nullopt,
        target);
    start += static_cast<char>(from.cursor.value_or(p.cells));
    start += '\0';  // overwrite mode
    start += '\0';  // settings as they were
    Search search(p);
    if (trace) search.trace();
    return search.run(start, budget);
}

}  // namespace bench
