// The console as start-up composes it, without a window: the in-memory form
// and a built-in control object of its own, created by ProgID from a device
// registry; and the first road every technician takes at it, as data, so
// that the handler, window and end-to-end tests walk the same clicks.
#pragma once

#include "commands/Commands.h"
#include "device/LineDisplayControl.h"
#include "display/OPOSLineDisplay.h"
#include "support/BuiltInControl.h"
#include "support/MemoryForm.h"

#include <array>
#include <memory>
#include <string_view>

namespace testsupport {

// One console: the in-memory window and its own built-in control object.
struct RealConsole {
    explicit RealConsole(
        const std::shared_ptr<const device::DeviceRegistry>& registry = device::DeviceRegistry::builtIn())
        : control(builtInControl(registry)) {}

    void click(std::string_view button) { commands::click(button, form, control); }
    std::u16string label(std::string_view name) const { return form.label(name); }
    device::LineDisplayControl& device() {
        return dynamic_cast<device::LineDisplayControl&>(control.control());
    }

    MemoryForm form;
    display::OPOSLineDisplay control;
};

// A click and the caption a label must show after it.
struct RoadStep {
    std::string_view button;
    std::string_view label;
    std::u16string_view shows;
};

// The first road at the console on the default display, with the wrong
// turns a newcomer takes: Claim before Open, Open twice, then Claim and
// Enable, and the display reads as enabled.
inline constexpr std::array<RoadStep, 6> firstRoad{{
    {"Command3", "Label1", u"OPOS_E_CLOSED"},   // Claim before Open
    {"Command2", "Label1", u"OPOS_SUCCESS"},    // Open
    {"Command2", "Label1", u"OPOS_E_ILLEGAL"},  // a second Open
    {"Command3", "Label1", u"OPOS_SUCCESS"},    // Claim
    {"Command4", "Label1", u"OPOS_SUCCESS"},    // Enable leaves the Claim's status
    {"Command8", "Label4", u"True"},            // DeviceEnabled
}};

// Open, Claim and Enable on the selected display, with nothing checked.
inline constexpr std::array<std::string_view, 3> openClaimEnableClicks{"Command2", "Command3", "Command4"};
template <class Console>
void openClaimEnable(Console& console) {
    for (const std::string_view button : openClaimEnableClicks) console.click(button);
}

}  // namespace testsupport
