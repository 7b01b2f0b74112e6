// ScreenWriter: the bytes that take a serial line display from what it shows
// to a new picture, as few as the command set allows.
//
// The writer keeps no state of its own: it is given what the device shows
// (ShadowState: the picture as a DisplayModel plus the protocol state a
// display cannot report, such as where its cursor really stands) and the
// picture wanted, and returns the bytes and the state they lead to. The
// caller adopts that state only once the bytes are on the wire, so a failed
// write never counts as shown.
//
// It relies only on what the documents establish (model::Behaviour): where a
// command leaves the cursor undocumented (a clear on the DM-D, an erase to the
// end of a row, a CD5220 row write, a character in the ANSI set's last
// column), the cursor counts as unknown afterwards; a row write shorter than
// the row is sent only where the cells after it are blank before and after,
// since whether it blanks the rest is not established; commands makers
// disagree on are never sent.
//
// Cursor-addressed sets: a plan is a global step (none, clear, a reset that
// clears, a scroll of the rows), a step per row (none, clear the row, erase
// from a column to its end, a whole-row write) and the runs of cells that
// still differ, ordered for the least cursor travel (shortest paths over the
// cells, found once per writer, where re-sending an unchanged cell counts as
// a one-byte step right); every combination is priced and the cheapest sent.
// Whole-row sets (AEDEX, UTC enhanced): the rows that changed are written, or
// both at once where the set can and that is cheaper. The cursor is
// positioned only while it is visible. Reverse and per-character blink are
// modes for the characters written after them, switched per cell to follow
// the cell's attribute; whole-display blink follows the cells' attributes;
// brightness, code table and the cursor's visibility are sent only when they
// change.
//
// A picture in Unicode (CharacterSet 997) is written through the set's
// repertoire: the cells the chosen plan writes, in the order it writes them,
// go to the CharacterPlanner, which picks the code tables, national sets and
// user characters to switch to before each, for the fewest bytes over the
// whole update; text inside a command (a row write) takes only characters
// that show the same whatever is selected. The user characters must be
// loaded already (UserCharacterLoader); a plan never resets a display that
// is to show one, since a reset drops them.
//
// A cell's bytes are made in one place, cellByte() (or the plan); the costs
// of moves and commands live in buildMoves() and rowOptions().
//
// Pure functions on values; safe from any thread.
#pragma once

#include "model/CharacterPlanner.h"
#include "model/CommandSet.h"
#include "model/DisplayModel.h"
#include "model/UserCharacterSlots.h"

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// What the device shows and how it is set, as far as it is known.
struct ShadowState {
    model::DisplayModel picture;             // cells, attributes, windows, brightness, character set
    bool pictureKnown = true;                // false: the cells are not known and must all be written
    std::optional<std::int32_t> cursor;      // the cursor's cell (row * columns + column); nothing: unknown
    std::optional<std::int32_t> brightness;  // per cent of the level last sent
    std::optional<bool> cursorOn;
    std::optional<std::int32_t> codeTable;
    std::optional<bool> blink;
    std::optional<bool> reverse;
    std::optional<bool> blinkCharacters;
    std::optional<std::uint8_t> internationalSet;  // the argument last sent
    std::optional<bool> userCharactersOn;
    model::UserCharacterSlots userCharacters;  // loaded on the display
};

struct Update {
    std::string bytes;
    ShadowState after;
};

class ScreenWriter {
public:
    // A writer for displays of this command set and size.
    ScreenWriter(const model::CommandSet& set, std::int32_t rows, std::int32_t columns);

    const model::CommandSet& commandSet() const { return *set_; }

    // The state of a display just after initialise: blank with the cursor
    // home (whole-row sets: not known), modes off, the brightness the set's
    // reset documents, everything else not yet known.
    ShadowState afterInitialise() const;
    // The bytes that initialise the display (the set's start bytes);
    // afterInitialise() is the state they leave.
    std::string initialiseBytes() const;

    // The bytes that make a display in state `from` show `target`.
    Update update(const ShadowState& from, const model::DisplayModel& target) const;

    // The display's cell a model's cursor stands on (clamped into its
    // window's viewport), or nothing when it lies outside it.
    std::optional<std::int32_t> cursorCell(const model::DisplayModel& model) const;

    // The byte a cell of the picture goes out as: its character in the
    // picture's code page, '?' for one the page lacks; in Unicode, a byte
    // that shows it whatever is selected (with `state`'s user characters
    // loaded), '?' when there is none.
    char cellByte(
        const model::DisplayModel& target, std::int32_t cell, const ShadowState* state = nullptr) const;

private:
    // How the cells of one pass are written: with a plan, each takes the
    // plan's next bytes; without, cellByte(). The characters written are
    // listed either way.
    struct Coding {
        const std::vector<std::string>* planned = nullptr;
        std::size_t next = 0;
        std::u32string written;
    };

    // One step of the cursor: writing the cell it stands on, or a command.
    struct Step {
        bool write = false;
        model::Command command = model::Command::home;
        std::int32_t to = 0;
        std::size_t cost = 0;
    };
    // A piece of a plan: a run of cells to write, or a row's step.
    struct Task {
        enum class Kind : std::uint8_t { run, clearLine, clearToEnd, rowWrite } kind = Kind::run;
        std::int32_t row = 0;
        std::int32_t first = 0;   // run: first cell; clearToEnd: its cell; rowWrite: 0
        std::int32_t end = 0;     // run: one past its last cell; rowWrite: the cells written
        std::int32_t start = 0;   // the node to start from, or inRow / anywhere
        std::int32_t after = 0;   // the node it leaves the cursor on
        std::size_t cost = 0;     // its own bytes
        std::uint32_t needs = 0;  // bit per task that must come first
    };
    struct RowOption {
        Task::Kind kind = Task::Kind::run;  // run: leave the row to the cell runs
        std::int32_t column = 0;
    };
    enum class Global : std::uint8_t { none, clear, reset, scroll };
    // What a plan starts from after its global step.
    struct Start {
        std::string bytes;
        ShadowState state;
        std::vector<model::Cell> cells;  // what the display shows
        std::int32_t at = 0;             // cursor node
    };

