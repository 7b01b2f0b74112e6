// Fuzz target: the conversions of returned variants and the UTF-8/UTF-16
// helpers. The first byte picks the variant's type, the rest is its value.
//
// Checked beyond "no crash": only DispatchError (never another exception)
// leaves a conversion; toInt16 agrees with toInt32 and fails exactly outside
// 16 bits; an integer survives toText and back; toBoolean is 0 or -1 for any
// non-boolean and keeps a boolean's raw value; text survives UTF-16 -> UTF-8
// -> UTF-16 unless it holds an unpaired surrogate; decoding and re-encoding
// code points gives back the same units.
#include "FuzzInput.h"
#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "display/Variant.h"
#include "model/Utf.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

using display::DispatchError;
using display::FailureKind;
using display::Variant;
using display::VariantType;

template <typename F>
auto attempt(F&& f) -> std::optional<decltype(f())> {
    try {
        return f();
    } catch (const DispatchError&) {
        return std::nullopt;
    }
}

Variant variantOf(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {};
    const std::uint8_t type = data[0] % 4;
    ++data, --size;
    switch (type) {
    case 1: {
        std::int32_t v = 0;
        std::memcpy(&v, data, std::min(size, sizeof v));
        return Variant::fromInt32(v);
    }
    case 2: {
        std::int16_t v = 0;
        std::memcpy(&v, data, std::min(size, sizeof v));
        return Variant::fromRawBool(v);
    }
    case 3: return Variant::fromString(fuzz::utf16Units(data, size));
    default: return Variant::fromString(fuzz::latin1Units(data, size));
    }
}

bool hasUnpairedSurrogate(const std::u16string& s) {
    for (const char32_t cp : model::codePoints(s)) {
        if (cp >= 0xD800 && cp <= 0xDFFF) return true;
    }
    return false;
}

void checkVariant(const Variant& v) {
    const auto wide = attempt([&] { return display::toInt32(v); });
    try {
        const std::int16_t narrow = display::toInt16(v);
        if (!wide || *wide != narrow)
            fuzz::fuzzFail("toInt16 succeeded where toInt32 disagrees: " + v.describe());
    } catch (const DispatchError& e) {
        const bool inRange = wide && *wide >= INT16_MIN && *wide <= INT16_MAX;
        if (inRange) fuzz::fuzzFail("toInt16 failed on a 16-bit value: " + v.describe());
        if (wide && e.kind() != FailureKind::Overflow)
            fuzz::fuzzFail("toInt16 failed not as overflow: " + v.describe());
    }
    if (v.type() == VariantType::Int32 && !wide)
        fuzz::fuzzFail("an integer did not convert: " + v.describe());

    const auto boolean = attempt([&] { return display::toBoolean(v); });
    if (v.type() == VariantType::Boolean && boolean != v.rawBool())
        fuzz::fuzzFail("a boolean changed: " + v.describe());
    if (v.type() != VariantType::Boolean && boolean && *boolean != 0 && *boolean != -1) {
        fuzz::fuzzFail("a non-standard boolean from " + v.describe());
    }

    const auto text = attempt([&] { return display::toText(v); });
    if (v.isEmpty() != !text) fuzz::fuzzFail("toText of " + v.describe());
    if (v.type() == VariantType::Int32 && display::textToInt32(*text) != v.int32()) {
        fuzz::fuzzFail("an integer did not survive its text: " + v.describe());
    }
    if (v.type() == VariantType::String) {
        const std::u16string& s = v.string();
        // Decoding into code points and encoding again is lossless, always.
        std::u16string again;
        for (const char32_t cp : model::codePoints(s)) model::appendUtf16(again, cp);
        if (again != s) fuzz::fuzzFail("code points did not re-encode: " + v.describe());
        const std::u16string roundTrip = model::utf16(model::utf8(s));
        if (!hasUnpairedSurrogate(s) && roundTrip != s)
            fuzz::fuzzFail("UTF-8 round trip changed " + v.describe());
        if (hasUnpairedSurrogate(roundTrip)) fuzz::fuzzFail("UTF-8 produced an unpaired surrogate");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkVariant(variantOf(data, size));
    // The same bytes as UTF-8 input: decoding never yields a lone surrogate,
    // and valid UTF-8 comes back byte for byte.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = model::utf16(bytes);
    if (hasUnpairedSurrogate(decoded)) fuzz::fuzzFail("utf16 produced an unpaired surrogate");
    if (decoded.find(u'\uFFFD') == std::u16string::npos && model::utf8(decoded) != bytes) {
        fuzz::fuzzFail("valid UTF-8 did not survive its UTF-16 form");
    }
    return 0;
}
