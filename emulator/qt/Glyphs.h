// 5x7 dot-matrix glyphs of the virtual display.
//
// Printable ASCII comes from one table of column bytes (bit 0 the top dot),
// as such displays have them in ROM; every other character of a code page
// or international set comes from the misc-fixed 5x7 bitmap font (the
// lettering library), dot for dot, as a display's ROM would have it rather
// than a scaled outline font. User characters come from the display's own
// definitions. Safe from any thread (the font is read once and kept).
#pragma once

#include "emulator/VirtualDisplay.h"

namespace emulator::qt {

// The dots of a character: 5 columns, bit r of column c lit means row r.
Glyph glyphFor(char32_t character, const PanelState& state);

}  // namespace emulator::qt
