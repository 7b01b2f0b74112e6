// Running statements against a target: the control instances a script
// uses (the console's own, and any "@name" ones), the console's window
// around the console's one, what the last action gave, and the checks of
// every expectation, each becoming a Finding.
//
// An action that fails as a call (display::DispatchError, or a click the
// console would report in a message box) is a finding of its own unless the
// script expects it ("-> error" or an "expect error" right after). Values
// that name the device under test (DEVICE, ROWS, COLUMNS) come from
// DeviceFacts, which opens the device once on an instance of its own to
// learn them. One thread.
#pragma once

#include "display/OPOSLineDisplay.h"
#include "run/Report.h"
#include "run/Script.h"
#include "run/Target.h"
#include "run/Window.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace run {

// A run that cannot go on: a control that cannot be created, a device that
// cannot be opened to learn its size, a value out of range.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device under test, and what it says about itself once open.
class DeviceFacts {
public:
    DeviceFacts(Target& target, std::string device);

    const std::string& device() const { return device_; }
    // Every property of the device read while it is open on a fresh
    // instance (once, then kept); throws RunError when it cannot be opened.
    const std::map<std::string, display::Variant, std::less<>>& properties();
    std::int32_t rows();
    std::int32_t columns();

private:
    // A size the device tells in a property of its own (DeviceRows, DeviceColumns).
    std::int32_t size(std::string_view property, std::string_view what);

    Target& target_;
    std::string device_;
    std::optional<std::map<std::string, display::Variant, std::less<>>> properties_;
};

// What an action gave.
struct ActionResult {
    std::optional<display::Variant> value;  // a method's result, a read's value, a write's ResultCode
    std::optional<std::string> failure;     // why it failed as a call
};

class Session {
public:
    Session(Target& target, DeviceFacts& facts);
    // Releases every control instance (no calls on them) and puts back a
    // display that was taken off its line.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one statement, adding a finding for each check it makes. `next`
    // (may be null) is the statement after it. With `requireSuccess` a call
    // or write without an expected outcome must give 0 (the pack's set-up).
    // Returns false when the rest cannot run (an unplug the target cannot do).
    bool execute(
        const Statement& s, const Statement* next, std::vector<Finding>& out, bool requireSuccess = false);

    // Carries out an action without checking it.
    ActionResult act(const Statement& s);
    // Why a result is not the expected outcome, or nothing when it is.
    std::optional<std::string> mismatch(const Statement& s, const ActionResult& got, const Outcome& expected);

    // A property read on an instance for a before/after comparison: the
    // value as a literal, or "failed: <why>".
    std::string snapshotRead(const std::string& instance, const display::Operation& property);

    display::Variant evaluate(const Value& value);
    std::int64_t evaluate(const Number& number);
    // A value as the script would write it, evaluated: "COLUMNS-1" is "19".
    std::string shown(const Value& value);

    // Waits until every instance has shown what it was told to.
    void settle();

private:
    display::OPOSLineDisplay& instance(const std::string& name);
    void expectScreen(const Statement& s, Finding& f);
    void expectWire(const Statement& s, Finding& f);

    Target& target_;
    DeviceFacts& facts_;
    std::map<std::string, std::unique_ptr<display::OPOSLineDisplay>> instances_;
    Window window_;
    std::optional<std::string> lastFailure_;  // of the last action
    bool anyAction_ = false;
    std::size_t wireMark_ = 0;  // the wire log's end when the last action began
    bool unplugged_ = false;
};

// Runs a whole script under its file's name: parse first, nothing runs when
// it does not parse (the caller's job), then each statement in turn.
void runScript(const Script& script, Target& target, DeviceFacts& facts, Reporter& reporter);

// "file:line" of a location.
std::string lineOf(const Location& where);

}  // namespace run
