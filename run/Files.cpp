#include "run/Files.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace run {

#ifndef _WIN32

FileText readTextFile(const std::filesystem::path& file, std::size_t limit) {
    const std::string name = file.string();
    // Non-blocking, so that opening a FIFO returns at once; then only a
    // regular file is read.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {{}, "cannot open " + name + ": " + std::strerror(errno)};
    struct stat info {};
    std::string error;
    if (::fstat(fd, &info) != 0) {
        error = "cannot read " + name + ": " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = name + " is not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
    }
    std::string text;
    while (error.empty()) {
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read " + name + ": " + std::strerror(errno);
        } else if (n == 0) {
            break;
        } else if (text.size() + static_cast<std::size_t>(n) > limit) {
            error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
        } else {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!error.empty()) return {{}, error};
    return {std::move(text), {}};
}

std::string writeNewFile(const std::filesystem::path& file, const std::string& text) {
    const std::string name = file.string();
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        if (errno == ELOOP) return "cannot write " + name + ": it is a symbolic link";
        return "cannot write " + name + ": " + std::strerror(errno);
    }
    std::size_t done = 0;
    std::string error;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot write " + name + ": " + std::strerror(errno);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error.empty()) error = "cannot write " + name + ": " + std::strerror(errno);
    return error;
}

#else

FileText readTextFile(const std::filesystem::path& file, std::size_t limit) {
    const std::string name = file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return {{}, name + " is not a regular file"};
    if (std::filesystem::file_size(file, ec) > limit)
        return {{}, name + " is larger than " + std::to_string(limit >> 20) + " MiB"};
    std::ifstream in(file, std::ios::binary);
    if (!in) return {{}, "cannot open " + name};
    std::ostringstream text;
    text << in.rdbuf();
    return {text.str(), {}};
}

std::string writeNewFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + file.string();
    out << text;
    out.close();
    return out ? std::string() : "cannot write " + file.string();
}

#endif

}  // namespace run
