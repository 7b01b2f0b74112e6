// OPOSLineDisplay: the console's handle on one Line Display control object.
//
// It owns the control (created from its ProgID through ControlFactory) and
// offers the three forms in which the console invokes an operation by
// dispatch ID: read (property get or method whose result is used), write
// (property put of one value) and call (method whose result is discarded).
// Failures of the call itself come back as DispatchError. Not thread-safe:
// the window's one thread uses it.
#pragma once

#include "display/Dispatch.h"
#include "display/Variant.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace display {

// The ProgID under which the console creates its Line Display control.
inline constexpr std::string_view lineDisplayProgId = "OposLineDisplay_1_7_LibCtl.OPOSLineDisplay";

// Creates control objects from ProgIDs. Start-up registers the
// implementations; the window asks for its control by ProgID only, so
// another implementation of the same operations can take the place of the
// built-in one.
class ControlFactory {
public:
    using Creator = std::function<std::unique_ptr<Dispatch>()>;

    void registerProgId(std::string progId, Creator creator);
    // Creates the control; throws DispatchError (ControlUnavailable) when the
    // ProgID is unknown or its creator fails.
    std::unique_ptr<Dispatch> create(std::string_view progId) const;

private:
    std::map<std::string, Creator, std::less<>> creators_;
};

class OPOSLineDisplay {
public:
    explicit OPOSLineDisplay(std::unique_ptr<Dispatch> control);

    // Property get or method call; returns what the control returns.
    Variant read(DispId id, std::initializer_list<Variant> args = {});
    // Property put of one value.
    void write(DispId id, Variant value);
    // Method call whose result is discarded.
    void call(DispId id, std::initializer_list<Variant> args = {});

    Dispatch& control() { return *control_; }

private:
    std::unique_ptr<Dispatch> control_;
};

}  // namespace display
