// Conversions between variants, typed text and the console's value kinds.
//
// Every function either returns the converted value or throws DispatchError
// (NotConvertible or Overflow) with a message that quotes the offending value.
// Pure functions; safe from any thread.
#pragma once

#include "display/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

// A returned value as a 32-bit signed integer: an integer as it is, a boolean
// as its raw value (-1 for the standard true), a string by textToInt32.
std::int32_t toInt32(const Variant& value);

// As toInt32, then narrowed to 16 bits; Overflow outside -32768..32767.
std::int16_t toInt16(const Variant& value);

// The boolean form of a value: a boolean as it came (so a non-standard true
// such as 1 survives), a number 0 as false and any other number as the
// standard true -1, a string "True"/"False" (any case) or a number in text.
VariantBool toBoolean(const Variant& value);

// A returned value as text: a string as it is, an integer in decimal, a
// boolean as "True" or "False".
std::u16string toText(const Variant& value);

// The text-to-integer conversion of typed text. Accepted: blanks around the
// number, a leading + or -, decimal digits with an optional fractional part
// after a full stop (rounded to the nearest integer, an exact half to the
// even neighbour), or a hexadecimal number written 0x... or &H.... The result
// must lie in the 32-bit signed range. Anything else fails with
// NotConvertible (or Overflow when out of range).
std::int32_t textToInt32(std::u16string_view text);

// An integer in decimal, "-" for negatives, no blanks or separators.
std::u16string decimalText(std::int32_t value);

// "True" or "False" for the boolean form of a value (any non-zero is true).
std::u16string booleanText(VariantBool value);

}  // namespace display
