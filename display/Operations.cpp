#include "display/Operations.h"

#include "display/DispatchError.h"

#include <string>

namespace display {

const Operation* findOperation(DispId id) {
    for (const auto& op : operations) {
        if (op.id == id) return &op;
    }
    return nullptr;
}

const Operation& operationNamed(std::string_view name) {
    for (const auto& op : operations) {
        if (op.name == name) return op;
    }
    throw DispatchError(FailureKind::UnknownMember, "no operation named " + std::string(name));
}

}  // namespace display
