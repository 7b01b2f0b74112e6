// The service-object interface: one device's behaviour behind the built-in
// control object.
//
// The control object owns the standard's rules (states, result codes, argument
// and capability checks) and hands a service object only operations that are
// already legal: display changes as DisplayOps, in the order the application
// made them. A service object owns what its device shows (a DisplayModel it
// keeps up to date) and how it gets there: the simulated display just applies
// the operations, a serial display also sends the bytes.
//
// Threading: the control object calls a service object from one thread at a
// time, but not always the same one (slow output is delivered by the
// control's own thread); the control serialises all calls.
//
// Failures of the device itself (a port that is missing, taken or unplugged)
// are thrown as DeviceFailure with the result code the application gets and
// the reason; the control object turns them into that result code and reports
// the reason. Any other exception is a fault of the service object.
#pragma once

#include "model/DisplayModel.h"
#include "model/DisplayOps.h"
#include "model/Profiles.h"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace device {

// The outcome of a health check: a result code and the CheckHealthText.
struct HealthReport {
    std::int32_t result = 0;
    std::u16string text;
};

// A device failure: the result code for the application (107 no hardware,
// 108 offline, 111 failure, 112 timeout) and what failed and why.
class DeviceFailure : public std::runtime_error {
public:
    DeviceFailure(std::int32_t code, const std::string& reason) : std::runtime_error(reason), code_(code) {}
    std::int32_t code() const { return code_; }

private:
    std::int32_t code_;
};

class ServiceObject {
public:
    virtual ~ServiceObject() = default;

    // Takes the device for this process when the application claims it,
    // waiting at most the timeout (negative: forever); throws DeviceFailure
    // when it cannot. Devices without anything to take succeed at once.
    virtual void claim(std::chrono::milliseconds timeout) { (void)timeout; }
    // Gives the device up (ReleaseDevice, Close); never fails.
    virtual void release() {}

    // The device's capabilities; fixed for the service object's life.
    virtual const model::DeviceProfile& profile() const = 0;

    // Makes the device ready for output when the application enables it
    // (again after a failure: it then shows shown() afresh): 0, or 107 (no
    // hardware) / 108 (offline) / 111 (failure), or throws DeviceFailure.
    virtual std::int32_t enable() = 0;
    // Stops output when the application disables it.
    virtual void disable() = 0;
    // Whether the device answers now (for PowerState while reporting power).
    virtual bool online() const = 0;

    // The text as the device lays it out when the application writes
    // Unicode (CharacterSet 997, for devices that list it): each character
    // it can show kept, the others replaced by what it shows instead, which
    // may take more cells ("ss" for "ß"). The control object writes that
    // into its own picture, so both agree on every cell and cursor.
    virtual std::u32string layOutUnicode(std::u32string_view text) { return std::u32string(text); }

    // Carries out one display change; on a DeviceFailure nothing of it
    // counts as shown.
    virtual void apply(const model::DisplayOp& operation) = 0;
    // Makes the device show exactly this model (used when pending slow output
    // is discarded, so that the device and the application agree again).
    virtual void replaceWith(const model::DisplayModel& model) = 0;
    // What the device shows now.
    virtual model::DisplayModel shown() const = 0;

    // Runs a health check at level 1 (internal), 2 (external) or 3
    // (interactive); the result and the text for CheckHealthText. A check may
    // change the display only if it restores it before returning.
    virtual HealthReport checkHealth(std::int32_t level) = 0;
};

}  // namespace device
