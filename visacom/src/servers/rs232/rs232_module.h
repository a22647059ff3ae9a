#pragma once
// The module of MrvRS232.dll: what the DLL's entry points do. Process attach sets up the module
// object and the process-wide texts of the error model; the rest serves COM's calls of the four
// exported functions and the server's own type library.
#include <windows.h>
#include <oaidl.h>

#include "servers/rs232/registry_script.h"

namespace mrv::rs232 {

// False when an allocation or the module's lock fails (the DLL then refuses to load).
bool process_attach(HINSTANCE instance) noexcept;
// `process_terminating`: the whole process ends (DllMain's reserved argument is non-null), so
// other DLLs may already be gone and nothing of theirs is released.
void process_detach(bool process_terminating) noexcept;

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
HRESULT can_unload_now() noexcept;
HRESULT register_server() noexcept;
HRESULT unregister_server() noexcept;

// Runs a registry script resource of this DLL with %MODULE% set to the DLL's full path.
HRESULT run_module_registry_script(UINT id, registry_action action) noexcept;

// The description of `guid` from the server's type library (resource TYPELIB 1 of this DLL),
// loaded on first use and kept for the life of the process. TYPE_E_LIBNOTREGISTERED when the
// embedded library is not (libid, major.minor).
HRESULT module_type_info(REFGUID libid, WORD major, WORD minor, REFGUID guid,
                         ITypeInfo** out) noexcept;

}  // namespace mrv::rs232
