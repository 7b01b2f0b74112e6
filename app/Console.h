// What both front ends of the console window share, free of any toolkit:
// the one boundary around a click, the wording of failures, creating the
// control instance at start-up, and the window's geometry in pixels and its
// tab order, all derived from the control table. Plain functions; the
// window's thread calls them.
#pragma once

#include "app/ControlTable.h"
#include "commands/Form.h"
#include "display/OPOSLineDisplay.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The line that reports a failed click: "<button's caption>" failed: <reason>.
std::string failureLine(std::string_view button, std::string_view reason);

// Runs the named button's click handler inside the program's one default
// handling of unhandled errors: whatever the handler throws ends the click
// here. Returns the failure line, or nothing when the click completed.
std::optional<std::string> runClick(
    std::string_view button, commands::Form& form, display::OPOSLineDisplay& control);

// The control instance the window works with, and what went wrong making it.
struct StartedControl {
    std::unique_ptr<display::OPOSLineDisplay> control;  // never null
    std::string problem;  // empty, or the line saying why the control could not be created
};

// Creates the control from display::lineDisplayProgId. When that fails the
// window still gets a control instance: one whose every call fails with the
// same reason (ControlUnavailable), so each click says why nothing works.
StartedControl startControl(const display::ControlFactory& factory);

// Pixels for a length in twips at the given density (15 twips a pixel at 96
// dots per inch), rounded to the nearest pixel.
int twipsToPixels(int twips, double dotsPerInch);

struct PixelRect {
    int x, y, width, height;
};

// A control's place in pixels from its container's top-left corner. Edges
// are rounded rather than sizes, so neighbours that touch in twips still
// touch in pixels at any density.
PixelRect pixelRect(const Control& control, double dotsPerInch);

// The same place measured from the window's client area, through the frames
// that hold the control (for toolkits whose frames are not containers).
PixelRect windowPixelRect(const Control& control, double dotsPerInch);

// The controls that take the focus (buttons, text boxes, option buttons) in
// rising tab index: the order Tab walks them.
std::vector<const Control*> focusOrder();

}  // namespace app
