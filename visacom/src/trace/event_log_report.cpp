#include "trace/event_log_report.h"

#include <windows.h>

namespace mrv::trace {

void report_to_event_log(const char* source, const std::string& text) noexcept
{
    const DWORD kept = GetLastError();
    if (HANDLE log = RegisterEventSourceA(nullptr, source)) {
        const char* strings[] = {text.c_str()};
        ReportEventA(log, EVENTLOG_INFORMATION_TYPE, 0, 0x40000002, nullptr, 1, 0, strings,
                     nullptr);
        DeregisterEventSource(log);
    }
    SetLastError(kept);
}

}  // namespace mrv::trace
