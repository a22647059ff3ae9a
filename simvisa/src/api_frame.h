// The frame of every exported VISA function: it records the call with its arguments in the
// call log, applies an injected status, and turns any exception into a status, so that nothing
// escapes across the C boundary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <new>
#include <string>
#include <type_traits>

#include "control.h"
#include "visa.h"

namespace simvisa {

struct log_arg {
    const char* name;
    std::string value;
};

template <class N>
requires std::is_integral_v<N> std::string num(N v)
{
    if constexpr (std::is_signed_v<N>)
        return std::to_string(static_cast<long long>(v));
    else
        return std::to_string(static_cast<unsigned long long>(v));
}

inline std::string hex(uint64_t v)
{
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

inline std::string ptr(const void* p)
{
    return p ? hex(reinterpret_cast<uintptr_t>(p)) : std::string("null");
}

inline std::string text(const char* s)
{
    return s ? "\"" + std::string(s) + "\"" : std::string("null");
}

// Data the caller hands over, as a quoted C-style string ("*IDN?\n"), cut after 256 bytes.
std::string bytes(const void* data, uint32_t count);

std::string format_call(const char* function, std::initializer_list<log_arg> args);
ViStatus status_of_current_exception();

template <class Body>
ViStatus api_call(const char* function, std::initializer_list<log_arg> args, Body&& body)
{
    try {
        log_call(format_call(function, args));
        ViStatus injected = VI_SUCCESS;
        const bool inject = take_injected_status(function, injected);
        // An injected error replaces the call; an injected completion code replaces the
        // status of a call that succeeded.
        if (inject && injected < 0)
            return injected;
        ViStatus status = body();
        if (inject && status >= 0)
            status = injected;
        return status;
    } catch (...) {
        return status_of_current_exception();
    }
}

// The frame of a simvisa_* control export that answers a status: any exception becomes one.
template <class Body>
ViStatus guarded(Body&& body)
{
    try {
        return body();
    } catch (...) {
        return status_of_current_exception();
    }
}

}  // namespace simvisa
