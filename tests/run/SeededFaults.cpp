#include "SeededFaults.h"

#include "display/ResultCodes.h"

#include <string>

namespace device {

using display::Operation;
using model::DisplayModel;
namespace attribute = model::attribute;
namespace cursor = model::cursor;
using display::Variant;
using namespace display;  // result codes

struct SeededFaults::Row {
    Fault fault;
    std::optional<Variant> (*before)(
        LineDisplayControl&, const Operation&, unsigned, std::span<const Variant>) = nullptr;
    void (*after)(LineDisplayControl&, const Operation&, unsigned, std::span<const Variant>, Variant&,
        std::int32_t) = nullptr;
};

namespace {
std::string active;
}

// The rows are made inside a member so that the faults may reach the
// control's insides, as a fault in its own code would.
const std::vector<SeededFaults::Row>& SeededFaults::rows() {
    using C = LineDisplayControl;
    // Small helpers; static so that the fault lambdas below use them without capturing.
    static const auto put = [](unsigned flags) { return (flags & invokePropertyPut) != 0; };
    static const auto get = [](const Operation& op, unsigned flags) { return !op.isMethod && !put(flags); };
    static const auto is = [](const Operation& op, std::string_view name) { return op.name == name; };
    // Answers a call with a code, stored as the rules store it.
    static const auto answer = [](C& c, const Operation& op, std::int32_t code) -> std::optional<Variant> {
        c.resultCode_ = code;
        return op.isMethod ? Variant::fromInt32(code) : Variant();
    };
    static const auto open = [](C& c) { return c.session_ != nullptr; };
    static const auto held = [](C& c) { return c.session_ && c.session_->claim.held(); };
    static const auto usable = [](C& c) { return c.usable() == OPOS_SUCCESS; };

    static const std::vector<Row> table{
        {{"claim-while-closed", "ClaimDevice while closed gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "ClaimDevice") && !open(c)) return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"open-twice", "Open while open gives 0 and does nothing", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "Open") && open(c)) return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"release-unclaimed", "ReleaseDevice when not claimed gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "ReleaseDevice") && open(c) && !held(c)) return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"close-while-closed", "Close when not open gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "Close") && !open(c)) return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"enable-unclaimed-105", "DeviceEnabled = true when not claimed gives 105 instead of 103", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "DeviceEnabled") && put(flags) && open(c) && !c.session_->claim.heldElsewhere() &&
                    !held(c))
                    return answer(c, op, OPOS_E_DISABLED);
                return std::nullopt;
            }},
        {{"claimed-elsewhere-103", "a claim held by another instance gives 103 instead of 102", "TQN730"},
            nullptr,
            [](C& c, const Operation& op, unsigned, std::span<const Variant>, Variant& result, std::int32_t) {
                if (c.resultCode_ != OPOS_E_CLAIMED) return;
                c.resultCode_ = OPOS_E_NOTCLAIMED;
                if (op.isMethod) result = Variant::fromInt32(OPOS_E_NOTCLAIMED);
            }},
        {{"arguments-before-enabled", "a bad attribute gives 106 before the disabled device's 105", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "DisplayText") && held(c) && !c.session_->enabled && args.size() == 2 &&
                    args[1].type() == VariantType::Int32 && (args[1].int32() < 0 || args[1].int32() > 3))
                    return answer(c, op, OPOS_E_ILLEGAL);
                return std::nullopt;
            }},
        {{"row-unchecked", "DisplayTextAt takes Row = Rows as 0 and shows nothing", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "DisplayTextAt") && usable(c) && args[0].type() == VariantType::Int32 &&
                    args[0].int32() == c.session_->model.rows())
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"column-past-end-refused", "CursorColumn = Columns (just past the end) gives 106", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "CursorColumn") && put(flags) && usable(c) &&
                    args[0].int32() == c.session_->model.columns())
                    return answer(c, op, OPOS_E_ILLEGAL);
                return std::nullopt;
            }},
        {{"write-result-not-stored", "property writes leave ResultCode as it was", "TQN730"}, nullptr,
            [](C& c, const Operation&, unsigned flags, std::span<const Variant>, Variant&,
                std::int32_t before) {
                if (put(flags)) c.resultCode_ = before;
            }},
        {{"failure-not-stored", "a method that fails leaves ResultCode as it was", "TQN730"}, nullptr,
            [](C& c, const Operation& op, unsigned, std::span<const Variant>, Variant& result,
                std::int32_t before) {
                if (op.isMethod && result != Variant::fromInt32(OPOS_SUCCESS)) c.resultCode_ = before;
            }},
        {{"read-clears-result", "a property read sets ResultCode to 0", "TQN730"}, nullptr,
            [](C& c, const Operation& op, unsigned flags, std::span<const Variant>, Variant&, std::int32_t) {
                if (get(op, flags) && !is(op, "ResultCode")) c.resultCode_ = OPOS_SUCCESS;
            }},
        {{"failed-row-moves-cursor", "CursorRow out of range gives 106 but moves the cursor to the last row",
             "TQN730"},
            nullptr,
            [](C& c, const Operation& op, unsigned flags, std::span<const Variant>, Variant&, std::int32_t) {
                if (is(op, "CursorRow") && put(flags) && usable(c) && c.resultCode_ == OPOS_E_ILLEGAL)
                    c.session_->model.setCursor(
                        c.session_->model.rows() - 1, c.session_->model.cursorColumn());
            }},
        {{"timeout-unchecked", "ClaimDevice with a timeout below -1 tries once", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "ClaimDevice") && open(c) && args[0].type() == VariantType::Int32 &&
                    args[0].int32() < -1)
                    return answer(c, op, c.claimDevice(0));
                return std::nullopt;
            }},
        {{"release-stays-enabled", "ReleaseDevice gives the claim back without disabling", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (!is(op, "ReleaseDevice") || !held(c) || !c.session_->enabled) return std::nullopt;
                c.session_->claim.release();
                return answer(c, op, OPOS_SUCCESS);
            }},
        {{"state-while-closed", "State reads 2 while closed", "TQN730"}, nullptr,
            [](C& c, const Operation& op, unsigned flags, std::span<const Variant>, Variant& result,
                std::int32_t) {
                if (is(op, "State") && get(op, flags) && !open(c)) result = Variant::fromInt32(2);
            }},
        {{"stale-read-while-closed", "Columns reads 20 while closed", "TQN730"}, nullptr,
            [](C& c, const Operation& op, unsigned flags, std::span<const Variant>, Variant& result,
                std::int32_t) {
                if (is(op, "Columns") && get(op, flags) && !open(c)) result = Variant::fromInt32(20);
            }},
        {{"health-level-0", "CheckHealth 0 runs the internal check", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "CheckHealth") && usable(c) && args[0].type() == VariantType::Int32 &&
                    args[0].int32() == 0)
                    return answer(c, op, c.checkHealth(1));
                return std::nullopt;
            }},
        {{"health-disabled-106", "CheckHealth of a disabled device gives 106 instead of 105", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "CheckHealth") && held(c) && !c.session_->enabled)
                    return answer(c, op, OPOS_E_ILLEGAL);
                return std::nullopt;
            }},
        {{"power-notify-while-enabled", "PowerNotify can be written while enabled", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (!is(op, "PowerNotify") || !put(flags) || !open(c) || !c.session_->enabled)
                    return std::nullopt;
                c.session_->powerNotify = args[0].int32();
                return answer(c, op, OPOS_SUCCESS);
            }},
        {{"binary-conversion-3", "BinaryConversion = 3 is taken", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (!is(op, "BinaryConversion") || !put(flags) || !open(c) || args[0].int32() != 3)
                    return std::nullopt;
                c.session_->binaryConversion = 3;
                return answer(c, op, OPOS_SUCCESS);
            }},
        {{"cursor-type-uncovered", "CursorType = 3 (half block) is taken though CapCursorType lacks it",
             "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (!is(op, "CursorType") || !put(flags) || !usable(c) ||
                    args[0].int32() != cursor::halfBlock)
                    return std::nullopt;
                c.session_->model.setCursorType(cursor::halfBlock);
                return answer(c, op, OPOS_SUCCESS);
            }},
        {{"attribute-4", "DisplayText takes attribute 4 as normal", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "DisplayText") && usable(c) && args[1].type() == VariantType::Int32 &&
                    args[1].int32() == 4)
                    return answer(c, op, c.displayText(args[0].string(), attribute::normal));
                return std::nullopt;
            }},
        {{"destroy-window-0", "DestroyWindow on window 0 gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "DestroyWindow") && usable(c) && c.session_->model.currentWindow() == 0)
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"window-outside", "CreateWindow with its viewport below the device gives 0 and makes nothing",
             "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "CreateWindow") && usable(c) && args[0].type() == VariantType::Int32 &&
                    args[0].int32() >= c.session_->model.deviceRows())
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"current-window-unchecked", "CurrentWindow of a window that does not exist gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "CurrentWindow") && put(flags) && usable(c) &&
                    !c.session_->model.hasWindow(args[0].int32()))
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"charset-unlisted", "CharacterSet 0 (not listed) gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "CharacterSet") && put(flags) && usable(c) && args[0].int32() == 0)
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"negative-wait", "InterCharacterWait = -1 gives 0", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (is(op, "InterCharacterWait") && put(flags) && usable(c) && args[0].int32() < 0)
                    return answer(c, op, OPOS_SUCCESS);
                return std::nullopt;
            }},
        {{"clear-keeps-cursor", "ClearText blanks the window but leaves the cursor", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant>) -> std::optional<Variant> {
                if (!is(op, "ClearText") || !usable(c)) return std::nullopt;
                DisplayModel& m = c.session_->model;
                const std::int32_t row = m.cursorRow(), column = m.cursorColumn();
                const std::int32_t code = c.clearText();
                m.setCursor(row, column);
                return answer(c, op, code);
            }},
        {{"cursor-update-ignored", "DisplayText moves the cursor though CursorUpdate is false", "TQN730"},
            [](C& c, const Operation& op, unsigned, std::span<const Variant> args) -> std::optional<Variant> {
                if (!is(op, "DisplayText") || !usable(c) || c.currentSettings().cursorUpdate)
                    return std::nullopt;
                c.currentSettings().cursorUpdate = true;
                const std::int32_t code = c.displayText(args[0].string(), args[1].int32());
                c.currentSettings().cursorUpdate = false;
                return answer(c, op, code);
            }},
        {{"last-cell-wraps", "writing the last cell of a row puts the cursor on the next row at once",
             "TQN730"},
            nullptr,
            [](C& c, const Operation& op, unsigned, std::span<const Variant>, Variant& result, std::int32_t) {
                if (!is(op, "DisplayText") || result != Variant::fromInt32(OPOS_SUCCESS)) return;
                DisplayModel& m = c.session_->model;
                if (m.cursorColumn() == m.columns() && m.cursorRow() + 1 < m.rows())
                    m.setCursor(m.cursorRow() + 1, 0);
            }},
        {{"freeze-needs-claim", "FreezeEvents needs the device claimed (103)", "TQN730"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant>) -> std::optional<Variant> {
                if (is(op, "FreezeEvents") && put(flags) && open(c) && !held(c))
                    return answer(c, op, OPOS_E_NOTCLAIMED);
                return std::nullopt;
            }},
        {{"absent-enables", "DeviceEnabled = true on an offline device gives 0 without the device",
             "virtual:DM-D"},
            [](C& c, const Operation& op, unsigned flags,
                std::span<const Variant> args) -> std::optional<Variant> {
                if (!is(op, "DeviceEnabled") || !put(flags) || !held(c) || !c.session_->offline ||
                    args[0].rawBool() == 0)
                    return std::nullopt;
                c.session_->offline = false;
                return answer(c, op, OPOS_SUCCESS);
            }},
        {{"offline-forgotten", "after the device went away, reads of its state say it is disabled",
             "virtual:DM-D"},
            nullptr,
            [](C& c, const Operation& op, unsigned flags, std::span<const Variant>, Variant& result,
                std::int32_t) {
                if (is(op, "DeviceEnabled") && get(op, flags) && open(c) && c.session_->offline)
                    result = Variant::fromBool(false);
            }},
    };
    return table;
}

