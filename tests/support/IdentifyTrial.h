// One identification trial, as a person at the bench would run it: a
// virtual display with hidden settings drawn from a seed (ldt-virtual-display
// --headless --hidden SEED), and ldt-devices identify on its link, with an
// operator who reads the display's screens and types a code when one stands
// alone on the glass (a capital letter and a digit, nothing else shown),
// after a person's reaction time, and answers the prompts. The trial
// records how many answers the operator typed, how long the whole took,
// and how long each code stood on the glass before it changed.
//
// Used by the identification benchmark (100 trials) and by the tests (a few
// with a shorter hold). Both programs are real processes on a real pty.
#pragma once

#include "emulator/Hidden.h"
#include "support/Process.h"

#include <poll.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace testsupport {

struct TrialOptions {
    std::uint64_t seed = 0;
    std::chrono::milliseconds hold{1000};     // --hold of identify
    std::chrono::milliseconds reaction{400};  // from a code on the glass to the operator's Enter
    bool save = false;                        // answer the final question with yes
    std::filesystem::path folder;             // for the link and the configuration file
    std::chrono::seconds limit{120};
};

struct TrialResult {
    emulator::Hidden hidden{};
    bool ended = false;
    int status = -1;            // identify's exit status
    std::string foundSet;       // from "Found: command set X at SPEED FRAME"
    std::string foundLine;      // "9600 8O1"
    int answers = 0;            // code answers typed (the final yes/no not counted)
    double seconds = 0;         // from start to identify's end
    double shortestCode = 1e9;  // the shortest time a lone code stood on the glass, s
    int codesSeen = 0;
    std::string identifyOutput;
    std::string displayOutput;

    bool identified() const {
        return foundSet == hidden.commandSet->name && foundLine == model::speedAndFrame(hidden.line);
    }
};

// The code standing alone on a screen (rows given between the bars), if any.
inline std::optional<std::string> loneCode(const std::vector<std::string>& rows) {
    std::string shown;
    for (const std::string& row : rows) {
        for (const char c : row) {
            if (c != ' ') shown += c;
        }
    }
    if (shown.size() == 2 && shown[0] >= 'A' && shown[0] <= 'Z' && shown[1] >= '0' && shown[1] <= '9')
        return shown;
    return std::nullopt;
}

inline TrialResult runTrial(
    const TrialOptions& options, const std::string& displayProgram, const std::string& devicesProgram) {
    using Clock = std::chrono::steady_clock;
    TrialResult result;
    result.hidden = emulator::drawHidden(options.seed);
    const std::string link = (options.folder / "display").string();
    const std::string config = (options.folder / "devices.toml").string();
    Process display(displayProgram, {"--headless", "--hidden", std::to_string(options.seed), "--link", link},
        {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    if (!display.waitFor("end\n")) {
        result.displayOutput = display.output();
        return result;
    }
    const auto started = Clock::now();
    Process identify(devicesProgram,
        {"identify", link, "--hold", std::to_string(options.hold.count()), "--config", config});

    enum class Phase { none, sweep, probe } phase = Phase::none;
    std::size_t displayTaken = 0;
    std::size_t identifyTaken = 0;
    std::optional<std::string> shownCode;  // the lone code on the glass now
    Clock::time_point shownSince{};
    std::optional<std::string> phaseStartCode;  // what stood there when the phase began
    bool answeredThisPhase = false;
    std::optional<std::pair<Clock::time_point, std::string>> pendingAnswer;
    const auto deadline = started + options.limit;

    const auto noteCodeEnd = [&](Clock::time_point now) {
        if (!shownCode) return;
        result.shortestCode =
            std::min(result.shortestCode, std::chrono::duration<double>(now - shownSince).count());
        ++result.codesSeen;
    };
    const auto answer = [&](const std::string& text, bool code) {
        identify.type(text);
        if (code) ++result.answers;
    };

    while (Clock::now() < deadline) {
        pollfd fds[2] = {{display.outputFd(), POLLIN, 0}, {identify.outputFd(), POLLIN, 0}};
        ::poll(fds, 2, 20);
        const auto now = Clock::now();
        display.pump();
        identify.pump();
        // What identify says, line by line: first, as it says each step before
        // it sends that step's bytes.
        for (;;) {
            const std::string& out = identify.output();
            const std::size_t newline = out.find('\n', identifyTaken);
            const bool prompt = out.find("[y/N]", identifyTaken) != std::string::npos;
            if (newline == std::string::npos && !prompt) break;
            const std::string line = out.substr(
                identifyTaken, newline == std::string::npos ? std::string::npos : newline - identifyTaken);
            identifyTaken = newline == std::string::npos ? out.size() : newline + 1;
            if (line.starts_with("Line settings: watch")) {
                phase = Phase::sweep;
                phaseStartCode = shownCode;
                answeredThisPhase = false;
            } else if (line.starts_with("Command set: each set")) {
                phase = Phase::probe;
                phaseStartCode = shownCode;
                answeredThisPhase = false;
            } else if (line.starts_with("Type the code")) {
                // Asked at the end: the operator types what they last read, or nothing.
                answer(answeredThisPhase || !shownCode ? "" : *shownCode, true);
                answeredThisPhase = true;
            } else if (line.find("[y/N]") != std::string::npos) {
                answer(options.save ? "y" : "n", false);
            } else if (line.starts_with("Found: command set ")) {
                std::smatch m;
                static const std::regex found(R"(Found: command set (.+) at (\d+ \d[NOEMS]\d),)");
                if (std::regex_search(line, m, found)) {
                    result.foundSet = m[1];
                    result.foundLine = m[2];
                }
            }
            if (newline == std::string::npos) break;
        }
        // Every whole screen the display printed since the last look.
        for (;;) {
            const std::string& out = display.output();
            const std::size_t start = out.find("screen\n", displayTaken);
            if (start == std::string::npos) break;
            const std::size_t end = out.find("end\n", start);
            if (end == std::string::npos) break;
            std::vector<std::string> rows;
            std::size_t at = start + 7;
            while (at < end && out[at] == '|') {
                const std::size_t close = out.find("|\n", at + 1);
                rows.push_back(out.substr(at + 1, close - at - 1));
                at = close + 2;
            }
            displayTaken = end + 4;
            const auto code = loneCode(rows);
            if (code != shownCode) {
                noteCodeEnd(now);
                shownCode = code;
                shownSince = now;
            }
            if (phase != Phase::none && code && code != phaseStartCode && !answeredThisPhase) {
                pendingAnswer = std::make_pair(now + options.reaction, *code);
                answeredThisPhase = true;
            }
        }
        if (pendingAnswer && now >= pendingAnswer->first) {
            answer(pendingAnswer->second, true);
            pendingAnswer.reset();
        }
        if (identify.ended(result.status)) {
            result.ended = true;
            break;
        }
    }
    const auto finished = Clock::now();
    result.seconds = std::chrono::duration<double>(finished - started).count();
    display.pump();
    noteCodeEnd(finished);
    result.identifyOutput = identify.output();
    result.displayOutput = display.output();
    return result;
}

}  // namespace testsupport
