// PortSurvey: what the system can tell about serial ports before anything
// is sent: which ports exist (libserialport's enumeration), whether this
// user may open one and the exact fix when not, which processes hold one,
// whether ModemManager may probe it and the rule that keeps it off, and
// which virtual displays are running.
//
// Everything is read from the file system and /proc; nothing opens a port.
// Another user's processes show only as far as the system lets this user see
// them. Plain functions; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace serial {

struct PortInfo {
    std::string path;         // /dev/ttyUSB0
    std::string description;  // as the system describes the device
    std::string transport;    // "USB", "Bluetooth" or "native"
    std::optional<std::int32_t> usbVendor;
    std::optional<std::int32_t> usbProduct;
    std::string serialNumber;
};

// Every serial port the system knows, by path.
std::vector<PortInfo> listPorts();

// A process that has a port open or locked.
struct Holder {
    std::int32_t pid = 0;
    std::string command;  // its name, as the system tells it
    std::string how;      // "has it open", "holds a lock on it", "left a lock file"
};
// The processes holding the port, except this one.
std::vector<Holder> holdersOf(const std::string& path);

// Why a port cannot be used, as far as the system tells without opening it.
struct PortProblem {
    enum class Kind : std::uint8_t {
        none,
        missing,             // no such file
        virtualDisplayGone,  // a link to a pseudo-terminal that has gone
        notATerminal,        // a file, folder or other device
        permission,          // this user may not open it
        held,                // another process holds it
    };
    Kind kind = Kind::none;
    std::string cause;  // a sentence naming the port and the reason
    std::string fix;    // the command or step that fixes it
};
PortProblem diagnosePort(const std::string& path);

// Whether ModemManager runs (it opens new serial ports to look for modems,
// sending AT commands a display shows as junk), and the udev rule that keeps
// it off this port.
bool modemManagerRunning();
std::string modemManagerRule(const PortInfo& port);

// A running ldt-virtual-display: its process, its link and the terminal the
// link leads to (empty when this user cannot tell).
struct VirtualDisplayInfo {
    std::int32_t pid = 0;
    std::string link;
    std::string terminal;
};
std::vector<VirtualDisplayInfo> runningVirtualDisplays();

// The path a port's name leads to once links are followed (the path itself
// when it leads nowhere).
std::string resolvedPath(const std::string& path);

}  // namespace serial
