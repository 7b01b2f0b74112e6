// Start-up benchmark driver: runs the console (bench build) and the baseline
// program alternately, each N times, and compares the medians of the time
// from spawning the process to its first painted window and of its peak
// resident memory. Not a test: it prints numbers, it asserts nothing.
//
// Usage: startup_bench [runs]   (default 15)
#include "BenchStats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Sample {
    double startMs;  // spawn to first paint
    double peakMiB;  // ru_maxrss of the child
};

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("QT_", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0) continue;
        env.push_back(entry);
    }
    // Offscreen, without accessibility (no session bus to look for), and with
    // a private runtime folder so Qt does not warn.
    const std::string runtime = "/tmp/ldt-bench-runtime-" + std::to_string(getuid());
    mkdir(runtime.c_str(), 0700);
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    env.emplace_back("QT_ACCESSIBILITY=0");
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    return env;
}

Sample runOnce(const char* program, const std::vector<std::string>& env) {
    int out[2];
    if (pipe(out) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program), nullptr};

    pid_t pid = 0;
    const std::int64_t spawned = monotonicNs();
    const int rc = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program, std::strerror(rc));
        std::exit(2);
    }

    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) {
        std::fprintf(stderr, "%s did not report its first paint (status %d)\n", program, status);
        std::exit(2);
    }
    const std::int64_t painted = std::stoll(text);
    return {static_cast<double>(painted - spawned) / 1e6, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const char* programs[2] = {LDT_BENCH_CONSOLE, LDT_BENCH_BASELINE};
    const auto env = childEnvironment();

    // One unmeasured run of each warms the file cache and font cache.
    runOnce(programs[0], env);
    runOnce(programs[1], env);

    std::vector<double> ms[2], mib[2];
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < 2; ++p) {
            const int which = (i % 2) ? 1 - p : p;  // alternate who goes first
            const Sample s = runOnce(programs[which], env);
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
