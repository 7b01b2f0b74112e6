#include "display/Conversions.h"

#include "display/DispatchError.h"
#include "model/Utf.h"

#include <cstdint>
#include <limits>

namespace display {
namespace {

constexpr std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
// Magnitudes are accumulated up to this cap; anything above is out of range
// whatever the sign and rounding, and the cap keeps the sum from overflowing.
constexpr std::uint64_t magnitudeCap = std::uint64_t{1} << 40;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
int hexValue(char16_t c) {
    if (isDigit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::string quoted(std::u16string_view text) { return "\"" + model::utf8(text) + "\""; }

[[noreturn]] void notANumber(std::u16string_view original) {
    throw DispatchError(FailureKind::NotConvertible,
        quoted(original) +
            " is not a number (expected digits with an optional sign and "
            "decimal point, such as -12 or 2.5, or a hexadecimal number such as 0x1F)");
}

[[noreturn]] void outOfRange(std::u16string_view original) {
    throw DispatchError(FailureKind::Overflow,
        quoted(original) + " is outside the 32-bit integer range -2147483648 to 2147483647");
}

// Reads hexadecimal digits after a 0x or &H prefix; no fraction is allowed.
std::uint64_t hexMagnitude(std::u16string_view digits, std::u16string_view original) {
    if (digits.empty()) notANumber(original);
    std::uint64_t magnitude = 0;
    for (const char16_t c : digits) {
        const int v = hexValue(c);
        if (v < 0) notANumber(original);
        if (magnitude < magnitudeCap) magnitude = magnitude * 16 + static_cast<std::uint64_t>(v);
    }
    return magnitude;
}

// Reads decimal digits with an optional fractional part and rounds to the
// nearest integer, an exact half to the even neighbour. Works on the digits
// themselves so that no binary floating-point error can move a half.
std::uint64_t decimalMagnitude(std::u16string_view number, std::u16string_view original) {
    const auto point = number.find(u'.');
    const auto whole = number.substr(0, point);
    const auto fraction =
        point == std::u16string_view::npos ? std::u16string_view{} : number.substr(point + 1);
    if (whole.empty() && fraction.empty()) notANumber(original);

    std::uint64_t magnitude = 0;
    for (const char16_t c : whole) {
        if (!isDigit(c)) notANumber(original);
        if (magnitude < magnitudeCap) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    for (const char16_t c : fraction) {
        if (!isDigit(c)) notANumber(original);
    }
    if (!fraction.empty()) {
        const int first = fraction.front() - u'0';
        bool restNonZero = false;
        for (const char16_t c : fraction.substr(1)) restNonZero = restNonZero || c != u'0';
        const bool up = first > 5 || (first == 5 && (restNonZero || magnitude % 2 == 1));
        if (up) ++magnitude;
    }
    return magnitude;
}

}  // namespace

std::int32_t textToInt32(std::u16string_view text) {
    const std::u16string_view original = text;
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) {
        throw DispatchError(FailureKind::NotConvertible,
            original.empty() ? std::string("the text is empty, and a number is needed")
                             : quoted(original) + " holds only blanks, and a number is needed");
    }

    bool negative = false;
    if (text.front() == u'+' || text.front() == u'-') {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }

    std::uint64_t magnitude = 0;
    if (text.size() >= 2 && ((text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) ||
                                (text[0] == u'&' && (text[1] == u'h' || text[1] == u'H')))) {
        magnitude = hexMagnitude(text.substr(2), original);
    } else {
        magnitude = decimalMagnitude(text, original);
    }

    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (magnitude >= magnitudeCap || value < int32Min || value > int32Max) outOfRange(original);
    return static_cast<std::int32_t>(value);
}

std::int32_t toInt32(const Variant& value) {
    switch (value.type()) {
    case VariantType::Int32: return value.int32();
    case VariantType::Boolean: return value.rawBool();
    case VariantType::String: try { return textToInt32(value.string());
        } catch (const DispatchError& e) {
            throw DispatchError(
                e.kind(), "the returned string cannot be taken as an integer: " + std::string(e.what()));
        }
    case VariantType::Empty: break;
    }
    throw DispatchError(
        FailureKind::NotConvertible, "the control returned no value where an integer was expected");
}

std::int16_t toInt16(const Variant& value) {
    const std::int32_t wide = toInt32(value);
    if (wide < std::numeric_limits<std::int16_t>::min() || wide > std::numeric_limits<std::int16_t>::max()) {
        throw DispatchError(FailureKind::Overflow, "overflow: the returned value " + std::to_string(wide) +
                                                       " does not fit a 16-bit integer (-32768 to 32767)");
    }
    return static_cast<std::int16_t>(wide);
}

VariantBool toBoolean(const Variant& value) {
    switch (value.type()) {
    case VariantType::Boolean: return value.rawBool();
    case VariantType::Int32: return value.int32() == 0 ? variantFalse : variantTrue;
    case VariantType::String: {
        std::u16string lower;
        for (const char16_t c : value.string())
            lower += (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
        if (lower == u"true") return variantTrue;
        if (lower == u"false") return variantFalse;
        try {
            return textToInt32(value.string()) == 0 ? variantFalse : variantTrue;
        } catch (const DispatchError&) {
            throw DispatchError(FailureKind::NotConvertible,
                "the returned string " + quoted(value.string()) + " is not a boolean");
        }
    }
    case VariantType::Empty: break;
    }
    throw DispatchError(
        FailureKind::NotConvertible, "the control returned no value where a boolean was expected");
}

std::u16string toText(const Variant& value) {
    switch (value.type()) {
    case VariantType::String: return value.string();
    case VariantType::Int32: return decimalText(value.int32());
    case VariantType::Boolean: return booleanText(value.rawBool());
    case VariantType::Empty: break;
    }
    throw DispatchError(
        FailureKind::NotConvertible, "the control returned no value where a text was expected");
}

std::u16string decimalText(std::int32_t value) { return model::utf16(std::to_string(value)); }

std::u16string booleanText(VariantBool value) { return value != 0 ? u"True" : u"False"; }

}  // namespace display
