// The conformance pack is tested too: the built-in control is built here
// with its seeded-fault seam (SeededFaults.h), and with each fault switched
// on, at least one case of the pack must fail; with none, none may.
#include "SeededFaults.h"
#include "run/LocalTarget.h"
#include "run/Pack.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <sstream>

using namespace run;

namespace {

struct PackOutcome {
    int failed = 0;
    std::vector<std::string> failedCases;
};

PackOutcome runPackOn(const std::string& device) {
    static const Pack pack = parsePack(builtInPack());
    LocalTarget target;
    DeviceFacts facts(target, device);
    std::ostringstream out;
    Reporter reporter(out, nullptr, {.quiet = true});
    runPack(pack, target, facts, reporter);
    PackOutcome outcome{reporter.failed(), {}};
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("FAIL "))
            outcome.failedCases.push_back(line.substr(5, line.find(':', line.find(' ', 5)) - 5));
    }
    return outcome;
}

}  // namespace

TEST(SeededFaults, thePackCatchesEveryFaultAndPassesTheControlWithout) {
    const auto faults = device::SeededFaults::all();
    ASSERT_GE(faults.size(), 20u);
    std::set<std::string> devices;
    for (const auto& fault : faults) devices.insert(std::string(fault.device));

    device::SeededFaults::activate({});
    for (const std::string& device : devices)
        EXPECT_EQ(runPackOn(device).failed, 0) << device << " without a fault";

    for (const auto& fault : faults) {
        device::SeededFaults::activate(fault.name);
        const PackOutcome outcome = runPackOn(std::string(fault.device));
        EXPECT_GT(outcome.failed, 0) << "no case caught " << fault.name << ": " << fault.what;
        std::cout << fault.name << " (" << fault.what << "): caught by " << outcome.failed << " cases, first "
                  << (outcome.failedCases.empty() ? "none" : outcome.failedCases.front()) << "\n";
    }
    device::SeededFaults::activate({});
}
