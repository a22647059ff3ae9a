#pragma once
// Reports of the trace transport to the Windows event log, under the source "IOWatch".
#include <windows.h>

namespace mrv::trace {

inline constexpr char kTraceEventSource[] = "IOWatch";

// printf-style text, prefixed "TraceStatus(pid=<process id>): ", cut to 1024 characters and
// reported as an information event (category 0, id 0x40000002). The thread's last error is the
// same afterwards as before.
void report_trace_event(const char* format, ...) noexcept __attribute__((format(ms_printf, 1, 2)));

}  // namespace mrv::trace
