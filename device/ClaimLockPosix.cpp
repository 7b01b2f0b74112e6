// The machine-wide claim on Linux: an abstract-namespace Unix socket bound
// and listened on by the holder.
#include "device/ClaimLock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

}  // namespace

ClaimLock::ClaimLock(std::string_view deviceName)
    : address_(std::string(1, '\0') + "LineDisplayTest.claim." + std::string(deviceName)) {}

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
    // could make another process's last claim attempt fail. A holder listens,
    // so a connection is accepted into its queue (or the queue is full);
    // with no holder the knock is refused.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    sockaddr_un addr{};
    const socklen_t addrLength = abstractAddress(address_, addr);
    const bool answered = ::connect(probe, reinterpret_cast<const sockaddr*>(&addr), addrLength) == 0 ||
                          errno == EAGAIN || errno == EINPROGRESS;
    ::close(probe);
    return answered;
}

}  // namespace device
