#include "display/DispatchError.h"

namespace display {

const char* failureKindName(FailureKind kind) {
    switch (kind) {
    case FailureKind::UnknownMember: return "unknown member";
    case FailureKind::BadArgumentCount: return "wrong argument count";
    case FailureKind::TypeMismatch: return "type mismatch";
    case FailureKind::NotConvertible: return "not convertible";
    case FailureKind::Overflow: return "overflow";
    case FailureKind::ControlUnavailable: return "control unavailable";
    case FailureKind::ControlFault: return "control fault";
    }
    return "unknown failure";
}

}  // namespace display
