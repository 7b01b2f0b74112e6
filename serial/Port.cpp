#include "serial/Port.h"

#include <libserialport.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// The message of a failure: the port, what went wrong, the system's reason,
// and the line settings it was to have.
std::string failureText(
    const std::string& path, PortFailure kind, const std::string& reason, const model::LineSettings& line) {
    return "serial port " + path + " " + describe(kind) + " (" + reason + "; " + model::describe(line) + ")";
}

[[noreturn]] void fail(
    const std::string& path, const model::LineSettings& line, int error, const std::string& doing) {
    const PortFailure kind = kindOf(error);
    throw PortError(kind, failureText(path, kind, doing + ": " + std::strerror(error), line));
}

// Locks an open descriptor for this process and makes it non-blocking;
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

bool isPseudoTerminal(int fd) {
    struct stat info {};
    // Unix98 pty slaves have majors 136 to 143.
    return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 &&
           major(info.st_rdev) <= 143;
}

// What of `line` the terminal settings `t` lack, as "parity odd, 7 data bits".
std::string missingFrom(const termios& t, const model::LineSettings& line, speed_t speed) {
    std::string missing;
    const auto add = [&](const std::string& what) { missing += (missing.empty() ? "" : ", ") + what; };
    if (::cfgetospeed(&t) != speed) add("speed " + std::to_string(line.baud));
    if ((t.c_cflag & CSIZE) != (line.dataBits == 7 ? CS7 : CS8))
        add(std::to_string(line.dataBits) + " data bits");
    const bool parityBit = line.parity != model::Parity::none;
    const bool odd = line.parity == model::Parity::odd || line.parity == model::Parity::mark;
    const bool stick = line.parity == model::Parity::mark || line.parity == model::Parity::space;
    if (((t.c_cflag & PARENB) != 0) != parityBit ||
        (parityBit && (((t.c_cflag & PARODD) != 0) != odd || ((t.c_cflag & CMSPAR) != 0) != stick))) {
        add("parity " + std::string(model::nameOf(line.parity)));
    }
    if (((t.c_cflag & CSTOPB) != 0) != (line.stopBits == 2))
        add(std::to_string(line.stopBits) + " stop bits");
    const bool rtsCts = (t.c_cflag & CRTSCTS) != 0;
    const bool xonXoff = (t.c_iflag & IXON) != 0;
    using model::FlowControl;
    if (line.flowControl == FlowControl::dtrDsr || rtsCts != (line.flowControl == FlowControl::rtsCts) ||
        xonXoff != (line.flowControl == FlowControl::xonXoff)) {
        add(std::string(model::describe(line.flowControl)));
    }
    return missing;
}

// Applies raw mode and the line settings through termios; the errno of a
// failure, or 0. A pseudo-terminal refuses a change of only the parity bit
// or the character size (EINVAL) and drops them silently from a larger
// change: those are then kept as they were and named in `notApplied`, as is
// anything else a terminal did not take; any other terminal must take all.
int applyTermios(int fd, const model::LineSettings& line, speed_t speed, std::string& notApplied) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return errno;
    const termios before = t;
    // Raw: no translation of 0A/0D, no echo.
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= line.dataBits == 7 ? CS7 : CS8;
    switch (line.parity) {
    case model::Parity::none: break;
    case model::Parity::odd: t.c_cflag |= PARENB | PARODD; break;
    case model::Parity::even: t.c_cflag |= PARENB; break;
    case model::Parity::mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case model::Parity::space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (line.stopBits == 2) t.c_cflag |= CSTOPB;
    if (line.flowControl == model::FlowControl::rtsCts) t.c_cflag |= CRTSCTS;
    if (line.flowControl == model::FlowControl::xonXoff) t.c_iflag |= IXON | IXOFF;
    ::cfsetospeed(&t, speed);
    ::cfsetispeed(&t, speed);
    const bool pty = isPseudoTerminal(fd);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        if (errno != EINVAL || !pty) return errno;
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) |
                    (before.c_cflag & static_cast<tcflag_t>(CSIZE | PARENB));
        if (::tcsetattr(fd, TCSANOW, &t) != 0) return errno;
    }
    termios now{};
    if (::tcgetattr(fd, &now) != 0) return errno;
    notApplied = missingFrom(now, line, speed);
    return !notApplied.empty() && !pty ? EINVAL : 0;
}

