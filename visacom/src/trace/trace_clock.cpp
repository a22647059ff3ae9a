#include "trace/trace_clock.h"

#include <windows.h>

namespace mrv::trace {

double nanoseconds_per_tick() noexcept
{
    static const double factor = [] {
        LARGE_INTEGER frequency{};
        if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0)
            return 0.0;
        return 1e9 / static_cast<double>(frequency.QuadPart);
    }();
    return factor;
}

std::int64_t trace_now_ns() noexcept
{
    LARGE_INTEGER counter{};
    if (nanoseconds_per_tick() != 0.0 && QueryPerformanceCounter(&counter))
        return static_cast<std::int64_t>(static_cast<double>(counter.QuadPart) *
                                         nanoseconds_per_tick());
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) * 100);
}

}  // namespace mrv::trace
