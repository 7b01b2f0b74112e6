// The target on Linux: the built-in Line Display control object, serving
// what the console serves (the simulated displays and the devices of the
// device configuration files, serial displays included), plus a serial
// display for each command set of the table, "virtual:<set>", on a virtual
// display this target serves itself on a private pseudo-terminal.
//
// It sees what the device layer says each display shows, and every byte a
// serial display sends. A "virtual:<set>" display can be taken off its line
// (its pseudo-terminal closed, so the next write fails as when a cable is
// pulled) and put back (a fresh pseudo-terminal under the same link, a
// display that has just been switched on).
//
// Threading: the runner's one thread calls it; each virtual display has a
// reader thread of its own.
#pragma once

#include "device/Registry.h"
#include "display/OPOSLineDisplay.h"
#include "run/Target.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace run {

class LocalTarget final : public Target {
public:
    // The name a virtual display's device has: "virtual:" and the command set's name.
    static constexpr std::string_view virtualPrefix = "virtual:";

    // Devices from the configuration files of this user and machine.
    LocalTarget();
    ~LocalTarget() override;
    LocalTarget(const LocalTarget&) = delete;
    LocalTarget& operator=(const LocalTarget&) = delete;

    // Problems of the device configuration, one message each.
    const std::vector<std::string>& problems() const { return problems_; }

    std::unique_ptr<display::Dispatch> createControl() override;
    std::optional<Screen> screen(display::Dispatch& control) override;
    bool canSeeScreens() const override { return true; }
    void settle(display::Dispatch& control) override;
    const WireLog* wire() const override { return &wire_; }
    bool canUnplug(std::string_view device) const override;
    void unplug(std::string_view device) override;
    void replug(std::string_view device) override;
    std::vector<std::string> allDevices() const override { return knownDevices(); }
    // The built-in simulated displays, and "virtual:<set>" for each command set of the table.
    static std::vector<std::string> knownDevices();

    // The rows a virtual display shows now, as it read them off its line
    // (after the bytes sent so far have arrived); empty for other devices.
    std::vector<std::string> virtualRows(std::string_view device);

private:
    class VirtualLine;
    VirtualLine* lineOf(std::string_view device) const;

    WireLog wire_;
    std::vector<std::string> problems_;
    std::filesystem::path folder_;  // private: the virtual displays' links
    std::map<std::string, std::unique_ptr<VirtualLine>, std::less<>> lines_;
    std::shared_ptr<device::DeviceRegistry> registry_;
    display::ControlFactory factory_;
};

}  // namespace run
