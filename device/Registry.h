// The device registry: which device names the built-in control object can
// open, and the service object that serves each.
//
// The built-in registry knows the simulated displays of the profile table;
// start-up adds the devices of the device configuration on top of it. A
// registry is filled at start-up and only read afterwards, so it may be
// shared between threads once filled.
#pragma once

#include "device/ServiceObject.h"
#include "device/Trace.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace device {

class DeviceRegistry {
public:
    // Creates the service object for one Open; may return nullptr when the
    // service cannot be created (Open then gives 104).
    using Factory = std::function<std::unique_ptr<ServiceObject>()>;

    // Adds or replaces the service for a device name, with the trace its
    // calls go to (none: not traced) or why its configured trace is off.
    void add(std::string name, Factory factory, std::shared_ptr<Trace> trace = nullptr,
        std::string traceProblem = {});
    // Serves every name that has no service of its own (none: such a name
    // does not exist).
    void addFallback(Factory factory);
    // The factory for a device name (or the fallback), or nullptr when the
    // name is not configured.
    const Factory* find(std::string_view name) const;
    // The trace of a device name, or nullptr when it has none.
    std::shared_ptr<Trace> traceOf(std::string_view name) const;
    // Why the configured trace of a device name is off; empty when it is not.
    std::string traceProblemOf(std::string_view name) const;
    // Copies every device of another registry into this one, replacing those
    // of the same name.
    void addAll(const DeviceRegistry& other);

    // A registry with a simulated display for every profile of the table.
    static std::shared_ptr<const DeviceRegistry> builtIn();

private:
    struct Entry {
        Factory factory;
        std::shared_ptr<Trace> trace;
        std::string traceProblem;
    };
    std::map<std::string, Entry, std::less<>> entries_;
    std::optional<Factory> fallback_;
};

}  // namespace device
