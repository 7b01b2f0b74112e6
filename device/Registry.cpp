#include "device/Registry.h"

#include "device/SimulatedDisplay.h"

namespace device {

void DeviceRegistry::add(std::string name, Factory factory, std::shared_ptr<Trace> trace) {
    entries_[std::move(name)] = Entry{std::move(factory), std::move(trace)};
}

const DeviceRegistry::Factory* DeviceRegistry::find(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second.factory;
}

std::shared_ptr<Trace> DeviceRegistry::traceOf(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : it->second.trace;
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
