// The program ldt-virtual-display run headless as a process: what a script
// or test sees of it. It prints its pty and link, then the screen after every
// change to bytes written to the link; it refuses bad options and removes
// its link when told to stop.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/CommandSet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The program with its standard output (and error) on a pipe.
class Program {
public:
    // `platform`: a Qt platform for a windowed run (none: no screen at all).
    explicit Program(std::vector<std::string> args, const char* platform = nullptr) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            ::close(out[0]);
            ::close(out[1]);
            // No screen of any kind: headless runs need none, and the others
            // must say that they have none.
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);
            if (platform != nullptr) setenv("QT_QPA_PLATFORM", platform, 1);
            std::vector<char*> argv{const_cast<char*>(VIRTUAL_DISPLAY_PATH)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }
    // Reads output until it contains `text` (after what earlier waits took)
    // or 10 s pass; returns whether it came.
    bool waitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (output_.find(text, taken_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd pfd{out_, POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return output_.find(text, taken_) != std::string::npos;
            output_.append(buffer, static_cast<std::size_t>(n));
        }
        taken_ = output_.find(text, taken_) + text.size();
        return true;
    }
    // Stops it with a signal; returns its exit status.
    int stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
    std::size_t taken_ = 0;
};

void writeTo(const fs::path& port, std::string_view bytes) {
    const int fd = ::open(port.c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0) << port;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

}  // namespace

TEST(HeadlessProgram, printsTheScreenAfterBytesReachItsLinkAndRemovesTheLinkAtTheEnd) {
    char pattern[] = "/tmp/ldt-headless-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const fs::path link = folder / "display";
    Program program({"--headless", "--command-set", "CD5220", "--link", link.string()});
    ASSERT_TRUE(program.waitFor("link " + link.string() + "\n")) << program.output();
    ASSERT_TRUE(program.waitFor("end\n")) << program.output();  // the blank screen at start
    EXPECT_TRUE(fs::read_symlink(link).string().starts_with("/dev/pts/"));

    writeTo(link,
        "\x1B\x51\x41"
        "Welcome\x0D"
        "\x1B\x51\x42"
        "Total   12.50\x0D");
    EXPECT_TRUE(program.waitFor("|Welcome             |\n|Total   12.50       |\n")) << program.output();
    writeTo(link,
        "\x1B\x6C\x09\x02"
        "\x1B\x99");
    EXPECT_TRUE(program.waitFor("fault 1B 99: unknown sequence\nend\n")) << program.output();
    EXPECT_NE(program.output().find("cursor 2 9 shown"), std::string::npos) << program.output();

    EXPECT_EQ(program.stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    fs::remove_all(folder);
}

TEST(HeadlessProgram, refusesBadOptionsWithAReason) {
    Program unknownSet({"--headless", "--command-set", "ESC/POS"});
    EXPECT_EQ(unknownSet.wait(), 2);
    EXPECT_TRUE(unknownSet.waitFor("unknown command set \"ESC/POS\" (DM-D, CD5220, Logic Controls,"));
    Program unsupported({"--headless", "--command-set", "ICD-2002"});
    EXPECT_EQ(unsupported.wait(), 2);
    EXPECT_TRUE(unsupported.waitFor("command set \"ICD-2002\" is not supported"));
    Program badBaud({"--headless", "--baud", "96OO"});
    EXPECT_EQ(badBaud.wait(), 2);
    EXPECT_TRUE(badBaud.waitFor("baud rate \"96OO\" is not a number"));
    Program noScreen({"--link", "/nonexistent-folder/display"});
    EXPECT_EQ(noScreen.wait(), 2);
    EXPECT_TRUE(noScreen.waitFor("no display to open a window on"));
    Program noFolder({"--headless", "--link", "/nonexistent-folder/display"});
    EXPECT_EQ(noFolder.wait(), 1);
    EXPECT_TRUE(noFolder.waitFor("cannot serve the display: symlink /nonexistent-folder/display"));
}

// Without --baud the window still reads no faster than it draws: a writer
// that floods it is held back by the pty, and the program's memory stays
// flat instead of keeping everything the writer sent.
TEST(WindowedProgram, aFastWriterIsHeldBackAndMemoryStaysFlat) {
    char pattern[] = "/tmp/ldt-windowed-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const fs::path link = folder / "display";
    // A sanitizer build keeps freed memory in quarantine: keep that small,
    // so that what is measured is what the program holds.
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
        setenv("ASAN_OPTIONS", (std::string(asan) + ":quarantine_size_mb=1").c_str(), 1);
    Program program({"--link", link.string()}, "offscreen");
    ASSERT_TRUE(program.waitFor("link " + link.string() + "\n")) << program.output();
    const auto residentKiB = [&] {
        std::ifstream status("/proc/" + std::to_string(program.pid()) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
        }
        return -1L;
    };
    const int fd = ::open(link.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const std::string text(std::size_t{64} * 1024, 'A');
    // The window up and drawing first: what it needs for that is no growth.
    ASSERT_GT(::write(fd, text.data(), 4096), 0);
    std::this_thread::sleep_for(500ms);
    const long before = residentKiB();
    std::size_t written = 0;
    int heldBack = 0;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (written < std::size_t{256} * 1024 * 1024 && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 && errno == EAGAIN) {
            ++heldBack;
            std::this_thread::sleep_for(1ms);
        }
    }
    const long after = residentKiB();
    ::close(fd);
    EXPECT_GT(heldBack, 0) << written << " bytes taken without ever holding the writer back";
    EXPECT_LT(after - before, 8 * 1024)
        << "grew from " << before << " KiB to " << after << " KiB after " << written << " bytes";
    EXPECT_EQ(program.stop(SIGTERM), 0);
    fs::remove_all(folder);
}

TEST(HeadlessProgram, theAnsiSetAnswersItsIdentificationRequestOnTheLineAndItsEchoStartsTheSelfTest) {
    char pattern[] = "/tmp/ldt-headless-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const fs::path link = folder / "display";
    Program program({"--headless", "--command-set", "ANSI", "--link", link.string()});
    ASSERT_TRUE(program.waitFor("end\n")) << program.output();
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "\x1B[0c", 4), 4);
    // The answer comes back on the line the request went out on.
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (answer.size() < model::findCommandSet("ANSI")->reply.size() &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) continue;
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(answer, model::findCommandSet("ANSI")->reply);
    // Sent back, as one driver does by mistake, it starts the self-test.
    ASSERT_EQ(::write(fd, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    EXPECT_TRUE(program.waitFor("self-test running\n")) << program.output();
    ::close(fd);
    EXPECT_EQ(program.stop(SIGTERM), 0);
    fs::remove_all(folder);
}
