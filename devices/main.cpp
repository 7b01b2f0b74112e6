// ldt-devices: list, check and identify line displays from a terminal.
//
// The one place that composes the layers for it: the device configuration
// and the built-in control object (check), the serial ports and what the
// system tells about them (list), and identification over the command-set
// table (identify), which may add the entry it found to the user's device
// configuration file. Qt-free; reads the operator's answers from standard
// input.
#include "device/DeviceConfig.h"
#include "devices/Check.h"
#include "devices/ConfigFile.h"
#include "devices/Identify.h"
#include "devices/List.h"
#include "devices/Operator.h"
#include "serial/PortSurvey.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* usage =
    "Usage: ldt-devices list\n"
    "       ldt-devices check NAME\n"
    "       ldt-devices identify PORT [--name NAME] [--config FILE] [--hold MS] [--allow-console]\n"
    "\n"
    "List, check and identify the customer line displays of a bench (2x20 pole displays on serial or\n"
    "USB-serial ports, and ldt-virtual-display).\n"
    "\n"
    "Commands:\n"
    "  list           every serial port and running virtual display: whether this user may open it\n"
    "                 (and the exact fix when not), which program holds it, whether ModemManager may\n"
    "                 probe it (and the rule that keeps it off), and the configured device names that\n"
    "                 point at it; then broken configuration entries and devices whose port is missing.\n"
    "  check NAME     opens the configured device NAME as the console does (Open, ClaimDevice,\n"
    "                 DeviceEnabled, DisplayText, Release, Close), shows a pattern and reports each step\n"
    "                 with its result name and time. A serial display cannot say what it shows, so the\n"
    "                 operator types what it shows; a wrong speed, parity or command set is told apart\n"
    "                 from that. Every failure names its cause and its fix.\n"
    "  identify PORT  finds the line settings and command set of an unknown display on PORT. Displays\n"
    "                 that answer are recognised without the operator; otherwise the operator types two\n"
    "                 codes read off the display: one from a sweep of line settings (each code stays at\n"
    "                 least a second), one from a probe per command set. On the operator's yes the\n"
    "                 entry found is added to the user's device configuration file, whose previous\n"
    "                 content is kept in a backup beside it. Ctrl-C leaves everything as it was.\n"
    "\n"
    "Options of identify:\n"
    "  --name NAME    the device name of the entry (default TQN730, the console's first display)\n"
    "  --config FILE  the configuration file to add it to (default\n"
    "                 ${XDG_CONFIG_HOME:-$HOME/.config}/linedisplaytest/devices.toml)\n"
    "  --hold MS      how long each code stays on the display, in milliseconds (default 1000)\n"
    "  --allow-console  sweep PORT even though it is the machine's console (refused otherwise)\n"
    "\n"
    "Exit status: 0 success; 1 the check failed, or no display was identified; 2 bad usage;\n"
    "130 interrupted by Ctrl-C.\n"
    "\n"
    "Files: /etc/linedisplaytest/devices.toml, ${XDG_CONFIG_HOME:-$HOME/.config}/linedisplaytest/\n"
    "devices.toml and the file named by LDT_DEVICE_CONFIG, read in that order as the console reads them.\n";

