#include "device/Excerpt.h"

#include "model/Utf.h"

#include <cstdio>

namespace device {

std::string quotedExcerpt(std::string_view text, std::size_t most) {
    // Decode no more than the excerpt can show (a code point is at most four
    // bytes), so quoting a huge value costs what its excerpt costs.
    const std::u32string points = model::codePoints(model::utf16(text.substr(0, most * 4 + 4)));
    std::string quoted = "\"";
    std::size_t shown = 0;
    for (const char32_t c : points) {
        if (shown == most) break;
        ++shown;
        if (c == U'"' || c == U'\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == U'\n') {
            quoted += "\\n";
        } else if (c == U'\t') {
            quoted += "\\t";
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
                   (c >= 0xD800 && c < 0xE000)) {
            // C0 and C1 controls (0x9B is a terminal's CSI), line separators
            // and lone surrogates.
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            model::appendUtf8(quoted, c);
        }
    }
    quoted += '"';
    if (shown < points.size() || text.size() > most * 4 + 4) {
        quoted.insert(quoted.size() - 1, "...");
        quoted += " (" + std::to_string(text.size()) + " bytes)";
    }
    return quoted;
}

}  // namespace device
