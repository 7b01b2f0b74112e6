#include "device/CharacterSets.h"

#include "display/Conversions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <array>
#include <bitset>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

namespace device {
namespace {

struct CodePage {
    std::int32_t characterSet;
    const char* iconvName;
    unsigned windowsCodePage;
};

// The single-byte code pages a profile may list, with the converter that
// knows their upper half: iconv's name, or Windows' code page number.
constexpr std::array<CodePage, 8> codePages{{
    {437, "IBM437", 437},
    {850, "IBM850", 850},
    {852, "IBM852", 852},
    {858, "IBM858", 858},
    {866, "IBM866", 866},
    {1252, "CP1252", 1252},
    {charSetAscii, "ASCII", 20127},
    {charSetAnsi, "CP1252", 1252},
}};

bool printable(char32_t cp) {
    return cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}

// Each byte of a code page as the printable code point it shows (0: none).
using ByteTable = std::array<char32_t, 256>;

#ifdef _WIN32
ByteTable decodeBytes(unsigned codePage) {
    ByteTable table{};
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        const char in = static_cast<char>(byte);
        wchar_t out[4] = {};
        // Refusing invalid bytes keeps unassigned positions out, as iconv does;
        // without it they would come back as a best-fit or default character.
        const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 4);
        if (n != 1) continue;  // unassigned, or not exactly one code point
        if (printable(out[0])) table[static_cast<std::size_t>(byte)] = out[0];
    }
    return table;
}

ByteTable decodeBytes(const CodePage& page) {
    // Code page 858 is 850 with the euro sign in place of the dotless i
    // (0xD5). Some systems (Wine) lack it, and would show nothing but '?'.
    if (page.windowsCodePage == 858 && !::IsValidCodePage(858)) {
        ByteTable table = decodeBytes(850u);
        table[0xD5] = U'\u20AC';
        return table;
    }
    return decodeBytes(page.windowsCodePage);
}
#else
ByteTable decodeBytes(const CodePage& page) {
    ByteTable table{};
    iconv_t cd = iconv_open("UTF-32LE", page.iconvName);
    // iconv reports failure as the handle (iconv_t)-1; an unknown page shows nothing but '?'.
    if (cd == reinterpret_cast<iconv_t>(-1)) return table;  // NOLINT(performance-no-int-to-ptr)
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        char in = static_cast<char>(byte);
        char* inPtr = &in;
        std::size_t inLeft = 1;
        std::array<unsigned char, 8> out{};
        char* outPtr = reinterpret_cast<char*>(out.data());
        std::size_t outLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
        if (outLeft != out.size() - 4) continue;  // not exactly one code point
        const char32_t cp = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
        if (printable(cp)) table[static_cast<std::size_t>(byte)] = cp;
    }
    iconv_close(cd);
    return table;
}
#endif

// A code page decoded once: its bytes, and the characters of the Basic
// Multilingual Plane it shows.
struct Decoded {
    ByteTable bytes{};
    std::bitset<0x10000> repertoire;
};

const Decoded* decodedOf(std::int32_t characterSet) {
    const CodePage* found = nullptr;
    for (const auto& page : codePages) {
        if (page.characterSet == characterSet) found = &page;
    }
    if (found == nullptr) return nullptr;
    static std::mutex mutex;
    static std::map<std::int32_t, std::unique_ptr<Decoded>> built;
    std::lock_guard lock(mutex);
    auto& slot = built[characterSet];
    if (!slot) {
        slot = std::make_unique<Decoded>();
        slot->bytes = decodeBytes(*found);
        for (const char32_t cp : slot->bytes) {
            if (cp != 0 && cp < 0x10000) slot->repertoire.set(cp);
        }
    }
    return slot.get();
}

}  // namespace

std::string toCodePage(std::u32string_view text, std::int32_t characterSet) {
    const Decoded* decoded = decodedOf(characterSet);
    if (decoded == nullptr) return {};
    const ByteTable* table = &decoded->bytes;
    std::string bytes;
    bytes.reserve(text.size());
    for (const char32_t cp : text) {
        char byte = '?';
        // ASCII is the same byte in every page; search only the upper half.
        if (cp >= 0x20 && cp < 0x7F) {
            byte = static_cast<char>(cp);
        } else if (cp != 0) {
            for (std::size_t b = 0x80; b < table->size(); ++b) {
                if ((*table)[b] == cp) {
                    byte = static_cast<char>(b);
                    break;
                }
            }
        }
        bytes += byte;
    }
    return bytes;
}

char32_t fromCodePage(unsigned char byte, std::int32_t characterSet) {
    if (byte >= 0x20 && byte < 0x7F) return byte;
    const Decoded* decoded = decodedOf(characterSet);
    if (decoded == nullptr || decoded->bytes[byte] == 0) return U'?';
    return decoded->bytes[byte];
}

bool knownCharacterSet(std::int32_t characterSet) {
    return characterSet == charSetUnicode || decodedOf(characterSet) != nullptr;
}

std::u32string mapToCharacterSet(std::u16string_view text, std::int32_t characterSet) {
    const Decoded* decoded = characterSet == charSetUnicode ? nullptr : decodedOf(characterSet);
    std::u32string shown;
    shown.reserve(text.size());
    for (const char32_t cp : display::codePoints(text)) {
        bool showable = printable(cp);
        if (showable && characterSet != charSetUnicode) {
            // Code pages are single-byte: nothing outside the BMP, and only
            // what the page's repertoire holds.
            showable = decoded != nullptr && cp < 0x10000 && decoded->repertoire.test(cp);
        }
        shown.push_back(showable ? cp : U'?');
    }
    return shown;
}

}  // namespace device
