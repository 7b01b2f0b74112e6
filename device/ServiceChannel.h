// The control object's one path to its service object, with slow output.
//
// Every call on the service object goes through here, under one lock, so the
// control's calls and the slow-output thread never meet inside it. Display
// changes are carried out in the order they were delivered: at once when
// nothing is pending, otherwise queued behind what is. A change delivered with
// a wait (a character under InterCharacterWait) is followed by that pause;
// the channel's own thread works the queue off, so the application's call
// returns at once. Pending output can be shown at once, or discarded.
//
// Threading: the public functions may be called from any thread; the
// destructor stops the thread and drops what is pending.
#pragma once

#include "device/ServiceObject.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace device {

class ServiceChannel {
public:
    explicit ServiceChannel(std::unique_ptr<ServiceObject> service);
    ~ServiceChannel();
    ServiceChannel(const ServiceChannel&) = delete;
    ServiceChannel& operator=(const ServiceChannel&) = delete;

    // Runs fn(ServiceObject&) under the lock and returns its result; pending
    // output stays pending.
    template <typename F>
    auto call(F&& fn) const {
        std::lock_guard lock(mutex_);
        return fn(*service_);
    }

    // Hands a display change to the service object, then pauses for
    // waitAfter before the next one. Applied at once (a failure then throws
    // to the caller) when nothing is pending and there is no wait; queued
    // otherwise (a device failure is kept for takeFailure, and what was
    // still pending is dropped: the device cannot show it).
    void deliver(model::DisplayOp operation, std::chrono::milliseconds waitAfter = {});
    // Carries out everything pending now, without the pauses.
    void showPendingNow();
    // Clears the current window and discards the characters still pending;
    // every other pending change (cursor moves, windows, settings) is still
    // carried out. Returns what the device shows afterwards, which becomes
    // the application's picture too; a failure throws to the caller.
    model::DisplayModel clearDiscardingPending();
    // Drops everything pending without showing it (closing the device).
    void dropPending();

    // Blocks until nothing is pending and no pause is running.
    void waitUntilIdle() const;
    // What the device shows now.
    model::DisplayModel shown() const;
    // The text of the last failure of the service object inside the thread,
    // empty if none (such a failure cannot reach the application's call).
    std::string lastFault() const;
    // The device failure that pending output met since the last look, if
    // any, so that the next call can answer with it; taken once.
    std::optional<DeviceFailure> takeFailure();

private:
    struct Pending {
        model::DisplayOp operation;
        std::chrono::milliseconds waitAfter;
    };

    void run(const std::stop_token& stop);
    void applyLocked(const model::DisplayOp& operation);
    void interruptPause();

    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    std::deque<Pending> queue_;
    bool pausing_ = false;
    std::uint64_t generation_ = 0;  // bumped to cut a running pause short
    std::string lastFault_;
    std::optional<DeviceFailure> failure_;
    std::unique_ptr<ServiceObject> service_;
    std::jthread worker_;  // last member: starts after, and stops before, the rest
};

}  // namespace device
