// The call trace of one device: a text file with a line for every call the
// control object answers (time, operation, arguments, result code by number
// and name, duration) and, for serial displays, a line with the bytes each
// operation sent to the wire, in hex. Off unless the device configuration
// names a file; lines are appended, so several runs follow each other.
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

    // One dispatch call: "<time> <device> <operation>(<arguments>) -> <outcome> (<duration>)".
    void call(std::string_view device, std::string_view operation, std::string_view arguments,
        std::string_view outcome, std::chrono::nanoseconds duration);
    // Bytes sent to the wire: "<time> <device> wire <n> bytes: 1B 40 ...".
    void wire(std::string_view device, std::string_view bytes);
    // A free-form line (a failure's reason, say): "<time> <device> <text>".
    void note(std::string_view device, std::string_view text);

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
