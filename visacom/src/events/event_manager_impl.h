#pragma once
// IEventManagerImpl<T>: the base of a session class that carries IEventManager and the
// session's event state.
#include <cstdint>

#include "com/critical_section.h"
#include "com/synchronize.h"
#include "events/event_queue.h"
#include "frame/method_frame.h"
#include "frame/scaffolding.h"
#include "visacom.h"

namespace mrv {

// Scaffolding: waiting for the event objects (_event_t). The queues hold this stand-in record,
// which has only the event's type, until the event record lands.
struct pending_event_record {
    std::uint32_t type = 0;
};

inline constexpr interface_frame event_manager_frame{
    &IID_IEventManager, "IEventManager", {internal_error(IID_IVisaSession)}};

template <class T>
class IEventManagerImpl : public IEventManager {
public:
    using event_record = pending_event_record;

    // The queue's maximum; the suspended-handler queue has the same one.
    STDMETHODIMP get_MaximumQueueLength(long* pVal) override
    {
        return run_framed(
            owner(), event_manager_frame.with({pointer_error(), internal_error(IID_IVisaSession)}),
            __func__, {param::out("*pVal", pVal)}, [&] {
                synchronize<CComAutoCriticalSection> guard(event_state_lock_);
                *pVal = static_cast<long>(queue_.maximum());
            });
    }
    // Any value is stored, 0 and "negative" ones included; the records already held stay.
    STDMETHODIMP put_MaximumQueueLength(long pVal) override
    {
        return run_framed(owner(), event_manager_frame, __func__, {param::in("pVal", pVal)}, [&] {
            synchronize<CComAutoCriticalSection> guard(event_state_lock_);
            queue_.set_maximum(static_cast<std::uint32_t>(pVal));
            suspended_queue_.set_maximum(static_cast<std::uint32_t>(pVal));
        });
    }

    // Scaffolding: waiting for the event manager.
    STDMETHODIMP EnableEvent(EventType, EventMechanism, long) override
    {
        return scaffolding<pending_work::event_manager>();
    }
    STDMETHODIMP DisableEvent(EventType, EventMechanism, long) override
    {
        return scaffolding<pending_work::event_manager>();
    }
    STDMETHODIMP DiscardEvents(EventType, EventMechanism, long) override
    {
        return scaffolding<pending_work::event_manager>();
    }
    STDMETHODIMP WaitOnEvent(long, EventType, long, IEvent**) override
    {
        return scaffolding<pending_work::event_manager>();
    }
    STDMETHODIMP InstallHandler(EventType, IEventHandler*, long, long) override
    {
        return scaffolding<pending_work::event_manager>();
    }
    STDMETHODIMP UninstallHandler(EventType, long, long) override
    {
        return scaffolding<pending_work::event_manager>();
    }

protected:
    T& owner() noexcept { return static_cast<T&>(*this); }

    // The event state. The event-state lock guards every field below it; it is taken inside the
    // object lock, never around it.
    CComAutoCriticalSection event_state_lock_;
    EventQueue<event_record> queue_;            // the queue mechanism's events (WaitOnEvent)
    EventQueue<event_record> suspended_queue_;  // held for a suspended handler
    // The rest of the event state (enabled types, handlers, waiters, job buffers and the dispatch
    // thread) is added here by the event work.
};

}  // namespace mrv
