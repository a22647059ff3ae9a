#pragma once
// The process-wide session registry: which event state owns the events of a VISA session, for
// the one callback the server installs in the VISA library. A session is registered while its
// dispatch thread runs.
#include <visa.h>

#include <memory>

#include "com/critical_section.h"

namespace mrv::events {

struct event_state;

// The registry lock: the callback holds it for its whole run, so removing a session under it
// means no callback of that session is running or will run. Taken before an event-state lock.
CComAutoCriticalSection& registry_lock() noexcept;

// Under the registry lock.
void register_session(ViSession session, std::shared_ptr<event_state> state);
// Removes `session` when it still belongs to `state`; takes the registry lock itself.
void unregister_session(ViSession session, const event_state& state) noexcept;

// The callback installed in the library for every enabled type: captures the event into the
// session's pending list and wakes its dispatch thread. Always answers VI_SUCCESS.
ViStatus _VI_FUNCH event_callback(ViSession session, ViEventType type, ViEvent context,
                                  ViAddr user_handle);

}  // namespace mrv::events
