#pragma once
// The listening side of the kernel-object server's pipe: message mode, one instance per
// connected client, each client served on a thread of its own until it disconnects.
#include <windows.h>

#include "object_table.h"

namespace nkoserver {

// Longest request text the server reads, with its NUL: longer ones get a "0,87" reply.
inline constexpr DWORD kMaxRequestBytes = 2048;
// A client that sends nothing for this long is disconnected.
inline constexpr DWORD kIdleMilliseconds = 10000;

// Serves pipe_name until stop is signalled, then waits for the connected clients to finish.
// Returns false when the pipe could not be made (another server holds it, for one).
bool serve(const char* pipe_name, HANDLE stop, object_table& objects);

}  // namespace nkoserver
