#include "app/DeviceSetup.h"

#include "device/SimulatedDisplay.h"
#include "model/CommandSet.h"
#include "serial/SerialDisplay.h"

#include <cstdlib>
#include <map>
#include <stdexcept>

namespace app {

DeviceSetup setUpDevices(const device::DeviceConfig& config) {
    DeviceSetup setup;
    setup.problems = config.problems;
    auto registry = std::make_shared<device::DeviceRegistry>();
    registry->addAll(*device::DeviceRegistry::builtIn());
    // Devices that name the same trace file share its one writer.
    std::map<std::string, std::shared_ptr<device::Trace>> traces;
    for (const device::DeviceEntry& entry : config.entries) {
        std::shared_ptr<device::Trace> trace;
        if (!entry.trace.empty()) {
            try {
                auto& shared = traces[entry.trace];
                if (!shared) shared = std::make_shared<device::Trace>(entry.trace);
                trace = shared;
            } catch (const std::exception& e) {
                setup.problems.push_back(entry.file + ":" + std::to_string(entry.line) + ": device \"" +
                                         entry.name + "\": " + e.what() + "; its calls are not traced");
            }
        }
        if (!entry.problem.empty()) {
            setup.problems.push_back(entry.problem);
            const std::string problem = "its device configuration entry is broken: " + entry.problem;
            registry->add(
                entry.name,
                [problem]() -> std::unique_ptr<device::ServiceObject> { throw std::runtime_error(problem); },
                trace);
            continue;
        }
        if (entry.service == device::DeviceEntry::Service::simulated) {
            model::DeviceProfile profile = *model::findProfile(entry.profile);
            if (entry.characterSet) profile.initialCharacterSet = *entry.characterSet;
            registry->add(
                entry.name,
                [profile, trace, name = entry.name] {
                    return std::make_unique<device::SimulatedDisplay>(profile, trace, name);
                },
                trace);
            continue;
        }
        const serial::SerialSettings settings{entry.name, entry.port, entry.baud,
            model::findCommandSet(entry.commandSet), entry.rows, entry.columns, entry.characterSet};
        registry->add(
            entry.name,
            [settings, trace] { return std::make_unique<serial::SerialDisplay>(settings, trace); }, trace);
    }
    setup.registry = std::move(registry);
    return setup;
}

DeviceSetup setUpDevicesFromEnvironment() {
    std::vector<std::string_view> names;
    for (const model::CommandSet& set : model::commandSets()) names.push_back(set.name);
    const auto places = device::configPlaces([](const char* name) { return std::getenv(name); });
    return setUpDevices(device::loadDeviceConfig(places, names));
}

}  // namespace app
