#include "device/DeviceConfig.h"

#include "device/Excerpt.h"
#include "model/CharacterSets.h"
#include "model/CommandSet.h"
#include "model/Profiles.h"

#include <toml++/toml.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sstream>

namespace device {
namespace {

// The keys an entry may have, and for which service (none: any).
struct Key {
    std::string_view name;
    std::optional<DeviceEntry::Service> only;
};
constexpr std::array<Key, 14> keys{{
    {"service", std::nullopt},
    {"trace", std::nullopt},
    {"port", DeviceEntry::Service::serial},
    {"baud", DeviceEntry::Service::serial},
    {"parity", DeviceEntry::Service::serial},
    {"data-bits", DeviceEntry::Service::serial},
    {"stop-bits", DeviceEntry::Service::serial},
    {"flow-control", DeviceEntry::Service::serial},
    {"command-set", DeviceEntry::Service::serial},
    {"rows", DeviceEntry::Service::serial},
    {"columns", DeviceEntry::Service::serial},
    {"allow-console", DeviceEntry::Service::serial},
    {"profile", DeviceEntry::Service::simulated},
    {"character-set", std::nullopt},
}};

std::string inQuotes(std::string_view text) { return quotedExcerpt(text); }

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

// The names of a choice, as "\"a\", \"b\" or \"c\"".
template <typename Values>
std::string choices(const Values& values) {
    std::string list;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) list += i + 1 == values.size() ? " or " : ", ";
        list += inQuotes(model::nameOf(values[i]));
    }
    return list;
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
        // A set that writes whole rows has commands for an upper and a lower row only.
        const model::CommandSet* set = model::findCommandSet(e_.commandSet);
        if (e_.service == DeviceEntry::Service::serial && set != nullptr && model::wholeRows(*set) &&
            e_.rows > 2) {
            const toml::node* rows = table.get("rows");
            return fail(rows != nullptr ? line(*rows) : e_.line,
                "command set " + inQuotes(e_.commandSet) +
                    " writes the upper and lower rows of a display only: rows must be 1 or 2, not " +
                    std::to_string(e_.rows));
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
            // A set sold under another name is stored under its own.
            const model::CommandSet* set = model::findCommandSet(*value);
            const std::string_view canonical = set != nullptr ? set->name : std::string_view(*value);
            if (std::ranges::find(commandSets_, canonical) == commandSets_.end()) {
                if (const auto why = model::unsupportedCommandSet(*value)) {
                    return fail(line(node), "command set " + inQuotes(*value) + " " + std::string(*why));
                }
                return fail(
                    line(node), "unknown command set " + inQuotes(*value) + " (known: " + knownSets() + ")");
            }
            e_.commandSet = canonical;
            return true;
        }
        if (name == "allow-console") {
            if (!node.is_boolean())
                return fail(line(node), "allow-console must be true or false, not " + typeName(node));
            e_.allowConsole = *node.value<bool>();
            return true;
        }
        if (name == "baud") {
            const auto value = integer(node, name);
            if (!value) return false;
            if (std::ranges::find(model::standardSpeeds, *value) == model::standardSpeeds.end()) {
                return fail(line(node), "baud " + std::to_string(*value) + " is not a supported speed (" +
                                            join(model::standardSpeeds) + ")");
            }
            e_.baud = static_cast<std::int32_t>(*value);
            return true;
        }
        if (name == "parity" || name == "flow-control") {
            const auto value = text(node, name);
            if (!value) return false;
            if (name == "parity") {
                e_.parity = model::parityNamed(*value);
                if (e_.parity) return true;
                return fail(line(node),
                    "parity must be " + choices(model::allParities) + ", not " + inQuotes(*value));
            }
            e_.flowControl = model::flowControlNamed(*value);
            if (e_.flowControl) return true;
            return fail(line(node),
                "flow-control must be " + choices(model::allFlowControls) + ", not " + inQuotes(*value));
        }
        if (name == "data-bits" || name == "stop-bits") {
            const bool data = name == "data-bits";
            const auto value = integer(node, name);
            if (!value) return false;
            const std::int64_t low = data ? 7 : 1;
            if (*value != low && *value != low + 1) {
                return fail(line(node), std::string(name) + " must be " + std::to_string(low) + " or " +
                                            std::to_string(low + 1) + ", not " + std::to_string(*value));
            }
            (data ? e_.dataBits : e_.stopBits) = static_cast<std::int32_t>(*value);
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

    // The sets a serial entry may name, with the other names they are sold under.
    std::string knownSets() const {
        std::string known;
        for (const std::string_view name : commandSets_) {
            if (!known.empty()) known += ", ";
            known += name;
            const model::CommandSet* set = model::findCommandSet(name);
            if (set != nullptr && !set->aliases.empty()) known += " (or " + join(set->aliases) + ")";
        }
        return known;
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
        // A NUL would cut the path short where the system reads it: another file.
        if (value->find('\0') != std::string::npos)
            return fail(line(node), "the path " + inQuotes(*value) + " contains a NUL character");
        if (value->size() >= PATH_MAX) {
            return fail(line(node), "a path of " + std::to_string(value->size()) +
                                        " bytes is longer than the system allows (" +
                                        std::to_string(PATH_MAX - 1) + ")");
        }
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

std::string at(const std::string& file, std::int64_t line) { return file + ":" + std::to_string(line); }

// Skips the string that opens at text[i] (any of TOML's four kinds); returns
// the index of its last character and counts the line breaks inside it. An
// unterminated one-line string ends before its line break.
std::size_t skipString(std::string_view text, std::size_t i, std::int64_t& line) {
    const char quote = text[i];
    const bool multiline = text.substr(i, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
    const bool escapes = quote == '"';
    for (std::size_t j = i + (multiline ? 3 : 1); j < text.size(); ++j) {
        const char c = text[j];
        if (escapes && c == '\\') {
            if (j + 1 < text.size() && text[j + 1] == '\n') ++line;
            ++j;
        } else if (c == '\n') {
            if (!multiline) return j - 1;
            ++line;
        } else if (c == quote && (!multiline || text.substr(j, 3) == text.substr(i, 3))) {
            return multiline ? j + 2 : j;
        }
    }
    return text.size() - 1;
}

// The deepest nesting the text can build, with the line where it is first
// reached: the parts of a table header, then those of a dotted key, then one
// level for each bracket or brace of a value and the parts of the keys in
// its inline tables. Strings and comments are skipped. A malformed text
// still gives a depth; the parser then says what is wrong with it.
struct Nesting {
    std::size_t depth = 0;
    std::int64_t line = 1;
};
Nesting deepestNesting(std::string_view text) {
    enum class At : std::uint8_t { lineStart, header, rest, key, value };
    Nesting deepest;
    std::int64_t line = 1;
    std::size_t header = 0;         // the parts of the current table header
    std::size_t depth = 0;          // at this point of the statement
    std::vector<std::size_t> open;  // the depth before each open bracket or brace
    std::vector<char> closers;      // and the character that closes it
    At at = At::lineStart;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            if (at != At::value || open.empty()) {
                at = At::lineStart;
                open.clear();
                closers.clear();
            }
            continue;
        }
        if (at == At::rest || c == ' ' || c == '\t' || c == '\r') continue;
        if (c == '#') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
            continue;
        }
        switch (at) {
        case At::lineStart:
            if (c == '[') {
                at = At::header;
                depth = 1;
                if (i + 1 < text.size() && text[i + 1] == '[') ++i;
                break;
            }
            at = At::key;
            depth = header + 1;
            --i;  // read it again as the key's first character
            break;
        case At::header:
            if (c == '.') ++depth;
            if (c == '"' || c == '\'') i = skipString(text, i, line);
            if (c == ']') {
                header = depth;
                at = At::rest;
            }
            break;
        case At::key:
            if (c == '.') ++depth;
            if (c == '"' || c == '\'') i = skipString(text, i, line);
            if (c == '=') at = At::value;
            if (c == '}' && !closers.empty() && closers.back() == '}') {  // an empty inline table
                depth = open.back();
                open.pop_back();
                closers.pop_back();
                at = At::value;
            }
            break;
        case At::value:
            if (c == '"' || c == '\'') {
                i = skipString(text, i, line);
            } else if (c == '[' || c == '{') {
                open.push_back(depth);
                closers.push_back(c == '[' ? ']' : '}');
                ++depth;
                if (c == '{') at = At::key;
            } else if (!closers.empty() && c == closers.back()) {
                depth = open.back();
                open.pop_back();
                closers.pop_back();
            } else if (c == ',' && !closers.empty() && closers.back() == '}') {
                depth = open.back() + 1;
                at = At::key;
            }
            break;
        case At::rest: break;
        }
        if (depth > deepest.depth) deepest = {depth, line};
    }
    return deepest;
}

// The first two parts of a table header line ("[devices.\"A\".x]" gives
// devices, A), or nothing when the line is no header that can be read so far.
std::optional<std::vector<std::string>> headerParts(std::string_view line) {
    const auto blank = [&] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    };
    blank();
    if (!line.starts_with('[')) return std::nullopt;
    line.remove_prefix(line.starts_with("[[") ? 2 : 1);
    std::vector<std::string> parts;
    for (;;) {
        blank();
        std::string part;
        if (line.starts_with('"') || line.starts_with('\'')) {
            const char quote = line.front();
            std::size_t j = 1;
            for (; j < line.size() && line[j] != quote; ++j) {
                if (quote == '"' && line[j] == '\\' && j + 1 < line.size()) ++j;
                part += line[j];
            }
            if (j >= line.size()) return std::nullopt;
            line.remove_prefix(j + 1);
        } else {
            while (!line.empty() && (std::isalnum(static_cast<unsigned char>(line.front())) ||
                                        line.front() == '_' || line.front() == '-')) {
                part += line.front();
                line.remove_prefix(1);
            }
            if (part.empty()) return std::nullopt;
        }
        parts.push_back(std::move(part));
        blank();
        if (parts.size() == 2 && (line.starts_with('.') || line.starts_with(']'))) return parts;
        if (line.starts_with('.')) {
            line.remove_prefix(1);
            continue;
        }
        if (line.starts_with(']')) return parts;
        return std::nullopt;
    }
}

