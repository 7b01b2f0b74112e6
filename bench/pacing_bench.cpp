// Virtual display pacing benchmark: how closely the virtual display's reading
// follows the line rate it was given. A writer puts one second of line time
// (baud / 10 bytes, 8N1) into the pty at once; the paced server must take
// about that long to read it all, never much less (output would look faster
// than on a real display) nor much more (it would lag behind). Prints the
// ratio of reading time to wire time per rate; the target is 1.00 to 1.05.
// Not a test: it prints numbers, it asserts nothing.
//
// Usage: pacing_bench
#include "emulator/PtyServer.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    using namespace std::chrono;
    char pattern[] = "/tmp/ldt-pacing-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    std::printf("%8s %8s %10s %10s %7s\n", "baud", "bytes", "wire ms", "read ms", "ratio");
    for (const int baud : {1200, 2400, 9600, 19200, 115200}) {
        emulator::PtyServer server({folder + "/display", baud, {}});
        const std::size_t count = static_cast<std::size_t>(baud) / 10;
        const std::string bytes(count, 'x');
        const int fd = ::open(server.link().c_str(), O_WRONLY | O_NOCTTY);
        if (fd < 0) return 1;
        const auto start = steady_clock::now();
        // The pty's buffer takes the whole second's worth at once.
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
        std::size_t got = 0;
        while (got < count) got += server.readFor(milliseconds(1000)).size();
        const double readMs = duration<double, std::milli>(steady_clock::now() - start).count();
        ::close(fd);
        const double wireMs = static_cast<double>(count) * 10 * 1000.0 / baud;
        std::printf("%8d %8zu %10.1f %10.1f %7.3f\n", baud, count, wireMs, readMs, readMs / wireMs);
    }
    ::rmdir(folder.c_str());
    return 0;
}
