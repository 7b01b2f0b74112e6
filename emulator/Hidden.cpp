#include "emulator/Hidden.h"

namespace emulator {
namespace {

// SplitMix64: small, and the same everywhere (the standard library's
// distributions are not).
std::uint64_t next(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

Hidden drawHidden(std::uint64_t seed) {
    std::uint64_t state = seed;
    const auto sets = model::commandSets();
    Hidden hidden{&sets[next(state) % sets.size()], {}};
    hidden.line.baud = model::standardSpeeds[next(state) % model::standardSpeeds.size()];
    hidden.line.parity = next(state) % 2 == 0 ? model::Parity::none : model::Parity::odd;
    return hidden;
}

}  // namespace emulator
