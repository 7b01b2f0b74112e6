#include "model/CharacterSets.h"

#include "model/Utf.h"

#include <algorithm>
#include <array>

namespace model {
namespace {

using UpperHalf = std::array<char32_t, 128>;

struct Page {
    std::int32_t characterSet;
    const UpperHalf* upper;
};

#include "model/CodePageTables.inc"

// ASCII: no upper half at all.
constexpr UpperHalf asciiOnly{};

const UpperHalf* upperHalfOf(std::int32_t characterSet) {
    if (characterSet == charSetAscii) return &asciiOnly;
    if (characterSet == charSetAnsi) return &windows1252;
    const auto it = std::ranges::find(generatedPages, characterSet, &Page::characterSet);
    return it == generatedPages.end() ? nullptr : it->upper;
}

bool printable(char32_t cp) {
    return cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}

// The byte that shows a character in a page's upper half, or 0.
unsigned char upperByteOf(const UpperHalf& upper, char32_t cp) {
    const auto it = std::ranges::find(upper, cp);
    return it == upper.end() ? 0 : static_cast<unsigned char>(0x80 + (it - upper.begin()));
}

}  // namespace

std::string toCodePage(std::u32string_view text, std::int32_t characterSet) {
    const UpperHalf* upper = upperHalfOf(characterSet);
    if (upper == nullptr) return {};
    std::string bytes;
    bytes.reserve(text.size());
    for (const char32_t cp : text) {
        char byte = '?';
        // ASCII is the same byte in every page; search only the upper half.
        if (cp >= 0x20 && cp < 0x7F) {
            byte = static_cast<char>(cp);
        } else if (cp != 0) {
            if (const unsigned char b = upperByteOf(*upper, cp); b != 0) byte = static_cast<char>(b);
        }
        bytes += byte;
    }
    return bytes;
}

char32_t fromCodePage(unsigned char byte, std::int32_t characterSet) {
    if (byte >= 0x20 && byte < 0x7F) return byte;
    const UpperHalf* upper = upperHalfOf(characterSet);
    if (upper == nullptr || byte < 0x80 || (*upper)[byte - 0x80u] == 0) return U'?';
    return (*upper)[byte - 0x80u];
}

std::span<const NationalSet> nationalSets() { return generatedNationalSets; }

char32_t characterAt(unsigned char byte, std::int32_t page, std::size_t national) {
    if (byte >= 0x80) {
        const UpperHalf* upper = upperHalfOf(page);
        return upper == nullptr ? 0 : (*upper)[byte - 0x80u];
    }
    if (byte < 0x20 || byte == 0x7F || national >= generatedNationalSets.size()) return 0;
    const auto at = std::ranges::find(nationalBytes, byte);
    if (at == nationalBytes.end()) return byte;
    return generatedNationalSets[national].characters[static_cast<std::size_t>(at - nationalBytes.begin())];
}

bool knownCharacterSet(std::int32_t characterSet) {
    return characterSet == charSetUnicode || upperHalfOf(characterSet) != nullptr;
}

std::u32string mapToCharacterSet(std::u16string_view text, std::int32_t characterSet) {
    const UpperHalf* upper = characterSet == charSetUnicode ? nullptr : upperHalfOf(characterSet);
    std::u32string shown;
    shown.reserve(text.size());
    for (const char32_t cp : codePoints(text)) {
        bool showable = printable(cp);
        if (showable && characterSet != charSetUnicode) {
            // Code pages are single-byte: ASCII, or what the upper half holds.
            showable = upper != nullptr && ((cp >= 0x20 && cp < 0x7F) || upperByteOf(*upper, cp) != 0);
        }
        shown.push_back(showable ? cp : U'?');
    }
    return shown;
}

}  // namespace model
