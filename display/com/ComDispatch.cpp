#include "display/com/ComDispatch.h"

#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/com/ComVariant.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

namespace display::com {
namespace {

// "DisplayText (84)", or "dispatch ID 999" for one the table does not know.
std::string memberName(DispId id) {
    const Operation* op = findOperation(id);
    return op ? std::string(op->name) + " (" + std::to_string(id) + ")" : "dispatch ID " + std::to_string(id);
}

std::string exceptionText(EXCEPINFO& info) {
    // A control may defer filling in the details until asked.
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string text;
    if (info.bstrSource && *info.bstrSource) text = utf8Of(info.bstrSource) + ": ";
    if (info.bstrDescription && *info.bstrDescription)
        text += utf8Of(info.bstrDescription);
    else if (info.scode)
        text += describeHresult(info.scode);
    else
        text += "error code " + std::to_string(info.wCode);
    return text;
}

// Turns a failed Invoke into the dispatch layer's one failure kind.
[[noreturn]] void throwFailure(HRESULT hr, DispId id, EXCEPINFO& info, UINT argError, std::size_t argCount) {
    const std::string member = memberName(id);
    // Invoke numbers arguments from the last; the user counts from the first.
    const std::string position =
        argError < argCount ? " (argument " + std::to_string(argCount - argError) + ")" : std::string();
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        throw DispatchError(FailureKind::UnknownMember,
            "the control has no member " + member + " in that form (" + describeHresult(hr) + ")");
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
        throw DispatchError(FailureKind::BadArgumentCount, member + " does not take " +
                                                               std::to_string(argCount) + " argument(s) (" +
                                                               describeHresult(hr) + ")");
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADVARTYPE:
        throw DispatchError(FailureKind::TypeMismatch,
            member + " refused an argument of the wrong type" + position + " (" + describeHresult(hr) + ")");
    case DISP_E_OVERFLOW:
        throw DispatchError(FailureKind::Overflow,
            member + ": a value does not fit" + position + " (" + describeHresult(hr) + ")");
    case DISP_E_EXCEPTION: {
        const std::string text = exceptionText(info);
        throw DispatchError(FailureKind::ControlFault, member + " failed inside the control: " + text);
    }
    default: break;
    }
    throw DispatchError(FailureKind::ControlFault, member + " failed: " + describeHresult(hr));
}

// EXCEPINFO's strings, freed whatever happens.
struct ExcepInfoScope {
    EXCEPINFO info{};
    ~ExcepInfoScope() {
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
    }
};

// The arguments as VARIANTs in Invoke's order (last first), freed on exit.
struct ArgumentScope {
    explicit ArgumentScope(std::span<const Variant> args) : values(args.size()) {
        for (auto& v : values) ::VariantInit(&v);
        for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], values[args.size() - 1 - i]);
    }
    ~ArgumentScope() {
        for (auto& v : values) ::VariantClear(&v);
    }
    std::vector<VARIANT> values;
};

}  // namespace

ApartmentScope::ApartmentScope() {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        throw DispatchError(FailureKind::ControlUnavailable,
            "COM could not be initialised on the window's thread: " + describeHresult(hr));
    initialised_ = true;  // S_FALSE too: each success is paired with one uninitialise
}

ApartmentScope::~ApartmentScope() {
    if (initialised_) ::CoUninitialize();
}

ComDispatch::ComDispatch(IDispatch* object) : object_(object) {
    if (!object_) throw DispatchError(FailureKind::ControlUnavailable, "no COM object");
}

ComDispatch::~ComDispatch() { object_->Release(); }

std::unique_ptr<ComDispatch> ComDispatch::create(std::string_view progId) {
    const std::wstring name = wide(progId);
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr))
        throw DispatchError(FailureKind::ControlUnavailable,
            "no control is registered under this ProgID on this machine (" + describeHresult(hr) +
                "); install the Line Display control and its service object");
    IDispatch* object = nullptr;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
        reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        std::string why = describeHresult(hr);
        if (hr == REGDB_E_CLASSNOTREG)
            why += "; a 64-bit console cannot load a 32-bit control: use the 32-bit TQN730Test.exe";
        throw DispatchError(
            FailureKind::ControlUnavailable, "it is registered but could not be created: " + why);
    }
    return std::make_unique<ComDispatch>(object);
}

Variant ComDispatch::invoke(DispId id, unsigned flags, std::span<const Variant> args) {
    WORD comFlags = 0;
    if (flags & invokeMethod) comFlags |= DISPATCH_METHOD;
    if (flags & invokePropertyGet) comFlags |= DISPATCH_PROPERTYGET;
    if (flags & invokePropertyPut) comFlags |= DISPATCH_PROPERTYPUT;

    ArgumentScope arguments(args);
    DISPPARAMS params{};
    params.rgvarg = arguments.values.empty() ? nullptr : arguments.values.data();
    params.cArgs = static_cast<UINT>(arguments.values.size());
    // A property put passes its value as the one named argument DISPID_PROPERTYPUT.
    DISPID putId = DISPID_PROPERTYPUT;
    if (flags & invokePropertyPut) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    OwnedVariant result;
    ExcepInfoScope exception;
    UINT argError = static_cast<UINT>(-1);
    const HRESULT hr = object_->Invoke(static_cast<DISPID>(id), IID_NULL, LOCALE_USER_DEFAULT, comFlags,
        &params, (flags & invokePropertyPut) ? nullptr : result.get(), &exception.info, &argError);
    if (FAILED(hr)) throwFailure(hr, id, exception.info, argError, args.size());
    return fromVariant(*result);
}

void registerComControl(ControlFactory& factory) {
    factory.registerProgId(std::string(lineDisplayProgId),
        [] { return std::unique_ptr<Dispatch>(ComDispatch::create(lineDisplayProgId)); });
}

}  // namespace display::com
