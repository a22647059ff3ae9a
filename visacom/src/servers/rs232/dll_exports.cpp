// The DLL's entry point and the four functions COM calls on an in-process server.
#include <windows.h>

#include "servers/rs232/rs232_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return mrv::rs232::process_attach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        mrv::rs232::process_detach(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return mrv::rs232::get_class_object(clsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return mrv::rs232::can_unload_now();
}

STDAPI DllRegisterServer()
{
    return mrv::rs232::register_server();
}

STDAPI DllUnregisterServer()
{
    return mrv::rs232::unregister_server();
}
