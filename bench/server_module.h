#pragma once
// A server DLL loaded by file name and asked for its class object directly (LoadLibrary,
// DllGetClassObject, IClassFactory::CreateInstance), without the registry: how the benchmark
// reaches the copy of the server that is built with tracing compiled out and never registered.
#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <string>

#include "com/com_ptr.h"

namespace bench {

class server_module {
public:
    explicit server_module(const std::wstring& file) : module_(LoadLibraryW(file.c_str())) {}
    ~server_module()
    {
        // Only when every object it made is gone; otherwise the process end unloads it.
        if (module_ && can_unload())
            FreeLibrary(module_);
    }
    server_module(const server_module&) = delete;
    server_module& operator=(const server_module&) = delete;

    bool loaded() const { return module_ != nullptr; }

    // A new object of class `clsid`, asked for `iid`.
    HRESULT create(REFCLSID clsid, REFIID iid, void** object) const
    {
        *object = nullptr;
        using get_class_object_fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto get_class_object = reinterpret_cast<get_class_object_fn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        if (!get_class_object)
            return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        mrv::com_ptr<IClassFactory> factory;
        HRESULT hr = get_class_object(clsid, IID_IClassFactory, factory.put_void());
        if (FAILED(hr))
            return hr;
        return factory->CreateInstance(nullptr, iid, object);
    }

private:
    bool can_unload() const
    {
        using can_unload_fn = HRESULT(STDAPICALLTYPE*)();
        const auto can_unload_now = reinterpret_cast<can_unload_fn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        return can_unload_now && can_unload_now() == S_OK;
    }

    HMODULE module_;
};

}  // namespace bench
