#pragma once
// Reports of a crash and of a stall, with call stacks, each frame as module+offset (for
// addr2line on the build's binaries). An exception that nothing handles ends the soak with a
// report instead of Wine's debugger, which stops every thread and waits; a stall prints the stack
// of every thread, the blocked ones included.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <array>
#include <cstdio>

namespace soak {

namespace crash_detail {

// Ends the process 10 s after `fire` is set, should a report hang (a crash inside the heap can
// leave its lock held, and printing needs it). Made at start, while the heap is sound.
struct last_resort {
    HANDLE fire = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UINT exit_code = 0;
    last_resort()
    {
        CloseHandle(CreateThread(
            nullptr, 0,
            [](void* self) -> DWORD {
                auto* me = static_cast<last_resort*>(self);
                WaitForSingleObject(me->fire, INFINITE);
                Sleep(10000);
                TerminateProcess(GetCurrentProcess(), me->exit_code);
                return 0;
            },
            this, 0, nullptr));
    }
};

inline last_resort& guard()
{
    static last_resort instance;
    return instance;
}

// Arms the guard: the process ends with `exit_code` in 10 s whatever the report does.
inline void ending(UINT exit_code)
{
    guard().exit_code = exit_code;
    SetEvent(guard().fire);
}

// The process's modules, noted beforehand (note_modules): a stalled thread may hold the loader
// lock, which the system's own look-ups of a module by address take.
struct module_entry {
    DWORD64 base = 0, end = 0;
    char name[64] = "";
};
inline std::array<module_entry, 256> modules{};
inline std::size_t module_count = 0;

inline const module_entry* module_at(DWORD64 address)
{
    for (std::size_t i = 0; i < module_count; ++i)
        if (address >= modules[i].base && address < modules[i].end)
            return &modules[i];
    return nullptr;
}

// The unwind entry of `pc` from its module's exception directory, read from the image itself.
inline RUNTIME_FUNCTION* function_entry(DWORD64 pc, DWORD64& image)
{
    const module_entry* m = module_at(pc);
    if (!m)
        return nullptr;
    image = m->base;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXCEPTION];
    auto* first = reinterpret_cast<RUNTIME_FUNCTION*>(image + dir.VirtualAddress);
    std::size_t lo = 0, hi = dir.Size / sizeof(RUNTIME_FUNCTION);
    const DWORD rva = static_cast<DWORD>(pc - image);
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (rva < first[mid].BeginAddress)
            hi = mid;
        else if (rva >= first[mid].EndAddress)
            lo = mid + 1;
        else
            return &first[mid];
    }
    return nullptr;
}

inline void print_frame(DWORD64 address)
{
    const module_entry* m = module_at(address);
    std::printf("  %s+0x%llx\n", m ? m->name : "?",
                static_cast<unsigned long long>(m ? address - m->base : address));
}

inline void print_stack(CONTEXT context)
{
    for (int frame = 0; frame < 32 && context.Rip; ++frame) {
        print_frame(context.Rip);
        DWORD64 image = 0;
        RUNTIME_FUNCTION* function = crash_detail::function_entry(context.Rip, image);
        if (!function) {  // a leaf function: the return address is on top of the stack
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handler_data = nullptr;
        DWORD64 frame_base = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, image, context.Rip, function, &context, &handler_data,
                         &frame_base, nullptr);
    }
}

inline LONG WINAPI report(EXCEPTION_POINTERS* info)
{
    ending(5);
    std::printf("CRASH: exception 0x%08lX at thread %lu\n",
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                GetCurrentThreadId());
    print_stack(*info->ContextRecord);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 5);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace crash_detail

// The stack of every other thread of the process. Each thread is stopped only while its
// registers are copied: a stalled thread's stack stays as it is while it is walked.
inline void print_all_stacks()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId() ||
            entry.th32ThreadID == GetCurrentThreadId())
            continue;
        HANDLE thread =
            OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        const bool stopped = SuspendThread(thread) != static_cast<DWORD>(-1);
        const bool read = stopped && GetThreadContext(thread, &context);
        if (stopped)
            ResumeThread(thread);
        CloseHandle(thread);
        if (!read)
            continue;
        std::printf("thread %lu:\n", static_cast<unsigned long>(entry.th32ThreadID));
        crash_detail::print_stack(context);
    }
    CloseHandle(snapshot);
    std::fflush(stdout);
}

// Notes the modules loaded now, for the reports. Call it from a sound thread now and then.
inline void note_modules()
{
    HMODULE handles[256];
    DWORD needed = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), handles, sizeof handles, &needed))
        return;
    const std::size_t n = std::min<std::size_t>(needed / sizeof(HMODULE), 256);
    for (std::size_t i = 0; i < n; ++i) {
        MODULEINFO info{};
        auto& m = crash_detail::modules[i];
        K32GetModuleInformation(GetCurrentProcess(), handles[i], &info, sizeof info);
        m.base = reinterpret_cast<DWORD64>(info.lpBaseOfDll);
        m.end = m.base + info.SizeOfImage;
        K32GetModuleBaseNameA(GetCurrentProcess(), handles[i], m.name, sizeof m.name);
    }
    crash_detail::module_count = n;
}

inline void report_crashes()
{
    crash_detail::guard();
    SetUnhandledExceptionFilter(&crash_detail::report);
}

}  // namespace soak
