#include "device/com/StandInControl.h"

#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/com/ComVariant.h"

#include <cwctype>
#include <exception>
#include <string>
#include <vector>

namespace device::com {
namespace {

constexpr const wchar_t* exceptionSource = L"LineDisplayTest stand-in control";

HRESULT raise(EXCEPINFO* exception, const std::string& message) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->bstrSource = ::SysAllocString(exceptionSource);
        std::wstring text(
            static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, message.c_str(), -1, nullptr, 0)),
            L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, message.c_str(), -1, text.data(), static_cast<int>(text.size()));
        exception->bstrDescription = ::SysAllocString(text.c_str());
        exception->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

// A by-reference argument (as some callers pass variables) read through.
const VARIANT& dereferenced(const VARIANT& v) {
    if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal) return *v.pvarVal;
    return v;
}

bool sameName(const wchar_t* wanted, std::string_view name) {
    std::size_t i = 0;
    for (; wanted[i] && i < name.size(); ++i)
        if (std::towlower(wanted[i]) != std::towlower(static_cast<unsigned char>(name[i]))) return false;
    return wanted[i] == 0 && i == name.size();
}

}  // namespace

StandInControl::StandInControl() { ++moduleReferences; }

StandInControl::~StandInControl() { --moduleReferences; }

HRESULT StandInControl::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG StandInControl::AddRef() { return ++references_; }

ULONG StandInControl::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT StandInControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;  // late-bound by dispatch ID only; no type library
    return S_OK;
}

HRESULT StandInControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT StandInControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    // Only the member name can be resolved: operations take no named arguments.
    HRESULT hr = count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    ids[0] = DISPID_UNKNOWN;
    for (const auto& op : display::operations)
        if (sameName(names[0], op.name)) ids[0] = op.id;
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT StandInControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
    EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    // A put names its value DISPID_PROPERTYPUT; other calls take no named arguments.
    if (put ? (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            : params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;

    unsigned ourFlags = 0;
    if (flags & DISPATCH_METHOD) ourFlags |= display::invokeMethod;
    if (flags & DISPATCH_PROPERTYGET) ourFlags |= display::invokePropertyGet;
    if (put) ourFlags |= display::invokePropertyPut;

    try {
        std::vector<display::Variant> args;
        args.reserve(params->cArgs);
        // Invoke lists the arguments last first.
        for (UINT i = params->cArgs; i-- > 0;) {
            try {
                args.push_back(display::com::fromVariant(dereferenced(params->rgvarg[i])));
            } catch (const display::DispatchError&) {
                if (argError) *argError = i;
                return DISP_E_TYPEMISMATCH;
            }
        }
        const display::Variant value = control_.invoke(id, ourFlags, args);
        if (result && !put) {
            ::VariantInit(result);
            display::com::toVariant(value, *result);
        }
        return S_OK;
    } catch (const display::DispatchError& e) {
        switch (e.kind()) {
        case display::FailureKind::UnknownMember: return DISP_E_MEMBERNOTFOUND;
        case display::FailureKind::BadArgumentCount: return DISP_E_BADPARAMCOUNT;
        case display::FailureKind::TypeMismatch: return DISP_E_TYPEMISMATCH;
        case display::FailureKind::Overflow: return DISP_E_OVERFLOW;
        default: return raise(exception, e.what());
        }
    } catch (const std::exception& e) {
        return raise(exception, e.what());
    } catch (...) {
        return raise(exception, "an error of unknown kind");
    }
}

}  // namespace device::com
