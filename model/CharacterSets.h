// Character sets of the displays: which characters a CharacterSet value can
// show, and the mapping of text onto it and of a display's bytes back to
// characters.
//
// The single-byte code pages are tables of their upper halves
// (CodePageTables.inc, generated from the standard mappings), the same on
// every platform; ASCII is their common lower half. Controls (below U+0020
// and U+007F..U+009F) are never shown. Constant data and pure functions;
// safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace model {

// CharacterSet values with a name.
inline constexpr std::int32_t charSetUnicode = 997;
inline constexpr std::int32_t charSetAscii = 998;
inline constexpr std::int32_t charSetAnsi = 999;

// Whether the built-in control knows how to map text to this set.
bool knownCharacterSet(std::int32_t characterSet);

// The text as the display shows it in the set: one code point per cell, each
// character the set cannot show (or that is not a printable character) as '?'.
// UTF-16 surrogate pairs count as one character; a lone surrogate is '?'.
std::u32string mapToCharacterSet(std::u16string_view text, std::int32_t characterSet);

// The text as bytes of a single-byte code page (what goes to a real
// display's wire): one byte per character, '?' for any the page lacks.
// Empty for a set that is not a single-byte code page (Unicode).
std::string toCodePage(std::u32string_view text, std::int32_t characterSet);

// A national variant of ASCII (an "international character set" of the
// displays): the characters it shows at the bytes of nationalBytes; every
// other byte shows what ASCII does.
struct NationalSet {
    std::string_view name;
    std::array<char32_t, 12> characters;
};
inline constexpr std::array<unsigned char, 12> nationalBytes{
    0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
// The national sets by their usual ESC R numbers; 0 is plain ASCII (USA).
std::span<const NationalSet> nationalSets();

// The character a byte shows with a code page's upper half and a national
// set's lower half (an index into nationalSets()): 0 for a byte neither
// shows (a control byte, an unassigned one, an unknown page or set).
char32_t characterAt(unsigned char byte, std::int32_t page, std::size_t national);

// The character a byte of a single-byte code page shows (what a display
// draws for a byte off the wire): ASCII as itself, '?' for a byte the page
// does not define as printable or a set that is no single-byte code page.
char32_t fromCodePage(unsigned char byte, std::int32_t characterSet);

}  // namespace model
