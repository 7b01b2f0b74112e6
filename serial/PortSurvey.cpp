#include "serial/PortSurvey.h"

#include <libserialport.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace serial {
namespace {

namespace fs = std::filesystem;

// The kernel keeps the first 15 characters of a program's name.
const std::string virtualDisplayCommand = std::string("ldt-virtual-display").substr(0, 15);

// A small file of /proc (or a lock file), at most `most` bytes; empty when
// it cannot be read.
std::string readSmall(const fs::path& path, std::size_t most = 65536) {
    std::ifstream in(path, std::ios::binary);
    std::string text(most, '\0');
    in.read(text.data(), static_cast<std::streamsize>(most));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::string commandOf(std::int32_t pid) {
    std::string name = readSmall("/proc/" + std::to_string(pid) + "/comm", 64);
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// The process IDs of /proc, this process's left out.
std::vector<std::int32_t> processes() {
    std::vector<std::int32_t> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        const auto pid = static_cast<std::int32_t>(std::strtol(name.c_str(), nullptr, 10));
        if (pid != ::getpid()) pids.push_back(pid);
    }
    return pids;
}

std::string userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// "crw-rw----"
std::string modeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
    const char* letters = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) text += (mode & (0400 >> i)) != 0 ? letters[i] : '-';
    return text;
}

// Whether the user is a member of the group in the group database (which a
// login session that started before the user joined does not show yet).
bool memberOf(const std::string& user, gid_t primary, gid_t group) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user.c_str(), primary, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(user.c_str(), primary, groups.data(), &count) < 0) return false;
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::ranges::find(groups, group) != groups.end();
}

void addHolder(std::vector<Holder>& holders, std::int32_t pid, const std::string& how) {
    const auto it = std::ranges::find(holders, pid, &Holder::pid);
    if (it == holders.end()) {
        holders.push_back({pid, commandOf(pid), how});
    } else if (it->how.find(how) == std::string::npos) {
        it->how += " and " + how;
    }
}

std::string permissionFix(const std::string& path, const struct stat& info) {
    const std::string user = userName(::geteuid());
    const std::string group = groupName(info.st_gid);
    const passwd* me = ::getpwuid(::geteuid());
    if ((info.st_mode & S_IRGRP) != 0 && (info.st_mode & S_IWGRP) != 0) {
        if (me != nullptr && memberOf(user, me->pw_gid, info.st_gid)) {
            return user + " is in group " + group +
                   ", but this login session started before that: log out and back in (or run `newgrp " +
                   group + "`)";
        }
        return "sudo usermod -aG " + group + " " + user + "   (then log out and back in)";
    }
    if (path.starts_with("/dev/pts/")) {
        return "it is a pseudo-terminal of " + userName(info.st_uid) + ": run the virtual display as " +
               user + ", or use it as " + userName(info.st_uid);
    }
    return "only " + userName(info.st_uid) + " may open it: give group dialout access with a udev rule, " +
           "`KERNEL==\"" + fs::path(path).filename().string() +
           "\", GROUP=\"dialout\", MODE=\"0660\"` in /etc/udev/rules.d/99-ldt-line-display.rules, then " +
           "`sudo udevadm control --reload-rules && sudo udevadm trigger`, and join dialout (`sudo usermod "
           "-aG " +
           "dialout " + user + "`)";
}

}  // namespace

std::vector<PortInfo> listPorts() {
    std::vector<PortInfo> ports;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK || list == nullptr) return ports;
    for (sp_port** p = list; *p != nullptr; ++p) {
        PortInfo info;
        info.path = sp_get_port_name(*p);
        const char* description = sp_get_port_description(*p);
        info.description = description != nullptr ? description : "";
        switch (sp_get_port_transport(*p)) {
        case SP_TRANSPORT_USB: info.transport = "USB"; break;
        case SP_TRANSPORT_BLUETOOTH: info.transport = "Bluetooth"; break;
        case SP_TRANSPORT_NATIVE: info.transport = "native"; break;
        }
        int vendor = 0;
        int product = 0;
        if (sp_get_port_transport(*p) == SP_TRANSPORT_USB &&
            sp_get_port_usb_vid_pid(*p, &vendor, &product) == SP_OK) {
            info.usbVendor = vendor;
            info.usbProduct = product;
            const char* serial = sp_get_port_usb_serial(*p);
            info.serialNumber = serial != nullptr ? serial : "";
        }
        ports.push_back(std::move(info));
    }
    sp_free_port_list(list);
    std::ranges::sort(ports, {}, &PortInfo::path);
    return ports;
}

