#include "run/ComTarget.h"

#include "model/Profiles.h"

namespace run {

ComTarget::ComTarget() { display::com::registerComControl(factory_); }

std::unique_ptr<display::Dispatch> ComTarget::createControl() {
    return factory_.create(display::lineDisplayProgId);
}

std::vector<std::string> ComTarget::allDevices() const {
    std::vector<std::string> names;
    for (const model::DeviceProfile& profile : model::profiles) names.emplace_back(profile.name);
    return names;
}

}  // namespace run
