#include "module.h"

#include <windows.h>

#include <memory>

namespace simvisa {
namespace {

HMODULE this_module()
{
    HMODULE h = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&this_module), &h);
    return h;
}

struct thread_start {
    std::function<void()> work;
    HMODULE module;
};

DWORD WINAPI thread_main(void* arg)
{
    HMODULE module;
    {
        std::unique_ptr<thread_start> start(static_cast<thread_start*>(arg));
        module = start->module;
        try {
            start->work();
        } catch (...) {
        }
    }
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

std::string module_folder()
{
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(this_module(), path, sizeof(path));
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

bool start_library_thread(std::function<void()> work)
{
    auto start = std::make_unique<thread_start>();
    start->work = std::move(work);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&thread_main), &start->module))
        return false;
    HMODULE module = start->module;
    HANDLE h = CreateThread(nullptr, 0, thread_main, start.get(), 0, nullptr);
    if (!h) {
        FreeLibrary(module);
        return false;
    }
    start.release();
    CloseHandle(h);
    return true;
}

}  // namespace simvisa
