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
// The display is driven in overwrite mode: a character written at the end of
// a row moves the cursor to the start of the next, and at the last cell back
// to the first, and the writer tracks that exactly. Only cells that differ
// are written, reached by the cheapest path the set's cursor moves allow
// (shortest paths over the cells, found once per writer), where re-sending an
// unchanged cell also counts as a one-byte step right; clearing the screen
// first is chosen when it is cheaper. The cursor is positioned only while it
// is visible. Reverse is a mode for the characters written after it: it is
// switched per cell to follow the cell's attribute. Whole-display blink
// follows the cells' attributes where the set has the command; brightness, code table and the cursor's
// visibility are sent only when they change.
//
// A picture in Unicode (CharacterSet 997) is written through the set's
// repertoire: the cells written, in the order the cursor visits them, go to
// the CharacterPlanner, which picks the code tables, national sets and user
// characters to switch to before each, for the fewest bytes over the whole
// update. The user characters must be loaded already (UserCharacterLoader).
//
// Pure functions on values; safe from any thread.
#pragma once

#include "model/CharacterPlanner.h"
#include "model/CommandSet.h"
#include "model/DisplayModel.h"
#include "model/UserCharacterSlots.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// What the device shows and how it is set, as far as it is known.
struct ShadowState {
    model::DisplayModel picture;         // cells, attributes, windows, brightness, character set
    std::optional<std::int32_t> cursor;  // the cursor's cell (row * columns + column); nothing: unknown
    std::optional<std::int32_t> brightnessLevel;  // 1.. as last sent
    std::optional<bool> cursorOn;
    std::optional<std::int32_t> codeTable;
    std::optional<bool> blink;
    std::optional<bool> reverse;
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

    // The state of a display just after initialise: blank, cursor home,
    // blink and reverse off, everything else not yet known.
    ShadowState afterInitialise() const;
    // The bytes that initialise the display (power-on settings, overwrite
    // mode); afterInitialise() is the state they leave.
    std::string initialiseBytes() const;

    // The bytes that make a display in state `from` show `target`.
    Update update(const ShadowState& from, const model::DisplayModel& target) const;

    // The display's cell a model's cursor stands on (clamped into its
    // window's viewport), or nothing when it lies outside it.
    std::optional<std::int32_t> cursorCell(const model::DisplayModel& model) const;

private:
    // How the cells of one pass are written: with a plan, each takes the
    // plan's next bytes; without, its byte in the picture's code page. The
    // characters written are listed either way.
    struct Coding {
        const std::vector<std::string>* planned = nullptr;
        std::size_t next = 0;
        std::u32string written;
        std::vector<std::size_t> order;  // of the runs, once found
    };

    // One step of the cursor: writing the cell it stands on, or a command.
    struct Step {
        bool write = false;
        model::Command command = model::Command::home;
        std::int32_t to = 0;
        std::size_t cost = 0;
    };

    void buildMoves();
    // The fewest bytes that take the cursor from one node to another (node
    // rows*columns: position unknown).
    std::size_t distance(std::int32_t from, std::int32_t to) const;
    // Appends the bytes of that cheapest path.
    void travel(std::string& out, ShadowState& state, const model::DisplayModel& target, std::int32_t from,
        std::int32_t to, Coding& coding) const;
    // Appends one cell's byte, switching the reverse mode to its attribute first.
    void writeCell(std::string& out, ShadowState& state, const model::DisplayModel& target, std::int32_t cell,
        Coding& coding) const;
    // Whether a cell shows reversed on a display that can reverse characters.
    bool reversed(const model::DisplayModel& model, std::int32_t cell) const;
    // A stretch of differing cells in display order; written left to right,
    // which leaves the cursor just after it.
    struct Run {
        std::int32_t first;
        std::int32_t end;  // one past the last
    };
    // The runs of cells whose character or reverse differ between the two.
    std::vector<Run> differingRuns(const ShadowState& state, const model::DisplayModel& target) const;
    // The order of the runs with the least cursor travel from `start`, ending
    // at `finalCursor` when given: exact for up to 12 runs, the nearest run
    // next beyond that.
    std::vector<std::size_t> cheapestOrder(
        const std::vector<Run>& runs, std::int32_t start, std::optional<std::int32_t> finalCursor) const;
    // Appends the bytes that draw every differing cell and leave the cursor
    // at `finalCursor` (when given); updates `state` as they would.
    void drawCells(std::string& out, ShadowState& state, const model::DisplayModel& target,
        std::optional<std::int32_t> finalCursor, Coding& coding) const;
    // drawCells for a Unicode picture: once to learn the cells written, then
    // with their planned bytes; the selection follows the plan.
    void drawPlanned(std::string& out, ShadowState& state, const model::DisplayModel& target,
        std::optional<std::int32_t> finalCursor) const;
    // The selection of the shadow, as the planner sees it, and back.
    model::SelectionState selectionOf(const ShadowState& state) const;
    void adopt(ShadowState& state, const model::SelectionState& selection) const;
    std::string settingsBytes(ShadowState& state, const model::DisplayModel& target, bool cursorLast) const;
    char cellByte(const model::DisplayModel& target, std::int32_t cell) const;

    const model::CommandSet* set_;
    const model::Repertoire* repertoire_;
    model::CharacterPlanner planner_;
    std::int32_t rows_;
    std::int32_t columns_;
    std::vector<std::vector<Step>> edges_;  // by node
    std::vector<std::size_t> distance_;     // nodes x nodes
    std::vector<std::int32_t> firstStep_;   // index into edges_[from] of the path's first step
};

}  // namespace serial
