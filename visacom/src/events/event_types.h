#pragma once
// Event types and mechanisms as the event manager sees them.
#include <visa.h>

#include <cstdint>

namespace mrv::events {

// The mechanism bits of a type's flags (the VISA bits).
inline constexpr std::uint32_t queue_bit = VI_QUEUE;                 // 1
inline constexpr std::uint32_t handler_bit = VI_HNDLR;               // 2
inline constexpr std::uint32_t suspended_bit = VI_SUSPEND_HNDLR;     // 4
inline constexpr std::uint32_t all_enabled = VI_ALL_ENABLED_EVENTS;  // the wildcard type

// The type a method works on: `type`, or `custom_type` when `type` is -1.
constexpr std::uint32_t effective_type(long type, long custom_type) noexcept
{
    return static_cast<std::uint32_t>(type == -1 ? custom_type : type);
}

// Whether an event of `event_type` answers a request for `wanted` (the wildcard takes any).
constexpr bool type_matches(std::uint32_t wanted, std::uint32_t event_type) noexcept
{
    return wanted == all_enabled || wanted == event_type;
}

// Whether `type` is one of the types that IEvent::Type reports as itself (the others read -1).
constexpr bool reported_type(std::uint32_t type) noexcept
{
    switch (type) {
    case VI_EVENT_IO_COMPLETION:
    case VI_EVENT_TRIG:
    case VI_EVENT_SERVICE_REQ:
    case VI_EVENT_CLEAR:
    case VI_EVENT_EXCEPTION:
    case VI_EVENT_GPIB_CIC:
    case VI_EVENT_GPIB_TALK:
    case VI_EVENT_GPIB_LISTEN:
    case VI_EVENT_VXI_VME_SYSFAIL:
    case VI_EVENT_VXI_VME_SYSRESET:
    case VI_EVENT_VXI_SIGP:
    case VI_EVENT_VXI_VME_INTR:
    case VI_EVENT_TCPIP_CONNECT:
    case VI_ALL_ENABLED_EVENTS:
        return true;
    default:
        return false;
    }
}

}  // namespace mrv::events
