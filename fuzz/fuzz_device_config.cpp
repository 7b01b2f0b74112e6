// Fuzz target: the device configuration parser.
//
// The input is the text of a configuration file. Checked beyond "no crash":
// every problem names the file (and a line where it concerns one), every
// entry is either sound or carries a problem that names its file, and a
// sound entry's values are inside their documented ranges.
#include "FuzzInput.h"
#include "device/DeviceConfig.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view file = "/fuzz/devices.toml";
constexpr std::array<std::string_view, 7> commandSets{
    "DM-D", "CD5220", "Logic Controls", "UTC standard", "UTC enhanced", "AEDEX", "ANSI"};

bool namesTheFile(const std::string& problem) {
    return problem.starts_with(std::string(file) + ":") && problem.size() > file.size() + 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const device::DeviceConfig config = device::parseDeviceConfig(text, std::string(file), commandSets);
    for (const std::string& problem : config.problems) {
        if (!namesTheFile(problem)) fuzz::fuzzFail("a problem that does not name its file: " + problem);
    }
    for (const device::DeviceEntry& entry : config.entries) {
        if (!entry.problem.empty()) {
            if (!namesTheFile(entry.problem))
                fuzz::fuzzFail("an entry's problem without its file: " + entry.problem);
            continue;
        }
        if (std::ranges::find(commandSets, std::string_view(entry.commandSet)) == commandSets.end()) {
            fuzz::fuzzFail("a sound entry with a command set not by its own name: " + entry.commandSet);
        }
        if (entry.rows < 1 || entry.rows > 4 || entry.columns < 1 || entry.columns > 40) {
            fuzz::fuzzFail("a sound entry with a size out of range: " + entry.name);
        }
        if (entry.service == device::DeviceEntry::Service::serial && entry.port.empty()) {
            fuzz::fuzzFail("a sound serial entry without a port: " + entry.name);
        }
    }
    return 0;
}
