// The stand-in COM server: an in-process COM DLL (device_com.dll) that
// exposes the built-in Line Display control object through IDispatch, with
// the operations and dispatch IDs of display::operations, under the real
// ProgID. It lets the COM path be tested, and developers work, on a machine
// without an installed control. The console never registers it: a developer
// or a test does, with `regsvr32 device_com.dll` (machine-wide).
//
// Failures of a call map onto the HRESULTs an automation control gives:
// unknown member DISP_E_MEMBERNOTFOUND, wrong argument count
// DISP_E_BADPARAMCOUNT, wrong type DISP_E_TYPEMISMATCH, overflow
// DISP_E_OVERFLOW, anything else DISP_E_EXCEPTION with EXCEPINFO.
//
// Threading: registered apartment-threaded, so COM calls an object from the
// thread that created it only.
#pragma once

#include "device/LineDisplayControl.h"

#include <windows.h>
#include <oleauto.h>

#include <atomic>

namespace device::com {

// {4FBA64AF-AAA3-4524-AE16-5FB09DAB59D8}
inline constexpr CLSID standInClsid = {
    0x4fba64af, 0xaaa3, 0x4524, {0xae, 0x16, 0x5f, 0xb0, 0x9d, 0xab, 0x59, 0xd8}};

// Objects and locks alive in this module; DllCanUnloadNow reads it.
inline std::atomic<long> moduleReferences{0};

class StandInControl final : public IDispatch {
public:
    StandInControl();
    ~StandInControl();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

private:
    std::atomic<ULONG> references_{1};
    LineDisplayControl control_;
};

}  // namespace device::com
