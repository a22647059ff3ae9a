#pragma once
// The guardian: a second iomonitor.exe process ("--guard PID GENERATION") that waits for the
// monitor to end and, when it ended without switching tracing off (killed outright), switches it
// off and clears the monitor's flags. Without it every traced call would wait for the dead
// monitor's acknowledgement for as long as tracing stays on.
#include <windows.h>

#include <cstdint>

namespace iomonitor {

inline constexpr wchar_t kGuardOption[] = L"--guard";

// Starts the guardian of this process for the tracing generation it switched on: no console (a
// Ctrl+C for the monitor does not reach it) and no inherited handles (it keeps none of the
// monitor's output open). False when it could not be started.
bool start_guardian(std::int32_t generation);

// The guardian's whole run. Leaves the status alone when tracing was switched on again since
// (another monitor took over), so it never switches off for a monitor other than its own.
int run_guardian(DWORD monitor_process_id, std::int32_t generation);

}  // namespace iomonitor
