// The virtual display's end of the line: a pseudo-terminal in raw mode whose
// other end (/dev/pts/N) a serial service object opens as it would a real
// port, reachable under a stable path (a symbolic link) that a device
// configuration can name.
//
// The server holds the terminal's far end open itself, so that a writer
// closing and reopening the port never ends the service. Reading can be
// paced to a line rate, so that slow output looks as it does on a real
// display. Failures throw std::system_error naming what failed and why.
// One thread reads, one may write back; the link is removed when the server
// goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace emulator {

class PtyServer {
public:
    struct Options {
        std::string link;       // the stable path; replaced only if it is a link to nothing
        std::int32_t baud = 0;  // pace reading to this rate (10 bits a byte); 0 reads at once
    };

    // Opens the pseudo-terminal, puts it in raw mode and makes the link.
    explicit PtyServer(Options options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    const std::string& terminalPath() const { return terminal_; }
    const std::string& link() const { return options_.link; }

    // The bytes that arrived, waiting up to `timeout` for the first of them;
    // empty when none came. With a baud rate it returns no faster than the
    // line would carry them.
    std::string readFor(std::chrono::milliseconds timeout);

    // Sends the display's answer back on the line, to whoever has the
    // terminal open; what the line cannot take within `timeout` is dropped
    // (nobody reads it). May be called beside readFor on another thread.
    void write(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::milliseconds(100));

    // The default link: ${XDG_RUNTIME_DIR:-/tmp}/ldt-virtual-display.
    static std::string defaultLink();

private:
    Options options_;
    int master_ = -1;
    int far_ = -1;  // our own descriptor on the terminal's far end
    std::string terminal_;
    std::chrono::steady_clock::time_point lineFreeAt_{};
};

}  // namespace emulator
