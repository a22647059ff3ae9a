// nkoserver.exe: creates named kernel objects for the clients of the kernel-object pipe.
//
//   nkoserver.exe                 serve until stopped (Ctrl+C, console close, or --stop)
//   nkoserver.exe --stop          ask the running server to stop
//   nkoserver.exe --wait-ready MS wait up to MS milliseconds until the pipe accepts clients;
//                                 exit code 0 when it does
//   nkoserver.exe --service       run as the Windows service "MrvNkoServer" (the installer
//                                 registers it so; the service manager starts it)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_log.h"
#include "trace/nko_client.h"
#include "pipe_server.h"
#include "service_main.h"
#include "com/unique_any.h"

namespace {

// Set to stop the server; made by the server, so it exists exactly while one runs.
constexpr char kStopEventBase[] = "MorvaneLinkZedevNkoServerStop_20070208";

HANDLE g_stop = nullptr;

BOOL WINAPI on_console_event(DWORD)
{
    SetEvent(g_stop);
    return TRUE;
}

// Serves until the stop event is set; `started` is told once the stop event exists (the service
// reports itself running then, and stops through the same event).
int run_server(void (*started)(HANDLE stop) = nullptr)
{
    const std::string stop_name = nko_global_name(kStopEventBase);
    mrv::unique_handle stop(CreateEventA(NkoSecurityAttributes(), TRUE, FALSE, stop_name.c_str()));
    if (!stop) {
        nkoserver::log_line("cannot create the stop event, error " +
                            std::to_string(GetLastError()));
        return 2;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        nkoserver::log_line("another nkoserver is already running");
        return 1;
    }
    g_stop = stop.get();
    if (started)
        started(stop.get());
    SetConsoleCtrlHandler(on_console_event, TRUE);
    nkoserver::object_table objects;
    const bool served = nkoserver::serve(kNkoPipeName, stop.get(), objects);
    SetConsoleCtrlHandler(on_console_event, FALSE);
    return served ? 0 : 1;
}

int request_stop()
{
    mrv::unique_handle stop(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, nko_global_name(kStopEventBase).c_str()));
    if (!stop) {
        std::printf("no nkoserver is running\n");
        return 1;
    }
    SetEvent(stop.get());
    std::printf("nkoserver asked to stop\n");
    return 0;
}

int wait_ready(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (WaitNamedPipeA(kNkoPipeName, 100))
            return 0;
        if (GetTickCount() - start >= milliseconds) {
            std::printf("nkoserver did not answer within %lu ms\n", milliseconds);
            return 1;
        }
        Sleep(50);  // no instance yet: WaitNamedPipe fails at once
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 1)
        return run_server();
    if (argc == 2 && std::strcmp(argv[1], "--stop") == 0)
        return request_stop();
    if (argc == 2 && std::strcmp(argv[1], "--service") == 0)
        return nkoserver::run_as_service(
            [](void (*started)(HANDLE)) { return run_server(started); });
    if (argc == 3 && std::strcmp(argv[1], "--wait-ready") == 0)
        return wait_ready(std::strtoul(argv[2], nullptr, 10));
    std::printf("usage: nkoserver.exe [--stop | --wait-ready MILLISECONDS | --service]\n");
    return 2;
}
