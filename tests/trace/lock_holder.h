#pragma once
// What lock_holder.exe and its test share: the event that says the lock is held.
#include <windows.h>

#include <string>

inline std::string holding_event_name(DWORD holder_process_id)
{
    return "lock_holder_holding_" + std::to_string(holder_process_id);
}
