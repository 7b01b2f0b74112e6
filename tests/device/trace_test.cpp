// The trace file against a hostile neighbour: what another local user can
// plant under its name is refused, a new file is private, and a disk that
// fills up cuts no line in half and loses nothing silently.
#include "device/Trace.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Folder {
    Folder() {
        char name[] = "/tmp/ldt-trace-XXXXXX";
        if (::mkdtemp(name) == nullptr) throw std::runtime_error("no temp dir");
        path = name;
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

}  // namespace

TEST(Trace, opensOnlyARegularFileOfThisUserNeverThroughALinkOrAFifo) {
    Folder dir;
    const fs::path victim = dir.path / "victim";
    std::ofstream(victim) << "precious\n";
    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> plants{
        {"it is a symbolic link", [&](const fs::path& p) { fs::create_symlink(victim, p); }},
        {"it is a symbolic link", [&](const fs::path& p) { fs::create_symlink(dir.path / "new", p); }},
        {"it is a named pipe (FIFO)", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); }},
        {"it has 2 names (hard links)", [&](const fs::path& p) { fs::create_hard_link(victim, p); }},
        {"it is not a regular file", [](const fs::path&) {}},  // /dev/null, below
    };
    int n = 0;
    for (const auto& [why, plant] : plants) {
        const fs::path path =
            why.starts_with("it is not") ? fs::path("/dev/null") : dir.path / std::to_string(++n);
        plant(path);
        try {
            device::Trace trace(path.string());
            ADD_FAILURE() << "opened " << path << " (" << why << ")";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(
                std::string(e.what()).find("cannot open the trace file \"" + path.string() + "\": " + why),
                std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(slurp(victim), "precious\n");
    EXPECT_FALSE(fs::exists(dir.path / "new"));

    if (::geteuid() == 0) {  // a file another user planted (only root can make one here)
        const fs::path theirs = dir.path / "theirs";
        std::ofstream(theirs) << "";
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_THROW(device::Trace(theirs.string()), std::runtime_error);
    }

    // A new trace is the user's alone, whatever the umask.
    const mode_t mask = ::umask(0);
    {
        device::Trace trace((dir.path / "fresh.log").string());
        trace.note("D", "hello");
    }
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat((dir.path / "fresh.log").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(Trace, aLineThatCannotBeWrittenIsCutAwayReportedOnceAndCountedLater) {
    Folder dir;
    const fs::path path = dir.path / "trace.log";
    device::Trace trace(path.string());
    trace.note("D", "first");
    const auto before = fs::file_size(path);
    // A file size limit stands in for a full disk: writes past it fail, and
    // the one that reaches it is cut short.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = before + 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    // Standard error into a pipe, which no file size limit touches.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const int savedErr = ::dup(STDERR_FILENO);
    ::dup2(pipeEnds[1], STDERR_FILENO);
    for (int i = 0; i < 3; ++i) trace.note("D", "a line longer than the room that is left in the file");
    ::dup2(savedErr, STDERR_FILENO);
    ::close(savedErr);
    ::close(pipeEnds[1]);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);
    std::string err(4096, '\0');
    err.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(pipeEnds[0], err.data(), err.size()))));
    ::close(pipeEnds[0]);

    EXPECT_EQ(fs::file_size(path), before);  // the part that went out is cut away again
    EXPECT_EQ(err, "trace file \"" + path.string() +
                       "\": cannot write (File too large); lines are lost until it can be written again\n");
    trace.note("D", "back");
    const std::string log = slurp(path);
    EXPECT_NE(log.find(" D 3 trace lines could not be written (File too large)\n"), std::string::npos) << log;
    EXPECT_TRUE(log.ends_with(" D back\n")) << log;
}

TEST(Trace, aFallbackLineShowsTheCharactersInUnicodeAndNoControlCharacterRaw) {
    Folder folder;
    const fs::path file = folder.path / "trace.log";
    {
        device::Trace trace(file.string());
        trace.fallback("TQN730", U"\u00df", U"ss", "transliteration");
        // A line separator and a quote must not break or end anything.
        trace.fallback("TQN730", U"\u2028\"", U"??", "question mark");
    }
    const std::string text = slurp(file);
    EXPECT_NE(
        text.find(" TQN730 fallback U+00DF \"\u00df\" -> \"ss\" (transliteration)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(" TQN730 fallback U+2028 U+0022 \"\\u{2028}\\\"\" -> \"??\" (question mark)\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}
