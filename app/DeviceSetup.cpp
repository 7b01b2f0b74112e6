#include "app/DeviceSetup.h"

#include "device/Excerpt.h"
#include "device/SimulatedDisplay.h"
#include "model/CommandSet.h"
#include "serial/SerialDisplay.h"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <unordered_set>

namespace app {

DeviceSetup setUpDevices(const device::DeviceConfig& config, const serial::WireTap& wireTap) {
    DeviceSetup setup;
    setup.problems = config.problems;
    auto registry = std::make_shared<device::DeviceRegistry>();
    const auto brokenService = [](const std::string& why) {
        const std::string problem = "its device configuration is broken: " + why;
        return [problem]() -> std::unique_ptr<device::ServiceObject> { throw std::runtime_error(problem); };
    };
    if (config.anyNameProblem.empty()) {
        registry->addAll(*device::DeviceRegistry::builtIn());
    } else {
        // A file that could not be read may have put a real display under any
        // name, the built-in ones included: none is quietly simulated.
        registry->addFallback(brokenService(config.anyNameProblem));
    }
    const std::unordered_set<std::string> fileProblems(config.problems.begin(), config.problems.end());
    // Devices that name the same trace file share its one writer.
    std::map<std::string, std::shared_ptr<device::Trace>> traces;
    for (const device::DeviceEntry& entry : config.entries) {
        std::shared_ptr<device::Trace> trace;
        std::string traceProblem;
        if (!entry.trace.empty()) {
            try {
                auto& shared = traces[entry.trace];
                if (!shared) shared = std::make_shared<device::Trace>(entry.trace);
                trace = shared;
            } catch (const std::exception& e) {
                traceProblem = entry.file + ":" + std::to_string(entry.line) + ": device " +
                               device::quotedExcerpt(entry.name) + ": " + e.what() +
                               "; its calls are not traced";
                setup.problems.push_back(traceProblem);
            }
        }
        if (!entry.problem.empty()) {
            // A file-wide problem is told once, not once per device it breaks.
            if (entry.problem != config.anyNameProblem && !fileProblems.contains(entry.problem)) {
                setup.problems.push_back(entry.problem);
            }
            registry->add(entry.name, brokenService(entry.problem), trace, traceProblem);
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
                trace, traceProblem);
            continue;
        }
        const model::CommandSet* set = model::findCommandSet(entry.commandSet);
        const serial::SerialSettings settings{entry.name, entry.port, entry.lineSettings(set->line), set,
            entry.rows, entry.columns, entry.allowConsole, entry.characterSet};
        registry->add(
            entry.name,
            [settings, trace, wireTap] {
                return std::make_unique<serial::SerialDisplay>(settings, trace, wireTap);
            },
            trace, traceProblem);
    }
    setup.registry = std::move(registry);
    return setup;
}

DeviceSetup setUpDevicesFromEnvironment(const serial::WireTap& wireTap) {
    std::vector<std::string_view> names;
    for (const model::CommandSet& set : model::commandSets()) names.push_back(set.name);
    const auto places = device::configPlaces([](const char* name) { return std::getenv(name); });
    return setUpDevices(device::loadDeviceConfig(places, names), wireTap);
}

}  // namespace app
