// Hidden settings for identification trials: a command set and line
// settings drawn from a seed, so that a trial can start a virtual display
// whose set and line nobody at the bench knows, and its judge can draw the
// same ones again to check what was found.
//
// The draw: one of the standard speeds (1200 to 115200), no parity or odd
// parity, 8 data bits, 1 stop bit, and one of the command sets of the table,
// each equally likely. Pure function; safe from any thread.
#pragma once

#include "model/CommandSet.h"
#include "model/LineSettings.h"

#include <cstdint>

namespace emulator {

struct Hidden {
    const model::CommandSet* commandSet = nullptr;
    model::LineSettings line;
};

// The same seed gives the same settings on every machine.
Hidden drawHidden(std::uint64_t seed);

}  // namespace emulator
