#include "devices/ConfigFile.h"

#include "device/DeviceConfig.h"
#include "model/CommandSet.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace devices {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t largestFile = 4 << 20;

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

[[noreturn]] void fail(const fs::path& file, const std::string& what) {
    throw std::runtime_error(file.string() + ": " + what);
}

// Writes a new file of that name (it must not exist yet), private to the user.
void writeNew(const fs::path& path, std::string_view text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) fail(path, std::string("cannot be created: ") + std::strerror(errno));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(path.c_str());
            fail(path, std::string("cannot be written: ") + std::strerror(error));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        fail(path, std::string("cannot be written: ") + std::strerror(errno));
}

// The line's table header as a device name, or nothing: [devices."X"] or [devices.X].
std::optional<std::string> headerName(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] != '[') return std::nullopt;
    std::string compact;
    bool inQuotes = false;
    for (std::size_t i = first; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') inQuotes = !inQuotes;
        if (!inQuotes && c == '#') break;
        if (inQuotes || (c != ' ' && c != '\t')) compact += c;
    }
    constexpr std::string_view prefix = "[devices.";
    if (!compact.starts_with(prefix) || !compact.ends_with("]")) return std::nullopt;
    std::string name = compact.substr(prefix.size(), compact.size() - prefix.size() - 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        std::string unescaped;
        for (std::size_t i = 1; i + 1 < name.size(); ++i) {
            if (name[i] == '\\' && i + 2 < name.size()) ++i;
            unescaped += name[i];
        }
        return unescaped;
    }
    return name;
}

std::string timestamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

fs::path userConfigFile() {
    const auto places = device::configPlaces([](const char* name) { return std::getenv(name); });
    if (places.optional.size() < 2) throw std::runtime_error("neither XDG_CONFIG_HOME nor HOME is set");
    return places.optional.back();
}

std::string entryText(const std::string& name, const std::string& port, const model::LineSettings& line,
    std::string_view commandSet, std::string_view comment) {
    std::ostringstream text;
    text << "[devices." << quoted(name) << "]\n"
         << "# " << comment << "\n"
         << "service = \"serial\"\n"
         << "port = " << quoted(port) << "\n"
         << "baud = " << line.baud << "\n"
         << "parity = \"" << model::nameOf(line.parity) << "\"\n"
         << "data-bits = " << line.dataBits << "\n"
         << "stop-bits = " << line.stopBits << "\n"
         << "flow-control = \"" << model::nameOf(line.flowControl) << "\"\n"
         << "command-set = " << quoted(commandSet) << "\n";
    return text.str();
}

fs::path saveEntry(const fs::path& file, const std::string& name, const std::string& entry) {
    std::string old;
    mode_t mode = 0600;
    struct stat info {};
    const bool existed = ::lstat(file.c_str(), &info) == 0;
    if (existed) {
        if (!S_ISREG(info.st_mode)) fail(file, "is not a regular file; not changed");
        if (static_cast<std::uintmax_t>(info.st_size) > largestFile)
            fail(file, "is larger than 4 MiB; not changed");
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in.good() && !in.eof()) fail(file, "cannot be read");
        old = text.str();
        mode = info.st_mode & 0777;
    } else {
        std::error_code error;
        fs::create_directories(file.parent_path(), error);
        if (error) fail(file.parent_path(), "cannot be created: " + error.message());
        fs::permissions(file.parent_path(), fs::perms::owner_all, fs::perm_options::replace, error);
    }

    // The entry's lines: from its header to the next table header.
    std::vector<std::string> lines;
    std::istringstream in(old);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string updated;
    bool replaced = false;
    for (std::size_t i = 0; i < lines.size();) {
        if (headerName(lines[i]) == name) {
            std::size_t end = i + 1;
            while (end < lines.size()) {
                const auto first = lines[end].find_first_not_of(" \t");
                if (first != std::string::npos && lines[end][first] == '[') break;
                ++end;
            }
            updated += entry + "\n";
            replaced = true;
            i = end;
            continue;
        }
        updated += lines[i] + "\n";
        ++i;
    }
    if (!replaced) updated += (updated.empty() || updated.ends_with("\n\n") ? "" : "\n") + entry;

    // Checked before it replaces anything: the entry must read back sound.
    std::vector<std::string_view> sets;
    for (const model::CommandSet& set : model::commandSets()) sets.push_back(set.name);
    const device::DeviceConfig config = device::parseDeviceConfig(updated, file.string(), sets);
    const device::DeviceEntry* saved = config.find(name);
    if (saved == nullptr || !saved->problem.empty() || !config.problems.empty()) {
        fail(file, "the new content would not read back (" +
                       (saved == nullptr             ? std::string("entry missing")
                           : !saved->problem.empty() ? saved->problem
                                                     : config.problems.front()) +
                       "); not changed");
    }

    fs::path backup;
    if (existed) {
        backup = file.string() + ".bak-" + timestamp();
        writeNew(backup, old, 0600);
    }
    const fs::path temporary = file.string() + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    writeNew(temporary, updated, mode);
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail(file, std::string("cannot be replaced: ") + std::strerror(error));
    }
    return backup;
}

}  // namespace devices
