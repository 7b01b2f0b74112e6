// Test double at the dispatch seam: a Line Display control that records every
// invocation (dispatch ID, way of invoking, arguments with their types) and
// answers from a scripted property bag. Writes are stored so that a read
// after a write sees the new value, unless writes are set to be refused.
#pragma once

#include "display/Dispatch.h"
#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/Variant.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

class RecordingControl : public display::Dispatch {
public:
    // What the next reads of an operation return (a property's value, or a
    // method's result); unscripted operations return integer 0.
    void answer(std::string_view operation, display::Variant value) {
        values_[display::operationNamed(operation).id] = std::move(value);
    }
    // Invoking the operation throws a DispatchError, as a control that fails
    // the call would.
    void failOn(std::string_view operation) { failing_.insert(display::operationNamed(operation).id); }
    // Property writes are recorded but leave the stored value unchanged.
    void refuseWrites(bool refuse = true) { refuseWrites_ = refuse; }

    // One line per invocation, e.g. `read Open#37("TQN730")`,
    // `write DeviceEnabled#17(bool -1)` or `call Close#35()`.
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

    display::Variant invoke(
        display::DispId id, unsigned flags, std::span<const display::Variant> args) override {
        const display::Operation* op = display::findOperation(id);
        std::string line = flags == display::invokePropertyPut ? "write "
                           : flags == display::invokeMethod    ? "call "
                                                               : "read ";
        line += (op ? std::string(op->name) : std::string("?")) + "#" + std::to_string(id) + "(";
        for (std::size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + describe(args[i]);
        log_.push_back(line + ")");

        if (failing_.count(id) != 0) {
            throw display::DispatchError(display::FailureKind::ControlFault, "the control failed the call");
        }
        if (flags == display::invokePropertyPut) {
            if (!refuseWrites_ && args.size() == 1) values_[id] = args[0];
            return {};
        }
        const auto it = values_.find(id);
        return it != values_.end() ? it->second : display::Variant::fromInt32(0);
    }

    // A compact typed rendering of an argument: 5, bool -1, "text".
    static std::string describe(const display::Variant& v) {
        switch (v.type()) {
        case display::VariantType::Int32: return std::to_string(v.int32());
        case display::VariantType::Boolean: return "bool " + std::to_string(v.rawBool());
        case display::VariantType::String: {
            std::string s = "\"";
            for (const char16_t c : v.string()) s += c < 0x80 ? static_cast<char>(c) : '?';
            return s + "\"";
        }
        case display::VariantType::Empty: break;
        }
        return "empty";
    }

private:
    std::map<display::DispId, display::Variant> values_;
    std::set<display::DispId> failing_;
    bool refuseWrites_ = false;
    std::vector<std::string> log_;
};

}  // namespace testsupport
