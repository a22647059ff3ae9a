#pragma once
// What a process holds, counted from the system's own tables: its handles and threads (from
// NtQuerySystemInformation) and its committed private memory (from a VirtualQuery walk of its
// address space). Wine answers 0 from GetProcessHandleCount and from the PrivateUsage of
// GetProcessMemoryInfo, so leak checks and the soak program count this way. Link ntdll.
#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <vector>

namespace mrv::test {

namespace process_tables {

inline constexpr SYSTEM_INFORMATION_CLASS system_handle_information =
    static_cast<SYSTEM_INFORMATION_CLASS>(16);

struct handle_entry {
    ULONG owner;
    BYTE type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

inline std::vector<BYTE> system_table(SYSTEM_INFORMATION_CLASS which)
{
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    while (NtQuerySystemInformation(which, buffer.data(), static_cast<ULONG>(buffer.size()),
                                    &needed) == static_cast<NTSTATUS>(0xC0000004L))
        buffer.resize(buffer.size() * 2);
    return buffer;
}

}  // namespace process_tables

// Handles this process holds, from the system handle table.
inline std::size_t process_handles()
{
    using namespace process_tables;
    const auto table = system_table(system_handle_information);
    const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
    const auto* entries = reinterpret_cast<const handle_entry*>(table.data() + sizeof(ULONG_PTR));
    std::size_t mine = 0;
    for (ULONG i = 0; i < count; ++i)
        mine += entries[i].owner == GetCurrentProcessId();
    return mine;
}

// Threads of this process, from the system's process list.
inline std::size_t process_threads()
{
    const auto table = process_tables::system_table(SystemProcessInformation);
    for (std::size_t at = 0;;) {
        const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(table.data() + at);
        if (reinterpret_cast<ULONG_PTR>(p->UniqueProcessId) == GetCurrentProcessId())
            return p->NumberOfThreads;
        if (!p->NextEntryOffset)
            return 0;
        at += p->NextEntryOffset;
    }
}

// Committed private memory of this process, from its memory map.
inline std::size_t private_bytes()
{
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<char*>(info.BaseAddress) + info.RegionSize)
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
    return total;
}

}  // namespace mrv::test
