#pragma once
// Ownership of a named mutex shared with other processes (the status lock, the pipe lock): held
// from a successful wait until the guard ends, on every way out.
#include <windows.h>

#include "com/unique_any.h"

namespace mrv::trace {

using mutex_ownership = unique_any<HANDLE, &::ReleaseMutex>;

// Waits for `mutex` (an abandoned mutex is owned too); the ownership is empty when the wait
// failed or timed out, and `waited` (when given) holds the wait's result.
inline mutex_ownership acquire_mutex(HANDLE mutex, DWORD timeout_ms = INFINITE,
                                     DWORD* waited = nullptr) noexcept
{
    const DWORD result = mutex ? WaitForSingleObject(mutex, timeout_ms) : WAIT_FAILED;
    if (waited)
        *waited = result;
    return mutex_ownership(result == WAIT_OBJECT_0 || result == WAIT_ABANDONED ? mutex : nullptr);
}

}  // namespace mrv::trace
