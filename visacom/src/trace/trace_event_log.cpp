#include "trace/trace_event_log.h"

#include <cstdarg>
#include <cstdio>

#include "trace/event_log_report.h"

namespace mrv::trace {

void report_trace_event(const char* format, ...) noexcept
{
    const DWORD saved = GetLastError();
    char text[1025];
    const int prefix =
        std::snprintf(text, sizeof text,
                      "TraceStatus(pid=%lu): ", static_cast<unsigned long>(GetCurrentProcessId()));
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + prefix, sizeof text - prefix, format, args);
    va_end(args);
    try {
        report_to_event_log(kTraceEventSource, text);
    } catch (...) {
    }
    SetLastError(saved);
}

}  // namespace mrv::trace
