// What the machine-wide claim does the same way on every platform: waiting
// for it. Taking and giving it up are in ClaimLockPosix.cpp and
// ClaimLockWin32.cpp.
#include "device/ClaimLock.h"

#include <algorithm>
#include <thread>

namespace device {

bool ClaimLock::acquireWithin(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    // Polling is fine here: the holder gives no signal on release, and a
    // claim is a rare, human-paced event.
    constexpr auto pollInterval = std::chrono::milliseconds(20);
    while (!tryAcquire()) {
        const auto now = Clock::now();
        if (timeout.count() >= 0 && now >= deadline) return false;
        auto nap = pollInterval;
        if (timeout.count() >= 0)
            nap = std::min(nap, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                    std::chrono::milliseconds(1));
        std::this_thread::sleep_for(nap);
    }
    return true;
}

}  // namespace device