std::string resolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::vector<Holder> holdersOf(const std::string& path) {
    std::vector<Holder> holders;
    const std::string real = resolvedPath(path);
    struct stat node {};
    if (::stat(real.c_str(), &node) != 0) return holders;
    for (const std::int32_t pid : processes()) {
        // A virtual display keeps its own terminal open to serve it; that is
        // not holding it (it never locks it, as a program using it does).
        if (commandOf(pid) == virtualDisplayCommand) continue;
        std::error_code error;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            std::error_code ignored;
            if (fs::read_symlink(fd.path(), ignored).string() == real) {
                addHolder(holders, pid, "has it open");
                break;
            }
        }
    }
    // flock() locks: "1: FLOCK  ADVISORY  WRITE 4242 00:05:123 0 EOF".
    std::istringstream locks(readSmall("/proc/locks", 1 << 20));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, advisory, mode, where;
        std::int32_t pid = 0;
        if (!(fields >> number >> type >> advisory >> mode >> pid >> where) || number == "->") continue;
        unsigned major = 0;
        unsigned minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major == ::major(node.st_dev) && minor == ::minor(node.st_dev) && inode == node.st_ino &&
            pid != ::getpid()) {
            addHolder(holders, pid, "holds a lock on it");
        }
    }
    // UUCP-style lock files of terminal programs: the holder's PID inside.
    for (const char* folder : {"/var/lock", "/run/lock"}) {
        const std::string text =
            readSmall(std::string(folder) + "/LCK.." + fs::path(real).filename().string(), 64);
        const long pid = std::strtol(text.c_str(), nullptr, 10);
        if (pid > 0 && pid != ::getpid() && fs::exists("/proc/" + std::to_string(pid)))
            addHolder(holders, static_cast<std::int32_t>(pid), "left a lock file");
    }
    return holders;
}

PortProblem diagnosePort(const std::string& path) {
    using Kind = PortProblem::Kind;
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        return {Kind::missing, "the port " + path + " does not exist",
            "plug the display's adapter in (USB adapters appear as /dev/ttyUSB0 or /dev/ttyACM0; "
            "`ldt-devices list` shows the ports there are), or name an existing port in the configuration"};
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        std::error_code ignored;
        const std::string target = fs::read_symlink(path, ignored).string();
        if (target.starts_with("/dev/pts/")) {
            return {Kind::virtualDisplayGone,
                "the virtual display that served " + path + " has ended (the link leads to " + target +
                    ", which is gone)",
                "start it again: ldt-virtual-display --link " + path};
        }
        return {Kind::missing, "the port " + path + " leads to " + target + ", which does not exist",
            "plug the display's adapter in, or name an existing port in the configuration"};
    }
    if (!S_ISCHR(info.st_mode)) {
        return {Kind::notATerminal, path + " is not a serial port (not a character device)",
            "name the display's serial port in the configuration (`ldt-devices list` shows them)"};
    }
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        return {Kind::permission,
            "this user (" + userName(::geteuid()) + ") may not open " + path + ": it belongs to " +
                userName(info.st_uid) + ":" + groupName(info.st_gid) + " with mode " + modeText(info.st_mode),
            permissionFix(resolvedPath(path), info)};
    }
    const std::vector<Holder> holders = holdersOf(path);
    if (!holders.empty()) {
        std::string who;
        for (const Holder& h : holders) {
            who += (who.empty() ? "" : "; ") + std::string("pid ") + std::to_string(h.pid) + " (" +
                   h.command + ") " + h.how;
        }
        return {Kind::held, path + " is held by another program: " + who,
            "close that program (a terminal program such as minicom or screen, or another console), or end "
            "it: kill " +
                std::to_string(holders.front().pid)};
    }
    return {};
}

bool modemManagerRunning() {
    return std::ranges::any_of(
        processes(), [](std::int32_t pid) { return commandOf(pid) == "ModemManager"; });
}

std::string modemManagerRule(const PortInfo& port) {
    char rule[160];
    if (port.usbVendor && port.usbProduct) {
        std::snprintf(rule, sizeof rule,
            "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
            static_cast<unsigned>(*port.usbVendor), static_cast<unsigned>(*port.usbProduct));
    } else {
        std::snprintf(rule, sizeof rule, "KERNEL==\"%s\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
            fs::path(port.path).filename().c_str());
    }
    return std::string("echo '") + rule +
           "' | sudo tee -a /etc/udev/rules.d/99-ldt-line-display.rules && sudo udevadm control "
           "--reload-rules "
           "&& sudo udevadm trigger";
}

std::vector<VirtualDisplayInfo> runningVirtualDisplays() {
    std::vector<VirtualDisplayInfo> displays;
    for (const std::int32_t pid : processes()) {
        if (commandOf(pid) != virtualDisplayCommand) continue;
        const std::string proc = "/proc/" + std::to_string(pid);
        std::vector<std::string> args;
        std::istringstream cmdline(readSmall(proc + "/cmdline"));
        for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
        VirtualDisplayInfo info{pid, {}, {}};
        const auto link = std::ranges::find(args, "--link");
        if (link != args.end() && link + 1 != args.end()) {
            info.link = *(link + 1);
            std::error_code ignored;
            if (!info.link.starts_with('/'))
                info.link =
                    (fs::read_symlink(proc + "/cwd", ignored) / info.link).lexically_normal().string();
        } else {
            // The default link lies in the program's runtime folder.
            std::istringstream environment(readSmall(proc + "/environ"));
            std::string folder = "/tmp";
            for (std::string entry; std::getline(environment, entry, '\0');) {
                if (entry.starts_with("XDG_RUNTIME_DIR=") && entry.size() > 16) folder = entry.substr(16);
            }
            info.link = folder + "/ldt-virtual-display";
        }
        std::error_code ignored;
        const std::string target = fs::read_symlink(info.link, ignored).string();
        if (target.starts_with("/dev/pts/")) info.terminal = target;
        displays.push_back(std::move(info));
    }
    return displays;
}

}  // namespace serial
