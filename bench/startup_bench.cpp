// Start-up benchmark driver: runs the console (bench build) and the baseline
// program alternately, each N times, and compares the medians of the time
// from spawning the process to its first painted window and of its peak
// resident memory. Not a test: it prints numbers, it asserts nothing.
//
// Usage: startup_bench [runs]   (default 15)
#include "BenchStats.h"
#include "ChildRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const char* programs[2] = {LDT_BENCH_CONSOLE, LDT_BENCH_BASELINE};
    const auto env = bench::childEnvironment();

    // One unmeasured run of each warms the file cache and font cache.
    bench::runToFirstPaint(programs[0], env);
    bench::runToFirstPaint(programs[1], env);

    std::vector<double> ms[2], mib[2];
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < 2; ++p) {
            const int which = (i % 2) ? 1 - p : p;  // alternate who goes first
            const bench::Sample s = bench::runToFirstPaint(programs[which], env);
            ms[which].push_back(s.startMs);
            mib[which].push_back(s.peakMiB);
        }
    }
    const double t[2] = {bench::median(ms[0]), bench::median(ms[1])};
    const double m[2] = {bench::median(mib[0]), bench::median(mib[1])};
    std::printf("start-up to first paint, offscreen, median of %d runs each\n", runs);
    std::printf("%-22s %14s %14s\n", "", "first paint ms", "peak RSS MiB");
    std::printf("%-22s %14.2f %14.2f\n", "TQN730Test (bench)", t[0], m[0]);
    std::printf("%-22s %14.2f %14.2f\n", "baseline (127 widgets)", t[1], m[1]);
    bench::printRatio("start-up to first paint", t[0], t[1], "ms", "at most 1.10");
    bench::printRatio("start-up peak memory", m[0], m[1], "MiB", "at most 1.10");
    return 0;
}
