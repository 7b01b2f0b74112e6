// An in-memory window built from the console's control table: labels, text
// boxes and option buttons with their initial contents, option groups
// exclusive per container, and a log of every access a handler makes.
// It lets the click handlers run without Qt, exactly as on the real window.
#pragma once

#include "app/ControlTable.h"
#include "commands/Form.h"
#include "model/Utf.h"

#include <map>
#include <string>
#include <vector>

namespace testsupport {

class MemoryForm : public commands::Form {
public:
    MemoryForm() {
        for (const app::Control& c : app::controls) {
            State& s = state_[std::string(c.name)];
            s.control = &c;
            s.text = model::utf16(c.caption);
            s.selected = c.selected;
        }
    }

    // What the user does: type into a text box, select an option button.
    void type(std::string_view textBox, std::u16string text) {
        at(textBox, app::Kind::TextBox).text = std::move(text);
    }
    void select(std::string_view option) {
        State& chosen = at(option, app::Kind::OptionButton);
        for (auto& [name, s] : state_) {
            if (s.control->kind == app::Kind::OptionButton &&
                s.control->container == chosen.control->container) {
                s.selected = false;
            }
        }
        chosen.selected = true;
    }
    // Marks one button without touching the others of its group, as a window
    // whose groups are not kept exclusive might show them.
    void forceSelected(std::string_view option, bool selected) {
        at(option, app::Kind::OptionButton).selected = selected;
    }
    void clearOptions(std::string_view container) {
        for (auto& [name, s] : state_) {
            if (s.control->kind == app::Kind::OptionButton && s.control->container == container)
                s.selected = false;
        }
    }

    // What the window shows.
    std::u16string label(std::string_view name) const { return state_.at(std::string(name)).text; }
    // Every label's caption, by name, for before/after comparisons.
    std::map<std::string, std::u16string> labels() const {
        std::map<std::string, std::u16string> out;
        for (const auto& [name, s] : state_) {
            if (s.control->kind == app::Kind::Label) out[name] = s.text;
        }
        return out;
    }
    // Every read and write of the form, e.g. "text Text1", "caption Label1".
    const std::vector<std::string>& accesses() const { return accesses_; }
    void forgetAccesses() { accesses_.clear(); }

    std::u16string text(std::string_view textBox) override {
        accesses_.push_back("text " + std::string(textBox));
        return at(textBox, app::Kind::TextBox).text;
    }
    bool isSelected(std::string_view option) override {
        accesses_.push_back("selected " + std::string(option));
        return at(option, app::Kind::OptionButton).selected;
    }
    std::u16string caption(std::string_view option) override {
        accesses_.push_back("caption of " + std::string(option));
        return at(option, app::Kind::OptionButton).text;
    }
    void setCaption(std::string_view label, std::u16string_view caption) override {
        accesses_.push_back("set " + std::string(label));
        at(label, app::Kind::Label).text = std::u16string(caption);
    }

private:
    struct State {
        const app::Control* control = nullptr;
        std::u16string text;
        bool selected = false;
    };
    State& at(std::string_view name, app::Kind kind) {
        const auto it = state_.find(std::string(name));
        if (it == state_.end() || it->second.control->kind != kind) {
            throw commands::FormError("no control of that kind named " + std::string(name));
        }
        return it->second;
    }
    std::map<std::string, State> state_;
    std::vector<std::string> accesses_;
};

}  // namespace testsupport
