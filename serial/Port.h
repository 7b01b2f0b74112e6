// Port: a serial port opened for writing (and, for identification, reading),
// held exclusively by this process.
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
// Line settings: a real port takes them all or the open fails. A
// pseudo-terminal keeps the speed, stop bits, the odd-parity flag and
// RTS/CTS or XON/XOFF flow control, but no parity bit, no 7-bit characters
// and no DTR/DSR flow control: those are left out (its refusal of them is not
// a broken port) and notApplied() says so.
//
// Every failure is a PortError of one of a few kinds, with the system's
// reason and the line settings. Not thread-safe; one owner.
#pragma once

#include "model/LineSettings.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

enum class Access : std::uint8_t { write, readWrite };

class Port {
public:
    // Opens and locks the port, raw, with these line settings; while another
    // program holds it, tries again until the timeout (negative: forever).
    // Throws PortError.
    static std::unique_ptr<Port> open(const std::string& path, const model::LineSettings& line,
        std::chrono::milliseconds timeout, Access access = Access::write);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    const std::string& path() const { return path_; }
    // Whether libserialport drives this port (false: termios, a pty).
    bool throughLibserialport() const { return sp_ != nullptr; }
    // The line settings asked for, and what of them the port could not
    // apply ("parity odd, 7 data bits"; empty: everything).
    const model::LineSettings& line() const { return line_; }
    const std::string& notApplied() const { return notApplied_; }
    // Changes the line settings of the open port; throws PortError.
    void setLine(const model::LineSettings& line);
    // Puts back the terminal settings the port had when it was opened (as
    // far as the system lets them be read); never throws.
    void restoreSettings();

    // The bytes that arrived (at most `most`), waiting up to `timeout` for
    // the first; empty when none came. Only for ports opened readWrite.
    std::string readFor(std::chrono::milliseconds timeout, std::size_t most = 256);

    // Writes all bytes by the deadline; throws PortError (unplugged, timeout,
    // other) when it cannot. Some bytes may have gone out before a failure.
    void writeAll(std::string_view bytes, std::chrono::steady_clock::time_point deadline);
    // Writes the bytes and returns once they are through the line at its
    // settings (for probes and patterns sent one at a time); throws PortError.
    void writeThrough(std::string_view bytes);
    // How long bytes take on a line: start, data, parity and stop bits each.
    static std::chrono::steady_clock::duration wireTime(std::size_t bytes, const model::LineSettings& line);
    // Returns at `lineFree`, when the bytes written so far should be through
    // the line: the pacing that keeps a slow display from being flooded and a
    // caller's time the wire's. Precise to a fraction of a byte's time.
    void waitUntilSent(std::chrono::steady_clock::time_point lineFree) const;

private:
    Port(std::string path, int fd, void* sp) : path_(std::move(path)), fd_(fd), sp_(sp) {}
    [[noreturn]] void raise(int error, const std::string& doing) const;

    std::string path_;
    int fd_;
    void* sp_;  // the libserialport handle (struct sp_port*), or nullptr
    model::LineSettings line_;
    std::string notApplied_;
    std::vector<unsigned char> original_;  // the struct termios found at open
};

}  // namespace serial
