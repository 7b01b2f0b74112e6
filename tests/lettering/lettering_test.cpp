// The 5x7 font, the transliterations and the shaper, on the real font file
// and ICU's real rules.
#include "lettering/Font.h"
#include "lettering/Shaper.h"
#include "lettering/Transliterator.h"

#include <gtest/gtest.h>

using namespace lettering;

namespace {

bool dot(const Glyph& g, int column, int row) { return (g[static_cast<std::size_t>(column)] >> row) & 1; }

// Whether any dot of a row is lit.
bool rowLit(const Glyph& g, int row) {
    for (int c = 0; c < 5; ++c) {
        if (dot(g, c, row)) return true;
    }
    return false;
}

}  // namespace

TEST(Font, readsTheFiveBySevenGlyphsTheRightWayUp) {
    const Font& font = Font::standard();
    ASSERT_TRUE(font.empty() == false) << font.problem();
    EXPECT_GT(font.size(), 1000u);  // Latin, Greek, Cyrillic, symbols
    // A capital stands on the baseline: its top row lit, the row below the baseline dark.
    const Glyph a = *font.glyph(U'A');
    EXPECT_FALSE(rowLit(a, 6));
    EXPECT_TRUE(rowLit(a, 0));
    // A descender reaches the bottom row; a vertical bar is one column.
    EXPECT_TRUE(rowLit(*font.glyph(U'g'), 6));
    const Glyph bar = *font.glyph(U'|');
    EXPECT_EQ(std::count_if(bar.begin(), bar.end(), [](std::uint8_t c) { return c != 0; }), 1);
    // "Ä" is "A" with dots above: the same lower rows.
    const Glyph ae = *font.glyph(U'\u00c4');
    for (int r = 3; r < 7; ++r) {
        for (int c = 0; c < 5; ++c) EXPECT_EQ(dot(ae, c, r), dot(a, c, r)) << c << "," << r;
    }
    EXPECT_TRUE(font.glyph(U'\u0416').has_value());   // Ж
    EXPECT_TRUE(font.glyph(U'\u20ac').has_value());   // €
    EXPECT_FALSE(font.glyph(U'\u4e2d').has_value());  // no CJK in 5x7

    const Font missing("/nonexistent/5x7.pcf.gz");
    EXPECT_TRUE(missing.empty());
    EXPECT_NE(missing.problem().find("/nonexistent/5x7.pcf.gz"), std::string::npos);
}

TEST(Transliterator, givesLatinLettersForOtherScriptsAndLigatures) {
    Transliterator& t = Transliterator::standard();
    ASSERT_TRUE(t.problem().empty()) << t.problem();
    EXPECT_EQ(t.latin(U"Stra\u00dfe"), U"Strasse");
    EXPECT_EQ(t.latin(U"\u0152uvre"), U"OEuvre");
    EXPECT_EQ(t.latin(U"\u041f\u0440\u0438\u0432\u0435\u0442"), U"Privet");
    EXPECT_EQ(t.latin(U"\u0416"), U"ZH");  // a capital alone: all capitals
    EXPECT_EQ(t.latin(U"\u03a9\u03bc\u03ad\u03b3\u03b1"), U"Omega");
    EXPECT_EQ(t.latin(U"plain"), U"plain");
}

TEST(Shaper, keepsWhatPagesShowThenUserCharactersThenTransliteratesThenQuestionMarks) {
    // A display whose pages show ASCII and "é" only.
    const auto pages = [](char32_t c) { return (c >= 0x20 && c < 0x7F) || c == U'\u00e9'; };
    struct Case {
        std::int32_t userCharacters;
        std::u32string text;
        std::u32string shown;
        std::vector<Fallback::Kind> fallbacks;
    };
    using K = Fallback::Kind;
    const Case cases[] = {
        {0, U"caf\u00e9", U"caf\u00e9", {}},
        {0, U"Stra\u00dfe", U"Strasse", {K::transliteration}},
        {0, U"\u041f\u0440\u0438\u0432\u0435\u0442 \u0416", U"Privet ZH",
            {K::transliteration, K::transliteration}},
        {2, U"\u0416\u00dfe", U"\u0416\u00dfe", {K::userCharacter, K::userCharacter}},
        {2, U"\u4e2d!", U"zhong!", {K::transliteration}},
        // Room for one user character: the second letter that needs one is transliterated.
        {1, U"\u0416\u0416\u042e", U"\u0416\u0416YU",
            {K::userCharacter, K::userCharacter, K::transliteration}},
        {0, U"\U0001F600", U"?", {K::questionMark}},
    };
    for (const Case& c : cases) {
        const Shaper shaper(pages, c.userCharacters);
        const Shaper::Result r = shaper.shape(c.text);
        EXPECT_EQ(r.text, c.shown);
        std::vector<K> kinds;
        for (const Fallback& f : r.fallbacks) kinds.push_back(f.kind);
        EXPECT_EQ(kinds, c.fallbacks);
    }
    const Shaper shaper(pages, 0);
    const Shaper::Result r = shaper.shape(U"Stra\u00dfe");
    ASSERT_EQ(r.fallbacks.size(), 1u);
    EXPECT_EQ(r.fallbacks[0].characters, U"\u00df");
    EXPECT_EQ(how(r.fallbacks[0]), "transliteration");
    // With no user character left: one cell, transliterated only when one letter will do.
    EXPECT_EQ(shaper.singleCell(U'\u0434').shown, U"d");
    EXPECT_EQ(shaper.singleCell(U'\u0416').shown, U"?");
}
