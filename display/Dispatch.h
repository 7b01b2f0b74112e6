// The late-bound dispatch interface that every Line Display control object
// implements: one entry point, invoke, that takes a dispatch ID, the way of
// invoking (method, property get, property put) and the arguments as
// variants, and returns a variant.
//
// Implementations report a call that fails as a call by throwing
// DispatchError; an OPOS error is a normal returned result code. An
// implementation is called from one thread at a time.
#pragma once

#include "display/Variant.h"

#include <cstdint>
#include <span>

namespace display {

using DispId = std::int32_t;

// Ways of invoking, as flags: a read of a value may be answered by a method
// or a property get, as a late-bound caller cannot tell them apart.
enum InvokeFlags : unsigned {
    invokeMethod = 1,
    invokePropertyGet = 2,
    invokePropertyPut = 4,
};

class Dispatch {
public:
    virtual ~Dispatch() = default;
    // Invokes one operation; throws DispatchError when it fails as a call.
    virtual Variant invoke(DispId id, unsigned flags, std::span<const Variant> args) = 0;
};

}  // namespace display
