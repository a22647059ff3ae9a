// GlobMgr.dll: carries the VISA COM type library (resource TYPELIB 1) and registers it, so that
// the VISA COM interfaces are marshaled through the type library marshaler and other type
// libraries can import them from "GlobMgr.dll".
#include <windows.h>
#include <oleauto.h>

#include "visacom.h"
#include "com/com_ptr.h"

namespace {

HMODULE g_module = nullptr;

constexpr WORD kLibMajor = 5;
constexpr WORD kLibMinor = 1;

HRESULT load_own_typelib(mrv::com_ptr<ITypeLib>& lib, wchar_t (&path)[MAX_PATH])
{
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
    return LoadTypeLibEx(path, REGKIND_NONE, lib.put());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    mrv::com_ptr<ITypeLib> lib;
    HRESULT hr = load_own_typelib(lib, path);
    if (FAILED(hr))
        return hr;
    return RegisterTypeLib(lib.get(), path, nullptr);
}

STDAPI DllUnregisterServer()
{
    return UnRegisterTypeLib(LIBID_VisaComLib, kLibMajor, kLibMinor, LANG_NEUTRAL, SYS_WIN64);
}

STDAPI DllCanUnloadNow()
{
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID, REFIID, void** out)
{
    if (out)
        *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}
