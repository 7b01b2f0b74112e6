// The built-in control object as start-up creates it: registered with a
// control factory under its ProgID and created from it, so that tests reach
// it by the same road as the console.
#pragma once

#include "device/LineDisplayControl.h"
#include "display/OPOSLineDisplay.h"

#include <memory>

namespace testsupport {

// A control instance of the built-in control object serving `registry`,
// created through the factory by ProgID as start-up creates it.
inline std::unique_ptr<display::Dispatch> builtInControl(
    const std::shared_ptr<const device::DeviceRegistry>& registry = device::DeviceRegistry::builtIn()) {
    display::ControlFactory factory;
    device::registerBuiltInControl(factory, registry);
    return factory.create(display::lineDisplayProgId);
}

}  // namespace testsupport
