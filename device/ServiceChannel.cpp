#include "device/ServiceChannel.h"

#include <exception>

namespace device {

ServiceChannel::ServiceChannel(std::unique_ptr<ServiceObject> service)
    : service_(std::move(service)), worker_([this](std::stop_token stop) { run(stop); }) {}

ServiceChannel::~ServiceChannel() {
    dropPending();
    worker_.request_stop();
    worker_.join();
}

void ServiceChannel::deliver(DisplayOp operation, std::chrono::milliseconds waitAfter) {
    std::lock_guard lock(mutex_);
    if (queue_.empty() && !pausing_ && waitAfter.count() == 0) {
        service_->apply(operation);  // the caller's own call: a failure is its failure
        return;
    }
    queue_.push_back({std::move(operation), waitAfter});
    changed_.notify_all();
}

void ServiceChannel::showPendingNow() {
    std::lock_guard lock(mutex_);
    while (!queue_.empty()) {
        applyLocked(queue_.front().operation);
        queue_.pop_front();
    }
    interruptPause();
}

void ServiceChannel::clearDiscardingPending(const DisplayModel& after) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        applyLocked(op::Clear{});
    } else {
        // What was pending also moved cursors (and maybe windows) in the
        // application's model; replacing the whole picture keeps the device
        // and the application in step, which replaying a subset could not.
        queue_.clear();
        service_->replaceWith(after);
    }
    interruptPause();
}

void ServiceChannel::dropPending() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    interruptPause();
}

void ServiceChannel::waitUntilIdle() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !pausing_; });
}

DisplayModel ServiceChannel::shown() const {
    std::lock_guard lock(mutex_);
    return service_->shown();
}

std::string ServiceChannel::lastFault() const {
    std::lock_guard lock(mutex_);
    return lastFault_;
}

void ServiceChannel::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, stop, [this] { return !queue_.empty(); });
        if (stop.stop_requested()) return;
        Pending next = std::move(queue_.front());
        queue_.pop_front();
        applyLocked(next.operation);
        if (next.waitAfter.count() > 0) {
            // The pause ends early when pending output is shown, discarded
            // or dropped (the generation changes) or the channel closes.
            pausing_ = true;
            const auto generation = generation_;
            changed_.wait_for(lock, stop, next.waitAfter, [&] { return generation_ != generation; });
            pausing_ = false;
        }
        changed_.notify_all();  // idle waiters look again
    }
}

void ServiceChannel::applyLocked(const DisplayOp& operation) {
    try {
        service_->apply(operation);
    } catch (const std::exception& e) {
        lastFault_ = e.what();
    }
}

void ServiceChannel::interruptPause() {
    ++generation_;
    changed_.notify_all();
}

}  // namespace device
