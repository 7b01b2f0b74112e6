// What a display shows for text in any language: every character it can
// show kept, the others replaced, in this order of preference, by a
// user-defined character drawn from the 5x7 font (where the display can load
// them, as many different ones as it holds), by a transliteration into
// characters it can show ("ß" as "ss", "Привет" as "Privet"), and last by
// "?". A transliteration may take more cells than the text it replaces: the
// display lays the text out as it shows it.
//
// Each replacement is reported (the characters and what shows instead) so
// that the caller can trace it. Const after construction; shape() is safe
// from any thread (the transliterator locks).
#pragma once

#include "lettering/Font.h"
#include "lettering/Transliterator.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lettering {

// One replacement: characters the display cannot show and what it shows instead.
struct Fallback {
    enum class Kind : std::uint8_t {
        userCharacter,    // drawn from the font into a user-defined character
        transliteration,  // replaced by letters the display shows
        questionMark,     // nothing shows it
    };
    Kind kind = Kind::questionMark;
    std::u32string characters;
    std::u32string shown;
    std::int32_t code = -1;  // a user character's code, once it has one
};

// How it is shown: "transliteration", "question mark", "user character 7E".
std::string how(const Fallback& fallback);

class Shaper {
public:
    // `pages` says whether the display shows a character through its code
    // pages and national sets; a character the font draws counts as shown
    // too (as a user-defined character) for the first `userCharacters`
    // different ones of a text, the number the display holds at once.
    Shaper(std::function<bool(char32_t)> pages, std::int32_t userCharacters,
        const Font& font = Font::standard(), Transliterator& transliterator = Transliterator::standard());

    struct Result {
        std::u32string text;
        std::vector<Fallback> fallbacks;  // in text order; user characters included
    };
    Result shape(std::u32string_view text) const;

    // Whether the display shows this character through its pages.
    bool onPages(char32_t character) const { return pages_(character); }
    // Whether the display can show it as a user-defined character.
    bool asUserCharacter(char32_t character) const;
    // What shows instead of a character when no user character is left for
    // it: its transliteration if that is one character the pages show, else "?".
    Fallback singleCell(char32_t character) const;

private:
    std::function<bool(char32_t)> pages_;
    std::int32_t userCharacters_;
    const Font* font_;
    Transliterator* transliterator_;
};

}  // namespace lettering
