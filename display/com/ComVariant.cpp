#include "display/com/ComVariant.h"

#include "display/DispatchError.h"
#include "model/Utf.h"

#include <array>
#include <cstdio>
#include <cwchar>
#include <utility>

namespace display::com {

void toVariant(const Variant& value, VARIANT& out) {
    switch (value.type()) {
    case VariantType::Int32:
        out.vt = VT_I4;
        out.lVal = value.int32();
        break;
    case VariantType::Boolean:
        // The raw 16 bits, so an unusual true travels as it is.
        out.vt = VT_BOOL;
        out.boolVal = static_cast<VARIANT_BOOL>(value.rawBool());
        break;
    case VariantType::String: {
        const std::u16string& text = value.string();
        BSTR s = ::SysAllocStringLen(
            reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
        if (!s) throw DispatchError(FailureKind::ControlFault, "out of memory for a string argument");
        out.vt = VT_BSTR;
        out.bstrVal = s;
        break;
    }
    case VariantType::Empty: out.vt = VT_EMPTY; break;
    }
}

Variant fromVariant(const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY: return Variant();
    case VT_I4: return Variant::fromInt32(value.lVal);
    case VT_INT: return Variant::fromInt32(value.intVal);
    case VT_I2: return Variant::fromInt32(value.iVal);
    case VT_UI2: return Variant::fromInt32(value.uiVal);
    case VT_I1: return Variant::fromInt32(value.cVal);
    case VT_UI1: return Variant::fromInt32(value.bVal);
    case VT_BOOL: return Variant::fromRawBool(value.boolVal);
    case VT_BSTR: {
        // A null BSTR is the empty string.
        const UINT length = value.bstrVal ? ::SysStringLen(value.bstrVal) : 0;
        return Variant::fromString(std::u16string(reinterpret_cast<const char16_t*>(value.bstrVal), length));
    }
    default: break;
    }
    throw DispatchError(FailureKind::TypeMismatch, "the control returned a value of type " +
                                                       variantTypeName(value.vt) +
                                                       ", which is none of integer, boolean or string");
}

std::string variantTypeName(VARTYPE type) {
    static constexpr std::array<std::pair<VARTYPE, const char*>, 14> names{{
        {VT_EMPTY, "VT_EMPTY"},
        {VT_NULL, "VT_NULL"},
        {VT_I2, "VT_I2"},
        {VT_I4, "VT_I4"},
        {VT_R4, "VT_R4"},
        {VT_R8, "VT_R8"},
        {VT_CY, "VT_CY"},
        {VT_DATE, "VT_DATE"},
        {VT_BSTR, "VT_BSTR"},
        {VT_DISPATCH, "VT_DISPATCH"},
        {VT_ERROR, "VT_ERROR"},
        {VT_BOOL, "VT_BOOL"},
        {VT_VARIANT, "VT_VARIANT"},
        {VT_UNKNOWN, "VT_UNKNOWN"},
    }};
    std::string name = "VT_?";
    for (const auto& [vt, text] : names)
        if (vt == (type & VT_TYPEMASK)) name = text;
    if (type & VT_ARRAY) name += "|VT_ARRAY";
    if (type & VT_BYREF) name += "|VT_BYREF";
    return name + " (" + std::to_string(type) + ")";
}

// wchar_t is UTF-16 on Windows, so the one codec of the model serves both ways.
std::string utf8Of(const wchar_t* text, int length) {
    if (!text) return {};
    const std::size_t size = length < 0 ? std::wcslen(text) : static_cast<std::size_t>(length);
    return model::utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), size));
}

std::wstring wide(std::string_view utf8) {
    const std::u16string text = model::utf16(utf8);
    return std::wstring(text.begin(), text.end());
}

namespace {

// Words for the failures a user meets when creating or calling a control,
// for systems whose message tables lack them (Wine has none for COM's).
constexpr std::array<std::pair<HRESULT, const char*>, 10> knownFailures{{
    {CO_E_CLASSSTRING, "Invalid class string"},
    {REGDB_E_CLASSNOTREG, "Class not registered"},
    {CLASS_E_CLASSNOTAVAILABLE, "The DLL does not provide the class"},
    {CO_E_NOTINITIALIZED, "COM has not been initialised"},
    {CO_E_SERVER_EXEC_FAILURE, "The server could not be started"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_OUTOFMEMORY, "Out of memory"},
    {E_ACCESSDENIED, "Access denied"},
    {RPC_E_DISCONNECTED, "The object has disconnected from its clients"},
    {E_FAIL, "Unspecified error"},
}};

}  // namespace

std::string describeHresult(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::string text = length ? utf8Of(buffer, static_cast<int>(length)) : std::string();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        for (const auto& [code, words] : knownFailures)
            if (code == hr) text = words;
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(hr));
    return text.empty() ? std::string("error ") + number : text + " (" + number + ")";
}

}  // namespace display::com
