// List: every serial port of the machine and every running virtual
// display, and for each whether this user can use it (and the exact fix when
// not), who holds it, whether ModemManager may probe it (and the rule that
// keeps it off), and which configured device names point at it; then the
// configured serial devices whose port is missing or whose virtual display
// has ended, and the broken configuration entries with their problems.
// Nothing is opened or sent.
#pragma once

#include "devices/Operator.h"

namespace devices {

// Prints the list; the exit status (0).
int list(Operator& op);

}  // namespace devices
