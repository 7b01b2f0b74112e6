// Check: a configured device tried exactly as the console uses it.
//
// The device configuration is read as the console reads it and the device
// opened through the same built-in control object and service object: Open,
// ClaimDevice, DeviceEnabled, DisplayText of a short pattern, then
// DeviceEnabled off, ReleaseDevice and Close, each step with its result name
// and time. A step that fails is explained: a broken entry, a missing port,
// a link whose virtual display has ended, no permission, a port another
// process holds, a display that stops taking bytes, each with its fix.
//
// A serial display cannot say what it shows, so the operator is asked: the
// pattern read whole means the line is right (the set's own probe then tells
// whether the command set is); junk beside the pattern means a wrong command
// set; no pattern at all is tried once more with the other parity, which
// tells a wrong parity from a wrong speed. With input closed the display
// itself is not judged, and the check says so.
#pragma once

#include "devices/Operator.h"

#include <string>

namespace devices {

// Runs the check; the exit status: 0 when every step and answer was right,
// 1 otherwise.
int check(const std::string& name, Operator& op);

}  // namespace devices
