#pragma once
// WaitOnEvent's wait: an event from the queue, or the next matching event the dispatch thread
// hands over, within a timeout. The calling thread keeps dispatching its window messages while it
// waits; it watches for its hand-over for a moment, then sleeps until a message, its hand-over
// signal or the deadline.
#include <windows.h>

#include <cstdint>

#include "com/com_ptr.h"
#include "events/event_state.h"

namespace mrv::events {

inline constexpr HRESULT more_events_queued = 0x00040080;  // VI_SUCCESS_QUEUE_NEMPTY

struct wait_result {
    com_ptr<IEvent> event;
    HRESULT result = S_OK;  // S_OK, or more_events_queued when the queue holds another match
};

// timeout_ms: -1 waits without limit, 0 takes only a queued event. Raises loc_com_error with
// message 2014 when the time is up and 2011 when the session closes during the wait.
wait_result wait_for_event(event_state& state, long timeout_ms, std::uint32_t type);

}  // namespace mrv::events
