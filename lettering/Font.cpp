#include "lettering/Font.h"

#ifdef LDT_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace lettering {

const Font& Font::standard() {
    static const Font font(standardPath);
    return font;
}

std::optional<Glyph> Font::glyph(char32_t character) const {
    const auto it = glyphs_.find(character);
    if (it == glyphs_.end()) return std::nullopt;
    return it->second;
}

#ifdef LDT_HAVE_FREETYPE

Font::Font(const std::string& path) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        problem_ = "FreeType could not be started";
        return;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        problem_ = "cannot read the 5x7 font " + path + " (is xfonts-base installed?)";
        FT_Done_FreeType(library);
        return;
    }
    if (face->num_fixed_sizes < 1 || FT_Select_Size(face, 0) != 0 || face->available_sizes[0].height != 7) {
        problem_ = path + " is not a 7-dot bitmap font";
    } else {
        // Rows sit on the font's baseline: six above it, one below.
        constexpr int ascent = 6;
        FT_UInt index = 0;
        for (FT_ULong code = FT_Get_First_Char(face, &index); index != 0;
             code = FT_Get_Next_Char(face, code, &index)) {
            if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
            const FT_GlyphSlotRec* slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) continue;
            Glyph dots{};
            for (unsigned y = 0; y < bitmap.rows; ++y) {
                const int row = ascent - slot->bitmap_top + static_cast<int>(y);
                if (row < 0 || row >= 7) continue;
                for (unsigned x = 0; x < bitmap.width; ++x) {
                    const int column = slot->bitmap_left + static_cast<int>(x);
                    if (column < 0 || column >= 5) continue;
                    const unsigned char byte =
                        bitmap.buffer[static_cast<int>(y) * bitmap.pitch + static_cast<int>(x / 8)];
                    if ((byte >> (7 - x % 8)) & 1)
                        dots[static_cast<std::size_t>(column)] |= static_cast<std::uint8_t>(1u << row);
                }
            }
            glyphs_.emplace(static_cast<char32_t>(code), dots);
        }
        if (glyphs_.empty()) problem_ = path + " has no glyphs";
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

#else

Font::Font(const std::string& path)
    : problem_("no FreeType in this build: the font " + path + " is not read") {}

#endif

}  // namespace lettering
