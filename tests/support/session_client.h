#pragma once
// Helpers for tests that use the serial session as a COM client does: COM initialised on the
// test's thread, sessions created by ProgID from the registered MrvRS232.dll, the thread's COM
// error object read back, and the simulation VISA library's control exports (call log, fault
// injection, device data) reached in the visa32.dll that the server loaded.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "com/com_ptr.h"
#include "MrvRS232.h"
#include "simvisa_control.h"
#include "visacom.h"

namespace mrv::test {

struct com_apartment {
    explicit com_apartment(DWORD model = COINIT_MULTITHREADED) { CoInitializeEx(nullptr, model); }
    ~com_apartment() { CoUninitialize(); }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
};

inline std::string hex(long value)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(value));
    return b;
}
// HRESULTs compared and printed in hexadecimal.
#define EXPECT_HR(expected, call)                                                                  \
    EXPECT_EQ(::mrv::test::hex(expected), ::mrv::test::hex(call)) << #call
#define ASSERT_HR(expected, call)                                                                  \
    ASSERT_EQ(::mrv::test::hex(expected), ::mrv::test::hex(call)) << #call

inline std::string narrow(const wchar_t* w)
{
    std::string s;
    for (; w && *w; ++w)
        s.push_back(*w < 128 ? static_cast<char>(*w) : '?');
    return s;
}

// A BSTR owned by the test.
struct bstr_arg {
    BSTR b;
    explicit bstr_arg(const wchar_t* text) : b(SysAllocString(text)) {}
    ~bstr_arg() { SysFreeString(b); }
    bstr_arg(const bstr_arg&) = delete;
    bstr_arg& operator=(const bstr_arg&) = delete;
    operator BSTR() const { return b; }
};

// Takes a BSTR out-value over, returning its text.
inline std::string take(BSTR& b)
{
    std::string s = narrow(b);
    SysFreeString(b);
    b = nullptr;
    return s;
}

// The calling thread's COM error object, as the boundary posted it.
struct error_info {
    bool present = false;
    std::string description, source, help_file;
    DWORD help_context = 0;
    GUID guid{};
};

// Reads (and so clears) the thread's error object.
inline error_info last_error_info()
{
    error_info r;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return r;
    r.present = true;
    BSTR b = nullptr;
    if (SUCCEEDED(info->GetDescription(&b)))
        r.description = take(b);
    if (SUCCEEDED(info->GetSource(&b)))
        r.source = take(b);
    if (SUCCEEDED(info->GetHelpFile(&b)))
        r.help_file = take(b);
    info->GetHelpContext(&r.help_context);
    info->GetGUID(&r.guid);
    info->Release();
    return r;
}

inline void clear_error_info()
{
    SetErrorInfo(0, nullptr);
}

// A new, unopened session created by ProgID.
inline com_ptr<IVisaSession> create_session()
{
    CLSID clsid{};
    com_ptr<IVisaSession> s;
    EXPECT_HR(S_OK, CLSIDFromProgID(L"MorvaneRS232.RS232Svr", &clsid));
    EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                                     s.put_void()));
    return s;
}

// A session opened on `resource` (the simulated multimeter on ASRL1 by default).
inline com_ptr<IVisaSession> open_session(const wchar_t* resource = L"ASRL1::INSTR",
                                          const wchar_t* options = L"")
{
    auto s = create_session();
    if (s) {
        bstr_arg name(resource), opts(options);
        EXPECT_HR(S_OK, s->Init(name, NO_LOCK, 2000, opts)) << narrow(resource);
    }
    return s;
}

// The control exports of the simulation VISA library loaded in this process (by the server).
// The server unloads the library with its last driver: keep a session alive while using this.
class simvisa {
public:
    simvisa() : module_(GetModuleHandleW(L"visa32.dll")) {}
    simvisa(const simvisa&) = delete;
    simvisa& operator=(const simvisa&) = delete;
    bool loaded() const { return module_ != nullptr; }

    // The call log as text, one call a line, e.g. "viFlush(vi=1,mask=64)".
    std::string log() const
    {
        auto text = get<simvisa_log_text_fn>("simvisa_log_text");
        if (!text)
            return {};
        std::string buf(text(nullptr, 0) + 1, '\0');
        text(buf.data(), static_cast<ViUInt32>(buf.size()));
        buf.resize(std::char_traits<char>::length(buf.c_str()));
        return buf;
    }
    // The number of log lines containing `text`.
    unsigned count(const char* text) const
    {
        auto f = get<simvisa_log_count_fn>("simvisa_log_count");
        return f ? f(text) : 0;
    }
    void clear_log() const
    {
        if (auto f = get<simvisa_log_clear_fn>("simvisa_log_clear"))
            f();
    }
    // The next `times` calls of `function` return `status`.
    void fail_next(const char* function, ViStatus status, ViUInt32 times = 1) const
    {
        if (auto f = get<simvisa_fail_next_fn>("simvisa_fail_next"))
            f(function, status, times);
    }
    void clear_faults() const
    {
        if (auto f = get<simvisa_clear_faults_fn>("simvisa_clear_faults"))
            f();
    }

    // The full path of a device file shipped beside the library.
    std::wstring device_file(const wchar_t* name) const
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module_, path, MAX_PATH);
        std::wstring dir(path);
        dir.resize(dir.find_last_of(L'\\') + 1);
        return dir + L"simvisa\\devices\\" + name;
    }

    template <class F>
    F get(const char* name) const
    {
        auto f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        if (!f)
            ADD_FAILURE() << "visa32.dll has no export " << name;
        return f;
    }

private:
    HMODULE module_;
};

}  // namespace mrv::test
