#include "devices/List.h"

#include "device/DeviceConfig.h"
#include "model/CommandSet.h"
#include "serial/Port.h"
#include "serial/PortSurvey.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace devices {
namespace {

std::string hex4(std::int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

// The configured serial devices whose port leads to `path`, as `"A" (file:line)`.
std::vector<const device::DeviceEntry*> configuredAt(
    const device::DeviceConfig& config, const std::string& path) {
    std::vector<const device::DeviceEntry*> names;
    const std::string target = serial::resolvedPath(path);
    for (const device::DeviceEntry& entry : config.entries) {
        if (entry.service != device::DeviceEntry::Service::serial || entry.port.empty()) continue;
        if (entry.port == path || serial::resolvedPath(entry.port) == target) names.push_back(&entry);
    }
    return names;
}

std::string settingsOf(const device::DeviceEntry& entry) {
    const model::CommandSet* set = model::findCommandSet(entry.commandSet);
    return set == nullptr
               ? entry.commandSet
               : model::describe(entry.lineSettings(set->line)) + ", command set " + entry.commandSet;
}

void sayConfigured(Operator& op, const std::vector<const device::DeviceEntry*>& entries) {
    for (const device::DeviceEntry* entry : entries) {
        op.say("    configured as \"" + entry->name + "\" (" + settingsOf(*entry) + "; " + entry->file + ":" +
               std::to_string(entry->line) + ")");
    }
}

void sayVerdict(Operator& op, const std::string& path) {
    if (const std::string why = serial::consoleUse(path); !why.empty())
        op.say("    note: " + why + "; the console drives it only with allow-console = true");
    const serial::PortProblem problem = serial::diagnosePort(path);
    if (problem.kind == serial::PortProblem::Kind::none) {
        op.say("    ready: this user can open it and no other program holds it");
        return;
    }
    op.say("    problem: " + problem.cause);
    op.say("    fix:     " + problem.fix);
    if (problem.kind == serial::PortProblem::Kind::permission) {
        // Who holds it is worth knowing even when this user may not open it.
        for (const serial::Holder& h : serial::holdersOf(path))
            op.say("    also held: pid " + std::to_string(h.pid) + " (" + h.command + ") " + h.how);
    }
}

}  // namespace

int list(Operator& op) {
    std::vector<std::string_view> sets;
    for (const model::CommandSet& set : model::commandSets()) sets.push_back(set.name);
    const auto places = device::configPlaces([](const char* variable) { return std::getenv(variable); });
    const device::DeviceConfig config = device::loadDeviceConfig(places, sets);
    std::set<const device::DeviceEntry*> shown;
    const bool modemManager = serial::modemManagerRunning();

    const std::vector<serial::PortInfo> ports = serial::listPorts();
    op.say("Serial ports (" + std::to_string(ports.size()) + "):");
    if (ports.empty())
        op.say("  none: plug the display's adapter in (USB adapters appear as /dev/ttyUSB0 or /dev/ttyACM0)");
    for (const serial::PortInfo& port : ports) {
        std::string about = port.description.empty() ? port.transport : port.description;
        if (port.usbVendor && port.usbProduct)
            about += ", USB " + hex4(*port.usbVendor) + ":" + hex4(*port.usbProduct);
        if (!port.serialNumber.empty()) about += ", serial number " + port.serialNumber;
        op.say("  " + port.path + "  (" + about + ")");
        sayVerdict(op, port.path);
        if (modemManager) {
            op.say(
                "    ModemManager is running and may probe this port (sending AT commands the display shows "
                "as "
                "junk); keep it off with:");
            op.say("      " + serial::modemManagerRule(port));
        }
        const auto configured = configuredAt(config, port.path);
        sayConfigured(op, configured);
        shown.insert(configured.begin(), configured.end());
    }
    if (!modemManager) op.say("  (ModemManager is not running, so it will not probe these ports)");

    const std::vector<serial::VirtualDisplayInfo> displays = serial::runningVirtualDisplays();
    op.say("Virtual displays (" + std::to_string(displays.size()) + "):");
    for (const serial::VirtualDisplayInfo& display : displays) {
        op.say("  " + display.link + " -> " + (display.terminal.empty() ? "?" : display.terminal) +
               "  (pid " + std::to_string(display.pid) + ")");
        if (!display.terminal.empty()) sayVerdict(op, display.link);
        const auto configured = configuredAt(config, display.link);
        sayConfigured(op, configured);
        shown.insert(configured.begin(), configured.end());
    }

    // Configured serial devices not seen above: their port is the news.
    bool header = false;
    for (const device::DeviceEntry& entry : config.entries) {
        if (shown.contains(&entry) || !entry.problem.empty() ||
            entry.service != device::DeviceEntry::Service::serial)
            continue;
        if (!header) op.say("Configured serial devices on other ports:");
        header = true;
        op.say("  \"" + entry.name + "\": " + entry.port + " (" + settingsOf(entry) + "; " + entry.file +
               ":" + std::to_string(entry.line) + ")");
        sayVerdict(op, entry.port);
    }
    header = false;
    for (const device::DeviceEntry& entry : config.entries) {
        if (entry.problem.empty()) continue;
        if (!header)
            op.say("Broken configuration entries (the console's Open gives OPOS_E_NOSERVICE for them):");
        header = true;
        op.say("  \"" + entry.name + "\": " + entry.problem);
        op.say("    fix: correct it at " + entry.file + ":" + std::to_string(entry.line) +
               " (the README lists the keys and their values)");
    }
    for (const std::string& problem : config.problems) {
        op.say("Configuration file problem: " + problem);
    }
    return 0;
}

}  // namespace devices
