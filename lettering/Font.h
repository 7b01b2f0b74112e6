// 5x7 dot glyphs of characters, read once from a bitmap font: the misc-fixed
// 5x7 font with Unicode coverage (Debian's xfonts-base), through FreeType.
// The serial displays load these glyphs as user-defined characters, and the
// virtual display draws with them whatever its ROM table lacks, so that
// both show the same dots.
//
// All glyphs are read at construction and kept; afterwards the font is
// immutable and safe from any thread. Without FreeType (the Windows build)
// or without the font file, the font is empty and says why.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace lettering {

// Five column bytes; bit r of column c lit means the dot in row r (row 0 at
// the top), as the displays' user-character commands take them.
using Glyph = std::array<std::uint8_t, 5>;

class Font {
public:
    // Where Debian installs the 5x7 font with Unicode coverage.
    static constexpr const char* standardPath = "/usr/share/fonts/X11/misc/5x7.pcf.gz";

    // The font at standardPath, read on first use.
    static const Font& standard();

    // Reads every glyph of a 5x7 bitmap font file; on failure the font is
    // empty and problem() says what failed.
    explicit Font(const std::string& path);

    bool empty() const { return glyphs_.empty(); }
    const std::string& problem() const { return problem_; }
    std::size_t size() const { return glyphs_.size(); }

    // The dots of a character, or nothing when the font has no glyph for it.
    std::optional<Glyph> glyph(char32_t character) const;

private:
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::string problem_;
};

}  // namespace lettering