// The devices a file that is not valid TOML names, each broken with the
// file's problem; when they cannot be told (the devices table is written
// another way than [devices.<name>] headers, or none is found), every name.
DeviceConfig brokenFile(std::string_view text, const std::string& problem) {
    DeviceConfig config;
    config.problems.push_back(problem);
    bool cannotTell = false;
    std::int64_t line = 0;
    std::size_t from = 0;
    while (from <= text.size() && !cannotTell) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view row = text.substr(from, end - from);
        from = end + 1;
        ++line;
        const auto parts = headerParts(row);
        if (parts && parts->size() >= 2 && (*parts)[0] == "devices") {
            if (config.entries.empty() || config.entries.back().name != (*parts)[1]) {
                DeviceEntry entry;
                entry.name = (*parts)[1];
                entry.line = static_cast<std::int32_t>(line);
                config.entries.push_back(std::move(entry));
            }
            continue;
        }
        // Anything else that may speak of devices: [devices], devices = {...},
        // devices.A.service = ..., or a header too broken to read.
        const auto word = row.find("devices");
        if (word != std::string_view::npos && row.find_first_not_of(" \t") == std::min(word, row.find('['))) {
            cannotTell = true;
        }
    }
    if (cannotTell || config.entries.empty()) {
        config.entries.clear();
        config.anyNameProblem = problem;
        return config;
    }
    std::ranges::sort(config.entries, {}, &DeviceEntry::name);
    // (std::ranges::unique's result is beyond clang 14 with this libstdc++.)
    config.entries.erase(std::unique(config.entries.begin(), config.entries.end(),
                             [](const DeviceEntry& a, const DeviceEntry& b) { return a.name == b.name; }),
        config.entries.end());
    for (DeviceEntry& entry : config.entries) entry.problem = problem;
    return config;
}

