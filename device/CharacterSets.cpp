#include "device/CharacterSets.h"

#include "display/Conversions.h"

#include <iconv.h>

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
};

// The single-byte code pages a profile may list, with the converter that
// knows their upper half.
constexpr std::array<CodePage, 8> codePages{{
    {437, "IBM437"},
    {850, "IBM850"},
    {852, "IBM852"},
    {858, "IBM858"},
    {866, "IBM866"},
    {1252, "CP1252"},
    {charSetAscii, "ASCII"},
    {charSetAnsi, "CP1252"},
}};

// The characters of the Basic Multilingual Plane that a code page shows.
using Repertoire = std::bitset<0x10000>;

std::unique_ptr<Repertoire> decodeRepertoire(const char* iconvName) {
    auto repertoire = std::make_unique<Repertoire>();
    iconv_t cd = iconv_open("UTF-32LE", iconvName);
    // iconv reports failure as the handle (iconv_t)-1.
    if (cd == reinterpret_cast<iconv_t>(-1)) return repertoire;  // NOLINT(performance-no-int-to-ptr)
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
        if (cp < 0x10000) repertoire->set(cp);
    }
    iconv_close(cd);
    return repertoire;
}

bool printable(char32_t cp) {
    return cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}

const Repertoire* repertoireOf(std::int32_t characterSet) {
    const char* name = nullptr;
    for (const auto& page : codePages) {
        if (page.characterSet == characterSet) name = page.iconvName;
    }
    if (name == nullptr) return nullptr;
    static std::mutex mutex;
    static std::map<std::int32_t, std::unique_ptr<Repertoire>> built;
    std::lock_guard lock(mutex);
    auto& slot = built[characterSet];
    if (!slot) slot = decodeRepertoire(name);
    return slot.get();
}

}  // namespace

bool knownCharacterSet(std::int32_t characterSet) {
    return characterSet == charSetUnicode || repertoireOf(characterSet) != nullptr;
}

std::u32string mapToCharacterSet(std::u16string_view text, std::int32_t characterSet) {
    const Repertoire* repertoire = characterSet == charSetUnicode ? nullptr : repertoireOf(characterSet);
    std::u32string shown;
    shown.reserve(text.size());
    for (const char32_t cp : display::codePoints(text)) {
        bool showable = printable(cp);
        if (showable && characterSet != charSetUnicode) {
            // Code pages are single-byte: nothing outside the BMP, and only
            // what the page's repertoire holds.
            showable = repertoire != nullptr && cp < 0x10000 && repertoire->test(cp);
        }
        shown.push_back(showable ? cp : U'?');
    }
    return shown;
}

}  // namespace device
