#include "devices/Check.h"

#include "app/DeviceSetup.h"
#include "device/DeviceConfig.h"
#include "device/LineDisplayControl.h"
#include "display/DispatchError.h"
#include "display/ResultCodes.h"
#include "model/CommandSet.h"
#include "model/Utf.h"
#include "serial/PortSurvey.h"
#include "serial/SerialDisplay.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>

namespace devices {
namespace {

using Clock = std::chrono::steady_clock;
using display::Variant;

constexpr std::string_view pattern = "CHECK 0123456789";

// Blanks collapsed and trimmed, as a person types what they read.
std::string simplified(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The steps through the control object, each printed with its result.
class Steps {
public:
    Steps(device::LineDisplayControl& control, Operator& op) : control_(control), op_(op) {}

    // Runs one step; its result code, or -1 when the call itself failed.
    std::int32_t run(const std::string& label, const std::function<std::int32_t()>& call) {
        std::ostringstream captured;
        std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
        const auto started = Clock::now();
        std::int32_t result = -1;
        try {
            result = call();
        } catch (const std::exception& e) {
            captured << e.what() << '\n';
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        std::cerr.rdbuf(previous);
        const std::string name =
            result < 0 ? "failed" : std::string(display::resultCodeName(result).value_or("?"));
        char line[160];
        std::snprintf(line, sizeof line, "  %-22s %-22s %9.1f ms", label.c_str(), name.c_str(), ms);
        op_.say(line);
        std::istringstream reasons(captured.str());
        for (std::string reason; std::getline(reasons, reason);) {
            if (!reason.empty()) op_.say("      " + reason);
        }
        return result;
    }
    std::int32_t call(std::string_view operation, std::initializer_list<Variant> args = {}) {
        return read(operation, args).int32();
    }
    Variant read(std::string_view operation, std::initializer_list<Variant> args = {}) {
        return control_.invoke(display::operationNamed(operation).id,
            display::invokeMethod | display::invokePropertyGet,
            std::span<const Variant>(args.begin(), args.size()));
    }
    std::int32_t write(std::string_view operation, Variant value) {
        control_.invoke(display::operationNamed(operation).id, display::invokePropertyPut,
            std::span<const Variant>(&value, 1));
        return read("ResultCode").int32();
    }

private:
    device::LineDisplayControl& control_;
    Operator& op_;
};

void tell(Operator& op, const std::string& cause, const std::string& fix) {
    op.say("cause: " + cause);
    op.say("fix:   " + fix);
}

// Explains a failed step from what the system tells about the port; a port
// with nothing wrong that was claimed and then failed is a display that
// stopped taking bytes.
void explainPort(Operator& op, const device::DeviceEntry& entry, bool claimed) {
    const serial::PortProblem problem = serial::diagnosePort(entry.port);
    if (const std::string why = serial::consoleUse(entry.port); !why.empty() && !entry.allowConsole) {
        tell(op, "the port " + entry.port + " is not used: " + why,
            "name the display's port, or say allow-console = true in " + entry.file + ":" +
                std::to_string(entry.line) + " to use it all the same");
    } else if (problem.kind != serial::PortProblem::Kind::none) {
        tell(op, problem.cause, problem.fix);
    } else if (claimed) {
        tell(op,
            "the display stopped taking bytes on " + entry.port +
                ": it holds the line (flow control), or a pass-through display waits on its printer port",
            "check the cable and its handshake lines, set flow-control = \"none\" if the display has none, "
            "and switch the display off and on");
    } else {
        tell(op, "the port " + entry.port + " could not be used (the reason is above)",
            "`ldt-devices list` shows the ports and who holds them");
    }
}

// Shows the pattern through a serial display with other line settings.
bool showWith(Operator& op, const device::DeviceEntry& entry, const model::LineSettings& line) {
    const model::CommandSet* set = model::findCommandSet(entry.commandSet);
    try {
        serial::SerialDisplay display(
            {entry.name, entry.port, line, set, entry.rows, entry.columns, entry.allowConsole});
        display.claim(std::chrono::milliseconds(1000));
        display.enable();
        display.apply(model::op::Text{std::u32string(pattern.begin(), pattern.end())});
        display.release();
        return true;
    } catch (const std::exception& e) {
        op.say("      " + std::string(e.what()));
        return false;
    }
}

// The operator's reading of the display, or nothing when input has ended.
std::optional<std::string> reading(Operator& op, const std::string& question) {
    const auto typed = op.ask(question);
    if (!typed) op.say("(no answer: standard input has ended)");
    return typed ? std::optional(upper(simplified(*typed))) : std::nullopt;
}

// Tells that the display speaks another command set than the entry names.
void wrongSet(Operator& op, const device::DeviceEntry& entry, const std::string& what) {
    tell(op, what + ": it speaks another command set",
        "find its set with `ldt-devices identify " + entry.port + "`, or set command-set in " + entry.file +
            ":" + std::to_string(entry.line));
}

// Judges the display itself with the operator; true when it shows what it should.
bool judgeDisplay(Operator& op, const device::DeviceEntry& entry, const model::LineSettings& line,
    const std::optional<std::string>& seen) {
    const std::string wanted(pattern);
    const std::string configured = model::speedAndFrame(line);
    if (!seen) {
        op.say("The display itself was not judged: nobody said what it shows.");
        return false;
    }
    if (*seen != wanted && seen->find(wanted) != std::string::npos) {
        wrongSet(op, entry,
            "the text arrives, but the display shows the " + entry.commandSet +
                " set's commands as characters");
        return false;
    }
    if (*seen != wanted) {
        // The line: the same speed with the other parity tells parity from speed.
        model::LineSettings other = line;
        other.parity = line.parity == model::Parity::none ? model::Parity::odd : model::Parity::none;
        op.say("Trying the pattern again at " + model::speedAndFrame(other) + "...");
        if (showWith(op, entry, other)) {
            const auto again =
                reading(op, "What does the display show now? Type it, or press Enter if nothing:");
            if (again && again->find(wanted) != std::string::npos) {
                tell(op,
                    "wrong parity: the display reads " + model::speedAndFrame(other) + ", not " + configured +
                        " (characters were lost or garbled)",
                    "set parity = \"" + std::string(model::nameOf(other.parity)) + "\" in " + entry.file +
                        ":" + std::to_string(entry.line));
                return false;
            }
        }
        tell(op,
            "wrong speed: the display does not read " + configured + " (nor with the other parity)" +
                (seen->empty() ? "; it showed nothing, which a much slower or faster line, a pass-through "
                                 "display or a display that is off also give"
                               : "; what it showed was garbled"),
            "find its settings with `ldt-devices identify " + entry.port + "`");
        return false;
    }
    // The text is right: a set that answers says so itself; otherwise the
    // set's own probe tells the command set.
    const model::CommandSet* set = model::findCommandSet(entry.commandSet);
    const std::string request = model::encode(*set, model::Command::identify);
    if (set->identification.probe.empty() && request.empty()) return true;
    try {
        auto port = serial::Port::open(entry.port, line, std::chrono::milliseconds(1000),
            request.empty() ? serial::Access::write : serial::Access::readWrite);
        if (!request.empty()) {
            while (!port->readFor(std::chrono::milliseconds(0)).empty()) {}
            port->writeThrough(request);
            // A second is ample on any line; the answer may be slow to come on a busy machine.
            if (!port->readFor(std::chrono::milliseconds(1000)).empty()) {
                op.say("The display answered its identification request, as " + entry.commandSet +
                       " displays do.");
                return true;
            }
        }
        port->writeThrough(set->identification.probe);
    } catch (const std::exception& e) {
        op.say("      " + std::string(e.what()));
        return false;
    }
    const auto code = reading(op, "The display should now show " + std::string(set->identification.code) +
                                      " alone. Type what it shows:");
    if (!code) return false;
    if (*code != set->identification.code) {
        wrongSet(op, entry, "the display does not read the " + entry.commandSet + " set's commands");
        return false;
    }
    return true;
}

}  // namespace

int check(const std::string& name, Operator& op) {
    std::vector<std::string_view> sets;
    for (const model::CommandSet& set : model::commandSets()) sets.push_back(set.name);
    const auto places = device::configPlaces([](const char* variable) { return std::getenv(variable); });
    const device::DeviceConfig config = device::loadDeviceConfig(places, sets);
    const app::DeviceSetup setup = app::setUpDevices(config);
    const device::DeviceEntry* entry = config.find(name);
    const bool builtIn = model::findProfile(name).has_value();

    if (entry != nullptr && !entry->problem.empty()) {
        op.say("Device \"" + name + "\": its configuration entry is broken");
    } else if (entry != nullptr && entry->service == device::DeviceEntry::Service::serial) {
        const model::CommandSet* set = model::findCommandSet(entry->commandSet);
        op.say("Device \"" + name + "\": serial display on " + entry->port + " at " +
               model::describe(entry->lineSettings(set->line)) + ", command set " + entry->commandSet + " (" +
               entry->file + ":" + std::to_string(entry->line) + ")");
    } else if (entry != nullptr || builtIn) {
        op.say(
            "Device \"" + name + "\": simulated display (profile " + (entry ? entry->profile : name) + ")");
    }

    device::LineDisplayControl control(setup.registry);
    Steps steps(control, op);
    const std::int32_t opened =
        steps.run("Open", [&] { return steps.call("Open", {Variant::fromString(model::utf16(name))}); });
    if (opened == display::OPOS_E_NOEXIST) {
        std::string known;
        for (const auto& e : config.entries)
            known += (known.empty() ? "" : ", ") + std::string("\"") + e.name + "\"";
        tell(op,
            "no device is configured under the name \"" + name + "\"" +
                (known.empty() ? std::string(" (no configuration file names any)")
                               : " (configured: " + known + ")"),
            "add an entry [devices.\"" + name +
                "\"] to a device configuration file (see the README), or let "
                "`ldt-devices identify PORT` write one");
        return 1;
    }
    if (opened != display::OPOS_SUCCESS) {
        if (entry != nullptr && !entry->problem.empty()) {
            tell(op, "the configuration entry is broken: " + entry->problem,
                "correct it at " + entry->file + ":" + std::to_string(entry->line) +
                    " (the README lists the keys and their values)");
        }
        return 1;
    }
    const bool serialDisplay = entry != nullptr && entry->service == device::DeviceEntry::Service::serial;
    bool good = true;
    const std::int32_t claimed =
        steps.run("ClaimDevice 1000", [&] { return steps.call("ClaimDevice", {Variant::fromInt32(1000)}); });
    std::int32_t enabled = -1;
    std::int32_t shown = -1;
    if (claimed == display::OPOS_SUCCESS) {
        enabled = steps.run(
            "DeviceEnabled = true", [&] { return steps.write("DeviceEnabled", Variant::fromBool(true)); });
        if (enabled == display::OPOS_SUCCESS) {
            shown = steps.run("DisplayText (pattern)", [&] {
                return steps.call(
                    "DisplayText", {Variant::fromString(std::u16string(pattern.begin(), pattern.end())),
                                       Variant::fromInt32(0)});
            });
        }
    }
    std::optional<std::string> seen;
    const bool reached = shown == display::OPOS_SUCCESS;
    if (reached && serialDisplay) {
        seen = reading(op, "The display should show " + std::string(pattern) +
                               ". What does it show? Type it, or press Enter if it stays blank:");
    }
    if (enabled == display::OPOS_SUCCESS)
        steps.run(
            "DeviceEnabled = false", [&] { return steps.write("DeviceEnabled", Variant::fromBool(false)); });
    if (claimed == display::OPOS_SUCCESS)
        steps.run("ReleaseDevice", [&] { return steps.call("ReleaseDevice"); });
    steps.run("Close", [&] { return steps.call("Close"); });

    if (!reached) {
        good = false;
        if (serialDisplay) explainPort(op, *entry, claimed == display::OPOS_SUCCESS);
    } else if (serialDisplay) {
        const model::CommandSet* set = model::findCommandSet(entry->commandSet);
        good = judgeDisplay(op, *entry, entry->lineSettings(set->line), seen);
    }
    op.say(good ? "The device works." : "The device does not work yet.");
    return good ? 0 : 1;
}

}  // namespace devices
