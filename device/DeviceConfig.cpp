#include "device/DeviceConfig.h"

#include "model/CharacterSets.h"
#include "model/CommandSet.h"
#include "model/Profiles.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

namespace device {
namespace {

constexpr std::array<std::int32_t, 8> baudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// The keys an entry may have, and for which service (none: any).
struct Key {
    std::string_view name;
    std::optional<DeviceEntry::Service> only;
};
constexpr std::array<Key, 9> keys{{
    {"service", std::nullopt},
    {"trace", std::nullopt},
    {"port", DeviceEntry::Service::serial},
    {"baud", DeviceEntry::Service::serial},
    {"command-set", DeviceEntry::Service::serial},
    {"rows", DeviceEntry::Service::serial},
    {"columns", DeviceEntry::Service::serial},
    {"profile", DeviceEntry::Service::simulated},
    {"character-set", std::nullopt},
}};

std::string inQuotes(std::string_view text) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // a literal + std::string.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string keyList() {
    std::string list;
    for (const Key& key : keys) list += (list.empty() ? "" : ", ") + std::string(key.name);
    return list;
}

template <typename Items>
std::string join(const Items& items) {
    std::ostringstream out;
    bool first = true;
    for (const auto& item : items) {
        out << (first ? "" : ", ") << item;
        first = false;
    }
    return out.str();
}

std::string typeName(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    default: return "a date or time";
    }
}

// Reads one device's table into an entry; the first problem found is kept.
class EntryReader {
public:
    EntryReader(DeviceEntry& entry, const std::string& file, std::span<const std::string_view> commandSets)
        : e_(entry), file_(file), commandSets_(commandSets) {}

    bool read(const toml::table& table) {
        const toml::node* service = table.get("service");
        if (service == nullptr) return fail(e_.line, "missing key \"service\" (\"serial\" or \"simulated\")");
        const auto kind = text(*service, "service");
        if (!kind) return false;
        if (*kind == "serial") {
            e_.service = DeviceEntry::Service::serial;
        } else if (*kind == "simulated") {
            e_.service = DeviceEntry::Service::simulated;
        } else {
            return fail(
                line(*service), "service must be \"serial\" or \"simulated\", not " + inQuotes(*kind));
        }
        // Every key is read, so that a sound trace key still traces a broken
        // entry; the problem reported is the one on the earliest line.
        for (auto&& [name, node] : table) {
            const auto key = std::ranges::find(keys, name.str(), &Key::name);
            if (key == keys.end()) {
                fail(line(node), "unknown key " + inQuotes(name.str()) + " (known keys: " + keyList() + ")");
            } else if (key->only && *key->only != e_.service) {
                fail(line(node), "key " + inQuotes(name.str()) + " does not apply to a " +
                                     std::string(*kind) + " display");
            } else {
                readKey(name.str(), node);
            }
        }
        if (!e_.problem.empty()) return false;
        if (e_.service == DeviceEntry::Service::serial && e_.port.empty()) {
            return fail(e_.line, "a serial display needs \"port\" (the path of its serial port)");
        }
        return checkCharacterSet(table);
    }

private:
    // The character set to open with must be one the display lists.
    bool checkCharacterSet(const toml::table& table) {
        if (!e_.characterSet) return true;
        const std::int32_t value = *e_.characterSet;
        std::string list;
        if (e_.service == DeviceEntry::Service::simulated) {
            const auto profile = model::findProfile(e_.profile);
            if (profile && model::listsCharacterSet(*profile, value)) return true;
            if (profile) list = profile->characterSetList;
        } else if (const model::CommandSet* set = model::findCommandSet(e_.commandSet)) {
            if (value == model::charSetUnicode || model::findCodeTable(*set, value)) return true;
            for (const model::CodeTable& t : set->codeTables) list += std::to_string(t.characterSet) + ",";
            list += std::to_string(model::charSetUnicode);
        }
        return fail(line(*table.get("character-set")),
            "character-set " + std::to_string(value) + " is not one this display shows (" + list + ")");
    }

