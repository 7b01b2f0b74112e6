#include "display/Literal.h"

#include "display/ResultCodes.h"
#include "model/Utf.h"

#include <cstdio>

namespace display {
namespace {

// Characters that would break a line, move the cursor of a terminal, or not
// survive a round trip through UTF-8.
bool needsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

std::string quotedLiteral(std::u16string_view text) {
    std::string out = "\"";
    for (const char32_t c : model::codePoints(text)) {
        switch (c) {
        case U'"': out += "\\\""; continue;
        case U'\\': out += "\\\\"; continue;
        case U'\n': out += "\\n"; continue;
        case U'\r': out += "\\r"; continue;
        case U'\t': out += "\\t"; continue;
        default: break;
        }
        if (needsEscape(c)) {
            char escaped[16];
            if (c < 0x100) {
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            } else {
                std::snprintf(escaped, sizeof escaped, "\\u{%X}", static_cast<unsigned>(c));
            }
            out += escaped;
        } else {
            model::appendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string literal(const Variant& value) {
    switch (value.type()) {
    case VariantType::Int32: return std::to_string(value.int32());
    case VariantType::Boolean:
        if (value.rawBool() == variantTrue) return "true";
        if (value.rawBool() == variantFalse) return "false";
        return "bool(" + std::to_string(value.rawBool()) + ")";
    case VariantType::String: return quotedLiteral(value.string());
    case VariantType::Empty: break;
    }
    return "empty";
}

std::string resultLiteral(std::int32_t code) {
    if (const auto name = resultCodeName(code)) return std::string(*name);
    return std::to_string(code);
}

}  // namespace display
