// The exact least bytes for one display update, found by a slow search
// written apart from the screen writer: a shortest path (A*) over whole
// display states (every cell, the cursor or "unknown", the mode, whether a
// reset dropped the settings), from what the display shows to the picture
// wanted, over every command of the set that can change the cells or move
// the cursor, each with its byte count from the command table.
//
// It reads the documents the way the writer must (model::Behaviour): a
// cursor the document does not place is unknown and must be placed again
// before it is used; a row write shorter than its row is allowed only over
// cells blank before and after; uncertain forms are not used. The commands it
// searches over:
//   characters (each cell's own; never one meant to be scrolled into place
//   from below), home, bottom left, move to any cell, leftmost, rightmost, up,
//   down, left (erasing where the set's backspace erases), a line feed from
//   the last row to the top where the set goes to "the other row", clear
//   screen, clear the cursor's row, erase to the end of the row, a reset
//   followed by overwrite mode, upper / lower / both-row writes, vertical
//   scroll and overwrite mode, and the line feed that scrolls;
// and the settings (cursor on or off, brightness, code table) as the
// commands that change them. It does not write characters in a scroll mode
// (the writer never does), nor use marquees or user characters.
//
// Benchmark code: pure, single-threaded, slow by design.
#pragma once

#include "model/CommandSet.h"
#include "model/DisplayModel.h"
#include "serial/ScreenWriter.h"

#include <cstddef>
#include <string>

namespace bench {

struct Least {
    std::size_t bytes = 0;
    std::size_t states = 0;  // states expanded
    bool complete = true;    // false: the search gave up at its budget; `bytes` is then no least
    std::string plan;        // with `trace`: one line per step (its bytes, the cursor, the cells it set)
};

// The least bytes that take a display of `set` in state `from` to show
// `target` (normal attributes only).
Least leastBytes(const model::CommandSet& set, const serial::ShadowState& from,
    const model::DisplayModel& target, std::size_t budget = 1'500'000, bool trace = false);

}  // namespace bench
