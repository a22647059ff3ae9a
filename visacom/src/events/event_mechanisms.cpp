#include "events/event_mechanisms.h"

#include <vector>

#include "com/synchronize.h"
#include "events/dispatch_thread.h"
#include "driver/visa_driver.h"
#include "events/event_handlers.h"
#include "events/event_types.h"
#include "events/session_registry.h"

namespace mrv::events {
namespace {

using state_lock = synchronize<CComAutoCriticalSection>;
using state_unlock = unsynchronize<CComAutoCriticalSection>;

// The callback goes in first; when the library then refuses the type, the callback comes out
// again, or the next enable would install a second one.
void enable_in_library(visa_driver& driver, std::uint32_t type)
{
    driver.viInstallHandler(type, &event_callback, nullptr);
    try {
        driver.viEnableEvent(type, VI_HNDLR, VI_NULL);
    } catch (...) {
        try {
            driver.viUninstallHandler(type, &event_callback, nullptr);
        } catch (...) {
            // The enable's failure is the one reported.
        }
        throw;
    }
}

}  // namespace

HRESULT enable_event(const std::shared_ptr<event_state>& state, visa_driver& driver,
                     IEventManager* manager, std::uint32_t type, std::uint32_t mechanism,
                     const without_object_lock& unlocked)
{
    start(state, driver, manager);
    if ((mechanism & handler_bit) && (mechanism & suspended_bit))
        return E_INVALIDARG;
    const std::uint32_t flags = mechanism & (queue_bit | handler_bit | suspended_bit);

    HRESULT result = S_OK;
    state_lock guard(state->lock);
    if (type == all_enabled) {
        for (auto& [t, f] : state->enabled_types) {
            if (f != 0)
                result = event_enabled_before;
            f = flags;
        }
        return result;
    }
    const auto found = state->enabled_types.find(type);
    if (found == state->enabled_types.end()) {
        {
            state_unlock library_call(state->lock);
            enable_in_library(driver, type);
        }
        state->enabled_types[type] = flags;
        return event_enabled_before;
    }
    const bool was_off = found->second == 0;
    const bool was_suspended = (found->second & suspended_bit) != 0;
    found->second = flags;
    if (was_off) {
        state_unlock library_call(state->lock);
        driver.viEnableEvent(type, VI_HNDLR, VI_NULL);
    }
    if ((flags & handler_bit) && was_suspended) {
        state_unlock client_calls(state->lock);
        unlocked([&] { flush_suspended(*state, type); });
    }
    return result;
}

HRESULT disable_event(event_state& state, visa_driver& driver, std::uint32_t type,
                      std::uint32_t mechanism)
{
    const std::uint32_t clear = mechanism & (queue_bit | handler_bit | suspended_bit);
    HRESULT result = S_OK;
    std::vector<std::uint32_t> switched_off;  // types the library no longer delivers
    {
        state_lock guard(state.lock);
        if (type == all_enabled) {
            for (auto& [t, f] : state.enabled_types) {
                if (f == 0)
                    result = event_disabled_before;
                const bool was_on = f != 0;
                f &= ~clear;
                if (was_on && f == 0)
                    switched_off.push_back(t);
            }
        } else if (const auto found = state.enabled_types.find(type);
                   found == state.enabled_types.end()) {
            // Never enabled: the library judges the type all the same.
            state_unlock library_call(state.lock);
            driver.viEnableEvent(type, VI_HNDLR, VI_NULL);
            driver.viDisableEvent(type, VI_HNDLR);
            result = event_disabled_before;
        } else {
            if (found->second == 0)
                result = event_disabled_before;
            found->second &= ~clear;
            if (found->second == 0)
                switched_off.push_back(type);
        }
    }
    for (std::uint32_t t : switched_off)
        driver.viDisableEvent(t, VI_HNDLR);
    return result;
}

HRESULT discard_events(event_state& state, std::uint32_t type, std::uint32_t mechanism)
{
    HRESULT result = queue_was_empty;
    state_lock guard(state.lock);
    std::erase_if(state.pending, [&](const pending_record& p) {
        return type_matches(type, p.event->type) && (p.flags & mechanism) != 0;
    });
    auto discard = [&](std::uint32_t t) {
        bool changed = false;
        if (mechanism & queue_bit)
            changed = state.queue.remove_all(t) || changed;
        if (mechanism & suspended_bit)
            changed = state.suspended_queue.remove_all(t) || changed;
        if (changed)
            result = S_OK;
    };
    if (type == all_enabled) {
        for (const auto& entry : state.enabled_types)
            discard(entry.first);
    } else if (state.enabled_types.count(type)) {
        discard(type);
    }
    return result;
}

}  // namespace mrv::events
