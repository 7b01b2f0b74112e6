// Dispatch benchmark: one property read through the variant layer (the
// wrapper, the dispatch ID, the variant result and its conversion) on the
// built-in control with an open simulated display, against a direct virtual
// call that returns the same number. Reported, without a target.
//
// Usage: dispatch_bench [samples]   (default 31)
#include "BenchStats.h"
#include "device/LineDisplayControl.h"
#include "display/Conversions.h"
#include "display/OPOSLineDisplay.h"
#include "display/Operations.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr int callsPerBatch = 200000;

struct Columns {
    virtual ~Columns() = default;
    virtual std::int32_t columns() const = 0;
};
struct FixedColumns final : Columns {
    std::int32_t columns() const override { return value; }
    std::int32_t value = 20;
};

template <typename F>
double nsPerCall(F&& call) {
    const auto start = bench::Clock::now();
    for (int i = 0; i < callsPerBatch; ++i) bench::keep(call());
    return std::chrono::duration<double, std::nano>(bench::Clock::now() - start).count() / callsPerBatch;
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    display::ControlFactory factory;
    device::registerBuiltInControl(factory);
    display::OPOSLineDisplay control(factory.create(display::lineDisplayProgId));
    const display::DispId columnsId = display::operationNamed("Columns").id;
    control.read(display::operationNamed("Open").id, {display::Variant::fromString(u"TQN730")});

    FixedColumns fixed;
    // Read through a volatile pointer on every call, so the optimiser can
    // neither see the object's type nor hoist the call out of the loop.
    const Columns* volatile direct = &fixed;
    const auto viaDispatch = [&] { return display::toInt32(control.read(columnsId)); };
    const auto viaVirtual = [&] { return direct->columns(); };
    if (viaDispatch() != viaVirtual()) {
        std::fprintf(stderr, "dispatch_bench: the two calls disagree\n");
        return 2;
    }

    std::vector<double> dispatchNs, virtualNs;
    for (int i = 0; i < samples; ++i) {
        dispatchNs.push_back(nsPerCall(viaDispatch));
        virtualNs.push_back(nsPerCall(viaVirtual));
    }
    control.call(display::operationNamed("Close").id);
    std::printf("one property read, median of %d batches of %d calls\n", samples, callsPerBatch);
    bench::printRatio("dispatch call vs virtual call", bench::median(dispatchNs), bench::median(virtualNs),
        "ns", "reported only");
    return 0;
}
