#include "monitor_guardian.h"

#include <string>

#include "monitor_switch.h"
#include "trace/trace_event_log.h"
#include "trace/trace_status.h"
#include "com/unique_any.h"

namespace iomonitor {

bool start_guardian(std::int32_t generation)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring command = L"\"" + std::wstring(path, length) + L"\" " + kGuardOption + L" " +
                           std::to_wstring(GetCurrentProcessId()) + L" " +
                           std::to_wstring(generation);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

int run_guardian(DWORD monitor_process_id, std::int32_t generation)
{
    auto& status = mrv::trace::shared_trace_status();
    // Opened before the monitor can end, so that the switch-off needs no kernel-object server
    // request then and the status block outlives the monitor.
    status.start();
    // A monitor that is gone already (OpenProcess fails) ended before it could be watched: the
    // check below runs at once. Its end is the only way out of the wait, and it always comes.
    const mrv::unique_handle monitor(OpenProcess(SYNCHRONIZE, FALSE, monitor_process_id));
    if (monitor)
        WaitForSingleObject(monitor.get(), INFINITE);

    if (status.generation() != generation)
        return 0;
    if (!status.tracing_enabled() && !status.monitor_reads() && !status.records_wanted())
        return 0;  // the monitor switched off itself
    switch_tracing_off_for_monitor();
    mrv::trace::report_trace_event("iomonitor (pid %lu) ended without switching tracing off; its "
                                   "guardian switched it off",
                                   monitor_process_id);
    return 0;
}

}  // namespace iomonitor
