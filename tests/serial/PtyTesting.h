// A real pseudo-terminal for the serial tests: the test holds the master
// side (the "display"), the code under test opens the slave by its path, or
// by a symlink that can later point at a fresh pty, as a device that is
// unplugged and plugged back in would.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace serialtest {

class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pty");
        }
        slavePath_ = ::ptsname(master_);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }

    // Everything the slave side has written so far (waits briefly for more
    // while bytes keep coming).
    std::string take() {
        std::string bytes;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) return bytes;
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) return bytes;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    // The display goes away: the slave side's writes now fail.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// A fresh temporary folder, removed at the end of the test.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/ldt-serial-XXXXXX";
        if (::mkdtemp(name) == nullptr) throw std::runtime_error("no temp dir");
        path_ = name;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Points `link` at `target`, replacing what it pointed at.
inline void pointLink(const std::filesystem::path& link, const std::string& target) {
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink(target, link);
}

}  // namespace serialtest
