// The call trace of one device: a text file with a line for every call the
// control object answers and, for serial displays, a line with the bytes
// each operation sent to the wire, in hex. Off unless the device
// configuration names a file; lines are appended, so several runs follow
// each other.
//
// After its time and device name, a call's line is a statement of ldt-run's
// script language with its outcome as the expectation and the call's
// duration as a comment, so that `ldt-run --replay` can run it again:
//   2026-12-08T10:00:00.000001Z TQN730 DisplayTextAt 1 0 "Total" 0 -> OPOS_SUCCESS  # 0.012 ms
//   2026-12-08T10:00:00.000101Z TQN730 DeviceEnabled = true -> OPOS_SUCCESS  # 3.100 ms
//   2026-12-08T10:00:00.000201Z TQN730 CursorColumn -> 5  # 0.001 ms
//   2026-12-08T10:00:00.000301Z TQN730 Open 5 -> error "argument 1 of Open must be a string ..."  # 0.002 ms
// Strings are escaped (display/Literal.h), so no data can break a line.
//
// The file is opened only if it is safe to write: never through a symbolic
// link, never blocking (a FIFO planted under its name is refused), only a
// regular file of this user with no other name (hard link); a new one is
// created 0600. A line is written whole or not at all (a part written before
// the disk filled is cut off again); the first line that cannot be written
// is reported on standard error, and once writing works again the trace
// says how many lines were lost.
//
// Threading: one Trace is shared by a control object and its service object
// (slow output writes from the control's own thread); each line is written
// under a lock with one write call, so a crash loses nothing written.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace device {

class Trace {
public:
    // Opens (or creates) the file for appending; throws std::runtime_error
    // naming the file and the reason when it cannot be opened safely.
    explicit Trace(std::string path);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    const std::string& path() const { return path_; }

    // One dispatch call: "<time> <device> <statement> -> <outcome>  # <duration>", the
    // statement and outcome in the script language's form.
    void call(std::string_view device, std::string_view statement, std::string_view outcome,
        std::chrono::nanoseconds duration);
    // Bytes sent to the wire: "<time> <device> wire <n> bytes: 1B 40 ...".
    void wire(std::string_view device, std::string_view bytes);
    // A free-form line (a failure's reason, say): "<time> <device> <text>".
    void note(std::string_view device, std::string_view text);
    // Characters shown otherwise than through a code page or national set:
    // "<time> <device> fallback U+00DF "ß" -> "ss" (transliteration)", the
    // code points, then the characters and what shows instead as the script
    // language writes strings (Unicode, control characters escaped), then how.
    void fallback(std::string_view device, std::u32string_view characters, std::u32string_view shown,
        std::string_view how);

private:
    void line(std::string_view device, std::string_view text);
    // Appends the text whole, or leaves the file as it was; false (errno set) when it cannot.
    bool append(std::string_view text);

    std::string path_;
    std::mutex mutex_;
    int fd_ = -1;
    std::uint64_t lost_ = 0;  // lines not written since writing last worked
    std::string lostWhy_;
};

}  // namespace device
