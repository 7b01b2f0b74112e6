// LineDisplayControl: the built-in Line Display control object.
//
// It answers every operation of display::operations by dispatch ID and keeps
// the standard's rules: the life cycle (Open, ClaimDevice, DeviceEnabled,
// ReleaseDevice, Close), the order of precondition checks (closed 101, not
// claimed 103 or 102, disabled 105, then arguments and capabilities 106),
// ResultCode bookkeeping, property ranges and state rules. The device behind
// it is a service object from the DeviceRegistry, reached through a
// ServiceChannel that also carries out slow output on its own thread.
//
// Calls that fail as calls (unknown dispatch ID, wrong form, argument count
// or type: UnknownMember, BadArgumentCount, TypeMismatch; a failure inside
// the service object: ControlFault) throw display::DispatchError; everything
// else is a result code. A device failure (DeviceFailure from the service
// object) is its result code; its reason goes to standard error and to the
// device's trace. After a failure that leaves the device offline (108) every
// call that needs the device gives 108 until the application enables it
// again, which makes the service object re-initialise and redraw it; what was
// being written when the device failed is not counted as shown.
// With a trace configured for the device, every call is written to it.
// Arguments are coerced as automation does between numbers and booleans: an
// integer is accepted for a boolean (0 false, anything else true) and a
// boolean for an integer (its value, -1 for true); strings are never taken
// for numbers, nor numbers for strings.
//
// Threading: invoke is called from one thread at a time (the console's). The
// observation functions (shownRows, shownModel, waitUntilIdle) may be called
// from another thread, but not while invoke opens or closes the device.
#pragma once

#include "device/ClaimLock.h"
#include "device/Registry.h"
#include "device/ServiceChannel.h"
#include "display/Dispatch.h"
#include "display/OPOSLineDisplay.h"
#include "display/Operations.h"
#include "model/DisplayModel.h"

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace device {

class LineDisplayControl : public display::Dispatch {
public:
    explicit LineDisplayControl(std::shared_ptr<const DeviceRegistry> registry = DeviceRegistry::builtIn());
    // Makes no call on the device; pending output is dropped and the claim freed.
    ~LineDisplayControl() override;

    display::Variant invoke(
        display::DispId id, unsigned flags, std::span<const display::Variant> args) override;

    // What the open device shows now (after any slow output delivered so
    // far), one string per device row; empty while closed.
    std::vector<std::u16string> shownRows() const;
    // The full picture the open device shows (cells, attributes, windows);
    // nothing while closed.
    std::optional<model::DisplayModel> shownModel() const;
    // Blocks until all pending slow output has been shown; returns at once
    // while closed.
    void waitUntilIdle() const;

private:
    // The test-only seam that seeds faults into this object (tests/run); no
    // normal build defines or calls it.
    friend class SeededFaults;

    // Per-window settings that the display model does not hold.
    struct WindowSettings {
        bool cursorUpdate = true;
        std::int32_t interCharacterWait = 0;
        std::int32_t marqueeType = 0;
        std::int32_t marqueeFormat = 0;
        std::int32_t marqueeRepeatWait = 0;
        std::int32_t marqueeUnitWait = 0;
    };
    // Everything that exists between Open and Close.
    struct Session {
        Session(
            const model::DeviceProfile& p, const std::string& name, std::unique_ptr<ServiceObject> service);
        model::DeviceProfile profile;
        ClaimLock claim;
        model::DisplayModel model;            // what the application has written, slow output included
        std::vector<WindowSettings> windows;  // by window number; a free number's entry is unused
        bool enabled = false;
        bool offline = false;  // a device failure took the device away while enabled
        bool freezeEvents = false;
        std::int32_t powerNotify = 0;
        std::int32_t binaryConversion = 0;
        std::u16string checkHealthText;
        ServiceChannel channel;  // last: stops its thread before the rest goes
    };

    // The call itself, with its operation already looked up (nullptr: none has this ID).
    display::Variant invokeChecked(const display::Operation* op, display::DispId id, unsigned flags,
        std::span<const display::Variant> args);
    // Runs one call on the device; a DeviceFailure becomes its result code.
    template <typename F>
    std::int32_t guarded(const display::Operation& op, F&& call);
    // Reports a device failure and, when it took an enabled device away,
    // makes the device offline.
    void deviceFailed(const std::string& what, const DeviceFailure& failure);
    void traceCall(const display::Operation* op, display::DispId id, unsigned flags,
        std::span<const display::Variant> args, const std::string& outcome,
        std::chrono::steady_clock::duration took) const;
    void report(std::string_view what, const std::string& reason) const;
    display::Variant read(const display::Operation& op) const;
    std::int32_t write(const display::Operation& op, const display::Variant& value);
    // The properties of the control and its life cycle, which need the
    // device open only; nothing for any other property.
    std::optional<std::int32_t> writeWhileOpen(const display::Operation& op, const display::Variant& value);
    // The window and device properties, once the device is claimed and enabled.
    std::int32_t writeWhileEnabled(const display::Operation& op, const display::Variant& value);
    std::int32_t callMethod(const display::Operation& op, std::span<const display::Variant> args);

    std::int32_t open(const std::u16string& deviceName);
    std::int32_t claimDevice(std::int32_t timeout);
    std::int32_t close();
    std::int32_t releaseDevice();
    std::int32_t checkHealth(std::int32_t level);
    std::int32_t clearText();
    std::int32_t displayText(const std::u16string& data, std::int32_t attr);
    std::int32_t displayTextAt(
        std::int32_t row, std::int32_t column, const std::u16string& data, std::int32_t attr);
    std::int32_t createWindow(const model::WindowGeometry& geometry);
    std::int32_t destroyWindow();

    // 0 when the device may be driven: open, claimed here and enabled;
    // otherwise the result code that says why not.
    std::int32_t usable() const;
    std::int32_t notClaimedCode() const;
    bool attributeAllowed(std::int32_t attr) const;
    bool cursorTypeAllowed(std::int32_t type) const;
    std::int32_t marqueeTypeResult(std::int32_t type) const;
    void writeOut(const std::u16string& data, std::int32_t attr);
    void disable();
    WindowSettings& currentSettings() {
        return session_->windows[static_cast<std::size_t>(session_->model.currentWindow())];
    }
    const WindowSettings& currentSettings() const {
        return session_->windows[static_cast<std::size_t>(session_->model.currentWindow())];
    }

    std::shared_ptr<const DeviceRegistry> registry_;
    std::string deviceName_;        // of the last Open, for messages and the trace
    std::shared_ptr<Trace> trace_;  // of the last Open's device; nullptr: not traced
    std::unique_ptr<Session> session_;
    std::int32_t resultCode_;
    std::int32_t resultCodeExtended_ = 0;
};

// Registers the built-in Line Display control under display::lineDisplayProgId,
// serving the devices of a registry (by default DeviceRegistry::builtIn()).
void registerBuiltInControl(display::ControlFactory& factory,
    const std::shared_ptr<const DeviceRegistry>& registry = DeviceRegistry::builtIn());

}  // namespace device
