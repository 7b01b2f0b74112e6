// The device configuration: which device names exist beyond the built-in
// simulated displays, and what serves each.
//
// TOML files (read with toml++), one table per device under [devices]:
//   [devices."TQN730"]
//   service = "serial"            # "serial" or "simulated"
//   port = "/dev/ttyUSB0"         # serial: the port (or a virtual display's link)
//   baud = 9600                   # serial: 1200 .. 115200
//   parity = "odd"                # serial: "none", "odd", "even", "mark" or "space"
//   data-bits = 8                 # serial: 7 or 8
//   stop-bits = 1                 # serial: 1 or 2
//   flow-control = "none"         # serial: "none", "rts-cts", "dtr-dsr" or "xon-xoff"
//   command-set = "DM-D"          # serial: a command set's name or alias; default "DM-D"
//   rows = 2                      # serial: 1..4; default 2
//   columns = 20                  # serial: 1..40; default 20
//   allow-console = false         # serial: drive a port that is the machine's console; default false
//   profile = "DM-D202"           # simulated: a built-in profile; default "TQN730"
//   trace = "/run/user/1000/ldt-trace.log"  # any device: trace its calls to this file; off when absent
//   character-set = 437           # any device: the CharacterSet it opens with (one it lists);
//                                 # default 997 (Unicode) where the display takes it
// Line settings not given are the command set's factory settings (9600 8N1
// without flow control for most sets).
// Files are read in this order, a later entry replacing an earlier one of
// the same name: /etc/linedisplaytest/devices.toml, then
// ${XDG_CONFIG_HOME:-$HOME/.config}/linedisplaytest/devices.toml, then the
// file named by LDT_DEVICE_CONFIG. The first two may be absent; a file named
// by the variable must exist.
//
// Every problem is a message "<file>:<line>: <what is wrong>", quoting what
// the file says short and escaped (device/Excerpt.h). A problem in one
// device's entry makes that entry broken: its name still exists (so Open can
// say why it fails) but carries the problem. A key outside [devices] is a
// problem of the whole file. A file that cannot be read or parsed breaks the
// devices it names, as far as they can be found in it; when they cannot be
// told, it breaks every device name that no later file configures, so that
// a display the technician wired is never quietly replaced by a simulation.
//
// Only regular files of at most maxConfigBytes are read (a FIFO, a device or
// a folder is refused with its own message, never read or waited on), and a
// file whose tables nest deeper than maxConfigDepth is refused before the
// TOML parser, which recurses once per level, sees it. Reading and merging
// take time in proportion to the files' size.
//
// Plain values and pure functions, except load(), which reads the files and
// the environment. Safe from any thread.
#pragma once

#include "model/LineSettings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace device {

struct DeviceEntry {
    enum class Service : std::uint8_t { simulated, serial };

    std::string name;  // the device name given to Open
    std::string file;
    std::int32_t line = 0;  // of the entry's table header
    Service service = Service::simulated;
    std::string profile = "TQN730";  // simulated
    std::string port;                // serial
    // Line settings given in the entry; those not given are the command set's.
    std::optional<std::int32_t> baud;
    std::optional<model::Parity> parity;
    std::optional<std::int32_t> dataBits;
    std::optional<std::int32_t> stopBits;
    std::optional<model::FlowControl> flowControl;
    std::string commandSet = "DM-D";
    std::int32_t rows = 2;
    std::int32_t columns = 20;
    bool allowConsole = false;
    std::optional<std::int32_t> characterSet;  // nothing: the display's own initial set
    std::string trace;                         // empty: not traced
    std::string problem;                       // empty: sound; else "<file>:<line>: <what is wrong>"

    // The line settings: those the entry gives, the rest from `defaults`.
    model::LineSettings lineSettings(const model::LineSettings& defaults) const;
};

// The largest configuration file read, and the deepest nesting of tables
// and values accepted in one (a device entry needs three levels).
constexpr std::uintmax_t maxConfigBytes = std::uintmax_t{4} * 1024 * 1024;
constexpr std::size_t maxConfigDepth = 16;

struct DeviceConfig {
    std::vector<DeviceEntry> entries;   // one per device name, in name order
    std::vector<std::string> problems;  // of whole files, "<file>[:<line>]: <what is wrong>"
    // Not empty when a file that could not be read may have named any device:
    // then every name without an entry is broken with this problem.
    std::string anyNameProblem;

    const DeviceEntry* find(std::string_view name) const;
    // Adds another file's configuration: its entries replace those of the
    // same name, and a file that may have named any device breaks every entry
    // read before it.
    void merge(DeviceConfig later);
};

// The configuration in one file's text. `commandSets` are the command-set
// names a serial entry may use; an entry may also give a name they are sold
// under (model::findCommandSet), and is stored with the set's own name.
DeviceConfig parseDeviceConfig(
    std::string_view text, const std::string& file, std::span<const std::string_view> commandSets);

// The files to read, in order, from the environment (the getter returns
// nullptr for an unset variable); the last is the one LDT_DEVICE_CONFIG
// names, which must exist.
struct ConfigPlaces {
    std::vector<std::filesystem::path> optional;
    std::optional<std::filesystem::path> required;
};
ConfigPlaces configPlaces(const std::function<const char*(const char*)>& environment);

// Reads the files of the places and merges them.
DeviceConfig loadDeviceConfig(const ConfigPlaces& places, std::span<const std::string_view> commandSets);

}  // namespace device
