#include "device/Registry.h"

#include "device/LineDisplayControl.h"
#include "device/SimulatedDisplay.h"

#include <algorithm>
#include <charconv>

namespace device {

std::optional<DeviceProfile> findProfile(std::string_view name) {
    for (const auto& profile : profiles) {
        if (profile.name == name) return profile;
    }
    return std::nullopt;
}

std::int32_t nearestBrightness(const DeviceProfile& profile, std::int32_t percent) {
    const auto levels = profile.levels();
    if (!profile.capBrightness || levels.empty()) return percent;
    std::int32_t best = levels.front();
    for (const std::int32_t level : levels) {
        // Levels ascend, so "<=" prefers the higher of two equally near ones.
        if (std::abs(level - percent) <= std::abs(best - percent)) best = level;
    }
    return best;
}

bool listsCharacterSet(const DeviceProfile& profile, std::int32_t characterSet) {
    std::string_view list = profile.characterSetList;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (error == std::errc() && end == item.data() + item.size() && value == characterSet) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

void DeviceRegistry::add(
    std::string name, Factory factory, std::shared_ptr<Trace> trace, std::string traceProblem) {
    entries_[std::move(name)] = Entry{std::move(factory), std::move(trace), std::move(traceProblem)};
}

void DeviceRegistry::addFallback(Factory factory) { fallback_ = std::move(factory); }

const DeviceRegistry::Factory* DeviceRegistry::find(std::string_view name) const {
    const auto it = entries_.find(name);
    if (it != entries_.end()) return &it->second.factory;
    return fallback_ ? &*fallback_ : nullptr;
}

std::shared_ptr<Trace> DeviceRegistry::traceOf(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : it->second.trace;
}

std::string DeviceRegistry::traceProblemOf(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? std::string() : it->second.traceProblem;
}

void DeviceRegistry::addAll(const DeviceRegistry& other) {
    for (const auto& [name, entry] : other.entries_) entries_[name] = entry;
}

std::shared_ptr<const DeviceRegistry> DeviceRegistry::builtIn() {
    static const std::shared_ptr<const DeviceRegistry> registry = [] {
        auto r = std::make_shared<DeviceRegistry>();
        for (const auto& profile : profiles) {
            r->add(
                std::string(profile.name), [profile] { return std::make_unique<SimulatedDisplay>(profile); });
        }
        return r;
    }();
    return registry;
}

void registerBuiltInControl(
    display::ControlFactory& factory, const std::shared_ptr<const DeviceRegistry>& registry) {
    factory.registerProgId(std::string(display::lineDisplayProgId),
        [registry] { return std::make_unique<LineDisplayControl>(registry); });
}

}  // namespace device
