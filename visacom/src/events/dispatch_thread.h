#pragma once
// The dispatch thread of a session: a single-threaded apartment of its own that moves each
// captured event on, to a waiting WaitOnEvent, into the queues and to the client's handlers.
// Started by the session's first EnableEvent or InstallHandler, stopped by its close.
#include <windows.h>

#include <memory>

#include "events/event_state.h"

namespace mrv {
class visa_driver;
}

namespace mrv::events {

// The registered message that tells a waiting thread its event is ready (wParam 0) or that the
// session is closing (wParam 1).
UINT wait_complete_message() noexcept;

// Hands `event` to the first waiting WaitOnEvent that wants it, if any: into the completed-wait
// table, with the wait's signal set and the wait-complete message posted. Under the event-state
// lock.
bool hand_over_to_waiter(event_state& state, const _event_t& event);

// Starts the thread unless it runs. `driver` and `manager` are the session's; they must stay
// valid until stop() returns. A thread that cannot be made raises win32_error.
void start(const std::shared_ptr<event_state>& state, visa_driver& driver, IEventManager* manager);

// Ends the thread and waits for it, pumping the caller's messages meanwhile (the thread may be
// marshalling a handler call into the caller's apartment). Called on the dispatch thread itself
// (a handler that closes or releases the session), it runs the exit cleanup there and returns
// without waiting; the thread ends when the handler returns to it.
void stop(event_state& state);

// Leaves the library, the registry and every table empty and ends each pending wait with the
// closed-session message. Runs on the dispatch thread.
void exit_cleanup(event_state& state) noexcept;

}  // namespace mrv::events
