#pragma once
// Reports to the Windows event log that leave the caller's last error untouched, so that a
// failure path can report and still hand its error code to its own caller.
#include <string>

namespace mrv::trace {

// Writes text as the one string of an information event (type 4, category 0, id 0x40000002)
// under source. Failures of the event log itself are ignored.
void report_to_event_log(const char* source, const std::string& text) noexcept;

}  // namespace mrv::trace
