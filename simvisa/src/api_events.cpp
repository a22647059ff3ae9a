// Enabling, disabling, discarding and waiting for events; installing handlers.
#include <algorithm>
#include <chrono>

#include "api_frame.h"
#include "events.h"
#include "session_access.h"

using namespace simvisa;

namespace {

constexpr ViUInt16 all_mechanisms = VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR;

bool valid_enable_mechanism(ViUInt16 m)
{
    return m == VI_QUEUE || m == VI_HNDLR || m == VI_SUSPEND_HNDLR || m == (VI_QUEUE | VI_HNDLR) ||
           m == (VI_QUEUE | VI_SUSPEND_HNDLR);
}

// The mechanism bits of disable and discard: a combination of the three, or VI_ALL_MECH.
bool mechanism_bits(ViUInt16 m, ViUInt16& bits)
{
    if (m == VI_ALL_MECH)
        bits = all_mechanisms;
    else if (m != 0 && !(m & ~all_mechanisms))
        bits = m;
    else
        return false;
    return true;
}

ViStatus enable_mechanisms(const std::shared_ptr<instr_session>& s, ViEventType type, ViUInt16 mech,
                           direct_delivery& direct)
{
    std::lock_guard lock(s->ev_m);
    // The handler mechanism is accepted before any handler is installed (a VISA COM server
    // enables and disables a type just to have it judged); such events reach no one.
    ViUInt16& cur = s->mechanisms[type];
    const ViStatus result = (cur & mech) ? VI_SUCCESS_EVENT_EN : VI_SUCCESS;
    const bool was_suspended = cur & VI_SUSPEND_HNDLR;
    ViUInt16 next = cur | mech;
    if (mech & VI_HNDLR)
        next &= ~VI_SUSPEND_HNDLR;
    if (mech & VI_SUSPEND_HNDLR)
        next &= ~VI_HNDLR;
    cur = next;
    s->events_enabled_once = true;
    if ((mech & VI_HNDLR) && was_suspended) {
        // Events held for the suspended handler go to the handlers now, oldest first.
        std::deque<event_data> keep;
        for (auto& ev : s->suspended) {
            if (ev.type == type)
                dispatch_locked(s, std::move(ev), direct);
            else
                keep.push_back(std::move(ev));
        }
        s->suspended.swap(keep);
    }
    return result;
}

ViStatus enable(const std::shared_ptr<instr_session>& s, ViEventType type, ViUInt16 mech,
                ViEventFilter context)
{
    if (type == VI_ALL_ENABLED_EVENTS || !event_supported(*s, type))
        return VI_ERROR_INV_EVENT;
    if (!valid_enable_mechanism(mech))
        return VI_ERROR_INV_MECH;
    if (type == VI_EVENT_EXCEPTION && mech != VI_HNDLR)
        return VI_ERROR_INV_MECH;
    if (context != VI_NULL)
        return VI_ERROR_INV_CONTEXT;
    direct_delivery direct(s);
    const ViStatus result = enable_mechanisms(s, type, mech, direct);
    direct.deliver();
    return result;
}

ViStatus disable(const std::shared_ptr<instr_session>& s, ViEventType type, ViUInt16 mech)
{
    if (type != VI_ALL_ENABLED_EVENTS && !event_supported(*s, type))
        return VI_ERROR_INV_EVENT;
    ViUInt16 bits;
    if (!mechanism_bits(mech, bits))
        return VI_ERROR_INV_MECH;
    std::lock_guard lock(s->ev_m);
    bool changed = false;
    for (auto& [t, cur] : s->mechanisms) {
        if (type != VI_ALL_ENABLED_EVENTS && t != type)
            continue;
        if (cur & bits)
            changed = true;
        cur &= ~bits;
    }
    s->ev_cv.notify_all();
    return changed ? VI_SUCCESS : VI_SUCCESS_EVENT_DIS;
}

ViStatus discard(const std::shared_ptr<instr_session>& s, ViEventType type, ViUInt16 mech)
{
    if (type != VI_ALL_ENABLED_EVENTS && !event_supported(*s, type))
        return VI_ERROR_INV_EVENT;
    ViUInt16 bits;
    if (!mechanism_bits(mech, bits))
        return VI_ERROR_INV_MECH;
    std::lock_guard lock(s->ev_m);
    bool removed = false;
    auto drop = [&](std::deque<event_data>& q) {
        auto end = std::remove_if(q.begin(), q.end(), [&](const event_data& ev) {
            return type == VI_ALL_ENABLED_EVENTS || ev.type == type;
        });
        removed = removed || end != q.end();
        q.erase(end, q.end());
    };
    if (bits & VI_QUEUE) {
        drop(s->queue);
        s->overflowed = false;
    }
    if (bits & VI_SUSPEND_HNDLR)
        drop(s->suspended);
    return removed ? VI_SUCCESS : VI_SUCCESS_QUEUE_EMPTY;
}

ViStatus wait_on(const std::shared_ptr<instr_session>& s, ViEventType in, ViUInt32 timeout,
                 ViPEventType out_type, ViPEvent out_context)
{
    if (out_type)
        *out_type = 0;
    if (out_context)
        *out_context = VI_NULL;
    if (in != VI_ALL_ENABLED_EVENTS && !event_supported(*s, in))
        return VI_ERROR_INV_EVENT;
    using clock = std::chrono::steady_clock;
    const auto deadline = timeout == VI_TMO_INFINITE
                              ? clock::time_point::max()
                              : clock::now() + std::chrono::milliseconds(timeout);
    std::unique_lock lock(s->ev_m);
    auto matches = [&](const event_data& ev) {
        return in == VI_ALL_ENABLED_EVENTS || ev.type == in;
    };
    const bool queued = std::any_of(s->mechanisms.begin(), s->mechanisms.end(), [&](const auto& m) {
        return (in == VI_ALL_ENABLED_EVENTS || m.first == in) && (m.second & VI_QUEUE);
    });
    if (!queued)
        return VI_ERROR_NENABLED;
    for (;;) {
        auto it = std::find_if(s->queue.begin(), s->queue.end(), matches);
        if (it != s->queue.end()) {
            event_data ev = std::move(*it);
            s->queue.erase(it);
            ViStatus status = VI_SUCCESS;
            if (s->overflowed)
                status = VI_WARN_QUEUE_OVERFLOW;
            else if (std::any_of(s->queue.begin(), s->queue.end(), matches))
                status = VI_SUCCESS_QUEUE_NEMPTY;
            s->overflowed = false;
            lock.unlock();
            if (out_type)
                *out_type = ev.type;
            if (out_context)
                *out_context = open_context(s->id, std::move(ev), false);
            return status;
        }
        if (s->closed)
            return VI_ERROR_INV_OBJECT;
        const auto now = clock::now();
        if (now >= deadline)
            return VI_ERROR_TMO;
        s->ev_cv.wait_until(lock, std::min(deadline, now + std::chrono::hours(1)));
    }
}

ViStatus install(const std::shared_ptr<instr_session>& s, ViEventType type, ViHndlr handler,
                 ViAddr user)
{
    if (!event_supported(*s, type))
        return VI_ERROR_INV_EVENT;
    if (!handler)
        return VI_ERROR_INV_HNDLR_REF;
    std::lock_guard lock(s->ev_m);
    s->handlers.push_back({type, handler, user});
    return VI_SUCCESS;
}

ViStatus uninstall(const std::shared_ptr<instr_session>& s, ViEventType type, ViHndlr handler,
                   ViAddr user)
{
    if (type != VI_ALL_ENABLED_EVENTS && !event_supported(*s, type))
        return VI_ERROR_INV_EVENT;
    std::lock_guard lock(s->ev_m);
    auto end = std::remove_if(s->handlers.begin(), s->handlers.end(), [&](const handler_entry& h) {
        if (type != VI_ALL_ENABLED_EVENTS && h.type != type)
            return false;
        return handler == VI_NULL || (h.handler == handler && h.user == user);  // VI_ANY_HNDLR: all
    });
    if (end == s->handlers.end())
        return VI_ERROR_HNDLR_NINSTALLED;
    s->handlers.erase(end, s->handlers.end());
    return VI_SUCCESS;
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                ViEventFilter context)
{
    return api_call("viEnableEvent",
                    {{"vi", num(vi)},
                     {"eventType", hex(eventType)},
                     {"mechanism", num(mechanism)},
                     {"context", num(context)}},
                    [&] {
                        return with_session(
                            vi, [&](auto s) { return enable(s, eventType, mechanism, context); });
                    });
}

ViStatus _VI_FUNC viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism)
{
    return api_call(
        "viDisableEvent",
        {{"vi", num(vi)}, {"eventType", hex(eventType)}, {"mechanism", num(mechanism)}},
        [&] { return with_session(vi, [&](auto s) { return disable(s, eventType, mechanism); }); });
}

