// A real pseudo-terminal for the serial tests: the test holds the master
// side (the "display"), the code under test opens the slave by its path, or
// by a symlink that can later point at a fresh pty, as a device that is
// unplugged and plugged back in would. Also a line filled up as by a display
// that stops taking bytes, and another program holding a port.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// Fills the line so that the display's next write has to wait for room, as
// on a display that stops taking bytes; returns the descriptor used.
inline int fillLine(const Pty& pty) {
    const int filler = ::open(pty.slavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    // Raw, as a display's port is: a later change to raw mode would make
    // room on a line filled in cooked mode.
    termios raw{};
    ::tcgetattr(filler, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(filler, TCSANOW, &raw);
    const std::string junk(4096, 'j');
    // The pty moves bytes on to the master side in the background, so room
    // keeps appearing for a moment: fill until none has come for a while.
    for (;;) {
        while (::write(filler, junk.data(), junk.size()) > 0) {}
        while (::write(filler, junk.data(), 1) > 0) {}
        pollfd p{filler, POLLOUT, 0};
        if (::poll(&p, 1, 200) == 0) return filler;
    }
}

// Another program holding a port locked, from construction until release().
class PortHolder {
public:
    explicit PortHolder(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(hold_) != 0) throw std::runtime_error("pipe");
        child_ = ::fork();
        if (child_ < 0) throw std::runtime_error("fork");
        if (child_ == 0) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
            char byte = 'x';
            (void)!::write(ready[1], &byte, 1);
            ::close(hold_[1]);
            (void)!::read(hold_[0], &byte, 1);  // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(hold_[0]);
        char byte = 0;
        const bool holding = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        ::close(ready[1]);
        if (!holding) throw std::runtime_error("the holder could not lock " + path);
    }
    ~PortHolder() { release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    void release() {
        if (child_ <= 0) return;
        ::close(hold_[1]);
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
    }

private:
    int hold_[2]{-1, -1};
    pid_t child_ = -1;
};

// A file's whole content (empty when it cannot be read).
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Points `link` at `target`, replacing what it pointed at.
inline void pointLink(const std::filesystem::path& link, const std::string& target) {
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink(target, link);
}

}  // namespace serialtest
