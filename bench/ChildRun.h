// Shared by the start-up benchmarks: runs a program built with the
// first-paint probe (FirstPaintProbe.cpp) as a child process, offscreen and
// with a private runtime folder, and returns the time from spawning it to
// its first painted window and its peak resident memory. Not a test: it
// measures, and stops the benchmark with a message when the child fails.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

struct Sample {
    double startMs;  // spawn to first paint
    double peakMiB;  // ru_maxrss of the child
};

inline std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// This process's environment without Qt's and the runtime folder's
// variables, plus offscreen, no accessibility and a private runtime folder.
inline std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("QT_", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 ||
            entry.rfind("LDT_DEVICE_CONFIG=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    const std::string runtime = "/tmp/ldt-bench-runtime-" + std::to_string(getuid());
    mkdir(runtime.c_str(), 0700);
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    env.emplace_back("QT_ACCESSIBILITY=0");
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    return env;
}

// Runs the program once; its standard error goes to `errors` (none: kept).
inline Sample runToFirstPaint(
    const char* program, const std::vector<std::string>& env, const char* errors = nullptr) {
    int out[2];
    if (pipe(out) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (errors != nullptr)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors, O_WRONLY | O_CREAT | O_TRUNC, 0600);
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

}  // namespace bench
