// The dispatch interface over COM: a Line Display control installed on a
// Windows machine, created from its ProgID and driven late-bound through its
// IDispatch by dispatch ID (IDispatch::Invoke), with VT_I4, VT_BOOL and
// VT_BSTR arguments.
//
// Every failed call comes back as the dispatch layer's DispatchError, its
// message naming the operation and what went wrong: unknown member, wrong
// argument count, type mismatch (with the argument's position), an overflow,
// or an exception the control raised (with its EXCEPINFO source and
// description). The ProgID creator registered with the ControlFactory fails
// as ControlUnavailable when the control is not installed.
//
// Threading: COM must be initialised apartment-threaded (ApartmentScope) on
// the thread that creates and uses the object; the window's thread.
#pragma once

#include "display/Dispatch.h"
#include "display/OPOSLineDisplay.h"

#include <string>
#include <string_view>

struct IDispatch;

namespace display::com {

// COM initialised as a single-threaded apartment for this thread's lifetime
// within the scope; throws DispatchError (ControlUnavailable) if it cannot be.
class ApartmentScope {
public:
    ApartmentScope();
    ~ApartmentScope();
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    bool initialised_ = false;
};

class ComDispatch final : public Dispatch {
public:
    // Takes over one reference to `object` (not null).
    explicit ComDispatch(IDispatch* object);
    ~ComDispatch() override;
    ComDispatch(const ComDispatch&) = delete;
    ComDispatch& operator=(const ComDispatch&) = delete;

    // Creates the object registered under the ProgID (in-process or local
    // server); throws DispatchError (ControlUnavailable) saying why not.
    static std::unique_ptr<ComDispatch> create(std::string_view progId);

    Variant invoke(DispId id, unsigned flags, std::span<const Variant> args) override;

private:
    IDispatch* object_;
};

// Registers the COM creator for display::lineDisplayProgId with the factory.
void registerComControl(ControlFactory& factory);

}  // namespace display::com
