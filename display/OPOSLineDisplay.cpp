#include "display/OPOSLineDisplay.h"

#include "display/DispatchError.h"

#include <vector>

namespace display {

void ControlFactory::registerProgId(std::string progId, Creator creator) {
    creators_[std::move(progId)] = std::move(creator);
}

std::unique_ptr<Dispatch> ControlFactory::create(std::string_view progId) const {
    const auto it = creators_.find(progId);
    if (it == creators_.end()) {
        throw DispatchError(FailureKind::ControlUnavailable,
            "no control object is registered under the ProgID " + std::string(progId));
    }
    std::unique_ptr<Dispatch> control;
    try {
        control = it->second();
    } catch (const std::exception& e) {
        throw DispatchError(FailureKind::ControlUnavailable,
            "the control object " + std::string(progId) + " could not be created: " + e.what());
    }
    if (!control) {
        throw DispatchError(FailureKind::ControlUnavailable,
            "the control object " + std::string(progId) + " could not be created");
    }
    return control;
}

OPOSLineDisplay::OPOSLineDisplay(std::unique_ptr<Dispatch> control) : control_(std::move(control)) {
    if (!control_) throw DispatchError(FailureKind::ControlUnavailable, "no Line Display control object");
}

Variant OPOSLineDisplay::read(DispId id, std::initializer_list<Variant> args) {
    // A late-bound read cannot know whether the member is a method or a
    // property, so it offers both, as automation callers do.
    return control_->invoke(
        id, invokeMethod | invokePropertyGet, std::span<const Variant>(args.begin(), args.size()));
}

void OPOSLineDisplay::write(DispId id, Variant value) {
    const Variant list[] = {std::move(value)};
    control_->invoke(id, invokePropertyPut, list);
}

void OPOSLineDisplay::call(DispId id, std::initializer_list<Variant> args) {
    const std::vector<Variant> list(args);
    control_->invoke(id, invokeMethod, list);
}

}  // namespace display
