#include "device/Registry.h"

#include "device/SimulatedDisplay.h"

namespace device {

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
        for (const auto& profile : model::profiles) {
            r->add(
                std::string(profile.name), [profile] { return std::make_unique<SimulatedDisplay>(profile); });
        }
        return r;
    }();
    return registry;
}

}  // namespace device
