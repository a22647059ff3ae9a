#pragma once
// Tracing switched on with an I/O monitor as the trace pipe's reader, and off again. Shared by the
// monitor itself and by its guardian, which switches off for a monitor that was killed outright.
#include <cstdint>
#include <optional>

namespace iomonitor {

// Sets the array byte limit when given, flags the monitor as the reader that wants records and
// switches tracing on; returns the tracing generation this started.
std::int32_t switch_tracing_on_for_monitor(std::optional<long> array_byte_limit);

// Switches tracing off and clears the monitor's flags, so that no writer waits for a monitor.
void switch_tracing_off_for_monitor();

}  // namespace iomonitor