std::vector<SeededFaults::Fault> SeededFaults::all() {
    std::vector<Fault> faults;
    for (const Row& row : rows()) faults.push_back(row.fault);
    return faults;
}

void SeededFaults::activate(std::string_view name) { active = std::string(name); }

bool SeededFaults::wellFormed(const Operation& op, unsigned flags, std::span<const Variant> args) {
    if (flags & invokePropertyPut) return args.size() == 1 && args[0].type() == op.valueType;
    const auto params = op.isMethod ? op.parameters() : std::span<const VariantType>();
    if (args.size() != params.size()) return false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].type() != params[i]) return false;
    }
    return true;
}

std::optional<Variant> SeededFaults::before(
    LineDisplayControl& c, const Operation& op, unsigned flags, std::span<const Variant> args) {
    if (active.empty() || !wellFormed(op, flags, args)) return std::nullopt;
    for (const Row& row : rows()) {
        if (row.fault.name == active && row.before != nullptr) return row.before(c, op, flags, args);
    }
    return std::nullopt;
}

void SeededFaults::after(LineDisplayControl& c, const Operation& op, unsigned flags,
    std::span<const Variant> args, Variant& result, std::int32_t codeBefore) {
    if (active.empty() || !wellFormed(op, flags, args)) return;
    for (const Row& row : rows()) {
        if (row.fault.name == active && row.after != nullptr)
            row.after(c, op, flags, args, result, codeBefore);
    }
}

}  // namespace device
