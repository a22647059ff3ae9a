#pragma once
// The simulation VISA library's control exports, reached in the visa32.dll that the server
// loaded: its configuration, service requests raised on the instrument sessions of a port,
// fault injection, and its call log (which grows with every call, so the soak empties it).
#include <windows.h>

#include <string>
#include <vector>

#include "simvisa_control.h"

namespace soak {

class library {
public:
    // Binds to the loaded visa32.dll; false when it is not loaded or lacks an export.
    bool bind()
    {
        module_ = GetModuleHandleW(L"visa32.dll");
        return module_ && get(load_config_, "simvisa_load_config") &&
               get(find_sessions_, "simvisa_find_sessions") &&
               get(raise_event_, "simvisa_raise_event") && get(fail_next_, "simvisa_fail_next") &&
               get(clear_faults_, "simvisa_clear_faults") && get(log_clear_, "simvisa_log_clear") &&
               get(last_message_, "simvisa_last_message");
    }

    // The folder of the library's shipped device files, ending in a backslash.
    std::wstring devices_folder() const
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module_, path, MAX_PATH);
        std::wstring dir(path);
        dir.resize(dir.find_last_of(L'\\') + 1);
        return dir + L"simvisa\\devices\\";
    }

    ViStatus load_config(const std::string& path) const { return load_config_(path.c_str()); }
    std::string last_message() const
    {
        char text[512] = {};
        last_message_(text, sizeof text);
        return text;
    }

    // Raises `type` on every instrument session open on `resource`; the number raised.
    unsigned raise_on(const char* resource, ViEventType type) const
    {
        ViSession sessions[64];
        const ViUInt32 n = find_sessions_(resource, sessions, 64);
        unsigned raised = 0;
        for (ViUInt32 i = 0; i < n && i < 64; ++i)
            raised += raise_event_(sessions[i], type, nullptr, 0) == VI_SUCCESS;
        return raised;
    }

    void fail_next(const char* function, ViStatus status) const { fail_next_(function, status, 1); }
    void clear_faults() const { clear_faults_(); }
    void clear_log() const { log_clear_(); }

private:
    template <class F>
    bool get(F& f, const char* name) const
    {
        f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        return f != nullptr;
    }

    HMODULE module_ = nullptr;
    simvisa_load_config_fn load_config_ = nullptr;
    simvisa_find_sessions_fn find_sessions_ = nullptr;
    simvisa_raise_event_fn raise_event_ = nullptr;
    simvisa_fail_next_fn fail_next_ = nullptr;
    simvisa_clear_faults_fn clear_faults_ = nullptr;
    simvisa_log_clear_fn log_clear_ = nullptr;
    simvisa_last_message_fn last_message_ = nullptr;
};

}  // namespace soak