ViStatus _VI_FUNC viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism)
{
    return api_call(
        "viDiscardEvents",
        {{"vi", num(vi)}, {"eventType", hex(eventType)}, {"mechanism", num(mechanism)}},
        [&] { return with_session(vi, [&](auto s) { return discard(s, eventType, mechanism); }); });
}

ViStatus _VI_FUNC viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                                ViPEventType outEventType, ViPEvent outContext)
{
    return api_call("viWaitOnEvent",
                    {{"vi", num(vi)},
                     {"inEventType", hex(inEventType)},
                     {"timeout", num(timeout)},
                     {"outEventType", ptr(outEventType)},
                     {"outContext", ptr(outContext)}},
                    [&] {
                        return with_session(vi, [&](auto s) {
                            return wait_on(s, inEventType, timeout, outEventType, outContext);
                        });
                    });
}

ViStatus _VI_FUNC viInstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler,
                                   ViAddr userHandle)
{
    return api_call("viInstallHandler",
                    {{"vi", num(vi)},
                     {"eventType", hex(eventType)},
                     {"handler", ptr(reinterpret_cast<const void*>(handler))},
                     {"userHandle", ptr(userHandle)}},
                    [&] {
                        return with_session(
                            vi, [&](auto s) { return install(s, eventType, handler, userHandle); });
                    });
}

ViStatus _VI_FUNC viUninstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler,
                                     ViAddr userHandle)
{
    return api_call("viUninstallHandler",
                    {{"vi", num(vi)},
                     {"eventType", hex(eventType)},
                     {"handler", ptr(reinterpret_cast<const void*>(handler))},
                     {"userHandle", ptr(userHandle)}},
                    [&] {
                        return with_session(vi, [&](auto s) {
                            return uninstall(s, eventType, handler, userHandle);
                        });
                    });
}

}  // extern "C"
