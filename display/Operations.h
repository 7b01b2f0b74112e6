// The operations table: every operation of the Line Display dispatch
// interface, one row each, with its name, dispatch ID, form and value types.
// The wrapper, the built-in control object and the tests all read it; the
// rows marked usedByConsole are the 45 that the console's buttons invoke, the
// others are further operations the built-in control answers.
#pragma once

#include "display/Dispatch.h"
#include "display/Variant.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace display {

// How the console uses an operation: a read (property get, or method call
// whose result is used), a call (method whose result is discarded), or a
// property that is also written. Some properties the console only reads are
// still writable on the control (Operation::writable).
enum class Form : std::uint8_t { Read, Call, ReadWrite };

struct Operation {
    std::string_view name;
    DispId id;
    bool isMethod;
    Form form;
    VariantType valueType;  // the property's type, or a method's result type
    std::array<VariantType, 6> params{};
    std::uint8_t paramCount = 0;
    bool usedByConsole = true;
    bool writable = false;  // a property the control lets an application write

    std::span<const VariantType> parameters() const { return {params.data(), paramCount}; }
};

namespace detail {
// A property; those the console writes are writable, and so are those
// marked writable that the console only reads.
enum class Put : bool { ReadOnly, Writable };
constexpr Operation property(std::string_view name, DispId id, Form form, VariantType type,
    bool console = true, Put put = Put::ReadOnly) {
    return Operation{
        name, id, false, form, type, {}, 0, console, form == Form::ReadWrite || put == Put::Writable};
}
template <typename... P>
constexpr Operation method(std::string_view name, DispId id, Form form, bool console, P... params) {
    return Operation{name, id, true, form, VariantType::Int32, {params...}, sizeof...(P), console, false};
}
constexpr auto I4 = VariantType::Int32;
constexpr auto BOOL = VariantType::Boolean;
constexpr auto STR = VariantType::String;
}  // namespace detail

inline constexpr auto operations = [] {
    using namespace detail;
    using enum Form;
    return std::array{
        // Methods.
        method("Open", 37, Read, true, STR),
        method("ClaimDevice", 32, Read, true, I4),
        method("Close", 35, Call, true),
        method("ReleaseDevice", 38, Call, true),
        method("CheckHealth", 31, Read, true, I4),
        method("ClearText", 81, Call, true),
        method("DestroyWindow", 83, Read, true),
        method("DisplayText", 84, Read, true, STR, I4),
        method("DisplayTextAt", 85, Read, true, I4, I4, STR, I4),
        // Properties the console writes.
        property("DeviceEnabled", 17, ReadWrite, BOOL),
        property("CursorUpdate", 63, ReadWrite, BOOL),
        property("PowerNotify", 20, ReadWrite, I4),
        property("CursorColumn", 61, ReadWrite, I4),
        property("CursorRow", 62, ReadWrite, I4),
        property("DeviceBrightness", 64, ReadWrite, I4),
        property("InterCharacterWait", 69, ReadWrite, I4),
        property("MarqueeFormat", 70, ReadWrite, I4),
        property("MarqueeRepeatWait", 71, ReadWrite, I4),
        property("CursorType", 106, ReadWrite, I4),
        // Properties the console only reads.
        property("ResultCode", 22, Read, I4),
        property("BinaryConversion", 11, Read, I4, true, Put::Writable),
        property("CapPowerReporting", 12, Read, I4),
        property("PowerState", 21, Read, I4),
        property("ResultCodeExtended", 23, Read, I4),
        property("State", 24, Read, I4),
        property("CapBlink", 50, Read, I4),
        property("CharacterSet", 57, Read, I4, true, Put::Writable),
        property("Columns", 59, Read, I4),
        property("CurrentWindow", 60, Read, I4, true, Put::Writable),
        property("DeviceDescriptors", 66, Read, I4),
        property("DeviceWindows", 68, Read, I4),
        property("Rows", 74, Read, I4),
        property("CapCursorType", 102, Read, I4),
        property("CapReverse", 105, Read, I4),
        property("Claimed", 14, Read, BOOL),
        property("FreezeEvents", 18, Read, BOOL, true, Put::Writable),
        property("CapBrightness", 51, Read, BOOL),
        property("CapDescriptors", 53, Read, BOOL),
        property("CapHMarquee", 54, Read, BOOL),
        property("CapVMarquee", 56, Read, BOOL),
        property("CapBlinkRate", 101, Read, BOOL),
        property("CapCustomGlyph", 103, Read, BOOL),
        property("CheckHealthText", 13, Read, STR),
        property("CharacterSetList", 58, Read, STR),
        property("CustomGlyphList", 107, Read, STR),
        // Further operations of the built-in control that no button invokes.
        method("CreateWindow", 82, Read, false, I4, I4, I4, I4, I4, I4),
        property("CapCharacterSet", 52, Read, I4, false),
        property("CapICharWait", 55, Read, BOOL, false),
        property("DeviceColumns", 65, Read, I4, false),
        property("DeviceRows", 67, Read, I4, false),
        property("MarqueeType", 72, ReadWrite, I4, false),
        property("MarqueeUnitWait", 73, ReadWrite, I4, false),
    };
}();

// The row with this dispatch ID, or nullptr.
const Operation* findOperation(DispId id);

// The dispatch ID of an operation by name; usable in constant expressions,
// so a misspelt name fails to compile.
consteval DispId dispIdOf(std::string_view name) {
    for (const auto& op : operations) {
        if (op.name == name) return op.id;
    }
    throw "no operation of that name";
}

// The row of an operation by name; the name must exist.
const Operation& operationNamed(std::string_view name);

}  // namespace display
