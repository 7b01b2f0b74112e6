// The DLL's COM entry points: the class factory for StandInControl, and
// registration under the ProgID in HKEY_CLASSES_ROOT (machine-wide; run by
// regsvr32, never by the console).
#include "device/com/StandInControl.h"

#include "display/OPOSLineDisplay.h"
#include "display/com/ComVariant.h"

#include <olectl.h>

#include <new>
#include <string>

namespace device::com {
namespace {

HMODULE thisModule = nullptr;

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory for the module's life: no counting needed.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        StandInControl* control = nullptr;
        try {
            control = new StandInControl;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
        const HRESULT hr = control->QueryInterface(riid, object);
        control->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ++moduleReferences;
        else
            --moduleReferences;
        return S_OK;
    }
};

ClassFactory factory;

std::wstring clsidText() {
    wchar_t text[64];
    ::StringFromGUID2(standInClsid, text, 64);
    return text;
}

LSTATUS setValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return status;
}

}  // namespace
}  // namespace device::com

using namespace device::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, standInClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return moduleReferences.load() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(thisModule, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return SELFREG_E_CLASS;
    const std::wstring clsid = clsidText();
    const std::wstring progId = display::com::wide(display::lineDisplayProgId);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const LSTATUS failed =
        setValue(HKEY_CLASSES_ROOT, classKey, nullptr, L"LineDisplayTest stand-in Line Display control") ||
        setValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr, path) ||
        setValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
        setValue(HKEY_CLASSES_ROOT, classKey + L"\\ProgID", nullptr, progId) ||
        setValue(HKEY_CLASSES_ROOT, progId, nullptr, L"LineDisplayTest stand-in Line Display control") ||
        setValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, clsid);
    return failed ? SELFREG_E_CLASS : S_OK;
}

STDAPI DllUnregisterServer() {
    const std::wstring progId = display::com::wide(display::lineDisplayProgId);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str());
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, progId.c_str());
    return S_OK;
}
