#include "device/SimulatedDisplay.h"

#include "display/ResultCodes.h"

namespace device {

void applyTo(DisplayModel& model, const DisplayOp& operation) {
    struct Visitor {
        DisplayModel& m;
        void operator()(const op::Text& o) { m.writeText(o.text, o.attribute, o.cursorUpdate); }
        void operator()(const op::Clear&) { m.clearWindow(); }
        void operator()(const op::SetCursor& o) { m.setCursor(o.row, o.column); }
        void operator()(const op::CreateWindow& o) { m.createWindow(o.geometry, o.cursorType); }
        void operator()(const op::DestroyWindow&) { m.destroyWindow(); }
        void operator()(const op::SelectWindow& o) { m.selectWindow(o.window); }
        void operator()(const op::Brightness& o) { m.setBrightness(o.percent); }
        void operator()(const op::CursorType& o) { m.setCursorType(o.type); }
        void operator()(const op::CharacterSet& o) { m.setCharacterSet(o.characterSet); }
    };
    std::visit(Visitor{model}, operation);
}

SimulatedDisplay::SimulatedDisplay(const DeviceProfile& profile)
    : profile_(profile), model_(profile.rows, profile.columns) {
    model_.setCharacterSet(profile.initialCharacterSet);
    model_.setCursorType(profile.initialCursorType);
}

std::int32_t SimulatedDisplay::enable() {
    enabled_ = true;
    return display::OPOS_SUCCESS;
}

void SimulatedDisplay::disable() { enabled_ = false; }

void SimulatedDisplay::apply(const DisplayOp& operation) { applyTo(model_, operation); }

void SimulatedDisplay::replaceWith(const DisplayModel& model) { model_ = model; }

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
        const DisplayModel saved = model_;
        DisplayModel pattern(profile_.rows, profile_.columns);
        pattern.writeText(std::u32string(static_cast<std::size_t>(profile_.rows * profile_.columns), U'*'),
            attribute::normal, true);
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