int badUsage(const std::string& why) {
    // The usage lines only; --help has the rest.
    const std::string text = usage;
    std::cerr << "ldt-devices: " << why << "\n"
              << text.substr(0, text.find("\n\n") + 1) << "(ldt-devices --help says more)\n";
    return 2;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

int identifyCommand(const std::string& portPath, const std::vector<std::string>& options) {
    std::string name = "TQN730";
    std::filesystem::path file;
    devices::IdentifyOptions settings;
    bool allowConsole = false;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string& option = options[i];
        if (option == "--allow-console") {
            allowConsole = true;
            continue;
        }
        if (i + 1 >= options.size()) return badUsage(option + " needs a value");
        const std::string& value = options[++i];
        if (option == "--name" && !value.empty()) {
            name = value;
        } else if (option == "--config" && !value.empty()) {
            file = value;
        } else if (option == "--hold") {
            char* end = nullptr;
            const long ms = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || ms < 100 || ms > 10000)
                return badUsage("--hold takes milliseconds from 100 to 10000, not \"" + value + "\"");
            settings.hold = std::chrono::milliseconds(ms);
        } else {
            return badUsage("unknown option \"" + option + "\" for identify");
        }
    }
    devices::Terminal op;
    // Codes and junk on the console would garble what the machine tells its operator.
    if (const std::string why = serial::consoleUse(portPath); !why.empty() && !allowConsole) {
        op.say("ldt-devices: " + portPath + " is not swept: " + why);
        op.say("fix:   name the display's port, or pass --allow-console to sweep this one all the same");
        return 1;
    }
    std::unique_ptr<serial::Port> port;
    try {
        port = serial::Port::open(portPath, {}, std::chrono::milliseconds(0), serial::Access::readWrite);
    } catch (const serial::PortError& e) {
        op.say(std::string("ldt-devices: ") + e.what());
        const serial::PortProblem problem = serial::diagnosePort(portPath);
        if (problem.kind != serial::PortProblem::Kind::none) {
            op.say("cause: " + problem.cause);
            op.say("fix:   " + problem.fix);
        }
        return 1;
    }
    // The last bytes are read by a pty's reader at the settings they went
    // out with before the port's own settings come back.
    const auto restore = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        port->restoreSettings();
    };
    try {
        op.say("Identifying the display on " + portPath + " (Ctrl-C stops at any time and changes nothing).");
        const auto found = devices::identify(*port, model::commandSets(), op, settings);
        restore();
        port.reset();
        if (!found) {
            op.say("Not identified.");
            return 1;
        }
        const std::string how = found->byAnswer
                                    ? "the display answered"
                                    : std::to_string(found->operatorAnswers) + " answers from the operator";
        op.say("Found: command set " + std::string(found->set->name) + " at " + model::describe(found->line) +
               " (" + how + ").");
        const std::string entry = devices::entryText(
            name, portPath, found->line, found->set->name, "found by ldt-devices identify on " + today());
        op.say("The configuration entry:\n\n" + entry);
        if (file.empty()) file = devices::userConfigFile();
        const auto yes = op.ask("Add it to " + file.string() + " as device \"" + name + "\"? [y/N]");
        if (!yes || (*yes != "y" && *yes != "Y" && *yes != "yes")) {
            op.say("Not saved; the configuration file is unchanged.");
            return 0;
        }
        const auto backup = devices::saveEntry(file, name, entry);
        op.say("Saved to " + file.string() +
               (backup.empty() ? std::string(" (a new file).")
                               : "; its previous content is in " + backup.string() + "."));
        // The console reads several files; a later one naming the same device wins.
        std::vector<std::string_view> sets;
        for (const model::CommandSet& set : model::commandSets()) sets.push_back(set.name);
        const auto places = device::configPlaces([](const char* variable) { return std::getenv(variable); });
        const device::DeviceConfig config = device::loadDeviceConfig(places, sets);
        const device::DeviceEntry* effective = config.find(name);
        if (effective == nullptr || std::filesystem::path(effective->file) != file) {
            op.say(
                "Note: the console does not read it from there" +
                (effective != nullptr ? " first: " + effective->file + ":" + std::to_string(effective->line) +
                                            " also names \"" + name + "\" and is read later, so it wins"
                                      : std::string(" (name it in LDT_DEVICE_CONFIG to use it)")) +
                ".");
        } else {
            op.say("Try it: ldt-devices check " + name);
        }
        return 0;
    } catch (const devices::Interrupted&) {
        if (port) restore();
        op.say("Interrupted: nothing was changed (the port has its settings back; no file was written).");
        return 130;
    } catch (const std::exception& e) {
        if (port) restore();
        op.say(std::string("ldt-devices: ") + e.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return badUsage("a command is needed");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << usage;
        return 0;
    }
    if (command == "list") {
        if (args.size() != 1) return badUsage("list takes no arguments");
        devices::Terminal op;
        return devices::list(op);
    }
    if (command == "check") {
        if (args.size() != 2) return badUsage("check takes one device name");
        devices::Terminal op;
        try {
            return devices::check(args[1], op);
        } catch (const devices::Interrupted&) {
            op.say("Interrupted.");
            return 130;
        }
    }
    if (command == "identify") {
        if (args.size() < 2 || args[1].starts_with("--")) return badUsage("identify needs a port");
        return identifyCommand(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    return badUsage("unknown command \"" + command + "\"");
}
