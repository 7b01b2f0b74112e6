#include "devices/Operator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>

namespace devices {
namespace {

std::atomic<bool> interruptRequested{false};
struct sigaction previousAction {};

extern "C" void onInterrupt(int) { interruptRequested = true; }

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

}  // namespace

Terminal::Terminal() : inPlace_(::isatty(STDOUT_FILENO) != 0) {
    interruptRequested = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;  // no SA_RESTART: a wait ends at once
    ::sigaction(SIGINT, &action, &previousAction);
}

Terminal::~Terminal() { ::sigaction(SIGINT, &previousAction, nullptr); }

void Terminal::say(std::string_view text) {
    if (progressShown_ && inPlace_) std::cout << '\n';
    progressShown_ = false;
    std::cout << text << '\n' << std::flush;
}

void Terminal::progress(std::string_view text) {
    if (inPlace_) {
        // Clear the rest of the line: a shorter text would leave the old one's end.
        std::cout << '\r' << text << "\x1B[K" << std::flush;
    } else {
        std::cout << text << '\n' << std::flush;
    }
    progressShown_ = true;
}

void Terminal::checkInterrupt() {
    if (interruptRequested.exchange(false)) throw Interrupted();
}

std::optional<std::string> Terminal::answerBy(Clock::time_point deadline) {
    for (;;) {
        checkInterrupt();
        if (const auto newline = pending_.find('\n'); newline != std::string::npos) {
            std::string line = trimmed(std::string_view(pending_).substr(0, newline));
            pending_.erase(0, newline + 1);
            progressShown_ = false;  // the operator's Enter ended the progress line
            return line;
        }
        if (ended_) return std::nullopt;
        const auto now = Clock::now();
        if (now >= deadline) return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left + 1, 200)));
        if (ready <= 0) continue;  // timeout, or a signal (checked above)
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            // A person types a few characters; a flood is cut, not kept.
            if (pending_.size() < 4096) pending_.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            ended_ = true;
            if (!pending_.empty()) pending_ += '\n';  // the last line without its newline
        }
    }
}

}  // namespace devices