    bool readKey(std::string_view name, const toml::node& node) {
        if (name == "service") return true;
        if (name == "character-set") {
            const auto value = integer(node, name);
            if (!value) return false;
            if (*value < 0 || *value > 99999 ||
                !model::knownCharacterSet(static_cast<std::int32_t>(*value))) {
                return fail(line(node),
                    "character-set " + std::to_string(*value) +
                        " is not a character set (997 Unicode, 998 ASCII, or a code page such as 437)");
            }
            e_.characterSet = static_cast<std::int32_t>(*value);
            return true;
        }
        if (name == "port") return assign(e_.port, text(node, name), node, true);
        if (name == "trace") return assign(e_.trace, text(node, name), node, true);
        if (name == "profile") {
            const auto value = text(node, name);
            if (!value) return false;
            if (!model::findProfile(*value)) {
                std::vector<std::string_view> names;
                names.reserve(model::profiles.size());
                for (const auto& p : model::profiles) names.push_back(p.name);
                return fail(
                    line(node), "unknown profile " + inQuotes(*value) + " (known: " + join(names) + ")");
            }
            e_.profile = *value;
            return true;
        }
        if (name == "command-set") {
            const auto value = text(node, name);
            if (!value) return false;
            if (std::ranges::find(commandSets_, std::string_view(*value)) == commandSets_.end()) {
                return fail(line(node),
                    "unknown command set " + inQuotes(*value) + " (known: " + join(commandSets_) + ")");
            }
            e_.commandSet = *value;
            return true;
        }
        if (name == "baud") {
            const auto value = integer(node, name);
            if (!value) return false;
            if (std::ranges::find(baudRates, *value) == baudRates.end()) {
                return fail(line(node),
                    "baud " + std::to_string(*value) + " is not a supported speed (" + join(baudRates) + ")");
            }
            e_.baud = static_cast<std::int32_t>(*value);
            return true;
        }
        // rows, columns
        const bool rows = name == "rows";
        const std::int64_t most = rows ? 4 : 40;
        const auto value = integer(node, name);
        if (!value) return false;
        if (*value < 1 || *value > most) {
            return fail(line(node), std::string(name) + " must be 1 to " + std::to_string(most) + ", not " +
                                        std::to_string(*value));
        }
        (rows ? e_.rows : e_.columns) = static_cast<std::int32_t>(*value);
        return true;
    }

    std::optional<std::string> text(const toml::node& node, std::string_view name) {
        if (!node.is_string()) {
            fail(line(node), std::string(name) + " must be a string, not " + typeName(node));
            return std::nullopt;
        }
        return node.value<std::string>();
    }
    std::optional<std::int64_t> integer(const toml::node& node, std::string_view name) {
        if (!node.is_integer()) {
            fail(line(node), std::string(name) + " must be an integer, not " + typeName(node));
            return std::nullopt;
        }
        return node.value<std::int64_t>();
    }
    bool assign(
        std::string& to, const std::optional<std::string>& value, const toml::node& node, bool nonEmpty) {
        if (!value) return false;
        if (nonEmpty && value->empty()) return fail(line(node), "an empty path is not a file");
        to = *value;
        return true;
    }
    std::int32_t line(const toml::node& node) const {
        return node.source().begin.line ? static_cast<std::int32_t>(node.source().begin.line) : e_.line;
    }
    bool fail(std::int32_t line, const std::string& what) {
        if (e_.problem.empty() || line < problemLine_) {
            e_.problem = file_ + ":" + std::to_string(line) + ": device " + inQuotes(e_.name) + ": " + what;
            problemLine_ = line;
        }
        return false;
    }

    DeviceEntry& e_;
    std::int32_t problemLine_ = 0;
    const std::string& file_;
    std::span<const std::string_view> commandSets_;
};

}  // namespace

