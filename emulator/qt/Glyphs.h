// 5x7 dot-matrix glyphs of the virtual display.
//
// Printable ASCII comes from one table of column bytes (bit 0 the top dot),
// as such displays have them in ROM; any other character is drawn from a Qt
// font into the 5x7 grid, so that code-page letters still show. User
// characters come from the display's own definitions. Call from the GUI
// thread (font rendering and its cache are not shared).
#pragma once

#include "emulator/VirtualDisplay.h"

namespace emulator::qt {

// The dots of a character: 5 columns, bit r of column c lit means row r.
Glyph glyphFor(char32_t character, const PanelState& state);

}  // namespace emulator::qt
