// The text-to-integer conversion of typed numbers and the conversions of
// returned values to integer, 16-bit integer, boolean and text.
#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "model/Utf.h"

#include <gtest/gtest.h>

#include <optional>

using display::FailureKind;
using display::Variant;

namespace {

struct Typed {
    std::u16string text;
    std::optional<std::int32_t> value;  // nothing: the conversion fails
    FailureKind failure = FailureKind::NotConvertible;
};

// Every accepted and refused form, one row each.
const Typed typedNumbers[] = {
    {u"0", 0},
    {u"42", 42},
    {u"  42", 42},
    {u"42  ", 42},
    {u"\t 7 \t", 7},
    {u"+12", 12},
    {u"-12", -12},
    {u"007", 7},
    {u"2.5", 2},
    {u"3.5", 4},
    {u"-2.5", -2},
    {u"-3.5", -4},
    {u"0.5", 0},
    {u"1.5", 2},
    {u"2.50000000000000000001", 3},
    {u"2.4999999", 2},
    {u"2.6", 3},
    {u".5", 0},
    {u".7", 1},
    {u"5.", 5},
    {u"2147483647", 2147483647},
    {u"-2147483648", -2147483648},
    {u"2147483647.4", 2147483647},
    {u"-2147483648.5", -2147483648},
    {u"0x1F", 31},
    {u"0X1f", 31},
    {u"&H10", 16},
    {u"-0x10", -16},
    {u"0x7FFFFFFF", 2147483647},
    {u"0x10000000", 268435456},
    {u"", std::nullopt},
    {u"   ", std::nullopt},
    {u"abc", std::nullopt},
    {u"12abc", std::nullopt},
    {u"12a", std::nullopt},   // one letter after the digits
    {u"2.5x", std::nullopt},  // and after a fraction
    {u"0x1Fg", std::nullopt},
    {u"1 2", std::nullopt},
    {u"1,000", std::nullopt},
    {u"1e3", std::nullopt},
    {u"$5", std::nullopt},
    {u"+", std::nullopt},
    {u"-", std::nullopt},
    {u".", std::nullopt},
    {u"--1", std::nullopt},
    {u"0x", std::nullopt},
    {u"0x1.5", std::nullopt},
    {u"\uFF15", std::nullopt},  // a full-width digit is not a decimal digit here
    {u"2147483648", std::nullopt, FailureKind::Overflow},
    {u"-2147483649", std::nullopt, FailureKind::Overflow},
    {u"2147483647.5", std::nullopt, FailureKind::Overflow},
    {u"99999999999999999999999", std::nullopt, FailureKind::Overflow},
    {u"0x80000000", std::nullopt, FailureKind::Overflow},
};

}  // namespace

TEST(TextToInt32, acceptsAndRefusesTheDocumentedForms) {
    for (const Typed& row : typedNumbers) {
        const std::string shown = model::utf8(row.text);
        if (row.value) {
            EXPECT_EQ(display::textToInt32(row.text), *row.value) << '"' << shown << '"';
            continue;
        }
        try {
            const auto v = display::textToInt32(row.text);
            ADD_FAILURE() << '"' << shown << "\" gave " << v;
        } catch (const display::DispatchError& e) {
            EXPECT_EQ(e.kind(), row.failure) << '"' << shown << "\": " << e.what();
            if (!row.text.empty()) {
                EXPECT_NE(std::string(e.what()).find(shown), std::string::npos)
                    << "message quotes the text: " << e.what();
            }
        }
    }
}

TEST(ReturnedValues, convertToIntegersByKind) {
    EXPECT_EQ(display::toInt32(Variant::fromInt32(-7)), -7);
    EXPECT_EQ(display::toInt32(Variant::fromBool(true)), -1);
    EXPECT_EQ(display::toInt32(Variant::fromRawBool(1)), 1);
    EXPECT_EQ(display::toInt32(Variant::fromString(u" 12 ")), 12);
    EXPECT_THROW(display::toInt32(Variant()), display::DispatchError);
    EXPECT_THROW(display::toInt32(Variant::fromString(u"x")), display::DispatchError);

    EXPECT_EQ(display::toInt16(Variant::fromInt32(32767)), 32767);
    EXPECT_EQ(display::toInt16(Variant::fromInt32(-32768)), -32768);
    for (const int big : {32768, -32769}) {
        try {
            display::toInt16(Variant::fromInt32(big));
            ADD_FAILURE() << big;
        } catch (const display::DispatchError& e) {
            EXPECT_EQ(e.kind(), FailureKind::Overflow);
            EXPECT_NE(std::string(e.what()).find(std::to_string(big)), std::string::npos);
        }
    }
}

TEST(ReturnedValues, booleanFormKeepsAReturnedBooleanAsItCame) {
    EXPECT_EQ(display::toBoolean(Variant::fromRawBool(1)), 1);
    EXPECT_EQ(display::toBoolean(Variant::fromBool(true)), -1);
    EXPECT_EQ(display::toBoolean(Variant::fromInt32(5)), -1);
    EXPECT_EQ(display::toBoolean(Variant::fromInt32(0)), 0);
    EXPECT_EQ(display::toBoolean(Variant::fromString(u"TRUE")), -1);
    EXPECT_EQ(display::toBoolean(Variant::fromString(u"false")), 0);
    EXPECT_EQ(display::toBoolean(Variant::fromString(u"3")), -1);
    EXPECT_THROW(display::toBoolean(Variant::fromString(u"yes")), display::DispatchError);
    EXPECT_THROW(display::toBoolean(Variant()), display::DispatchError);
}

TEST(ReturnedValues, textFormShowsEachKind) {
    EXPECT_EQ(display::toText(Variant::fromString(u" as is ")), u" as is ");
    EXPECT_EQ(display::toText(Variant::fromInt32(-2147483647 - 1)), u"-2147483648");
    EXPECT_EQ(display::toText(Variant::fromRawBool(1)), u"True");
    EXPECT_EQ(display::toText(Variant::fromBool(false)), u"False");
    EXPECT_THROW(display::toText(Variant()), display::DispatchError);
}
