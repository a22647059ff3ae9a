#pragma once
// nkoserver.exe as the Windows service "MrvNkoServer": the service manager starts it (when the
// system starts, or on demand with "net start MrvNkoServer") and stops it through the server's
// own stop event, so a service stops exactly as a console server does.
#include <windows.h>

namespace nkoserver {

inline constexpr wchar_t kServiceName[] = L"MrvNkoServer";

// The server: calls `started` once its stop event exists, then serves until that event is set
// and returns its exit code.
using service_body = int (*)(void (*started)(HANDLE stop));

// Runs `body` under the service control dispatcher and returns its exit code; 3 when the process
// was not started by the service manager.
int run_as_service(service_body body);

}  // namespace nkoserver