const Speed* speedOf(std::int32_t baud) {
    const auto speed = std::ranges::find(speeds, baud, &Speed::baud);
    return speed == speeds.end() ? nullptr : &*speed;
}

// One attempt through termios (a pty, or any terminal libserialport does
// not know); throws PortError.
// The terminal settings of a descriptor as bytes, to put back later.
std::vector<unsigned char> settingsOf(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(&t);
    return {bytes, bytes + sizeof t};
}

int openTermios(const std::string& path, const model::LineSettings& line, speed_t speed, Access access,
    std::string& notApplied, std::vector<unsigned char>& original) {
    const int mode = access == Access::readWrite ? O_RDWR : O_WRONLY;
    const int fd = ::open(path.c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(path, line, errno, "open");
    if (!::isatty(fd)) {
        ::close(fd);
        throw PortError(
            PortFailure::other, failureText(path, PortFailure::other, "it is not a terminal device", line));
    }
    if (const int error = lockAndPrepare(fd); error != 0) {
        ::close(fd);
        fail(path, line, error, "lock");
    }
    original = settingsOf(fd);
    if (const int error = applyTermios(fd, line, speed, notApplied); error != 0) {
        closeDescriptor(fd);
        fail(path, line, error, notApplied.empty() ? "set raw mode" : "set " + notApplied);
    }
    return fd;
}

// Applies the line settings through libserialport; throws PortError.
void applyLibserialport(const std::string& path, sp_port* sp, const model::LineSettings& line) {
    const auto check = [&](sp_return result, const std::string& doing) {
        if (result != SP_OK) fail(path, line, sp_last_error_code(), doing);
    };
    constexpr std::array<sp_parity, 5> parities{
        SP_PARITY_NONE, SP_PARITY_ODD, SP_PARITY_EVEN, SP_PARITY_MARK, SP_PARITY_SPACE};
    constexpr std::array<sp_flowcontrol, 4> flows{
        SP_FLOWCONTROL_NONE, SP_FLOWCONTROL_RTSCTS, SP_FLOWCONTROL_DTRDSR, SP_FLOWCONTROL_XONXOFF};
    check(sp_set_baudrate(sp, static_cast<int>(line.baud)), "set speed");
    check(sp_set_bits(sp, static_cast<int>(line.dataBits)), "set data bits");
    check(sp_set_parity(sp, parities.at(static_cast<std::size_t>(line.parity))), "set parity");
    check(sp_set_stopbits(sp, static_cast<int>(line.stopBits)), "set stop bits");
    check(sp_set_flowcontrol(sp, flows.at(static_cast<std::size_t>(line.flowControl))), "set flow control");
}

// One attempt through libserialport; throws PortError.
int openLibserialport(const std::string& path, sp_port* sp, const model::LineSettings& line, Access access,
    std::vector<unsigned char>& original) {
    if (sp_open(sp, access == Access::readWrite ? SP_MODE_READ_WRITE : SP_MODE_WRITE) != SP_OK)
        fail(path, line, sp_last_error_code(), "open");
    int handle = -1;
    if (sp_get_port_handle(sp, &handle) == SP_OK) original = settingsOf(handle);
    try {
        applyLibserialport(path, sp, line);
    } catch (...) {
        sp_close(sp);
        throw;
    }
    int fd = -1;
    if (sp_get_port_handle(sp, &fd) != SP_OK) {
        const int error = sp_last_error_code();
        sp_close(sp);
        fail(path, line, error, "get its handle");
    }
    if (const int error = lockAndPrepare(fd); error != 0) {
        sp_close(sp);
        fail(path, line, error, "lock");
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

std::unique_ptr<Port> Port::open(const std::string& path, const model::LineSettings& line,
    std::chrono::milliseconds timeout, Access access) {
    const Speed* speed = speedOf(line.baud);
    if (speed == nullptr) {
        throw PortError(PortFailure::other,
            failureText(path, PortFailure::other, "unsupported speed " + std::to_string(line.baud), line));
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        try {
            struct stat info {};
            if (::stat(path.c_str(), &info) != 0) fail(path, line, errno, "look up");
            if (!S_ISCHR(info.st_mode)) {
                const char* kind = S_ISFIFO(info.st_mode)   ? "a named pipe (FIFO)"
                                   : S_ISSOCK(info.st_mode) ? "a socket"
                                   : S_ISDIR(info.st_mode)  ? "a folder"
                                   : S_ISREG(info.st_mode)  ? "a regular file"
                                                            : "no character device";
                throw PortError(PortFailure::other,
                    "serial port " + path + " is " + kind + ", not a serial port (a character device)");
            }
            std::unique_ptr<Port> port;
            std::vector<unsigned char> original;
            sp_port* sp = nullptr;
            if (sp_get_port_by_name(path.c_str(), &sp) == SP_OK) {
                try {
                    const int fd = openLibserialport(path, sp, line, access, original);
                    port.reset(new Port(path, fd, sp));
                } catch (...) {
                    sp_free_port(sp);
                    throw;
                }
            } else {
                std::string notApplied;
                const int fd = openTermios(path, line, speed->constant, access, notApplied, original);
                port.reset(new Port(path, fd, nullptr));
                port->notApplied_ = std::move(notApplied);
            }
            port->original_ = std::move(original);
            port->line_ = line;
            return port;
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

void Port::raise(int error, const std::string& doing) const { fail(path_, line_, error, doing); }

void Port::setLine(const model::LineSettings& line) {
    const Speed* speed = speedOf(line.baud);
    if (speed == nullptr) {
        throw PortError(PortFailure::other,
            failureText(path_, PortFailure::other, "unsupported speed " + std::to_string(line.baud), line));
    }
    if (sp_ != nullptr) {
        applyLibserialport(path_, static_cast<sp_port*>(sp_), line);
    } else {
        std::string notApplied;
        if (const int error = applyTermios(fd_, line, speed->constant, notApplied); error != 0)
            fail(path_, line, error, "set " + (notApplied.empty() ? model::describe(line) : notApplied));
        notApplied_ = std::move(notApplied);
    }
    line_ = line;
}

void Port::restoreSettings() {
    if (original_.size() != sizeof(termios)) return;
    termios t{};
    std::memcpy(&t, original_.data(), sizeof t);
    ::tcsetattr(fd_, TCSANOW, &t);
}

std::string Port::readFor(std::chrono::milliseconds timeout, std::size_t most) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready < 0 && errno != EINTR) raise(errno, "wait to read");
    if (ready <= 0) return {};
    std::string bytes(most, '\0');
    const ssize_t n = ::read(fd_, bytes.data(), bytes.size());
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return {};
        raise(errno, "read");
    }
    bytes.resize(static_cast<std::size_t>(n));
    return bytes;
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
        if (n < 0 && errno != EAGAIN) raise(errno, "write");
        // The device's buffer is full: wait for room, never past the deadline.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            throw PortError(
                PortFailure::timeout, failureText(path_, PortFailure::timeout,
                                          std::to_string(bytes.size()) + " bytes left unsent", line_));
        }
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) raise(errno, "wait to write");
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) raise(EIO, "wait to write");
    }
}

Clock::duration Port::wireTime(std::size_t bytes, const model::LineSettings& line) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(bytes) * model::bitsPerCharacter(line) / line.baud));
}

void Port::writeThrough(std::string_view bytes) {
    const auto lineFree = Clock::now() + wireTime(bytes.size(), line_);
    writeAll(bytes, lineFree + std::chrono::seconds(2));
    waitUntilSent(lineFree);
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
