// The claim is exclusive across processes and is freed when its holder dies:
// a real second process holds the claim, and is killed without warning.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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
