#pragma once
// Named kernel objects shared with other processes and logon sessions.
//
// Objects whose name begins with "Global\" are made by the kernel-object server (nkoserver.exe)
// on this process's behalf, because a process may lack the right to create global objects
// itself: the server creates the object, this process opens it by name, then the server closes
// its own handle. Every other object is created directly. All functions may run on any thread,
// never throw, and report failure through the shared invalid wrapper plus the last error.
//
// Typical use, keeping only the local handle:
//     mrv::unique_handle lock(NkoTakeHandle(NkoCreateMutex(NkoSecurityAttributes(), FALSE,
//                                                          nko_global_name("X").c_str())));
//     const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;   // preserved by NkoTakeHandle
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// One created object. `local` is the handle this process uses; `server` is the server's handle
// value while the server still holds the object for this process, else 0.
struct NkoHandle {
    HANDLE local;
    ULONG_PTR server;
};

// The shared invalid wrapper (both fields 0) returned for every failure; never freed.
NkoHandle* NkoInvalidHandle() noexcept;

// Valid: neither null nor all ones, and its local handle neither 0 nor all ones.
bool NkoIsValid(const NkoHandle* handle) noexcept;

// The creation functions. Names are ANSI; a null name makes an unnamed object.
NkoHandle* NkoCreateEvent(SECURITY_ATTRIBUTES* attributes, BOOL manual_reset, BOOL initial_state,
                          const char* name) noexcept;
NkoHandle* NkoCreateMutex(SECURITY_ATTRIBUTES* attributes, BOOL initial_owner,
                          const char* name) noexcept;
NkoHandle* NkoCreateSemaphore(SECURITY_ATTRIBUTES* attributes, LONG initial_count,
                              LONG maximum_count, const char* name) noexcept;
NkoHandle* NkoCreateFileMapping(HANDLE file, SECURITY_ATTRIBUTES* attributes, DWORD protect,
                                DWORD maximum_size_high, DWORD maximum_size_low,
                                const char* name) noexcept;

// Frees the wrapper (sending the close request for a server handle it still names) and returns
// the local handle, which the caller then owns. For null or the shared invalid wrapper: returns
// its local handle (0) and frees nothing.
HANDLE NkoRelease(NkoHandle* handle) noexcept;
// NkoRelease, then CloseHandle on the local handle unless it is 0 or all ones.
void NkoClose(NkoHandle* handle) noexcept;
// NkoRelease with the thread's last error kept as it was (so a creation's 183 survives).
HANDLE NkoTakeHandle(NkoHandle* handle) noexcept;

// The operating-system class of GetVersionExA (cached): 1 NT 4, 4 Windows 2000, 7 XP/2003,
// 8 NT 6.0, 9 NT 6.1 and later, 2/5/6 the Windows 95 family, 3 Win32s, -1 unknown.
int NkoOsClass() noexcept;
// "Global\" and "Local\" on classes 4, 7, 8 and 9, else "".
const char* NkoGlobalPrefix() noexcept;
const char* NkoLocalPrefix() noexcept;
// Copies the global (or local) prefix and then base into buffer, stopping one character short of
// size, and terminates it. Returns buffer.
char* NkoMakeGlobalName(char* buffer, std::size_t size, const char* base) noexcept;
char* NkoMakeLocalName(char* buffer, std::size_t size, const char* base) noexcept;
// The same, unbounded.
std::string nko_global_name(std::string_view base);

// The process-wide attributes with a null DACL (every user may open the object), handles
// inheritable, on classes 1, 4, 7, 8 and 9; null elsewhere, or when the descriptor could not be
// built (tried again on the next call).
SECURITY_ATTRIBUTES* NkoSecurityAttributes() noexcept;

// Sends one request text to the kernel-object server (with the first-contact retries) and returns
// the handle value of its reply, or 0. When the reply carries an error code, the last error is set
// to it.
ULONG_PTR NkoServerCommunicate(const char* request) noexcept;

// The pipe the kernel-object server listens on.
inline constexpr char kNkoPipeName[] = "\\\\.\\pipe\\MorvaneLinkZedevNkoPipe_20070208";
// The event-log source of the client's reports.
inline constexpr char kNkoEventSource[] = "Morvane NKO client";
