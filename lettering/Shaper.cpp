#include "lettering/Shaper.h"

#include <cstdio>
#include <utility>

namespace lettering {

std::string how(const Fallback& fallback) {
    std::string how;
    switch (fallback.kind) {
    case Fallback::Kind::userCharacter: how = "user character"; break;
    case Fallback::Kind::transliteration: how = "transliteration"; break;
    case Fallback::Kind::questionMark: how = "question mark"; break;
    }
    if (fallback.code >= 0) {
        char code[16];
        std::snprintf(code, sizeof code, " %02X", static_cast<unsigned>(fallback.code));
        how += code;
    }
    return how;
}

Shaper::Shaper(std::function<bool(char32_t)> pages, std::int32_t userCharacters, const Font& font,
    Transliterator& transliterator)
    : pages_(std::move(pages)),
      userCharacters_(userCharacters),
      font_(&font),
      transliterator_(&transliterator) {}

bool Shaper::asUserCharacter(char32_t character) const {
    // A space-like glyph would load an empty pattern: not worth a slot.
    const auto glyph = userCharacters_ > 0 ? font_->glyph(character) : std::nullopt;
    return glyph && *glyph != Glyph{};
}

Fallback Shaper::singleCell(char32_t character) const {
    const std::u32string latin = transliterator_->latin(std::u32string(1, character));
    if (latin.size() == 1 && latin.front() != character && onPages(latin.front()))
        return {Fallback::Kind::transliteration, std::u32string(1, character), latin};
    return {Fallback::Kind::questionMark, std::u32string(1, character), U"?"};
}

Shaper::Result Shaper::shape(std::u32string_view text) const {
    // The different characters that will be user characters: as many as
    // the display holds, in the order they come; the rest are replaced.
    std::u32string loaded;
    for (const char32_t c : text) {
        if (std::cmp_less(loaded.size(), userCharacters_) && !onPages(c) && asUserCharacter(c) &&
            loaded.find(c) == std::u32string::npos)
            loaded += c;
    }
    const auto shows = [&](char32_t c) { return onPages(c) || loaded.find(c) != std::u32string::npos; };

    Result result;
    result.text.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (onPages(text[i])) {
            result.text += text[i++];
            continue;
        }
        if (shows(text[i])) {
            result.fallbacks.push_back(
                {Fallback::Kind::userCharacter, std::u32string(1, text[i]), std::u32string(1, text[i])});
            result.text += text[i++];
            continue;
        }
        // The whole stretch that needs replacing goes to the transliterator
        // at once, so that a word reads as a word ("Привет", not letter by letter).
        std::size_t end = i;
        while (end < text.size() && !shows(text[end])) ++end;
        const std::u32string_view run = text.substr(i, end - i);
        const std::u32string latin = transliterator_->latin(run);
        if (latin != run) {
            std::u32string shown;
            for (const char32_t c : latin) shown += shows(c) ? c : U'?';
            result.fallbacks.push_back({Fallback::Kind::transliteration, std::u32string(run), shown});
            result.text += shown;
        } else {
            result.fallbacks.push_back(
                {Fallback::Kind::questionMark, std::u32string(run), std::u32string(run.size(), U'?')});
            result.text.append(run.size(), U'?');
        }
        i = end;
    }
    return result;
}

}  // namespace lettering
