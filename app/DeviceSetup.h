// The devices the console can open: the built-in simulated displays, then
// every device of the device configuration on top of them (a simulated
// display with another name or profile, or a serial display). An entry with
// a problem still registers its name; opening it gives 104 and says why.
//
// Called once at start-up; the registry it returns is only read afterwards.
#pragma once

#include "device/DeviceConfig.h"
#include "device/Registry.h"
#include "serial/SerialDisplay.h"

#include <memory>
#include <string>
#include <vector>

namespace app {

struct DeviceSetup {
    std::shared_ptr<const device::DeviceRegistry> registry;
    std::vector<std::string> problems;  // to report at start-up, one message each
};

// The registry for a configuration; problems are the configuration's file
// and entry problems and any trace file that cannot be opened. Serial
// displays hand the bytes they send to `wireTap` too, when one is given.
DeviceSetup setUpDevices(const device::DeviceConfig& config, const serial::WireTap& wireTap = {});

// The registry for the configuration files of this user and machine.
DeviceSetup setUpDevicesFromEnvironment(const serial::WireTap& wireTap = {});

}  // namespace app
