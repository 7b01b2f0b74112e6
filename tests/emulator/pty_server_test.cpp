// The pty server on a real pseudo-terminal: bytes written to its link arrive
// unchanged, writers may come and go, and the link is made and removed with
// care for whatever else has that name.
#include "emulator/PtyServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    TempFolder() {
        char pattern[] = "/tmp/ldt-pty-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { fs::remove_all(path); }
    fs::path path;
};

void writeTo(const fs::path& port, std::string_view bytes) {
    const int fd = ::open(port.c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0) << port;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

std::string readAll(emulator::PtyServer& server, std::size_t count) {
    std::string got;
    for (int i = 0; i < 50 && got.size() < count; ++i) got += server.readFor(100ms);
    return got;
}

}  // namespace

TEST(PtyServer, bytesThroughTheLinkArriveUnchangedFromWriterAfterWriter) {
    TempFolder tmp;
    emulator::PtyServer server({(tmp.path / "display").string(), 0});
    EXPECT_EQ(fs::read_symlink(tmp.path / "display"), server.terminalPath());
    EXPECT_TRUE(server.terminalPath().starts_with("/dev/pts/"));
    // Raw mode: no 0D -> 0A translation, no line buffering, every byte value.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string first =
        "\x1B\x40"
        "A\x0D\x0A\x04\x03\x1A" +
        all;
    writeTo(tmp.path / "display", first);
    EXPECT_EQ(readAll(server, first.size()), first);
    // The first writer has closed its end; a second one is served all the same.
    writeTo(tmp.path / "display", "again");
    EXPECT_EQ(readAll(server, 5), "again");
    EXPECT_EQ(server.readFor(10ms), "");
}

TEST(PtyServer, replacesAStaleLinkButNeverAFileOrARunningDisplaysLinkAndRemovesOnlyItsOwn) {
    TempFolder tmp;
    const fs::path link = tmp.path / "display";
    fs::create_symlink("/dev/pts/does-not-exist", link);
    {
        emulator::PtyServer server({link.string(), 0});
        EXPECT_EQ(fs::read_symlink(link), server.terminalPath());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // A running display keeps its name; and a link pointed elsewhere since
    // is not removed by the server that made it.
    {
        emulator::PtyServer running({link.string(), 0});
        try {
            emulator::PtyServer second({link.string(), 0});
            FAIL() << "a running display's link was taken";
        } catch (const std::system_error& e) {
            EXPECT_NE(std::string(e.what()).find("is in use by a running display"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(fs::read_symlink(link), running.terminalPath());
        fs::remove(link);
        fs::create_symlink("/dev/null", link);
    }
    EXPECT_EQ(fs::read_symlink(link), "/dev/null");
    // Such a link (planted, say, under /tmp) is refused for what it is.
    try {
        emulator::PtyServer server({link.string(), 0});
        FAIL() << "a link to /dev/null was taken";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("leads to /dev/null, which is no virtual display's terminal"),
            std::string::npos)
            << e.what();
    }
    fs::remove(link);

    std::ofstream(link) << "the user's file";
    try {
        emulator::PtyServer server({link.string(), 0});
        FAIL() << "a regular file was replaced";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find(link.string() + " exists and is not a symbolic link"),
            std::string::npos)
            << e.what();
    }
    std::ifstream in(link);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "the user's file");

    EXPECT_THROW(emulator::PtyServer({(tmp.path / "no-folder" / "display").string(), 0}), std::system_error);
}
