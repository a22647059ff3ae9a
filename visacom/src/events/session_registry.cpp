#include "events/session_registry.h"

#include <map>

#include "com/synchronize.h"
#include "events/dispatch_thread.h"
#include "events/event_state.h"
#include "events/event_types.h"

namespace mrv::events {
namespace {

std::map<ViSession, std::shared_ptr<event_state>>& sessions()
{
    static std::map<ViSession, std::shared_ptr<event_state>> map;
    return map;
}

// The flags an arriving event goes on with: a full queue takes no more events, while waiters
// and handlers still get it. Nothing when the type is not enabled (any more).
bool arrival_flags(event_state& state, ViEventType type, std::uint32_t& flags)
{
    synchronize<CComAutoCriticalSection> guard(state.lock);
    const auto found = state.enabled_types.find(type);
    if (found == state.enabled_types.end())
        return false;
    flags = found->second;
    if ((flags & queue_bit) && state.queue.is_full())
        flags &= ~queue_bit;
    return true;
}

}  // namespace

CComAutoCriticalSection& registry_lock() noexcept
{
    static CComAutoCriticalSection lock;
    return lock;
}

void register_session(ViSession session, std::shared_ptr<event_state> state)
{
    sessions()[session] = std::move(state);
}

void unregister_session(ViSession session, const event_state& state) noexcept
{
    std::shared_ptr<event_state> removed;  // released after the lock
    {
        synchronize<CComAutoCriticalSection> guard(registry_lock());
        const auto found = sessions().find(session);
        if (found != sessions().end() && found->second.get() == &state) {
            removed = std::move(found->second);
            sessions().erase(found);
        }
    }
}

ViStatus _VI_FUNCH event_callback(ViSession session, ViEventType type, ViEvent context, ViAddr)
{
    try {
        synchronize<CComAutoCriticalSection> registered(registry_lock());
        const auto found = sessions().find(session);
        if (found == sessions().end())
            return VI_SUCCESS;
        event_state& state = *found->second;
        std::uint32_t flags = 0;
        if (!arrival_flags(state, type, flags))
            return VI_SUCCESS;
        // The capture reads the context from the library without the event-state lock.
        auto record =
            _event_t::capture(session, type, context, [&state](void* buffer, ViStatus status) {
                synchronize<CComAutoCriticalSection> guard(state.lock);
                return state.job_buffers.claim(buffer, status == VI_ERROR_ABORT);
            });
        if (!record)
            return VI_SUCCESS;
        DWORD woken = 0;
        bool rest_pending = false;
        {
            // What needs no handler and overtakes no earlier event is placed from here, a
            // thread switch sooner; the dispatch thread does the rest.
            synchronize<CComAutoCriticalSection> guard(state.lock);
            if (auto rest = dispatch_arrival(state, flags, std::move(record), woken)) {
                state.pending.push_back(std::move(*rest));
                rest_pending = true;
            }
        }
        if (woken)
            post_wait_complete(woken, 0);
        if (rest_pending)
            ::SetEvent(state.signals[event_state::arrival].get());
    } catch (...) {
        // The library's thread gets nothing back from a failed capture; the event is lost.
    }
    return VI_SUCCESS;
}

}  // namespace mrv::events
