// A console for handler tests: the in-memory window and a recording control
// wired together, so a test clicks buttons by name and checks the calls that
// reached the control and the labels that changed.
#pragma once

#include "commands/Commands.h"
#include "support/MemoryForm.h"
#include "support/RecordingControl.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class Console {
public:
    Console() : recorder_(new RecordingControl), control_(std::unique_ptr<display::Dispatch>(recorder_)) {}

    void click(std::string_view button) { commands::click(button, form, control_); }
    RecordingControl& control() { return *recorder_; }
    std::vector<std::string> calls() const { return recorder_->log(); }

    MemoryForm form;

private:
    RecordingControl* recorder_;  // owned by control_
    display::OPOSLineDisplay control_;
};

// The labels whose caption differs between two snapshots.
inline std::map<std::string, std::u16string> changedLabels(
    const std::map<std::string, std::u16string>& before, const std::map<std::string, std::u16string>& after) {
    std::map<std::string, std::u16string> changed;
    for (const auto& [name, text] : after) {
        if (before.at(name) != text) changed[name] = text;
    }
    return changed;
}

}  // namespace testsupport
