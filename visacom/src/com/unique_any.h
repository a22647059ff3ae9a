#pragma once
// unique_any<T, Close, Invalid>: sole owner of one raw resource (kernel handle, mapping view,
// module, BSTR, SAFEARRAY ...). One template, parameterised by the function that frees it, so
// every kind of handle gets the same move-only ownership rules.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace mrv {

template <class T, auto Close, std::intptr_t Invalid = 0>
class unique_any {
public:
    static T invalid() noexcept
    {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(Invalid);
        else
            return static_cast<T>(Invalid);
    }

    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& o) noexcept : value_(o.release()) {}
    unique_any& operator=(unique_any&& o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    ~unique_any() { reset(); }

    // Frees the held resource (if any) and takes `value`.
    void reset(T value = invalid()) noexcept
    {
        T old = std::exchange(value_, value);
        if (old != invalid())
            Close(old);
    }
    T get() const noexcept { return value_; }
    // The slot for an out-parameter; frees what was held first.
    T* put() noexcept
    {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, invalid()); }
    explicit operator bool() const noexcept { return value_ != invalid(); }

private:
    T value_ = invalid();
};

// Kernel objects whose "no handle" value is null (events, mutexes, mappings, threads ...).
using unique_handle = unique_any<HANDLE, &::CloseHandle>;
// Files and pipes, whose "no handle" value is INVALID_HANDLE_VALUE.
using unique_file = unique_any<HANDLE, &::CloseHandle, -1>;
using unique_view = unique_any<void*, &::UnmapViewOfFile>;
using unique_hmodule = unique_any<HMODULE, &::FreeLibrary>;
using unique_hlocal = unique_any<HLOCAL, &::LocalFree>;
using unique_regkey = unique_any<HKEY, &::RegCloseKey>;
using unique_cotaskmem = unique_any<void*, &::CoTaskMemFree>;
// A BSTR that this code owns alone (shared texts use _bstr_t).
using bstr = unique_any<BSTR, &::SysFreeString>;
using safearray = unique_any<SAFEARRAY*, &::SafeArrayDestroy>;

}  // namespace mrv
