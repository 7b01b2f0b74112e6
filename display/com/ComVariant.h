// Conversions between the dispatch layer's Variant and COM's VARIANT, and
// the wording of a COM failure, shared by the COM client (ComDispatch) and
// the stand-in COM server.
//
// Only the automation types the console uses cross: VT_EMPTY, VT_I4, VT_BOOL
// and VT_BSTR. A returned VARIANT of a narrower integer type (VT_I1, VT_UI1,
// VT_I2, VT_UI2, VT_INT) is taken as VT_I4, as automation callers coerce it;
// anything else is a TypeMismatch. No threading of its own.
#pragma once

#include "display/Variant.h"

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace display::com {

// A VARIANT that clears itself; the caller's temporary for Invoke results.
class OwnedVariant {
public:
    OwnedVariant() { ::VariantInit(&value_); }
    ~OwnedVariant() { ::VariantClear(&value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }

private:
    VARIANT value_;
};

// Fills `out` (initialised, empty) with the value; a string becomes a newly
// allocated BSTR that `out` owns. Throws DispatchError (ControlFault) when
// the string cannot be allocated.
void toVariant(const Variant& value, VARIANT& out);

// The value of a VARIANT; throws DispatchError (TypeMismatch) for a type the
// console does not use, naming it.
Variant fromVariant(const VARIANT& value);

// A readable name for a VARIANT type ("VT_R8 (5)").
std::string variantTypeName(VARTYPE type);

// The system's text for an HRESULT with its number, e.g.
// "Invalid class string (0x800401F3)".
std::string describeHresult(HRESULT hr);

// UTF-8 of a UTF-16 string (zero-terminated when length is -1), for messages.
std::string utf8Of(const wchar_t* text, int length = -1);
// UTF-16 of UTF-8 text, for the wide Win32 and COM calls.
std::wstring wide(std::string_view utf8);

}  // namespace display::com