const DeviceEntry* DeviceConfig::find(std::string_view name) const {
    const auto it = std::ranges::find(entries, name, &DeviceEntry::name);
    return it == entries.end() ? nullptr : &*it;
}

void DeviceConfig::merge(DeviceConfig later) {
    for (DeviceEntry& entry : later.entries) {
        const auto it = std::ranges::find(entries, entry.name, &DeviceEntry::name);
        if (it != entries.end()) {
            *it = std::move(entry);
        } else {
            entries.push_back(std::move(entry));
        }
    }
    std::ranges::sort(entries, {}, &DeviceEntry::name);
    for (std::string& problem : later.problems) problems.push_back(std::move(problem));
}

DeviceConfig parseDeviceConfig(
    std::string_view text, const std::string& file, std::span<const std::string_view> commandSets) {
    DeviceConfig config;
    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& e) {
        config.problems.push_back(file + ":" + std::to_string(e.source().begin.line) +
                                  ": not valid TOML: " + std::string(e.description()));
        return config;
    }
    for (auto&& [name, node] : root) {
        if (name.str() != "devices") {
            config.problems.push_back(file + ":" + std::to_string(node.source().begin.line) +
                                      ": unknown key " + inQuotes(name.str()) +
                                      " (devices are tables under [devices])");
        }
    }
    const toml::node* devices = root.get("devices");
    if (devices == nullptr) return config;
    if (!devices->is_table()) {
        config.problems.push_back(file + ":" + std::to_string(devices->source().begin.line) +
                                  ": devices must be a table of device tables, not " + typeName(*devices));
        return config;
    }
    for (auto&& [name, node] : *devices->as_table()) {
        DeviceEntry entry;
        entry.name = std::string(name.str());
        entry.file = file;
        entry.line = static_cast<std::int32_t>(node.source().begin.line);
        if (const toml::table* table = node.as_table()) {
            EntryReader(entry, file, commandSets).read(*table);
        } else {
            entry.problem = file + ":" + std::to_string(entry.line) + ": device " + inQuotes(entry.name) +
                            " must be a table ([devices." + inQuotes(entry.name) + "]), not " +
                            typeName(node);
        }
        config.entries.push_back(std::move(entry));
    }
    std::ranges::sort(config.entries, {}, &DeviceEntry::name);
    return config;
}

ConfigPlaces configPlaces(const std::function<const char*(const char*)>& environment) {
    ConfigPlaces places;
    places.optional.emplace_back("/etc/linedisplaytest/devices.toml");
    const char* xdg = environment("XDG_CONFIG_HOME");
    const char* home = environment("HOME");
    if (xdg != nullptr && *xdg != '\0') {
        places.optional.push_back(std::filesystem::path(xdg) / "linedisplaytest/devices.toml");
    } else if (home != nullptr && *home != '\0') {
        places.optional.push_back(std::filesystem::path(home) / ".config/linedisplaytest/devices.toml");
    }
    const char* named = environment("LDT_DEVICE_CONFIG");
    if (named != nullptr && *named != '\0') places.required = named;
    return places;
}

DeviceConfig loadDeviceConfig(const ConfigPlaces& places, std::span<const std::string_view> commandSets) {
    DeviceConfig config;
    const auto readFile = [&](const std::filesystem::path& path, bool mustExist) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            if (mustExist) {
                config.problems.push_back(
                    path.string() + ": the device configuration named by LDT_DEVICE_CONFIG does not exist");
            }
            return;
        }
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in.good() && !in.eof()) {
            config.problems.push_back(path.string() + ": cannot be read");
            return;
        }
        config.merge(parseDeviceConfig(text.str(), path.string(), commandSets));
    };
    for (const auto& path : places.optional) readFile(path, false);
    if (places.required) readFile(*places.required, true);
    return config;
}

}  // namespace device
