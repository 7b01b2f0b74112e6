// The machine-wide claim on Linux: an abstract-namespace Unix socket bound
// and listened on by the holder. Who holds it is asked through the socket
// (the peer's credentials) and, for a name bound without listening, through
// /proc (the sockets of this network namespace, and the processes whose
// descriptors this user may see).
#include "device/ClaimLock.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace device {
namespace {

socklen_t abstractAddress(const std::string& address, sockaddr_un& addr) {
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    const std::size_t length = std::min(address.size(), sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, address.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
}

// Binds a fresh socket to the abstract address and listens on it, so that
// others can see the claim without taking it; the descriptor or -1.
int bindAbstract(const std::string& address) {
    // Close-on-exec, so that a program this process starts never inherits
    // (and so never keeps alive) the claim.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un addr{};
    const socklen_t addrLength = abstractAddress(address, addr);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), addrLength) != 0 || ::listen(fd, 1) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A knock on the holder's door: "listening" with its credentials when a
// holder listens (a connection is queued, or its queue is full), "none" when
// nothing listens under the name.
struct Knock {
    bool listening = false;
    bool credentials = false;
    ucred peer{};
};
Knock knock(const std::string& address) {
    Knock result;
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) return result;
    sockaddr_un addr{};
    const socklen_t addrLength = abstractAddress(address, addr);
    const bool connected = ::connect(probe, reinterpret_cast<const sockaddr*>(&addr), addrLength) == 0;
    result.listening = connected || errno == EAGAIN || errno == EINPROGRESS;
    socklen_t length = sizeof result.peer;
    result.credentials =
        connected && ::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &result.peer, &length) == 0;
    ::close(probe);
    return result;
}

// The inodes of the sockets bound to an abstract name, from /proc/net/unix
// (which shows the leading NUL as '@'): the holder's, and those of knocks
// queued on it; none when no socket is bound to it.
std::vector<std::string> boundInodes(const std::string& address) {
    std::ifstream table("/proc/net/unix");
    const std::string wanted = " @" + address.substr(1);
    std::vector<std::string> inodes;
    std::string line;
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        // Num RefCount Protocol Flags Type St Inode Path: the inode is the
        // seventh field, and a claim's name has no blanks.
        if (!line.ends_with(wanted)) continue;
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 7; ++i) fields >> field;
        inodes.push_back(field);
    }
    return inodes;
}

// The process that has one of those sockets open, among those whose
// descriptors this user may look at (all of them for root); -1 when none.
pid_t processWithSocket(const std::vector<std::string>& inodes) {
    std::vector<std::string> targets;
    targets.reserve(inodes.size());
    for (const std::string& inode : inodes) targets.push_back("socket:[" + inode + "]");
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return -1;
    pid_t found = -1;
    while (const dirent* entry = ::readdir(proc)) {
        if (found > 0) break;
        const std::string_view pid = entry->d_name;
        if (pid.empty() || !std::ranges::all_of(pid, [](char c) { return c >= '0' && c <= '9'; })) continue;
        const std::string fds = "/proc/" + std::string(pid) + "/fd";
        DIR* dir = ::opendir(fds.c_str());
        if (dir == nullptr) continue;
        while (const dirent* fd = ::readdir(dir)) {
            std::array<char, 64> link{};
            const std::string path = fds + "/" + fd->d_name;
            const ssize_t n = ::readlink(path.c_str(), link.data(), link.size() - 1);
            if (n > 0 && std::ranges::find(targets, std::string(link.data(), static_cast<std::size_t>(n))) !=
                             targets.end()) {
                found = static_cast<pid_t>(std::stol(std::string(pid)));
                break;
            }
        }
        ::closedir(dir);
    }
    ::closedir(proc);
    return found;
}

std::string userName(uid_t uid) {
    std::array<char, 1024> buffer{};
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr)
        return "user \"" + std::string(entry.pw_name) + "\" (uid " + std::to_string(uid) + ")";
    return "uid " + std::to_string(uid);
}

}  // namespace

ClaimLock::ClaimLock(std::string_view deviceName) : address_(1, '\0') {
    // Appended, not a + b: GCC 12 at -O3 warns falsely (-Wrestrict) on the sum.
    address_ += claimName(deviceName);
}

ClaimLock::~ClaimLock() { release(); }

bool ClaimLock::held() const { return fd_ >= 0; }

bool ClaimLock::tryAcquire() {
    if (fd_ < 0) fd_ = bindAbstract(address_);
    return fd_ >= 0;
}

void ClaimLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool ClaimLock::heldElsewhere() const {
    if (fd_ >= 0) return false;
    // Knock rather than bind: a probe that took the name, however briefly,
    // could make another process's last claim attempt fail. Nothing that
    // listens may still be a name bound without listening, which holds the
    // claim just as well.
    return knock(address_).listening || !boundInodes(address_).empty();
}

std::string ClaimLock::foreignHolder() const {
    if (fd_ >= 0) return {};
    const Knock answer = knock(address_);
    if (answer.credentials) {
        if (answer.peer.uid == ::geteuid()) return {};
        return "held by " + userName(answer.peer.uid) + ", process " + std::to_string(answer.peer.pid);
    }
    // Its queue is full of earlier knocks, or it does not listen: look for
    // the process among those this user may see.
    const std::vector<std::string> inodes = boundInodes(address_);
    if (inodes.empty()) return {};
    const std::string how =
        answer.listening ? "held by " : "bound without listening, so not by a console, by ";
    const pid_t pid = processWithSocket(inodes);
    if (pid < 0) return how + "a process of another user (it cannot be seen from here)";
    struct stat info {};
    if (::stat(("/proc/" + std::to_string(pid)).c_str(), &info) != 0) return {};  // it just ended
    if (answer.listening && info.st_uid == ::geteuid()) return {};
    return how + userName(info.st_uid) + ", process " + std::to_string(pid);
}

}  // namespace device
