// The one failure kind of the dispatch boundary.
//
// Everything that can go wrong between a click handler and the control
// object, short of an OPOS result code, is a DispatchError: a call that fails
// as a call (no such dispatch ID, wrong argument count or type, a fault inside
// the control), a returned value or typed text that does not convert, and a
// control that cannot be created. The message says what failed and why; the
// kind lets code and tests tell the cases apart.
#pragma once

#include <stdexcept>
#include <string>

namespace display {

enum class FailureKind {
    UnknownMember,       // no operation under that dispatch ID (or not in that form)
    BadArgumentCount,    // the operation takes another number of arguments
    TypeMismatch,        // an argument or value of the wrong automation type
    NotConvertible,      // a value or typed text that has no form of the wanted kind
    Overflow,            // a number outside the range of the wanted integer type
    ControlUnavailable,  // the control object cannot be created
    ControlFault,        // the control failed inside the call
};

// A readable name of the kind ("overflow", "type mismatch", ...).
const char* failureKindName(FailureKind kind);

class DispatchError : public std::runtime_error {
public:
    DispatchError(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    FailureKind kind() const { return kind_; }

private:
    FailureKind kind_;
};

}  // namespace display
