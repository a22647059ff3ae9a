#pragma once
// Client handlers (IEventHandler), kept in the global interface table so that the dispatch
// thread can call them from its apartment, COM marshalling each call to the handler's own.
#include <windows.h>
#include <objidl.h>

#include "events/event_state.h"

namespace mrv::events {

// Calls each handler installed for the event's type with a fresh COM event object, on the
// calling thread, with no lock held. `git` is the caller's table reference.
void deliver_to_handlers(event_state& state, const _event_t& event, IGlobalInterfaceTable* git);

// Hands the suspended events of `type` to the handlers, oldest first, on the calling thread.
void flush_suspended(event_state& state, std::uint32_t type);

// InstallHandler and UninstallHandler on an effective type; both return the table's result and
// raise loc_com_error with the server's messages.
HRESULT install_handler(event_state& state, std::uint32_t type, IEventHandler* handler,
                        long user_handle);
HRESULT uninstall_handler(event_state& state, std::uint32_t type, long user_handle);

}  // namespace mrv::events
