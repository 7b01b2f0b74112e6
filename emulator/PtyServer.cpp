#include "emulator/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace emulator {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

std::string PtyServer::defaultLink() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    return folder + "/ldt-virtual-display";
}

PtyServer::PtyServer(Options options) : options_(std::move(options)) {
    if (options_.link.empty()) options_.link = defaultLink();
    if (options_.baud < 0) {
        errno = EINVAL;
        fail("baud rate " + std::to_string(options_.baud));
    }
    // Never replace anything but a link: a file of the same name is the
    // user's, not a stale pty link of ours.
    struct stat st {};
    if (lstat(options_.link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            fail("link " + options_.link + " exists and is not a symbolic link");
        }
        // A terminal's /dev/pts entry goes when its server closes it: a link
        // to one that is still there belongs to a display being served. A
        // link to anything else is not one of ours (someone may have planted
        // it where the runtime folder is shared): it is left alone, and said so.
        struct stat target {};
        if (stat(options_.link.c_str(), &target) == 0) {
            std::string to(PATH_MAX, '\0');
            const ssize_t n = readlink(options_.link.c_str(), to.data(), to.size() - 1);
            to.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            errno = EEXIST;
            if (!S_ISCHR(target.st_mode) || !to.starts_with("/dev/pts/")) {
                fail("link " + options_.link + " leads to " + to +
                     ", which is no virtual display's terminal; it is not replaced");
            }
            errno = EBUSY;
            fail("link " + options_.link + " is in use by a running display (it leads to an open terminal)");
        }
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) fail("posix_openpt");
    try {
        if (grantpt(master_) != 0) fail("grantpt");
        if (unlockpt(master_) != 0) fail("unlockpt");
        const char* name = ptsname(master_);
        if (name == nullptr) fail("ptsname");
        terminal_ = name;
        far_ = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (far_ < 0) fail("open " + terminal_);
        // Raw: the terminal layer would otherwise turn 0D into 0A, echo, and
        // hold bytes back until a line ends.
        termios tio{};
        if (tcgetattr(far_, &tio) != 0) fail("tcgetattr " + terminal_);
        cfmakeraw(&tio);
        if (tcsetattr(far_, TCSANOW, &tio) != 0) fail("tcsetattr " + terminal_);
        // Made under a temporary name and renamed over the link, so that a
        // writer never finds the link missing or half-made.
        const std::string temporary = options_.link + ".new" + std::to_string(getpid());
        ::unlink(temporary.c_str());
        if (symlink(terminal_.c_str(), temporary.c_str()) != 0) fail("symlink " + temporary);
        if (std::rename(temporary.c_str(), options_.link.c_str()) != 0) {
            const int error = errno;
            ::unlink(temporary.c_str());
            errno = error;
            fail("rename to " + options_.link);
        }
    } catch (...) {
        if (far_ >= 0) ::close(far_);
        ::close(master_);
        throw;
    }
}

PtyServer::~PtyServer() {
    // Remove the link only while it still points at our terminal: another
    // server may have taken the name since.
    char target[256] = {};
    const ssize_t n = readlink(options_.link.c_str(), target, sizeof target - 1);
    if (n > 0 && terminal_ == std::string(target, static_cast<std::size_t>(n)))
        ::unlink(options_.link.c_str());
    ::close(far_);
    ::close(master_);
}

void PtyServer::write(std::string_view bytes, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{master_, POLLOUT, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return;
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            fail("write " + terminal_);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string PtyServer::readFor(std::chrono::milliseconds timeout) {
    using namespace std::chrono;
    pollfd pfd{master_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
    if (ready < 0) {
        if (errno == EINTR) return {};
        fail("poll " + terminal_);
    }
    if (ready == 0) return {};
    // Paced, read about 10 ms of line time at once; otherwise whatever is there.
    std::size_t chunk = 4096;
    if (options_.baud > 0)
        chunk = std::max<std::size_t>(1, static_cast<std::size_t>(options_.baud) / 10 / 100);
    std::string bytes(chunk, '\0');
    const ssize_t n = ::read(master_, bytes.data(), chunk);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EIO) return {};
        fail("read " + terminal_);
    }
    bytes.resize(static_cast<std::size_t>(n));
    if (options_.baud > 0 && n > 0) {
        // The line carries 10 bits a byte (8N1); bytes that arrive while it is
        // still busy wait their turn. Bytes read just after the line came
        // free were queued behind the last ones: counting from when the line
        // came free, not from now, keeps the oversleep of each wait from
        // adding up.
        const auto wire = microseconds(static_cast<std::int64_t>(n) * 10'000'000 / options_.baud);
        const auto now = steady_clock::now();
        lineFreeAt_ = (now < lineFreeAt_ + milliseconds(20) ? lineFreeAt_ : now) + wire;
        std::this_thread::sleep_until(lineFreeAt_);
    }
    return bytes;
}

}  // namespace emulator
