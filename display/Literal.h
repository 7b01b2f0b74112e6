// Values written as literals of the script language that ldt-run reads and
// the device trace writes: 5, -1, true, false, "text with \"escapes\"".
//
// A string literal is UTF-8 between double quotes; a backslash escapes the
// quote and itself, \n \r \t stand for themselves, and every other control
// character, line separator or unpaired surrogate is written \xHH (below
// U+0100) or \u{H...}, so that a literal is always one printable line and
// reads back to exactly the same UTF-16 text. Pure functions; any thread.
#pragma once

#include "display/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

// The text as a quoted string literal.
std::string quotedLiteral(std::u16string_view text);

// A value as a literal: an integer in decimal, a boolean as true (-1) or
// false (0) or, for any other raw value, bool(N); a string quoted; an empty
// variant as empty.
std::string literal(const Variant& value);

// A result code as a literal: its name (OPOS_E_ILLEGAL) when it has one,
// otherwise its number.
std::string resultLiteral(std::int32_t code);

}  // namespace display
