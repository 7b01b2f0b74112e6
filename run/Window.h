// The console's window without a screen, for scripts: every label, text box
// and option button of the control table with its initial caption, text or
// selection, option buttons exclusive within their container, exactly as
// the real window starts. The click handlers see it through the same
// commands::Form face as the window; a script types, selects and reads
// labels. One thread.
#pragma once

#include "app/ControlTable.h"
#include "commands/Form.h"

#include <array>
#include <string>
#include <string_view>

namespace run {

class Window final : public commands::Form {
public:
    Window();

    // What a technician does: type into a text box (its whole text), select
    // an option button.
    void type(std::string_view textBox, std::u16string text);
    void select(std::string_view optionButton);
    // A label's caption now.
    std::u16string label(std::string_view name);

    std::u16string text(std::string_view textBox) override;
    bool isSelected(std::string_view optionButton) override;
    std::u16string caption(std::string_view optionButton) override;
    void setCaption(std::string_view label, std::u16string_view caption) override;

private:
    struct State {
        std::u16string text;  // caption or text
        bool selected = false;
    };
    // The state of a control of that kind; FormError otherwise.
    State& at(std::string_view name, app::Kind kind);

    std::array<State, app::controls.size()> states_;
};

}  // namespace run
