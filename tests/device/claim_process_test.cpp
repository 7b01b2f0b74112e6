// The claim is exclusive across processes and is freed when its holder dies:
// a real second process holds the claim, and is killed without warning.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

#include "device/ClaimLock.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

using namespace devicetest;
using namespace display;

namespace {

// A running claim_holder; killed (SIGKILL) and reaped when destroyed.
class Holder {
public:
    Holder(const std::string& deviceName, const std::string& profile) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string path = CLAIM_HOLDER_PATH;
        std::string name = deviceName;
        std::string prof = profile;
        char* argv[] = {path.data(), name.data(), prof.data(), nullptr};
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~Holder() {
        kill();
        if (out_) std::fclose(out_);
    }
    // The first line the holder writes ("claimed" when it holds the claim).
    std::string firstLine() {
        char line[128] = {};
        if (!out_ || !std::fgets(line, sizeof line, out_)) return "(no output)";
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    // Kills the holder at once and waits until it is gone.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

}  // namespace

TEST(ClaimDevice, secondProcessTimesOutThenClaimsWhenHolderDies) {
    Driver d;
    Holder holder(d.deviceName(), "TQN730");
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.firstLine(), "claimed");

    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_E_TIMEOUT);
    EXPECT_FALSE(d.readBool("Claimed"));
    EXPECT_EQ(d.write("DeviceEnabled", B(true)), OPOS_E_CLAIMED);

    holder.kill();
    EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_SUCCESS);
    EXPECT_TRUE(d.readBool("Claimed"));
}

TEST(ClaimDevice, holderInAnotherProcessIsRefusedWhileWeHoldIt) {
    Driver d;
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    ASSERT_EQ(d.call("ClaimDevice", {I(0)}), OPOS_SUCCESS);
    Holder holder(d.deviceName(), "TQN730");
    ASSERT_TRUE(holder.started());
    EXPECT_EQ(holder.firstLine(), "failed 0 112");
}

// A squatter binds the claim's name before the console: without listening
// (this process), or listening as another user (a child that gives up root).
TEST(ClaimDevice, aSquattedClaimCountsAsHeldElsewhereAndSaysWhoHoldsIt) {
    const auto bindName = [](const std::string& name, bool listen) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0 ||
            (listen && ::listen(fd, 1) != 0))
            return -1;
        return fd;
    };
    struct Case {
        bool otherUser;
        std::string who;
    };
    for (const Case& c : {Case{false,
                              "bound without listening, so not by a console, by user \"root\" (uid 0), "
                              "process " +
                                  std::to_string(::getpid())},
             Case{true, "held by user \"nobody\" (uid 65534), process "}}) {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to be a second user";
        Driver d;
        const std::string name = std::string(1, '\0') + device::claimName(d.deviceName());
        int squatter = -1;
        pid_t child = -1;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        if (!c.otherUser) {
            squatter = bindName(name, false);
            ASSERT_GE(squatter, 0);
        } else if ((child = ::fork()) == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0 || bindName(name, true) < 0) ::_exit(1);
            (void)::write(ready[1], "x", 1);
            for (;;) ::pause();
        }
        char byte = 0;
        if (c.otherUser) {
            ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        }
        ::close(ready[0]);
        ::close(ready[1]);

        ASSERT_EQ(d.open(), OPOS_SUCCESS);
        testing::internal::CaptureStderr();
        EXPECT_EQ(d.call("ClaimDevice", {I(50)}), OPOS_E_TIMEOUT);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("ClaimDevice waits: the claim of this device is " + c.who), std::string::npos)
            << err;
        EXPECT_EQ(d.call("ClearText"), OPOS_E_CLAIMED);  // not 103: someone holds it
        if (squatter >= 0) ::close(squatter);
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        EXPECT_EQ(d.call("ClaimDevice", {I(1000)}), OPOS_SUCCESS);
    }
}
