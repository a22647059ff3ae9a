#pragma once
// EnableEvent, DisableEvent and DiscardEvents on an effective type: the mechanisms of each type
// in the session's table, and the library side, where the server's callback is installed for
// every type ever enabled and the type is enabled with the handler mechanism only.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "events/event_state.h"

namespace mrv {
class visa_driver;
}

namespace mrv::events {

inline constexpr HRESULT event_enabled_before = 0x00040002;   // VI_SUCCESS_EVENT_EN
inline constexpr HRESULT event_disabled_before = 0x00040003;  // VI_SUCCESS_EVENT_DIS
inline constexpr HRESULT queue_was_empty = 0x00040004;        // VI_SUCCESS_QUEUE_EMPTY

// Runs `call` without the caller's object lock (released and taken again around it).
using without_object_lock = std::function<void(const std::function<void()>& call)>;

// S_OK, event_enabled_before, or E_INVALIDARG for handler and suspended handler together
// (returned, not raised: no error object). Library failures raise visa_error; a thread that
// cannot start raises win32_error. The suspended events of the type go to the handlers
// (without any lock, through `unlocked`) when the handler mechanism replaces the suspended one.
HRESULT enable_event(const std::shared_ptr<event_state>& state, visa_driver& driver,
                     IEventManager* manager, std::uint32_t type, std::uint32_t mechanism,
                     const without_object_lock& unlocked);
HRESULT disable_event(event_state& state, visa_driver& driver, std::uint32_t type,
                      std::uint32_t mechanism);
HRESULT discard_events(event_state& state, std::uint32_t type, std::uint32_t mechanism);

}  // namespace mrv::events
