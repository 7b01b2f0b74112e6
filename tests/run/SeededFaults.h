// Seeded faults of the built-in control object, for the test that proves
// the conformance pack catches each: a wrong code for a state, a missing
// range check, a write that changes a value although it fails, a ResultCode
// not stored, and so on, one row each. The seam in LineDisplayControl::invoke
// (compiled in only with LDT_SEEDED_FAULTS) asks before() for an answer in
// place of the rules' and lets after() change the rules' answer; both act
// only while their fault is the active one.
//
// One fault is active at a time, process-wide; set it before any control is
// made and only from the test's thread.
#pragma once

#include "device/LineDisplayControl.h"

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace device {

class SeededFaults {
public:
    struct Fault {
        std::string_view name;
        std::string_view what;    // the fault, in words
        std::string_view device;  // a device of the run target on which the pack can see it
    };

    // Every seeded fault.
    static std::vector<Fault> all();
    // Makes a fault active by name; an empty name switches faults off.
    static void activate(std::string_view name);

    static std::optional<display::Variant> before(LineDisplayControl& c, const display::Operation& op,
        unsigned flags, std::span<const display::Variant> args);
    static void after(LineDisplayControl& c, const display::Operation& op, unsigned flags,
        std::span<const display::Variant> args, display::Variant& result, std::int32_t codeBefore);

private:
    struct Row;
    static const std::vector<Row>& rows();
    // Only calls with the operation's own argument count and types reach a fault.
    static bool wellFormed(
        const display::Operation& op, unsigned flags, std::span<const display::Variant> args);
};

}  // namespace device
