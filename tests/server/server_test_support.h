#pragma once
// Helpers shared by the server's tests: COM initialisation, the server DLL loaded by hand with
// its four exports, and registry reads.
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>
#include <vector>

namespace mrv::test {

struct com_init {
    explicit com_init(DWORD model = COINIT_MULTITHREADED) { CoInitializeEx(nullptr, model); }
    ~com_init() { CoUninitialize(); }
};

// MrvRS232.dll from the test program's own directory, with its exports.
struct server_dll {
    HMODULE module = LoadLibraryW(L"MrvRS232.dll");
    using get_class_object_fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using no_argument_fn = HRESULT(STDAPICALLTYPE*)();

    ~server_dll()
    {
        if (module)
            FreeLibrary(module);
    }

    template <class F>
    F get(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** ppv) const
    {
        return get<get_class_object_fn>("DllGetClassObject")(clsid, riid, ppv);
    }
    HRESULT can_unload_now() const { return get<no_argument_fn>("DllCanUnloadNow")(); }
    HRESULT register_server() const { return get<no_argument_fn>("DllRegisterServer")(); }
    HRESULT unregister_server() const { return get<no_argument_fn>("DllUnregisterServer")(); }

    std::wstring path() const
    {
        wchar_t buf[MAX_PATH] = {};
        GetModuleFileNameW(module, buf, MAX_PATH);
        return buf;
    }
};

inline bool key_exists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A REG_SZ value (the default value for an empty name); nothing when key or value is missing.
inline std::optional<std::wstring> read_string(HKEY root, const std::wstring& path,
                                               const wchar_t* name = nullptr)
{
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::wstring(buf);
}

inline std::vector<std::wstring> subkeys(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = 256;
        if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
}

inline std::string narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

}  // namespace mrv::test
