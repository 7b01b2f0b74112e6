// scripts/console.sh started as root through sudo (with the variables sudo
// sets for an invoking user who is not root) on a machine without a display:
// the windows, their X server and the VNC server run as that user; the VNC
// socket admits that user's processes (and root) but no other user, nothing
// listens on TCP, and the X server refuses a client without the cookie.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uid_t invoker = 65534;  // nobody
constexpr uid_t stranger = 1;     // daemon: any other user

struct Process {
    std::string pid;
    uid_t uid;
    std::string command;  // the command line, arguments joined by blanks
};

std::vector<Process> processes() {
    std::vector<Process> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "cmdline");
        std::string command((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ranges::replace(command, '\0', ' ');
        struct stat info {};
        if (!command.empty() && ::stat(entry.path().c_str(), &info) == 0)
            found.push_back({pid, info.st_uid, command});
    }
    return found;
}

// Connects to a Unix socket as `uid` (in a child process); the errno, or 0.
int connectAs(uid_t uid, const std::string& path, std::string* greeting = nullptr) {
    int result[2];
    if (::pipe(result) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid != ::geteuid() && (::setgid(uid) != 0 || ::setuid(uid) != 0)) ::_exit(1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        int error = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? 0 : errno;
        char text[12] = {};
        if (error == 0 && ::read(fd, text, sizeof text) != sizeof text) error = -2;
        (void)::write(result[1], &error, sizeof error);
        (void)::write(result[1], text, sizeof text);
        ::_exit(0);
    }
    ::close(result[1]);
    int error = -1;
    char text[12] = {};
    if (::read(result[0], &error, sizeof error) != sizeof error) error = -1;
    if (::read(result[0], text, sizeof text) == sizeof text && greeting)
        *greeting = std::string(text, sizeof text);
    ::close(result[0]);
    ::waitpid(child, nullptr, 0);
    return error;
}

std::vector<std::string> listeningTcpInodes() {
    std::vector<std::string> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::vector<std::string> f;
            for (std::string field; fields >> field;) f.push_back(field);
            if (f.size() > 9 && f[3] == "0A") inodes.push_back(f[9]);
        }
    }
    return inodes;
}

// Ends the script (and so what it started) and removes the programs' folder,
// however the test ends.
struct Cleanup {
    pid_t script = -1;
    fs::path folder;
    ~Cleanup() {
        if (script > 0) {
            ::kill(-script, SIGTERM);
            ::waitpid(script, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

}  // namespace

TEST(ConsoleScript, startedThroughSudoRunsAsTheUserAndAdmitsOnlyThatUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, as sudo gives";
    // The programs where the invoking user may run them.
    char folder[] = "/tmp/ldt-console-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const fs::path bin(folder);
    Cleanup cleanup{.folder = bin};
    fs::permissions(bin, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::copy_file(TQN730TEST_PATH, bin / "TQN730Test");
    fs::copy_file(VIRTUAL_DISPLAY_PATH, bin / "ldt-virtual-display");

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t script = cleanup.script = ::fork();
    if (script == 0) {
        ::setpgid(0, 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        const std::string binVar = "LDT_CONSOLE_BIN=" + bin.string();
        const std::string path =
            std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        const char* env[] = {path.c_str(), "SUDO_USER=nobody", "SUDO_UID=65534", "SUDO_GID=65534",
            "HOME=/root", "QT_ACCESSIBILITY=0", binVar.c_str(), nullptr};
        ::execle("/bin/bash", "bash", CONSOLE_SCRIPT_PATH, static_cast<char*>(nullptr), env);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string output;
    const auto waitFor = [&](const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (output.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        return output.find(text) != std::string::npos;
    };
    const bool started = waitFor("\"TQN730\" is wired to it through ");
    std::string socket;
    if (const auto at = output.find("over VNC on the socket "); at != std::string::npos) {
        socket = output.substr(at + 23, output.find('\n', at) - at - 23);
    }
    // The console is up once its process exists.
    std::map<std::string, uid_t> owners;
    std::string display;
    for (int i = 0; i < 100 && owners.size() < 4; ++i) {
        owners.clear();
        for (const Process& p : processes()) {
            if (p.command.starts_with(bin.string() + "/TQN730Test")) owners["console"] = p.uid;
            if (p.command.starts_with(bin.string() + "/ldt-virtual-display"))
                owners["virtual display"] = p.uid;
            if (!socket.empty() && p.command.starts_with("Xvfb ") &&
                p.command.find(fs::path(socket).parent_path()) != std::string::npos) {
                owners["X server"] = p.uid;
                display = p.command.substr(5, p.command.find(' ', 5) - 5);  // ":N"
            }
            if (!socket.empty() && p.command.starts_with("x11vnc ") &&
                p.command.find(socket) != std::string::npos)
                owners["VNC server"] = p.uid;
        }
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(started) << output;
    ASSERT_FALSE(socket.empty()) << output;
    for (const char* part : {"console", "virtual display", "X server", "VNC server"}) {
        ASSERT_TRUE(owners.contains(part)) << part << " not found\n" << output;
        EXPECT_EQ(owners[part], invoker) << part;
    }
    // Only the user (and root) may connect to the VNC socket.
    std::string greeting;
    EXPECT_EQ(connectAs(0, socket, &greeting), 0);
    EXPECT_EQ(greeting, "RFB 003.008\n");
    EXPECT_EQ(connectAs(invoker, socket), 0);
    EXPECT_EQ(connectAs(stranger, socket), EACCES);
    // Nothing of the VNC server listens on TCP.
    const auto tcp = listeningTcpInodes();
    std::string vncPid;
    for (const Process& p : processes()) {
        if (p.command.starts_with("x11vnc ") && p.command.find(socket) != std::string::npos) vncPid = p.pid;
    }
    ASSERT_FALSE(vncPid.empty());
    for (const auto& fd : fs::directory_iterator("/proc/" + vncPid + "/fd")) {
        std::error_code ignored;
        const std::string link = fs::read_symlink(fd.path(), ignored).string();
        if (!link.starts_with("socket:[")) continue;
        EXPECT_EQ(std::ranges::find(tcp, link.substr(8, link.size() - 9)), tcp.end())
            << "x11vnc listens on TCP";
    }
    // The X server refuses a client without the cookie (the setup's first byte: 0, failed).
    ASSERT_FALSE(display.empty());
    {
        const int x = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = "/tmp/.X11-unix/X" + display.substr(1);
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::connect(x, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
        const char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        ASSERT_EQ(::write(x, setup, sizeof setup), 12);
        char reply = 1;
        EXPECT_EQ(::read(x, &reply, 1), 1);
        EXPECT_EQ(reply, 0) << "the X server let a client in without the cookie";
        ::close(x);
    }

    ::kill(-script, SIGTERM);
    ::waitpid(script, nullptr, 0);
    cleanup.script = -1;
    ::close(out[0]);
    EXPECT_FALSE(fs::exists(fs::path(socket).parent_path())) << "the run's private folder is left behind";
}
