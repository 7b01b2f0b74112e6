#include "app/Console.h"

#include "commands/Commands.h"
#include "display/DispatchError.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace app {
namespace {

// Stands in for a control that could not be created: every call fails as a
// call, naming the reason, so that a click reports it and changes nothing.
class UnavailableControl final : public display::Dispatch {
public:
    explicit UnavailableControl(std::string reason) : reason_(std::move(reason)) {}
    display::Variant invoke(display::DispId, unsigned, std::span<const display::Variant>) override {
        throw display::DispatchError(display::FailureKind::ControlUnavailable, reason_);
    }

private:
    std::string reason_;
};

}  // namespace

std::string failureLine(std::string_view button, std::string_view reason) {
    const Control* row = findControl(button);
    const std::string_view name = row ? row->caption : button;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // "literal" + std::string.
    std::string line;
    line.reserve(name.size() + reason.size() + 11);
    line.append(1, '"').append(name).append("\" failed: ").append(reason);
    return line;
}

std::optional<std::string> runClick(
    std::string_view button, commands::Form& form, display::OPOSLineDisplay& control) {
    try {
        commands::click(button, form, control);
    } catch (const std::exception& e) {
        return failureLine(button, e.what());
    } catch (...) {
        return failureLine(button, "an error of unknown kind");
    }
    return std::nullopt;
}

StartedControl startControl(const display::ControlFactory& factory) {
    try {
        return {std::make_unique<display::OPOSLineDisplay>(factory.create(display::lineDisplayProgId)), {}};
    } catch (const std::exception& e) {
        std::string problem = std::string("The Line Display control could not be started: ") + e.what();
        auto control = std::make_unique<display::OPOSLineDisplay>(std::make_unique<UnavailableControl>(
            "the Line Display control object is not available: " + std::string(e.what())));
        return {std::move(control), std::move(problem)};
    }
}

int twipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

PixelRect pixelRect(const Control& c, double dotsPerInch) {
    const auto px = [dotsPerInch](int twips) { return twipsToPixels(twips, dotsPerInch); };
    const int x = px(c.left), y = px(c.top);
    return {x, y, px(c.left + c.width) - x, px(c.top + c.height) - y};
}

PixelRect windowPixelRect(const Control& c, double dotsPerInch) {
    // Sum the twips first and round once, so that a control and its frame's
    // edge stay as far apart as in twips.
    int left = c.left, top = c.top;
    for (const Control* outer = findControl(c.container); outer; outer = findControl(outer->container)) {
        left += outer->left;
        top += outer->top;
    }
    Control placed = c;
    placed.left = left;
    placed.top = top;
    return pixelRect(placed, dotsPerInch);
}

std::vector<const Control*> focusOrder() {
    std::vector<const Control*> order;
    for (const Control& c : controls)
        if (c.kind == Kind::CommandButton || c.kind == Kind::TextBox || c.kind == Kind::OptionButton)
            order.push_back(&c);
    std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

}  // namespace app
