#include "device/ServiceChannel.h"

#include <exception>
#include <utility>

namespace device {

ServiceChannel::ServiceChannel(std::unique_ptr<ServiceObject> service)
    : service_(std::move(service)), worker_([this](const std::stop_token& stop) { run(stop); }) {}

ServiceChannel::~ServiceChannel() {
    dropPending();
    {
        // Asked under the lock the worker checks it under, then woken: it
        // cannot miss the request between looking and waiting. (Waiting on
        // the stop token itself sometimes missed it with MinGW's threads,
        // and the join hung.)
        std::lock_guard lock(mutex_);
        worker_.request_stop();
    }
    changed_.notify_all();
    worker_.join();
}

void ServiceChannel::deliver(model::DisplayOp operation, std::chrono::milliseconds waitAfter) {
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
        const Pending next = std::move(queue_.front());
        queue_.pop_front();
        applyLocked(next.operation);  // may drop the rest
    }
    interruptPause();
}

model::DisplayModel ServiceChannel::clearDiscardingPending() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        service_->apply(model::op::Clear{});  // the caller's own call: a failure is its failure
    } else {
        // The discarded characters were already in the application's model
        // (its cursors moved past them), and they may lie outside the window
        // being cleared; so build the picture from what the device shows
        // plus every pending change that is not text, and show that whole.
        model::DisplayModel after = service_->shown();
        for (const Pending& pending : queue_) {
            if (!std::holds_alternative<model::op::Text>(pending.operation))
                model::applyTo(after, pending.operation);
        }
        after.clearWindow();
        queue_.clear();
        service_->replaceWith(after);
    }
    interruptPause();
    return service_->shown();
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

model::DisplayModel ServiceChannel::shown() const {
    std::lock_guard lock(mutex_);
    return service_->shown();
}

std::string ServiceChannel::lastFault() const {
    std::lock_guard lock(mutex_);
    return lastFault_;
}

std::optional<DeviceFailure> ServiceChannel::takeFailure() {
    std::lock_guard lock(mutex_);
    return std::exchange(failure_, std::nullopt);
}

void ServiceChannel::run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return !queue_.empty() || stop.stop_requested(); });
        if (stop.stop_requested()) return;
        Pending next = std::move(queue_.front());
        queue_.pop_front();
        const auto generation = generation_;
        applyLocked(next.operation);
        if (next.waitAfter.count() > 0) {
            // The pause ends early when pending output is shown, discarded
            // or dropped (the generation changes), the device failed, or
            // the channel closes.
            pausing_ = true;
            changed_.wait_for(
                lock, next.waitAfter, [&] { return generation_ != generation || stop.stop_requested(); });
            pausing_ = false;
        }
        changed_.notify_all();  // idle waiters look again
    }
}

void ServiceChannel::applyLocked(const model::DisplayOp& operation) {
    try {
        service_->apply(operation);
    } catch (const DeviceFailure& e) {
        // The device is gone: what is still pending cannot reach it either.
        lastFault_ = e.what();
        failure_ = e;
        queue_.clear();
        interruptPause();
    } catch (const std::exception& e) {
        lastFault_ = e.what();
    }
}

void ServiceChannel::interruptPause() {
    ++generation_;
    changed_.notify_all();
}

}  // namespace device
