#include "display/Operations.h"

#include "display/DispatchError.h"

#include <algorithm>
#include <string>
#include <vector>

namespace display {

const Operation* findOperation(DispId id) {
    // Every dispatch call looks its operation up: the IDs are small numbers,
    // so a table indexed by ID, made once, answers in one step.
    static const auto byId = [] {
        DispId highest = 0;
        for (const auto& op : operations) highest = std::max(highest, op.id);
        std::vector<const Operation*> table(static_cast<std::size_t>(highest) + 1, nullptr);
        for (const auto& op : operations) table[static_cast<std::size_t>(op.id)] = &op;
        return table;
    }();
    return id >= 0 && static_cast<std::size_t>(id) < byId.size() ? byId[static_cast<std::size_t>(id)]
                                                                 : nullptr;
}

const Operation& operationNamed(std::string_view name) {
    for (const auto& op : operations) {
        if (op.name == name) return op;
    }
    throw DispatchError(FailureKind::UnknownMember, "no operation named " + std::string(name));
}

}  // namespace display
