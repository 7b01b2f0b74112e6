// The device registry: which device names the built-in control object can
// open, and the service object that serves each; plus the registration of
// the built-in control with the console's control factory.
//
// The built-in registry knows the simulated displays of the profile table;
// serial displays will be added here by name. A registry is filled at
// start-up and only read afterwards, so it may be shared between threads once
// filled.
#pragma once

#include "device/ServiceObject.h"
#include "display/OPOSLineDisplay.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace device {

class DeviceRegistry {
public:
    // Creates the service object for one Open; may return nullptr when the
    // service cannot be created (Open then gives 104).
    using Factory = std::function<std::unique_ptr<ServiceObject>()>;

    // Adds or replaces the service for a device name.
    void add(std::string name, Factory factory);
    // The factory for a device name, or nullptr when the name is not configured.
    const Factory* find(std::string_view name) const;

    // A registry with a simulated display for every profile of the table.
    static std::shared_ptr<const DeviceRegistry> builtIn();

private:
    std::map<std::string, Factory, std::less<>> factories_;
};

// Registers the built-in Line Display control under display::lineDisplayProgId,
// serving the devices of DeviceRegistry::builtIn().
void registerBuiltInControl(display::ControlFactory& factory);

}  // namespace device
