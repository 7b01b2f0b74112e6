// Identification trials: ldt-devices identify against virtual displays whose
// command set and line settings are hidden, drawn from seeds 1..N (8 speeds
// from 1200 to 115200, no parity or odd parity, every command set of the
// table), with an operator who reads the display's headless screen and types
// the code that stands alone on it (tests/support/IdentifyTrial.h). Several
// trials run at once; each is its own pair of processes on its own pty.
//
// Targets: every trial identified; at most 2 operator answers for a set that
// cannot answer, none for one that can; the worst trial under 60 s; every
// code on the glass at least 1 s.
//   <build>/bench/identify_trials [trials] [at once]
#include "support/IdentifyTrial.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::atoi(argv[1]) : 100;
    const int atOnce = argc > 2 ? std::atoi(argv[2]) : 8;
    char pattern[] = "/tmp/ldt-trials-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    std::vector<testsupport::TrialResult> results(static_cast<std::size_t>(trials));
    std::mutex mutex;
    int next = 0;
    const auto worker = [&] {
        for (;;) {
            int i = 0;
            {
                std::lock_guard lock(mutex);
                if (next >= trials) return;
                i = next++;
            }
            testsupport::TrialOptions options;
            options.seed = static_cast<std::uint64_t>(i + 1);
            options.folder = root / std::to_string(i + 1);
            std::filesystem::create_directories(options.folder);
            results[static_cast<std::size_t>(i)] =
                testsupport::runTrial(options, LDT_VIRTUAL_DISPLAY, LDT_DEVICES);
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(atOnce));
    for (int t = 0; t < atOnce; ++t) threads.emplace_back(worker);
    for (auto& t : threads) t.join();

    std::printf(
        "identification trials: %d, seeds 1..%d, %d at once, each code held 1000 ms, operator reaction 400 "
        "ms\n",
        trials, trials, atOnce);
    std::printf(
        "  seed  hidden set      hidden line  found                     answers  seconds  shortest code s\n");
    int identified = 0;
    int answersOverTarget = 0;
    double worst = 0;
    double shortest = 1e9;
    for (int i = 0; i < trials; ++i) {
        const auto& r = results[static_cast<std::size_t>(i)];
        const bool answers = !r.hidden.commandSet->reply.empty();
        const int allowed = answers ? 0 : 2;
        identified += r.identified() ? 1 : 0;
        answersOverTarget += r.answers > allowed ? 1 : 0;
        worst = std::max(worst, r.seconds);
        shortest = std::min(shortest, r.shortestCode);
        // A display found by its answer shows no code at all.
        char shortestText[32] = "           none";
        if (r.codesSeen > 0) std::snprintf(shortestText, sizeof shortestText, "%15.2f", r.shortestCode);
        std::printf("  %4d  %-14s  %-11s  %-24s  %7d  %7.1f  %s%s\n", i + 1,
            std::string(r.hidden.commandSet->name).c_str(), model::speedAndFrame(r.hidden.line).c_str(),
            r.identified() ? "yes" : (r.foundSet + " " + r.foundLine).c_str(), r.answers, r.seconds,
            shortestText, r.identified() ? "" : "  <- not identified");
        if (!r.identified()) {
            std::printf("----- identify said:\n%s\n----- display said (last 600 bytes):\n%s\n",
                r.identifyOutput.c_str(),
                r.displayOutput.substr(r.displayOutput.size() > 600 ? r.displayOutput.size() - 600 : 0)
                    .c_str());
        }
    }
    std::filesystem::remove_all(root);
    std::printf("identified %d of %d (target: all)\n", identified, trials);
    std::printf("trials over their answer target (2 for a set that cannot answer, 0 for one that can): %d\n",
        answersOverTarget);
    std::printf(
        "ratio worst trial / 60 s                  %.3f   (%.1f s; target: below 1)\n", worst / 60, worst);
    std::printf("ratio shortest code on the glass / 1 s    %.3f   (%.2f s; target: at least 1)\n", shortest,
        shortest);
    const bool met = identified == trials && answersOverTarget == 0 && worst < 60 && shortest >= 1.0;
    std::printf(met ? "all targets met\n" : "TARGETS MISSED\n");
    return met ? 0 : 1;
}
