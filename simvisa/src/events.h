// Event delivery: by queue, to handlers on the library's own handler thread (or on the raising
// thread when delivery is synchronous), or held for suspended handlers, as each session enabled
// the type.
#pragma once

#include <memory>
#include <vector>

#include "objects.h"

namespace simvisa {

bool event_supported(ViEventType type);
// Whether the session may use `type`: a supported type its port can raise (a service request
// needs a far end that can request service).
bool event_supported(const instr_session& s, ViEventType type);
void set_event_supported(ViEventType type, bool supported);

// Events for handlers that the raising thread delivers itself, once it holds no lock of its
// own (synchronous delivery). Events it still holds when destroyed are dropped.
class direct_delivery {
public:
    explicit direct_delivery(std::shared_ptr<instr_session> s) : session_(std::move(s)) {}
    direct_delivery(const direct_delivery&) = delete;
    direct_delivery& operator=(const direct_delivery&) = delete;
    ~direct_delivery();

    void add(event_data ev);
    void deliver();

private:
    std::shared_ptr<instr_session> session_;
    std::vector<event_data> events_;
};

// Delivers `ev` to the session by its enabled mechanisms. VI_ERROR_NENABLED when the session
// has not enabled the type (the event is dropped).
ViStatus post_event(const std::shared_ptr<instr_session>& s, event_data ev);

// Hands an event to the handlers: to the handler thread, or to `direct` when delivery is
// synchronous. Caller holds s->ev_m.
void dispatch_locked(const std::shared_ptr<instr_session>& s, event_data ev,
                     direct_delivery& direct);

// The delivery controls of the simvisa_* exports.
void hold_events(bool hold);
size_t pending_events();
ViStatus wait_until_idle(ViUInt32 timeout_ms);
void deliver_synchronously(bool synchronous);

// Whether the session has enabled `type` by any mechanism.
bool event_enabled(instr_session& s, ViEventType type);

// A new event context object for `ev`, owned by session `vi`. A handler's context is closed by
// the library when the handlers return, and outlives a close of the session meanwhile.
ViEvent open_context(ViSession vi, event_data ev, bool for_handler);

event_data make_event(ViEventType type);
void set_number(event_data& ev, ViAttr attr, ViUInt32 size, ViAttrState value);
void set_text(event_data& ev, ViAttr attr, const std::string& text);

}  // namespace simvisa
