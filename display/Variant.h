// Automation-style variant: the one value type that crosses the dispatch
// interface between the console and a Line Display control object.
//
// It holds nothing (empty) or one of the three automation types the
// console uses: a 32-bit signed integer (type 3), a boolean (type 11, kept as
// its raw 16-bit value so that a control returning 1 for true stays visible)
// and a UTF-16 string (type 8). Plain value type; no threading concerns.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace display {

// The automation type tags; the numbers are the variant type codes.
enum class VariantType : std::uint16_t { Empty = 0, Int32 = 3, String = 8, Boolean = 11 };

// A boolean as it travels: 16 bits, false 0, standard true -1 (all bits set).
using VariantBool = std::int16_t;
inline constexpr VariantBool variantTrue = -1;
inline constexpr VariantBool variantFalse = 0;

class Variant {
public:
    Variant() = default;  // empty

    static Variant fromInt32(std::int32_t value);
    // A boolean with the standard values -1 and 0.
    static Variant fromBool(bool value);
    // A boolean with any 16-bit value, as a misbehaving control may return it.
    static Variant fromRawBool(VariantBool raw);
    static Variant fromString(std::u16string value);

    VariantType type() const;
    bool isEmpty() const { return type() == VariantType::Empty; }

    // Typed accessors; each requires type() to be the matching type.
    std::int32_t int32() const { return std::get<std::int32_t>(value_); }
    VariantBool rawBool() const { return std::get<VariantBool>(value_); }
    const std::u16string& string() const { return std::get<std::u16string>(value_); }

    // A short human description for messages and test output, such as
    // "integer 5", "boolean -1 (True)", "string \"TQN730\"" or "empty".
    std::string describe() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, std::int32_t, std::u16string, VariantBool> value_;
};

// The name of a variant type for messages ("integer", "boolean", ...).
const char* typeName(VariantType type);

}  // namespace display