    void buildMoves();
    // The fewest bytes that take the cursor from one node to another (node
    // rows*columns: position unknown).
    std::size_t distance(std::int32_t from, std::int32_t to) const;
    std::size_t startDistance(std::int32_t from, const Task& task) const;
    // Appends the bytes of that cheapest path; cells it writes on the way
    // are set to the target in `cells`, when given.
    void travel(std::string& out, ShadowState& state, const model::DisplayModel& target, std::int32_t from,
        std::int32_t to, std::vector<model::Cell>* cells = nullptr, Coding* coding = nullptr) const;
    // Appends one cell's byte, switching the character modes to its attribute first.
    void writeCell(std::string& out, ShadowState& state, const model::DisplayModel& target, std::int32_t cell,
        Coding* coding = nullptr) const;
    // The cell as this set can show it (attributes it cannot show dropped).
    model::Cell shownAs(const model::DisplayModel& model, std::int32_t cell) const;
    // Where the cursor stands after a character is written at `cell`.
    std::int32_t afterWrite(std::int32_t cell) const;

    Update updateRows(const ShadowState& from, const model::DisplayModel& target) const;
    Update updateCells(const ShadowState& from, const model::DisplayModel& target) const;
    // The start of a plan after its global step (`scrolls`: how many times
    // it scrolls, from cell `place` or, for -1, the nearest cell of the last
    // row), or nothing where the set has no such step.
    std::optional<Start> begin(Global global, std::int32_t scrolls, std::int32_t place,
        const ShadowState& from, const model::DisplayModel& target, Coding* coding = nullptr) const;
    // Where a backspace that erases must start to land on `cell`, or -1.
    std::int32_t backspaceSource(std::int32_t cell) const;
    std::vector<RowOption> rowOptions(std::int32_t row, const std::vector<model::Cell>& cells,
        const model::DisplayModel& target, const ShadowState& state) const;
    // The tasks of a combination of row options; `cells` becomes what the
    // row steps leave.
    std::vector<Task> tasksFor(const std::vector<RowOption>& options, std::vector<model::Cell>& cells,
        const model::DisplayModel& target) const;
    // The least bytes for the tasks from `start`, ending at `finalCursor`
    // when given, their order and where they leave the cursor (of equal
    // ways, at `preferredEnd` where one does): exact for up to 10 tasks, the
    // nearest available next beyond that.
    std::size_t sequence(const std::vector<Task>& tasks, std::int32_t start,
        std::optional<std::int32_t> finalCursor, std::vector<std::size_t>* order, std::int32_t preferredEnd,
        std::int32_t* endsAt) const;
    // Where a run may be written in two pieces (-1: not split at all).
    std::vector<std::int32_t> splitPoints(
        const std::vector<Task>& tasks, std::int32_t start, std::optional<std::int32_t> finalCursor) const;
    // The tasks with the run holding `split` written as two (none for -1).
    std::vector<Task> splitAt(std::vector<Task> tasks, std::int32_t split) const;
    void emit(std::string& out, ShadowState& state, const model::DisplayModel& target,
        const std::vector<Task>& tasks, const std::vector<std::size_t>& order,
        std::optional<std::int32_t> finalCursor, Coding* coding = nullptr) const;
    // The selection of the shadow, as the planner sees it, and back.
    model::SelectionState selectionOf(const ShadowState& state) const;
    void adopt(ShadowState& state, const model::SelectionState& selection) const;
    // Whether the picture shows a user character loaded on the display.
    bool showsUserCharacter(const ShadowState& state, const model::DisplayModel& target) const;
    // A whole-row write's data: the row's first `length` cells, with the
    // attention code broken wherever it would turn text into a command.
    std::string rowData(const model::DisplayModel& target, std::int32_t firstCell, std::int32_t length,
        const ShadowState& state) const;
    std::string settingsBytes(ShadowState& state, const model::DisplayModel& target, bool cursorLast) const;

    bool has(model::Command command) const { return commands_.test(static_cast<std::size_t>(command)); }

    const model::CommandSet* set_;
    const model::Repertoire* repertoire_;
    model::CharacterPlanner planner_;
    std::bitset<64> commands_;   // the commands the set has in a form a writer sends
    std::int32_t showable_ = 0;  // the attributes it can show per character
    std::int32_t rows_;
    std::int32_t columns_;
    std::int32_t cells_;
    bool wholeRows_;
    // A line feed that scrolls on the last row (empty: none), and the modes
    // it needs around it.
    std::string lineFeed_;
    std::string scrollModeOn_;
    std::string scrollModeOff_;
    std::string resetBytes_;  // clears by a reset, back in overwrite mode; empty: none
    std::size_t backspaceBytes_ = 0;
    std::vector<std::vector<Step>> edges_;  // by node
    std::vector<std::size_t> distance_;     // nodes x nodes
    std::vector<std::int32_t> firstStep_;   // index into edges_[from] of the path's first step
    std::vector<std::size_t> rowDistance_;  // nodes x rows: to the nearest cell of the row
    std::vector<std::int32_t> rowNearest_;  // nodes x rows: that cell
};

}  // namespace serial
