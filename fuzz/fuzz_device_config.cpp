// Fuzz target: the device configuration parser.
//
// The input is the text of a configuration file, with one optional
// repetition so that short inputs reach deep nesting and huge values:
// "head\0<r>piece\0tail" reads as head, piece 1 + r*r times, then tail (at
// most 80 KiB in all). Checked beyond "no crash": every problem names the
// file (and a line where it concerns one), is short and holds no control
// character, every entry is either sound or carries a problem that names
// its file, and a sound entry's values are inside their documented ranges.
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

// The text with its repetition spelled out.
std::string expand(std::string_view input) {
    const auto first = input.find('\0');
    if (first == std::string_view::npos || first + 1 >= input.size()) return std::string(input);
    const auto times = 1 + static_cast<std::size_t>(static_cast<unsigned char>(input[first + 1])) *
                               static_cast<unsigned char>(input[first + 1]);
    const auto second = input.find('\0', first + 2);
    const std::string_view piece = input.substr(first + 2, second - (first + 2));
    std::string text(input.substr(0, first));
    for (std::size_t i = 0; i < times && text.size() + piece.size() <= 80 * 1024; ++i) text += piece;
    if (second != std::string_view::npos) text += input.substr(second + 1);
    return text;
}

// A message fit for a terminal: short, and no control character in it.
bool tidy(const std::string& problem) {
    return problem.size() <= 2048 && std::ranges::none_of(problem, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = expand(std::string_view(reinterpret_cast<const char*>(data), size));
    const device::DeviceConfig config = device::parseDeviceConfig(text, std::string(file), commandSets);
    for (const std::string& problem : config.problems) {
        if (!namesTheFile(problem)) fuzz::fuzzFail("a problem that does not name its file: " + problem);
        if (!tidy(problem)) fuzz::fuzzFail("a long or raw problem: " + problem.substr(0, 300));
    }
    for (const device::DeviceEntry& entry : config.entries) {
        if (!entry.problem.empty()) {
            if (!namesTheFile(entry.problem))
                fuzz::fuzzFail("an entry's problem without its file: " + entry.problem);
            if (!tidy(entry.problem))
                fuzz::fuzzFail("a long or raw problem: " + entry.problem.substr(0, 300));
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
