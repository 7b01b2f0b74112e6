// The simulated display: a service object whose device is a DisplayModel in
// memory. It is always present and online, shows exactly what it is told,
// and serves as the reference the serial displays are compared against.
//
// Health checks: internal checks the model's consistency with the profile;
// external writes a test pattern over the whole device and restores what was
// shown; interactive is not supported (no operator can be asked), 106.
// Threading: as ServiceObject.
#pragma once

#include "device/ServiceObject.h"

namespace device {

class SimulatedDisplay : public ServiceObject {
public:
    // A blank display of the profile's size at full brightness.
    explicit SimulatedDisplay(const model::DeviceProfile& profile);

    const model::DeviceProfile& profile() const override { return profile_; }
    std::int32_t enable() override;
    void disable() override;
    bool online() const override { return true; }
    void apply(const model::DisplayOp& operation) override;
    void replaceWith(const model::DisplayModel& model) override;
    model::DisplayModel shown() const override { return model_; }
    HealthReport checkHealth(std::int32_t level) override;

    // How many times the external check's test pattern has been written (to
    // let tests see that the check did touch the display).
    int testPatternsShown() const { return testPatterns_; }

private:
    model::DeviceProfile profile_;
    model::DisplayModel model_;
    bool enabled_ = false;
    int testPatterns_ = 0;
};

}  // namespace device
