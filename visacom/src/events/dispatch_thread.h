#pragma once
// The dispatch thread of a session: a single-threaded apartment of its own that moves each
// captured event on, to a waiting WaitOnEvent, into the queues and to the client's handlers.
// Started by the session's first EnableEvent or InstallHandler, stopped by its close.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "events/event_state.h"

namespace mrv {
class visa_driver;
}

namespace mrv::events {

// The registered message that tells a waiting thread its event is ready (wParam 0) or that the
// session is closing (wParam 1).
UINT wait_complete_message() noexcept;

// Posts the wait-complete message to a waiting thread: wParam 0 when it has been handed an
// event, 1 when its session is closing. Never under the event-state lock.
void post_wait_complete(DWORD thread, WPARAM closing) noexcept;

// The dispatch step for an event that has just arrived, taken as far as the library's thread
// can take it without reordering events: when none is pending, the hand-over to a waiting
// WaitOnEvent and the suspended queue, and the queue too when no earlier event is still being
// dispatched. What is left for the dispatch thread (the handlers, or the whole step when events
// are pending) comes back as a pending record; nothing when the event is placed. `woken` is the
// thread of a wait handed the event (0: none), to be sent the wait-complete message. Under the
// event-state lock.
std::optional<pending_record> dispatch_arrival(event_state& state, std::uint32_t flags,
                                               std::unique_ptr<_event_t> event, DWORD& woken);

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
