#include "serial/Port.h"

#include <libserialport.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;

struct Speed {
    std::int32_t baud;
    speed_t constant;
};
constexpr std::array<Speed, 8> speeds{{{1200, B1200}, {2400, B2400}, {4800, B4800}, {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}}};

PortFailure kindOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PortFailure::missing;
    case EACCES:
    case EPERM: return PortFailure::permission;
    case EBUSY:
    case EWOULDBLOCK: return PortFailure::busy;
    case EIO:
    case ENODEV:
    case ENXIO:
    case EPIPE: return PortFailure::unplugged;
    default: return PortFailure::other;
    }
}

std::string describe(PortFailure kind) {
    switch (kind) {
    case PortFailure::missing: return "does not exist";
    case PortFailure::permission: return "may not be opened by this user";
    case PortFailure::busy: return "is held by another program";
    case PortFailure::unplugged: return "went away (unplugged?)";
    case PortFailure::timeout: return "did not take the bytes in time";
    case PortFailure::other: break;
    }
    return "failed";
}

[[noreturn]] void fail(const std::string& path, int error, const std::string& doing) {
    const PortFailure kind = kindOf(error);
    throw PortError(kind,
        "serial port " + path + " " + describe(kind) + " (" + doing + ": " + std::strerror(error) + ")");
}

// Locks an open descriptor for this process and makes writes non-blocking;
// the errno of a failure, or 0.
int lockAndPrepare(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
    ::ioctl(fd, TIOCEXCL);  // refuses further opens (except root's) while held
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    return 0;
}

void closeDescriptor(int fd) {
    // The exclusive flag can outlive this descriptor on a pty whose other end
    // stays open; clear it so the next opener is not refused.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

// One attempt through termios (a pty, or any terminal libserialport does
// not know); throws PortError.
int openTermios(const std::string& path, speed_t speed) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(path, errno, "open");
    if (!::isatty(fd)) {
        ::close(fd);
        throw PortError(PortFailure::other, "serial port " + path + " is not a terminal device");
    }
    if (const int error = lockAndPrepare(fd); error != 0) {
        ::close(fd);
        fail(path, error, "lock");
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        const int error = errno;
        closeDescriptor(fd);
        fail(path, error, "read settings");
    }
    // Raw: no translation of 0A/0D, no echo, 8 bits; no flow control.
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB);
    ::cfsetospeed(&t, speed);
    ::cfsetispeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        const int error = errno;
        closeDescriptor(fd);
        fail(path, error, "set raw mode");
    }
    return fd;
}

// One attempt through libserialport; throws PortError.
int openLibserialport(const std::string& path, sp_port* sp, std::int32_t baud) {
    if (sp_open(sp, SP_MODE_WRITE) != SP_OK) fail(path, sp_last_error_code(), "open");
    const auto check = [&](sp_return result, const char* doing) {
        if (result != SP_OK) {
            const int error = sp_last_error_code();
            sp_close(sp);
            fail(path, error, doing);
        }
    };
    check(sp_set_baudrate(sp, static_cast<int>(baud)), "set speed");
    check(sp_set_bits(sp, 8), "set 8 data bits");
    check(sp_set_parity(sp, SP_PARITY_NONE), "set no parity");
    check(sp_set_stopbits(sp, 1), "set 1 stop bit");
    check(sp_set_flowcontrol(sp, SP_FLOWCONTROL_NONE), "set no flow control");
    int fd = -1;
    check(sp_get_port_handle(sp, &fd), "get its handle");
    if (const int error = lockAndPrepare(fd); error != 0) {
        sp_close(sp);
        fail(path, error, "lock");
    }
    return fd;
}

}  // namespace

std::string consoleUse(const std::string& path) {
    struct stat port {};
    if (::stat(path.c_str(), &port) != 0 || !S_ISCHR(port.st_mode)) return {};
    const auto same = [&](const std::string& device) {
        struct stat other {};
        return ::stat(device.c_str(), &other) == 0 && S_ISCHR(other.st_mode) && other.st_rdev == port.st_rdev;
    };
    if (same("/dev/console")) return "it is the machine's console (/dev/console)";
    std::ifstream active("/sys/class/tty/console/active");
    for (std::string name; active >> name;) {
        if (name.find('/') == std::string::npos && same("/dev/" + name))
            return "the kernel writes its console to it (" + name + ")";
    }
    return {};
}

std::unique_ptr<Port> Port::open(
    const std::string& path, std::int32_t baud, std::chrono::milliseconds timeout) {
    const auto speed = std::ranges::find(speeds, baud, &Speed::baud);
    if (speed == speeds.end()) {
        throw PortError(
            PortFailure::other, "serial port " + path + ": unsupported speed " + std::to_string(baud));
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        try {
            struct stat info {};
            if (::stat(path.c_str(), &info) != 0) fail(path, errno, "look up");
            if (!S_ISCHR(info.st_mode)) {
                const char* kind = S_ISFIFO(info.st_mode)   ? "a named pipe (FIFO)"
                                   : S_ISSOCK(info.st_mode) ? "a socket"
                                   : S_ISDIR(info.st_mode)  ? "a folder"
                                   : S_ISREG(info.st_mode)  ? "a regular file"
                                                            : "no character device";
                throw PortError(PortFailure::other,
                    "serial port " + path + " is " + kind + ", not a serial port (a character device)");
            }
            sp_port* sp = nullptr;
            if (sp_get_port_by_name(path.c_str(), &sp) == SP_OK) {
                try {
                    const int fd = openLibserialport(path, sp, baud);
                    return std::unique_ptr<Port>(new Port(path, fd, sp));
                } catch (...) {
                    sp_free_port(sp);
                    throw;
                }
            }
            return std::unique_ptr<Port>(new Port(path, openTermios(path, speed->constant), nullptr));
        } catch (const PortError& e) {
            // Only a port held by someone else is worth waiting for.
            if (e.kind() != PortFailure::busy) throw;
            const auto now = Clock::now();
            if (timeout.count() >= 0 && now >= deadline) {
                throw PortError(PortFailure::busy,
                    std::string(e.what()) + "; gave up after " + std::to_string(timeout.count()) + " ms");
            }
            auto nap = std::chrono::milliseconds(20);
            if (timeout.count() >= 0) {
                nap = std::min(nap, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                        std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(nap);
        }
    }
}

Port::~Port() {
    if (sp_ != nullptr) {
        ::ioctl(fd_, TIOCNXCL);
        sp_close(static_cast<sp_port*>(sp_));
        sp_free_port(static_cast<sp_port*>(sp_));
    } else {
        closeDescriptor(fd_);
    }
}

void Port::writeAll(std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) fail(path_, errno, "write");
        // The device's buffer is full: wait for room, never past the deadline.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            throw PortError(PortFailure::timeout, "serial port " + path_ + " " +
                                                      describe(PortFailure::timeout) + " (" +
                                                      std::to_string(bytes.size()) + " bytes left unsent)");
        }
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) fail(path_, errno, "wait to write");
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) fail(path_, EIO, "wait to write");
    }
}

void Port::waitUntilSent(Clock::time_point lineFree) const {
    // Sleep (without the default 50 us of timer slack) until just before,
    // then yield the last moment away, as waking from a sleep can take
    // longer than a byte's 0.1 ms on the wire.
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    ::prctl(PR_SET_TIMERSLACK, 1000, 0, 0, 0);
    std::this_thread::sleep_until(lineFree - std::chrono::microseconds(150));
    if (slack > 0) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    while (Clock::now() < lineFree) std::this_thread::yield();
}

}  // namespace serial
