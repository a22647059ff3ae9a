// The simvisa_* exports that control event delivery, act on the device's side of the line and
// look up sessions.
#include "api_frame.h"
#include "events.h"
#include "line_events.h"
#include "port.h"
#include "resource_name.h"
#include "session_access.h"
#include "simvisa_control.h"

using namespace simvisa;

namespace {

// The sessions of a port that may receive its line events, taken under the port lock and
// raised on after it is released.
std::vector<std::weak_ptr<instr_session>> sessions_of(port& p)
{
    std::lock_guard lock(p.m);
    return p.sessions;
}

bool session_on_board(const object& obj, const void* board)
{
    auto* s = dynamic_cast<const instr_session*>(&obj);
    return s && !s->closed && (!board || s->port->board == *static_cast<const ViUInt16*>(board));
}

}  // namespace

extern "C" {

ViStatus SIMVISA_API simvisa_hold_events(ViBoolean hold)
{
    return guarded([&] {
        hold_events(hold != VI_FALSE);
        return VI_SUCCESS;
    });
}

ViUInt32 SIMVISA_API simvisa_pending_events(void)
{
    return static_cast<ViUInt32>(pending_events());
}

ViStatus SIMVISA_API simvisa_wait_idle(ViUInt32 timeout_ms)
{
    return guarded([&] { return wait_until_idle(timeout_ms); });
}

ViStatus SIMVISA_API simvisa_deliver_synchronously(ViBoolean synchronous)
{
    deliver_synchronously(synchronous != VI_FALSE);
    return VI_SUCCESS;
}

ViStatus SIMVISA_API simvisa_device_line(ViSession vi, ViAttr line, ViInt16 state)
{
    return guarded([&] {
        return with_session(vi, [&](auto s) -> ViStatus {
            const ViEventType type = modem_line_event(line);
            if (!type)
                return VI_ERROR_NSUP_ATTR;
            if (state != VI_STATE_ASSERTED && state != VI_STATE_UNASSERTED)
                return VI_ERROR_NSUP_ATTR_STATE;
            port& p = *s->port;
            std::vector<std::weak_ptr<instr_session>> listeners;
            {
                std::lock_guard lock(p.m);
                ViInt16& current = p.modem_lines.at(line);
                if (current == state)
                    return VI_SUCCESS;
                current = state;
                listeners = p.sessions;
            }
            raise_on_sessions(listeners, type);
            return VI_SUCCESS;
        });
    });
}

ViStatus SIMVISA_API simvisa_device_break(ViSession vi)
{
    return guarded([&] {
        return with_session(vi, [&](auto s) -> ViStatus {
            raise_on_sessions(sessions_of(*s->port), VI_EVENT_ASRL_BREAK);
            return VI_SUCCESS;
        });
    });
}

ViUInt32 SIMVISA_API simvisa_find_sessions(const char* resource, ViSession* sessions, ViUInt32 max)
{
    try {
        resource_name rn;
        if (resource && parse_resource_name(resource, rn) < 0)
            return 0;
        const auto found = find_objects(session_on_board, resource ? &rn.board : nullptr);
        for (ViUInt32 i = 0; sessions && i < max && i < found.size(); ++i)
            sessions[i] = found[i];
        return static_cast<ViUInt32>(found.size());
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
