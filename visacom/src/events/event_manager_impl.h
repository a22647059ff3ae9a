#pragma once
// IEventManagerImpl<T>: the base of a session class that carries IEventManager and the
// session's event state.
#include "scaffolding.h"
#include "visacom.h"

namespace mrv {

template <class T>
class IEventManagerImpl : public IEventManager {
public:
    // Scaffolding: waiting for the event manager.
    STDMETHODIMP get_MaximumQueueLength(long*) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP put_MaximumQueueLength(long) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP EnableEvent(EventType, EventMechanism, long) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP DisableEvent(EventType, EventMechanism, long) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP DiscardEvents(EventType, EventMechanism, long) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP WaitOnEvent(long, EventType, long, IEvent**) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP InstallHandler(EventType, IEventHandler*, long, long) override { return scaffolding<pending_work::event_manager>(); }
    STDMETHODIMP UninstallHandler(EventType, long, long) override { return scaffolding<pending_work::event_manager>(); }

    // The event manager state (queues, enabled types, handlers, waiters, job buffers and the
    // dispatch thread) is added here by the event work.
};

}  // namespace mrv