// The text of a configuration file, or why it cannot be read. Only a regular
// file is opened (never a FIFO that would block, or a device that never
// ends), and only its first maxConfigBytes are read.
struct FileText {
    bool absent = false;
    std::string text;
    std::string problem;
};
FileText readConfigFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    FileText result;
    const auto failed = [&](int error, std::string_view doing) {
        switch (error) {
        case ENOENT: result.absent = true; break;
        case ELOOP: result.problem = name + ": its symbolic links lead round in a loop"; break;
        case ENOTDIR: result.problem = name + ": a part of the path is not a folder"; break;
        case EACCES:
            result.problem = name + ": this user may not read it (" + std::strerror(error) + ")";
            break;
        default:
            result.problem = name + ": cannot " + std::string(doing) + " it (" + std::strerror(error) + ")";
        }
        return result;
    };
    const auto notAFile = [&](mode_t mode) {
        const char* kind = S_ISDIR(mode)    ? "is a folder"
                           : S_ISFIFO(mode) ? "is a named pipe (FIFO)"
                           : S_ISCHR(mode)  ? "is a character device"
                           : S_ISBLK(mode)  ? "is a block device"
                           : S_ISSOCK(mode) ? "is a socket"
                                            : "is a special file";
        result.problem = name + ": " + kind + ", not a file; a device configuration must be a regular file";
        return result;
    };
    const auto tooBig = [&](std::uintmax_t size, const char* atLeast) {
        result.problem = name + ": is " + atLeast + std::to_string(size) + " bytes, more than the " +
                         std::to_string(maxConfigBytes) + " a device configuration may have";
        return result;
    };
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return failed(errno, "look up");
    if (!S_ISREG(info.st_mode)) return notAFile(info.st_mode);
    if (static_cast<std::uintmax_t>(info.st_size) > maxConfigBytes)
        return tooBig(static_cast<std::uintmax_t>(info.st_size), "");
    // Not blocking, and checked again once open: the path may have been
    // replaced by a FIFO or a device since it was looked up.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(errno, "open");
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notAFile(info.st_mode);
    }
    std::string text(maxConfigBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return failed(error, "read");
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > maxConfigBytes) return tooBig(got, "at least ");  // it grew while read
    text.resize(got);
    result.text = std::move(text);
    return result;
}

}  // namespace

