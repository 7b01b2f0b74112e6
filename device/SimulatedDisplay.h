// The simulated display: a service object whose device is a DisplayModel in
// memory. It is always present and online, shows exactly what it is told,
// and serves as the reference the serial displays are compared against.
//
// Text in Unicode (CharacterSet 997) is laid out by the same rules as on
// a serial display: characters of the code pages the profile lists are
// shown, the rest transliterated or shown as "?", each replacement written
// to the trace.
//
// Health checks: internal checks the model's consistency with the profile;
// external writes a test pattern over the whole device and restores what was
// shown; interactive is not supported (no operator can be asked), 106.
// Threading: as ServiceObject.
#pragma once

#include "device/ServiceObject.h"
#include "device/Trace.h"
#include "lettering/Shaper.h"

#include <memory>
#include <string>

namespace device {

class SimulatedDisplay : public ServiceObject {
public:
    // A blank display of the profile's size at full brightness; replacements
    // of characters go to `trace` (may be null) under `deviceName`.
    explicit SimulatedDisplay(const model::DeviceProfile& profile, std::shared_ptr<Trace> trace = nullptr,
        std::string deviceName = {});

    const model::DeviceProfile& profile() const override { return profile_; }
    std::int32_t enable() override;
    void disable() override;
    bool online() const override { return true; }
    std::u32string layOutUnicode(std::u32string_view text) override;
    void apply(const model::DisplayOp& operation) override;
    void replaceWith(const model::DisplayModel& model) override;
    model::DisplayModel shown() const override { return model_; }
    HealthReport checkHealth(std::int32_t level) override;

    // How many times the external check's test pattern has been written (to
    // let tests see that the check did touch the display).
    int testPatternsShown() const { return testPatterns_; }

private:
    model::DeviceProfile profile_;
    std::shared_ptr<Trace> trace_;
    std::string deviceName_;
    lettering::Shaper shaper_;
    model::DisplayModel model_;
    bool enabled_ = false;
    int testPatterns_ = 0;
};

}  // namespace device
