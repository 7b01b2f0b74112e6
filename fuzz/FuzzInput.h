// Helpers shared by the fuzz targets: turning libFuzzer's bytes into the
// UTF-16 text the console passes around, and stopping loudly on a finding.
//
// A fuzz target calls fuzzFail when a property does not hold; libFuzzer then
// records the input as a crash. Single-threaded, like libFuzzer's runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Pairs of bytes as UTF-16 code units (little-endian); an odd last byte is
// one more unit. Any unit may come out, unpaired surrogates included.
inline std::u16string utf16Units(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    out.reserve(size / 2 + 1);
    for (std::size_t i = 0; i < size; i += 2) {
        const auto low = data[i];
        const auto high = i + 1 < size ? data[i + 1] : std::uint8_t{0};
        out += static_cast<char16_t>(low | (high << 8));
    }
    return out;
}

// Bytes as single code units 0..255: the typed text a person can make on an
// ordinary keyboard, which reaches the number forms far more often.
inline std::u16string latin1Units(const std::uint8_t* data, std::size_t size) { return {data, data + size}; }

[[noreturn]] inline void fuzzFail(const std::string& what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

}  // namespace fuzz
