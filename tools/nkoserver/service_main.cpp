#include "service_main.h"

#include <atomic>
#include <string>

#include "console_log.h"

namespace nkoserver {
namespace {

service_body g_body = nullptr;
SERVICE_STATUS_HANDLE g_status = nullptr;
int g_exit_code = 0;
// The service's own copy of the server's stop event: open until the process ends, so a stop
// request that arrives while the server winds down never sees a closed handle.
std::atomic<HANDLE> g_stop{nullptr};
// A stop request that came before the stop event existed; the server stops as soon as it does.
std::atomic<bool> g_stop_requested{false};

void report(DWORD state, int exit_code = 0)
{
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    s.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    s.dwServiceSpecificExitCode = static_cast<DWORD>(exit_code);
    s.dwWaitHint = (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) ? 10000 : 0;
    SetServiceStatus(g_status, &s);
}

DWORD WINAPI on_control(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING);
        g_stop_requested = true;
        if (HANDLE stop = g_stop.load())
            SetEvent(stop);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void on_started(HANDLE stop)
{
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), stop, GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS))
        g_stop = copy;
    // Either the control handler saw the copy, or this sees its request.
    if (g_stop_requested) {
        SetEvent(stop);
        return;
    }
    report(SERVICE_RUNNING);
}

void WINAPI service_main(DWORD, LPWSTR*)
{
    g_status = RegisterServiceCtrlHandlerExW(kServiceName, on_control, nullptr);
    if (!g_status)
        return;
    report(SERVICE_START_PENDING);
    g_exit_code = g_body(on_started);
    report(SERVICE_STOPPED, g_exit_code);
}

}  // namespace

int run_as_service(service_body body)
{
    g_body = body;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), service_main},
                                    {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        log_line("--service: not started by the service manager, error " +
                 std::to_string(GetLastError()));
        return 3;
    }
    return g_exit_code;
}

}  // namespace nkoserver
