// The target on Windows: the Line Display control installed under the
// console's ProgID, created through COM as the console creates it, and seen
// only through its dispatch interface (no screens, no wire, no unplugging:
// expectations on those are skipped). COM is initialised apartment-threaded
// on the thread that makes the target, which must be the one that runs.
#pragma once

#include "display/OPOSLineDisplay.h"
#include "display/com/ComDispatch.h"
#include "run/Target.h"

namespace run {

class ComTarget final : public Target {
public:
    // Throws display::DispatchError (ControlUnavailable) when COM cannot be initialised.
    ComTarget();

    std::unique_ptr<display::Dispatch> createControl() override;
    // The devices of the built-in profiles, which the stand-in COM server serves.
    std::vector<std::string> allDevices() const override;

private:
    display::com::ApartmentScope apartment_;
    display::ControlFactory factory_;
};

}  // namespace run