model::LineSettings DeviceEntry::lineSettings(const model::LineSettings& defaults) const {
    return model::LineSettings{
        .baud = baud.value_or(defaults.baud),
        .dataBits = dataBits.value_or(defaults.dataBits),
        .parity = parity.value_or(defaults.parity),
        .stopBits = stopBits.value_or(defaults.stopBits),
        .flowControl = flowControl.value_or(defaults.flowControl),
    };
}

const DeviceEntry* DeviceConfig::find(std::string_view name) const {
    const auto it = std::ranges::lower_bound(entries, name, {}, &DeviceEntry::name);
    return it == entries.end() || it->name != name ? nullptr : &*it;
}

void DeviceConfig::merge(DeviceConfig later) {
    if (!later.anyNameProblem.empty()) {
        // That file may have replaced any of these entries.
        for (DeviceEntry& entry : entries) {
            if (entry.problem.empty()) entry.problem = later.anyNameProblem;
        }
        anyNameProblem = later.anyNameProblem;
    }
    // Both lists are in name order: one pass, the later entry winning a tie.
    std::vector<DeviceEntry> merged;
    merged.reserve(entries.size() + later.entries.size());
    auto a = entries.begin();
    auto b = later.entries.begin();
    while (a != entries.end() || b != later.entries.end()) {
        if (b == later.entries.end() || (a != entries.end() && a->name < b->name)) {
            merged.push_back(std::move(*a++));
        } else {
            if (a != entries.end() && a->name == b->name) ++a;
            merged.push_back(std::move(*b++));
        }
    }
    entries = std::move(merged);
    for (std::string& problem : later.problems) problems.push_back(std::move(problem));
}

DeviceConfig parseDeviceConfig(
    std::string_view text, const std::string& file, std::span<const std::string_view> commandSets) {
    DeviceConfig config;
    if (const Nesting nesting = deepestNesting(text); nesting.depth > maxConfigDepth) {
        return brokenFile(text, at(file, nesting.line) + ": tables nested more than " +
                                    std::to_string(maxConfigDepth) +
                                    " levels deep (a device entry needs three); the file is not read");
    }
    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& e) {
        // The parser's wording may quote the text it stopped at.
        std::string why = quotedExcerpt(e.description(), 200);
        return brokenFile(text, at(file, static_cast<std::int64_t>(e.source().begin.line)) +
                                    ": not valid TOML: " + why.substr(1, why.size() - 2));
    }
    // A few are told one by one; a file full of them is no device configuration.
    constexpr std::size_t toldKeys = 10;
    std::size_t strayKeys = 0;
    for (auto&& [name, node] : root) {
        if (name.str() != "devices" && ++strayKeys <= toldKeys) {
            config.problems.push_back(file + ":" + std::to_string(node.source().begin.line) +
                                      ": unknown key " + inQuotes(name.str()) +
                                      " (devices are tables under [devices])");
        }
    }
    if (strayKeys > toldKeys) {
        config.problems.push_back(
            file + ": " + std::to_string(strayKeys - toldKeys) + " more unknown keys outside [devices]");
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
        FileText file = readConfigFile(path);
        if (file.absent && !mustExist) return;
        if (file.absent) {
            file.problem =
                path.string() + ": the device configuration named by LDT_DEVICE_CONFIG does not exist";
        }
        if (!file.problem.empty()) {
            // The devices it would have configured cannot be known.
            DeviceConfig unread;
            unread.problems.push_back(file.problem);
            unread.anyNameProblem = file.problem;
            config.merge(std::move(unread));
            return;
        }
        config.merge(parseDeviceConfig(file.text, path.string(), commandSets));
    };
    for (const auto& path : places.optional) readFile(path, false);
    if (places.required) readFile(*places.required, true);
    return config;
}

}  // namespace device
