// The call trace of one device: a text file with a line for every call the
// control object answers (time, operation, arguments, result code by number
// and name, duration) and, for serial displays, a line with the bytes each
// operation sent to the wire, in hex. Off unless the device configuration
// names a file; lines are appended, so several runs follow each other.
//
// Threading: one Trace is shared by a control object and its service object
// (slow output writes from the control's own thread); each line is written
// whole under a lock and flushed at once, so a crash loses nothing written.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace device {

class Trace {
public:
    // Opens the file for appending; throws std::runtime_error naming the file
    // and the reason when it cannot be opened.
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

    std::string path_;
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace device
