// A program run as a child process, as a script or a person at a terminal
// would run it: its standard output and error on one pipe that the test
// reads, its standard input on another that the test writes. Killed and
// reaped when the object goes.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

class Process {
public:
    using Clock = std::chrono::steady_clock;

    // Starts `program` with `args`; `unset` names environment variables the
    // child goes without, `set` adds NAME=VALUE ones; `asNobody` runs it as
    // the unprivileged user nobody (tests run as root).
    Process(const std::string& program, const std::vector<std::string>& args,
        const std::vector<std::string>& unset = {}, const std::vector<std::string>& set = {},
        bool asNobody = false) {
        int out[2];
        int in[2];
        if (::pipe(out) != 0 || ::pipe(in) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(out[1], 2);
            ::dup2(in[0], 0);
            for (int fd : {out[0], out[1], in[0], in[1]}) ::close(fd);
            for (const auto& name : unset) ::unsetenv(name.c_str());
            for (const auto& entry : set) ::putenv(const_cast<char*>(entry.c_str()));
            if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(in[0]);
        out_ = out[0];
        in_ = in[1];
        ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
    }
    ~Process() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        if (in_ >= 0) ::close(in_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    int outputFd() const { return out_; }
    pid_t pid() const { return pid_; }

    // Takes whatever output is there now; returns whether any came (false
    // also once the output has ended).
    bool pump() {
        char buffer[4096];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    // Reads output until it contains `text` after what earlier waits took,
    // or the timeout passes; returns whether it came.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + timeout;
        while (output_.find(text, taken_) == std::string::npos) {
            if (Clock::now() > deadline) return false;
            pollfd pfd{out_, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0) continue;
            if (!pump() && (pfd.revents & POLLHUP)) return output_.find(text, taken_) != std::string::npos;
        }
        taken_ = output_.find(text, taken_) + text.size();
        return true;
    }
    // Types a line on its standard input.
    void type(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("cannot type into the program");
    }
    // Ends its standard input.
    void closeInput() {
        ::close(in_);
        in_ = -1;
    }
    void signal(int number) { ::kill(pid_, number); }
    // Stops it with a signal; returns its exit status.
    int stop(int number) {
        signal(number);
        return wait();
    }
    // Waits for it to end; its exit status (128 + signal when killed).
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        while (pump()) {}
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Whether it has ended; its exit status then goes to `status`.
    bool ended(int& status) {
        if (pid_ <= 0) return true;
        int raw = 0;
        if (::waitpid(pid_, &raw, WNOHANG) != pid_) return false;
        pid_ = -1;
        while (pump()) {}
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::string output_;
    std::size_t taken_ = 0;
};

}  // namespace testsupport
