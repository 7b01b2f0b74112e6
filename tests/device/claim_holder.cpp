// A second process for the claim tests: opens a simulated display of the
// given profile under the given device name, claims it, says "claimed" on
// standard output and then waits to be killed.
//
// Usage: claim_holder <device name> <profile name>
#include "device/LineDisplayControl.h"
#include "device/SimulatedDisplay.h"
#include "display/Operations.h"
#include "model/Utf.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: claim_holder <device name> <profile name>\n");
        return 2;
    }
    const auto profile = model::findProfile(argv[2]);
    if (!profile) {
        std::fprintf(stderr, "claim_holder: no profile %s\n", argv[2]);
        return 2;
    }
    auto registry = std::make_shared<device::DeviceRegistry>();
    registry->add(argv[1], [p = *profile] { return std::make_unique<device::SimulatedDisplay>(p); });
    device::LineDisplayControl control(registry);
    const auto invoke = [&](display::DispId id, display::Variant arg) {
        return control.invoke(id, display::invokeMethod | display::invokePropertyGet, std::span(&arg, 1))
            .int32();
    };
    const int opened = invoke(display::dispIdOf("Open"), display::Variant::fromString(model::utf16(argv[1])));
    const int claimed = invoke(display::dispIdOf("ClaimDevice"), display::Variant::fromInt32(0));
    if (opened != 0 || claimed != 0) {
        std::printf("failed %d %d\n", opened, claimed);
        return 1;
    }
    std::printf("claimed\n");
    std::fflush(stdout);
    for (;;) ::pause();
}
