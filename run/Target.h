// What scripts and the conformance pack run against: a way to create Line
// Display control instances as the console creates its own (by ProgID,
// through a display::ControlFactory), and what the target lets a script see
// beyond the dispatch interface: the screen the device layer holds, the
// bytes serial displays send, and a way to take a display off its line.
//
// A target may offer none of these (a control installed on Windows is seen
// only through its dispatch interface); expectations on what it does not
// offer are reported as skipped, with the reason. The target's own calls
// are made from the runner's one thread; the wire log is filled from
// whichever thread sends.
#pragma once

#include "display/Dispatch.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace run {

// What a display shows: its rows and where its cursor stands (in the
// current window).
struct Screen {
    std::vector<std::u16string> rows;
    std::int32_t cursorRow = 0;
    std::int32_t cursorColumn = 0;
};

// Every block of bytes the serial displays of a target sent, in order.
class WireLog {
public:
    void append(std::string_view device, std::string_view bytes);
    // A mark of the log's end now, for since().
    std::size_t mark() const;
    // The bytes of every device sent after the mark.
    std::string since(std::size_t mark) const;
    // Everything one device sent, and how many bytes that is.
    std::string stream(std::string_view device) const;
    std::size_t streamSize(std::string_view device) const;

private:
    struct Block {
        std::string device;
        std::string bytes;
    };
    mutable std::mutex mutex_;
    std::vector<Block> blocks_;
};

class Target {
public:
    virtual ~Target() = default;

    // A new control instance, created from the console's ProgID; throws
    // display::DispatchError (ControlUnavailable) when it cannot be.
    virtual std::unique_ptr<display::Dispatch> createControl() = 0;

    // What the device behind an open control shows once its pending output
    // is shown; nothing while it is closed. Only when canSeeScreens().
    virtual std::optional<Screen> screen(display::Dispatch& control) {
        (void)control;
        return std::nullopt;
    }
    virtual bool canSeeScreens() const { return false; }
    // Waits until what the control has been told to show is shown.
    virtual void settle(display::Dispatch& control) { (void)control; }

    // The bytes serial displays sent; nullptr when this target cannot see them.
    virtual const WireLog* wire() const { return nullptr; }

    // Takes the display of a device name off its line, and back; only where
    // canUnplug() says so.
    virtual bool canUnplug(std::string_view device) const {
        (void)device;
        return false;
    }
    virtual void unplug(std::string_view device) { (void)device; }
    virtual void replug(std::string_view device) { (void)device; }

    // The devices `--conformance all` runs against.
    virtual std::vector<std::string> allDevices() const = 0;
};

}  // namespace run
