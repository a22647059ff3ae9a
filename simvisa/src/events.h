// Event delivery: by queue, to handlers on the library's own handler thread, or held for
// suspended handlers, as each session enabled the type.
#pragma once

#include <memory>

#include "objects.h"

namespace simvisa {

bool event_supported(ViEventType type);
void set_event_supported(ViEventType type, bool supported);

// Delivers `ev` to the session by its enabled mechanisms. VI_ERROR_NENABLED when the session
// has not enabled the type (the event is dropped).
ViStatus post_event(const std::shared_ptr<instr_session>& s, event_data ev);

// Hands events to the handler thread. Caller holds s->ev_m.
void dispatch_locked(const std::shared_ptr<instr_session>& s, event_data ev);

// A new event context object for `ev`, owned by session `vi`.
ViEvent open_context(ViSession vi, event_data ev);

event_data make_event(ViEventType type);
void set_number(event_data& ev, ViAttr attr, ViUInt32 size, ViAttrState value);
void set_text(event_data& ev, ViAttr attr, const std::string& text);

}  // namespace simvisa
