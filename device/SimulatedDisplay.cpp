#include "device/SimulatedDisplay.h"

#include "display/ResultCodes.h"
#include "model/CharacterSets.h"

#include <charconv>
#include <unordered_set>

namespace device {
namespace {

// Whether a character is on one of the code pages a profile lists.
std::function<bool(char32_t)> pagesOf(const model::DeviceProfile& profile) {
    auto shown = std::make_shared<std::unordered_set<char32_t>>();
    std::string_view list = profile.characterSetList;
    while (!list.empty()) {
        const std::string_view item = list.substr(0, list.find(','));
        list.remove_prefix(std::min(list.size(), item.size() + 1));
        std::int32_t page = 0;
        std::from_chars(item.data(), item.data() + item.size(), page);
        if (page == model::charSetUnicode) continue;
        for (unsigned b = 0x20; b <= 0xFF; ++b) {
            if (const char32_t c = model::characterAt(static_cast<unsigned char>(b), page, 0); c != 0)
                shown->insert(c);
        }
    }
    return [shown](char32_t c) { return shown->contains(c); };
}

}  // namespace

SimulatedDisplay::SimulatedDisplay(
    const model::DeviceProfile& profile, std::shared_ptr<Trace> trace, std::string deviceName)
    : profile_(profile),
      trace_(std::move(trace)),
      deviceName_(deviceName.empty() ? std::string(profile.name) : std::move(deviceName)),
      shaper_(pagesOf(profile), 0),
      model_(profile.rows, profile.columns) {
    model_.setCharacterSet(profile.initialCharacterSet);
    model_.setCursorType(profile.initialCursorType);
}

std::int32_t SimulatedDisplay::enable() {
    enabled_ = true;
    return display::OPOS_SUCCESS;
}

void SimulatedDisplay::disable() { enabled_ = false; }

std::u32string SimulatedDisplay::layOutUnicode(std::u32string_view text) {
    lettering::Shaper::Result shaped = shaper_.shape(text);
    if (trace_) {
        for (const lettering::Fallback& f : shaped.fallbacks)
            trace_->fallback(deviceName_, f.characters, f.shown, lettering::how(f));
    }
    return std::move(shaped.text);
}

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
