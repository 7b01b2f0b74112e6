// Fuzz target: the text-to-integer conversion of typed text, checked against
// a slow reference model of the same rules written independently of it.
//
// The model works on the digits as text: it strips blanks, a sign and a hex
// prefix, rounds a decimal fraction by looking at the digits after the point,
// adds one as string arithmetic, and tests the range by comparing digit
// strings. Any disagreement in value or failure kind aborts the run.
#include "FuzzInput.h"
#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "model/Utf.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using display::FailureKind;

struct Outcome {
    std::optional<std::int32_t> value;  // set when the text converts
    FailureKind failure = FailureKind::NotConvertible;
    bool operator==(const Outcome&) const = default;
};

std::string describe(const Outcome& o) {
    if (o.value) return "value " + std::to_string(*o.value);
    return std::string("failure ") + display::failureKindName(o.failure);
}

Outcome refused() { return {std::nullopt, FailureKind::NotConvertible}; }
Outcome tooLarge() { return {std::nullopt, FailureKind::Overflow}; }

// A non-negative decimal number, given as its digits, plus one.
std::string incremented(std::string digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return digits;
        }
        *it = '0';
    }
    return "1" + digits;
}

// Decimal digits for a hexadecimal digit string, by repeated multiply-add on
// a decimal digit string (slow, exact, no fixed-width integer involved).
std::string hexToDecimal(const std::string& hex) {
    std::string decimal = "0";
    for (const char h : hex) {
        const int v = h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10;
        int carry = v;
        for (auto it = decimal.rbegin(); it != decimal.rend(); ++it) {
            const int d = (*it - '0') * 16 + carry;
            *it = static_cast<char>('0' + d % 10);
            carry = d / 10;
        }
        while (carry) {
            decimal.insert(decimal.begin(), static_cast<char>('0' + carry % 10));
            carry /= 10;
        }
    }
    return decimal;
}

std::string withoutLeadingZeros(std::string digits) {
    const auto first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// a <= b for digit strings without leading zeros.
bool notAbove(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a <= b;
}

Outcome fromMagnitude(bool negative, const std::string& magnitude) {
    const std::string digits = withoutLeadingZeros(magnitude);
    if (!notAbove(digits, negative ? "2147483648" : "2147483647")) return tooLarge();
    const long long m = std::stoll(digits);
    return {static_cast<std::int32_t>(negative ? -m : m), FailureKind::NotConvertible};
}

Outcome reference(const std::u16string& typed) {
    // Everything outside ASCII is refused, whatever it looks like.
    std::string text;
    for (const char16_t c : typed) {
        if (c > 0x7F) return refused();
        text += static_cast<char>(c);
    }
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return refused();
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);

    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    const std::string prefix = text.substr(0, 2);
    if (prefix == "0x" || prefix == "0X" || prefix == "&h" || prefix == "&H") {
        const std::string hex = text.substr(2);
        if (hex.empty() || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return refused();
        return fromMagnitude(negative, hexToDecimal(hex));
    }
    if (std::count(text.begin(), text.end(), '.') > 1) return refused();
    const auto point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) return refused();
    if ((whole + fraction).find_first_not_of("0123456789") != std::string::npos) return refused();

    std::string magnitude = whole.empty() ? "0" : whole;
    // Above one half, or exactly one half on an odd number: round away from zero.
    const std::string half = "5" + std::string(fraction.empty() ? 0 : fraction.size() - 1, '0');
    const bool odd = (magnitude.back() - '0') % 2 == 1;
    if (!fraction.empty() && (fraction > half || (fraction == half && odd)))
        magnitude = incremented(magnitude);
    return fromMagnitude(negative, magnitude);
}

Outcome actual(const std::u16string& text) {
    try {
        return {display::textToInt32(text), FailureKind::NotConvertible};
    } catch (const display::DispatchError& e) {
        if (std::string(e.what()).empty()) fuzz::fuzzFail("a failure without a message");
        return {std::nullopt, e.kind()};
    }
}

void check(const std::u16string& text) {
    const Outcome expected = reference(text);
    const Outcome got = actual(text);
    if (!(expected == got)) {
        fuzz::fuzzFail("textToInt32(\"" + model::utf8(text) + "\") gave " + describe(got) +
                       ", the rules say " + describe(expected));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(fuzz::latin1Units(data, size));
    check(fuzz::utf16Units(data, size));
    return 0;
}
