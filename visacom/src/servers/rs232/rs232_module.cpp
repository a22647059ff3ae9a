#include "servers/rs232/rs232_module.h"

#include <atomic>
#include <string>

#include "com/com_ptr.h"
#include "com/critical_section.h"
#include "com/module_lock.h"
#include "com/synchronize.h"
#include "errors/module_strings.h"
#include "errors/resource_string.h"
#include "servers/rs232/module_files.h"
#include "MrvRS232.h"
#include "servers/rs232/object_map.h"
#include "trace/process_simulation_block.h"
#include "resources/string_ids.h"

namespace mrv::rs232 {
namespace {

// Guards the lazy creation of class objects; held with no other lock.
CComSafeDeleteCriticalSection g_class_object_lock;
// The server's type library once loaded (one reference, dropped at detach).
std::atomic<ITypeLib*> g_type_library{nullptr};

std::wstring module_path()
{
    return module_file_name(module_instance());
}

HRESULT load_type_library(com_ptr<ITypeLib>& lib)
{
    std::wstring path = module_path();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
}

}  // namespace

bool process_attach(HINSTANCE instance) noexcept
{
    set_module_instance(instance);
    if (FAILED(g_class_object_lock.Init()))
        return false;
    DisableThreadLibraryCalls(instance);
    try {
        set_error_source(resource_string(IDS_MODULE_NAME).shared_text());
        set_company_name(resource_string(IDS_COMPANY_NAME).shared_text());
        set_help_file(help_file_path(instance));
    } catch (...) {
        return false;
    }
    return true;
}

void process_detach(bool process_terminating) noexcept
{
    trace::simulation_block().close();
    for (object_map_entry& entry : object_map())
        if (IUnknown* cached = entry.class_object.exchange(nullptr))
            cached->Release();
    // At process end oleaut32 may already be gone; the process takes the library with it.
    ITypeLib* lib = g_type_library.exchange(nullptr);
    if (lib && !process_terminating)
        lib->Release();
    g_class_object_lock.Term();
    clear_module_strings();
}

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (object_map_entry& entry : object_map()) {
        if (!InlineIsEqualGUID(*entry.clsid, clsid))
            continue;
        IUnknown* cached = entry.class_object.load();
        if (!cached) {
            synchronize guard(g_class_object_lock);
            cached = entry.class_object.load();
            if (!cached) {
                HRESULT hr = entry.create_class_object(entry.create_instance, IID_IUnknown,
                                                       reinterpret_cast<void**>(&cached));
                if (FAILED(hr))
                    return hr;
                entry.class_object.store(cached);
            }
        }
        return cached->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT can_unload_now() noexcept
{
    return module_lock_count() == 0 ? S_OK : S_FALSE;
}

// Runs every class's registry script; the first failure ends it.
static HRESULT update_class_keys(registry_action action) noexcept
{
    for (object_map_entry& entry : object_map()) {
        HRESULT hr = entry.update_registry(action);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Registration writes each class's keys (the classes have no component categories), then
// registers the embedded type library. The first failure ends it; nothing is rolled back.
HRESULT register_server() noexcept
{
    if (HRESULT hr = update_class_keys(registry_action::register_keys); FAILED(hr))
        return hr;
    try {
        com_ptr<ITypeLib> lib;
        HRESULT hr = load_type_library(lib);
        if (FAILED(hr))
            return hr;
        std::wstring path = module_path();
        return RegisterTypeLib(lib.get(), path.data(), nullptr);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregister_server() noexcept
{
    if (HRESULT hr = update_class_keys(registry_action::unregister_keys); FAILED(hr))
        return hr;
    try {
        com_ptr<ITypeLib> lib;
        HRESULT hr = load_type_library(lib);
        if (FAILED(hr))
            return hr;
        TLIBATTR* attr = nullptr;
        hr = lib->GetLibAttr(&attr);
        if (FAILED(hr))
            return hr;
        hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                               attr->syskind);
        lib->ReleaseTLibAttr(attr);
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT run_module_registry_script(UINT id, registry_action action) noexcept
{
    try {
        std::wstring path = module_path();
        if (path.empty())
            return HRESULT_FROM_WIN32(GetLastError());
        return run_registry_resource(module_instance(), id, action, {{L"MODULE", path}});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT module_type_info(REFGUID libid, WORD major, WORD minor, REFGUID guid,
                         ITypeInfo** out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ITypeLib* lib = g_type_library.load();
    if (!lib) {
        com_ptr<ITypeLib> loaded;
        HRESULT hr = E_OUTOFMEMORY;
        try {
            hr = load_type_library(loaded);
        } catch (...) {
        }
        if (FAILED(hr))
            return hr;
        // Another thread may have loaded it meanwhile: keep the first, drop this one.
        ITypeLib* expected = nullptr;
        lib = g_type_library.compare_exchange_strong(expected, loaded.get()) ? loaded.detach()
                                                                             : expected;
    }
    TLIBATTR* attr = nullptr;
    HRESULT hr = lib->GetLibAttr(&attr);
    if (FAILED(hr))
        return hr;
    bool same = InlineIsEqualGUID(attr->guid, libid) && attr->wMajorVerNum == major &&
                attr->wMinorVerNum == minor;
    lib->ReleaseTLibAttr(attr);
    if (!same)
        return TYPE_E_LIBNOTREGISTERED;
    return lib->GetTypeInfoOfGuid(guid, out);
}

}  // namespace mrv::rs232
