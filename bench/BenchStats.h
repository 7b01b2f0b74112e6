// Shared by the benchmark programs: a monotonic clock, medians, and the one
// line format in which every benchmark prints a ratio with its target, so
// that bench/run can gather them. Not a test: nothing here asserts.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Keeps the compiler from dropping a computation whose result is unused.
template <typename T>
inline void keep(const T& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}

// "ratio <what>: <x> (<measured> against <baseline>; target: <target>)"
inline void printRatio(
    const char* what, double measured, double baseline, const char* unit, const char* target) {
    std::printf("ratio %-34s %7.3f   (%.3f %s against %.3f %s; target: %s)\n", what, measured / baseline,
        measured, unit, baseline, unit, target);
    std::fflush(stdout);
}

}  // namespace bench
