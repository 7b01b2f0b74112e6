// The click handlers of the console's 58 command buttons.
//
// Each handler reads its inputs from the Form, converts them, invokes the
// Line Display control by dispatch ID and writes the outcome into a label.
// Handlers keep no state and trap no errors: a failing step throws
// (display::DispatchError or commands::FormError) and nothing after it runs.
// Called on the window's one thread, one click at a time.
#pragma once

#include "commands/Form.h"
#include "display/OPOSLineDisplay.h"

#include <span>
#include <string_view>

namespace commands {

using Handler = void (*)(Form&, display::OPOSLineDisplay&);

struct Button {
    std::string_view name;  // the command button's control name, e.g. "Command14"
    Handler click;
};

// Every command button with its click handler, 58 rows.
std::span<const Button> buttons();

// Runs the click handler of the named button; FormError for an unknown name.
void click(std::string_view button, Form& form, display::OPOSLineDisplay& control);

}  // namespace commands
