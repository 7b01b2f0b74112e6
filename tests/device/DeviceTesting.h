// Shared helpers of the device tests: a control object driven by operation
// name through its dispatch interface, exactly as the console drives it, and
// device names of their own for each test so that claims (machine-wide)
// never collide between tests running in parallel.
#pragma once

#include "device/LineDisplayControl.h"
#include "device/Registry.h"
#include "device/SimulatedDisplay.h"
#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/ResultCodes.h"
#include "model/Utf.h"

#include <unistd.h>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace devicetest {

using display::Variant;

inline Variant I(std::int32_t v) { return Variant::fromInt32(v); }
inline Variant B(bool v) { return Variant::fromBool(v); }
inline Variant S(std::u16string v) { return Variant::fromString(std::move(v)); }

// A device name no other test (or test process) uses.
inline std::string uniqueDeviceName(std::string_view profile) {
    static std::atomic<int> counter{0};
    return std::string(profile) + ".test." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

// A registry serving one simulated display of a profile under a device name.
inline std::shared_ptr<device::DeviceRegistry> registryFor(
    const std::string& deviceName, std::string_view profile) {
    auto registry = std::make_shared<device::DeviceRegistry>();
    const auto found = model::findProfile(profile);
    registry->add(deviceName, [p = *found] { return std::make_unique<device::SimulatedDisplay>(p); });
    return registry;
}

// A control object with a display of the given profile under a fresh name.
class Driver {
public:
    explicit Driver(std::string_view profile = "TQN730")
        : name_(uniqueDeviceName(profile)), control_(registryFor(name_, profile)) {}
    Driver(std::string name, std::shared_ptr<const device::DeviceRegistry> registry)
        : name_(std::move(name)), control_(std::move(registry)) {}

    device::LineDisplayControl& control() { return control_; }
    const std::string& deviceName() const { return name_; }
    std::u16string deviceName16() const { return model::utf16(name_); }

    // A read (property get, or method whose result is used).
    Variant read(std::string_view op, std::initializer_list<Variant> args = {}) {
        return control_.invoke(display::operationNamed(op).id,
            display::invokeMethod | display::invokePropertyGet,
            std::span<const Variant>(args.begin(), args.size()));
    }
    // A method call's result code.
    std::int32_t call(std::string_view op, std::initializer_list<Variant> args = {}) {
        return read(op, args).int32();
    }
    std::int32_t readInt(std::string_view op) { return read(op).int32(); }
    bool readBool(std::string_view op) { return read(op).rawBool() != 0; }
    std::u16string readText(std::string_view op) { return read(op).string(); }
    // A property put; returns the ResultCode the write left.
    std::int32_t write(std::string_view op, Variant value) {
        control_.invoke(
            display::operationNamed(op).id, display::invokePropertyPut, std::span<const Variant>(&value, 1));
        return readInt("ResultCode");
    }

    std::int32_t open() { return call("Open", {S(deviceName16())}); }
    // Open, claim and enable; each step must succeed.
    bool openClaimEnable() {
        return open() == display::OPOS_SUCCESS && call("ClaimDevice", {I(1000)}) == display::OPOS_SUCCESS &&
               write("DeviceEnabled", B(true)) == display::OPOS_SUCCESS;
    }
    std::vector<std::u16string> shownRows() {
        control_.waitUntilIdle();
        return control_.shownRows();
    }

private:
    std::string name_;
    device::LineDisplayControl control_;
};

}  // namespace devicetest
