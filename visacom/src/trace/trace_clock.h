#pragma once
// The clock of trace records: nanoseconds from the performance counter, or from the system time
// on a system without one.
#include <cstdint>

namespace mrv::trace {

// 1e9 / performance-counter frequency, or 0.0 without a performance counter.
double nanoseconds_per_tick() noexcept;

// The current time in nanoseconds.
std::int64_t trace_now_ns() noexcept;

}  // namespace mrv::trace
