// Port: a serial port opened for writing, held exclusively by this process.
//
// The one seam between the serial displays and the operating system. Ports
// that libserialport recognises (real and USB-serial ports) are opened and
// configured through it; a pseudo-terminal (the virtual display's, say) is
// not one libserialport will open (it finds no such serial device, and a
// pty refuses its modem-line queries), so it is opened with termios in raw
// mode instead. Either way the port is locked (flock, and TIOCEXCL against
// other opens), written without blocking against a deadline, and closed on
// destruction.
//
// Every failure is a PortError of one of a few kinds, with the system's
// reason. Not thread-safe; one owner.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace serial {

enum class PortFailure : std::uint8_t {
    missing,     // no such port
    permission,  // the port exists but this user may not open it
    busy,        // another program holds it
    unplugged,   // the device went away (EIO, ENODEV, hang-up)
    timeout,     // the device did not take the bytes in time
    other,
};

class PortError : public std::runtime_error {
public:
    PortError(PortFailure kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    PortFailure kind() const { return kind_; }

private:
    PortFailure kind_;
};

// Why a port must not be driven unasked: it is the machine's console
// (/dev/console, or a port the kernel writes its console to, as listed in
// /sys/class/tty/console/active); empty when it is neither.
std::string consoleUse(const std::string& path);

class Port {
public:
    // Opens and locks the port, raw 8N1 without flow control at the baud
    // rate; while another program holds it, tries again until the timeout
    // (negative: forever). Throws PortError.
    static std::unique_ptr<Port> open(
        const std::string& path, std::int32_t baud, std::chrono::milliseconds timeout);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    const std::string& path() const { return path_; }
    // Whether libserialport drives this port (false: termios, a pty).
    bool throughLibserialport() const { return sp_ != nullptr; }

    // Writes all bytes by the deadline; throws PortError (unplugged, timeout,
    // other) when it cannot. Some bytes may have gone out before a failure.
    void writeAll(std::string_view bytes, std::chrono::steady_clock::time_point deadline);
    // Returns at `lineFree`, when the bytes written so far should be through
    // the line: the pacing that keeps a slow display from being flooded and a
    // caller's time the wire's. Precise to a fraction of a byte's time.
    void waitUntilSent(std::chrono::steady_clock::time_point lineFree) const;

private:
    Port(std::string path, int fd, void* sp) : path_(std::move(path)), fd_(fd), sp_(sp) {}

    std::string path_;
    int fd_;
    void* sp_;  // the libserialport handle (struct sp_port*), or nullptr
};

}  // namespace serial
