#pragma once
// A request speaks for the process its ProcId names: the server holds what it creates until that
// process closes it or ends, and takes file handles out of that process. Only the process at the
// other end of the pipe may speak for itself; otherwise a client could leave objects held for a
// process that never ends (or never existed), or take handles out of another process.
#include <windows.h>

#include "trace/nko_protocol.h"

namespace nkoserver {

// 0 when `client` (the pipe's client process; 0 when it is not known) may make the request, else
// the error its reply carries: ERROR_INVALID_PARAMETER when ProcId is not a number,
// ERROR_ACCESS_DENIED when it names another process.
DWORD request_refusal(const mrv::nko::request& request, DWORD client);

}  // namespace nkoserver
