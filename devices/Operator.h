// Operator: the person at the bench, as ldt-devices talks to them: lines
// said, one progress line rewritten in place while a sweep runs, and the
// lines they type, waited for up to a deadline.
//
// Terminal is the one on standard input and output. Ctrl-C (SIGINT) ends
// any wait with Interrupted, so the caller can put everything back as it
// was. One thread; the SIGINT handler only sets a flag.
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace devices {

// Ctrl-C was pressed.
struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("interrupted") {}
};

class Operator {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~Operator() = default;

    // A line for the operator (ends any progress line first).
    virtual void say(std::string_view text) = 0;
    // The progress line: shown in place of the last one.
    virtual void progress(std::string_view text) = 0;
    // Asks and waits for a typed line until the deadline: the line without
    // its surrounding blanks, or nothing when none came (or input ended).
    // Throws Interrupted on Ctrl-C.
    virtual std::optional<std::string> answerBy(Clock::time_point deadline) = 0;
    // Whether input has ended (no answer can come any more).
    virtual bool inputEnded() const = 0;
    // Throws Interrupted if Ctrl-C was pressed since the last wait.
    virtual void checkInterrupt() = 0;

    // Asks a question and waits as long as it takes.
    std::optional<std::string> ask(std::string_view question) {
        say(question);
        return answerBy(Clock::time_point::max());
    }
};

// Standard input and output. Installs a SIGINT handler for its life.
class Terminal : public Operator {
public:
    Terminal();
    ~Terminal() override;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void say(std::string_view text) override;
    void progress(std::string_view text) override;
    std::optional<std::string> answerBy(Clock::time_point deadline) override;
    bool inputEnded() const override { return ended_; }
    void checkInterrupt() override;

private:
    std::string pending_;  // typed but not yet ended by a newline
    bool ended_ = false;
    bool inPlace_ = false;        // the progress line is rewritten with a carriage return
    bool progressShown_ = false;  // a progress line is on screen
};

}  // namespace devices
