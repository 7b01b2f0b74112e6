#include "device/SimulatedDisplay.h"

#include "display/ResultCodes.h"

namespace device {

SimulatedDisplay::SimulatedDisplay(const model::DeviceProfile& profile)
    : profile_(profile), model_(profile.rows, profile.columns) {
    model_.setCharacterSet(profile.initialCharacterSet);
    model_.setCursorType(profile.initialCursorType);
}

std::int32_t SimulatedDisplay::enable() {
    enabled_ = true;
    return display::OPOS_SUCCESS;
}

void SimulatedDisplay::disable() { enabled_ = false; }

void SimulatedDisplay::apply(const model::DisplayOp& operation) { model::applyTo(model_, operation); }

void SimulatedDisplay::replaceWith(const model::DisplayModel& model) { model_ = model; }

HealthReport SimulatedDisplay::checkHealth(std::int32_t level) {
    switch (level) {
    case 1: {
        // The internal check touches nothing the customer sees: it checks
        // that the display memory has the geometry of the profile.
        const bool sound = model_.deviceRows() == profile_.rows &&
                           model_.deviceColumns() == profile_.columns && model_.windowCount() >= 1;
        if (!sound)
            return {display::OPOS_E_FAILURE, u"Internal HCheck: display memory does not match the device"};
        return {display::OPOS_SUCCESS, u"Internal HCheck: Successful"};
    }
    case 2: {
        // The external check lights every cell, then puts back exactly what
        // was shown, windows and cursors included.
        const model::DisplayModel saved = model_;
        model::DisplayModel pattern(profile_.rows, profile_.columns);
        pattern.writeText(std::u32string(static_cast<std::size_t>(profile_.rows * profile_.columns), U'*'),
            model::attribute::normal, true);
        model_ = pattern;
        ++testPatterns_;
        model_ = saved;
        return {display::OPOS_SUCCESS, u"External HCheck: Successful"};
    }
    case 3:
        return {display::OPOS_E_ILLEGAL,
            u"Interactive HCheck: Not supported (a simulated display has no operator dialog)"};
    default: return {display::OPOS_E_ILLEGAL, u"HCheck: no such level"};
    }
}

}  // namespace device
