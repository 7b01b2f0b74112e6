#include "device/Trace.h"

#include "device/Excerpt.h"
#include "display/Literal.h"
#include "model/Hex.h"
#include "model/Utf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace device {
namespace {

// UTC to the microsecond, so that lines from two processes sort together.
// Worked out with the calendar of <chrono>, which every platform has.
std::string timestamp() {
    using namespace std::chrono;
    const auto now = floor<microseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<long long>(time.subseconds().count()));
    return text;
}

}  // namespace

Trace::Trace(std::string path) : path_(std::move(path)) {
    const auto refuse = [&](const std::string& why) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        throw std::runtime_error("cannot open the trace file " + quotedExcerpt(path_, 200) + ": " + why);
    };
#ifdef _WIN32
    // Windows has neither planted links in a shared folder nor FIFOs by name.
    fd_ = ::_open(path_.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) refuse(std::strerror(errno));
#else
    // No link followed, no FIFO waited on, nothing more than the user may read.
    fd_ = ::open(
        path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        const int error = errno;
        if (error == ELOOP) refuse("it is a symbolic link, and a trace is never written through one");
        if (error == ENXIO) refuse("it is a named pipe (FIFO), not a file");
        refuse(std::strerror(error));
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) refuse("it is not a regular file (a FIFO, a device or a socket)");
    if (info.st_uid != ::geteuid()) {
        refuse("it belongs to another user (uid " + std::to_string(info.st_uid) +
               "), who could read or replace what it traces");
    }
    if (info.st_nlink != 1) {
        refuse("it has " + std::to_string(info.st_nlink) +
               " names (hard links); another name may be a file the trace must not fill");
    }
#endif
}

Trace::~Trace() {
    if (fd_ >= 0) ::close(fd_);
}

void Trace::call(std::string_view device, std::string_view statement, std::string_view outcome,
    std::chrono::nanoseconds duration) {
    char took[32];
    std::snprintf(took, sizeof took, "  # %.3f ms", static_cast<double>(duration.count()) / 1e6);
    line(device, std::string(statement) + " -> " + std::string(outcome) + took);
}

void Trace::wire(std::string_view device, std::string_view bytes) {
    line(device, "wire " + std::to_string(bytes.size()) + " bytes: " + model::hexBytes(bytes));
}

void Trace::note(std::string_view device, std::string_view text) { line(device, text); }

void Trace::fallback(std::string_view device, std::u32string_view characters, std::u32string_view shown,
    std::string_view how) {
    const auto quoted = [](std::u32string_view text) {
        std::u16string utf16;
        for (const char32_t c : text) model::appendUtf16(utf16, c);
        return display::quotedLiteral(utf16);
    };
    std::string text = "fallback";
    for (const char32_t c : characters) {
        char code[16];
        std::snprintf(code, sizeof code, " U+%04X", static_cast<unsigned>(c));
        text += code;
    }
    line(device, text + " " + quoted(characters) + " -> " + quoted(shown) + " (" + std::string(how) + ")");
}

void Trace::line(std::string_view device, std::string_view text) {
    const std::string whole = timestamp() + " " + std::string(device) + " " + std::string(text) + "\n";
    std::lock_guard lock(mutex_);
    if (lost_ > 0) {
        const std::string gap = timestamp() + " " + std::string(device) + " " + std::to_string(lost_) +
                                " trace lines could not be written (" + lostWhy_ + ")\n";
        if (append(gap)) lost_ = 0;
    }
    if (lost_ == 0 && append(whole)) return;
    if (lost_++ == 0) {
        lostWhy_ = std::strerror(errno);
        std::cerr << "trace file " << quotedExcerpt(path_, 200) << ": cannot write (" << lostWhy_
                  << "); lines are lost until it can be written again" << std::endl;
    }
}

bool Trace::append(std::string_view text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        const int error = n < 0 ? errno : ENOSPC;
        // Cut off the part that went out, so that no line is left half-written.
        if (written > 0) {
            const off_t end = ::lseek(fd_, 0, SEEK_END);
            // If even that fails, the half line stays; the report says writing failed.
            if (end >= static_cast<off_t>(written) &&
                ::ftruncate(fd_, end - static_cast<off_t>(written)) != 0) {}
        }
        errno = error;
        return false;
    }
    return true;
}

}  // namespace device
