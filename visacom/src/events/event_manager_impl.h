#pragma once
// IEventManagerImpl<T>: the base of a session class that carries IEventManager and the
// session's event state. The work is the events library's (event_mechanisms.h, event_wait.h,
// event_handlers.h, dispatch_thread.h); the methods here put it in the session method frame.
//
// T provides what the method frame needs, and driver() (a visa_driver).
#include <cstdint>
#include <functional>
#include <memory>

#include "com/critical_section.h"
#include "com/synchronize.h"
#include "errors/pointer_checks.h"
#include "events/dispatch_thread.h"
#include "events/event_handlers.h"
#include "events/event_mechanisms.h"
#include "events/event_state.h"
#include "events/event_types.h"
#include "events/event_wait.h"
#include "frame/method_frame.h"
#include "visacom.h"

namespace mrv {

inline constexpr interface_frame event_manager_frame{
    &IID_IEventManager, "IEventManager", {internal_error(IID_IVisaSession)}};

template <class T>
class IEventManagerImpl : public IEventManager {
public:
    // The queue's maximum; the suspended-handler queue has the same one.
    STDMETHODIMP get_MaximumQueueLength(long* pVal) override
    {
        return run_framed(
            owner(), event_manager_frame.with({pointer_error(), internal_error(IID_IVisaSession)}),
            __func__, {param::out("*pVal", pVal)}, [&] {
                synchronize<CComAutoCriticalSection> guard(events_->lock);
                *pVal = static_cast<long>(events_->queue.maximum());
            });
    }
    // Any value is stored, 0 and "negative" ones included; the records already held stay.
    STDMETHODIMP put_MaximumQueueLength(long pVal) override
    {
        return run_framed(owner(), event_manager_frame, __func__, {param::in("pVal", pVal)}, [&] {
            synchronize<CComAutoCriticalSection> guard(events_->lock);
            events_->queue.set_maximum(static_cast<std::uint32_t>(pVal));
            events_->suspended_queue.set_maximum(static_cast<std::uint32_t>(pVal));
        });
    }

    STDMETHODIMP EnableEvent(EventType type, EventMechanism mechanism,
                             long customEventType) override
    {
        static constexpr interface_frame frame = event_manager_frame.with(
            {convert_visa(IID_IEventManager), convert_win32(IID_IEventManager, 1001),
             pointer_error(), internal_error(IID_IVisaSession)});
        return run_framed(owner(), frame, __func__,
                          {param::in("type", type), param::in("mechanism", mechanism),
                           param::in("customEventType", customEventType)},
                          [&] {
                              return events::enable_event(
                                  events_, owner().driver(), this,
                                  events::effective_type(type, customEventType),
                                  static_cast<std::uint32_t>(mechanism),
                                  [this](const std::function<void()>& call) {
                                      unsynchronize<T> unlocked(owner());
                                      call();
                                  });
                          });
    }
    STDMETHODIMP DisableEvent(EventType type, EventMechanism mechanism,
                              long customEventType) override
    {
        static constexpr interface_frame frame = event_manager_frame.with(
            {convert_visa(IID_IEventManager), pointer_error(), internal_error(IID_IVisaSession)});
        return run_framed(owner(), frame, __func__,
                          {param::in("type", type), param::in("mechanism", mechanism),
                           param::in("customEventType", customEventType)},
                          [&] {
                              return events::disable_event(
                                  *events_, owner().driver(),
                                  events::effective_type(type, customEventType),
                                  static_cast<std::uint32_t>(mechanism));
                          });
    }
    STDMETHODIMP DiscardEvents(EventType type, EventMechanism mechanism,
                               long customEventType) override
    {
        static constexpr interface_frame frame =
            event_manager_frame.with({pointer_error(), internal_error(IID_IVisaSession)});
        return run_framed(owner(), frame, __func__,
                          {param::in("type", type), param::in("mechanism", mechanism),
                           param::in("customEventType", customEventType)},
                          [&] {
                              return events::discard_events(
                                  *events_, events::effective_type(type, customEventType),
                                  static_cast<std::uint32_t>(mechanism));
                          });
    }

    // Holds the object lock only for the open check, so the session's other methods, and other
    // waits, run while it waits.
    STDMETHODIMP WaitOnEvent(long Timeout, EventType type, long customEventType,
                             IEvent** outContext) override
    {
        static constexpr interface_frame frame = event_manager_frame.with(
            {pointer_error(), report_loc_com(), internal_error(IID_IVisaSession)});
        return run_framed_unlocked(
            owner(), frame, __func__,
            {param::in("Timeout", Timeout), param::in("type", type),
             param::in("customEventType", customEventType), param::out("**outContext", outContext)},
            [&] {
                auto waited = events::wait_for_event(*events_, Timeout,
                                                     events::effective_type(type, customEventType));
                *outContext = waited.event.detach();
                return waited.result;
            });
    }

    STDMETHODIMP InstallHandler(EventType type, IEventHandler* handler, long userHandle,
                                long customEventType) override
    {
        static constexpr interface_frame frame = event_manager_frame.with(
            {pointer_error(), report_loc_com(), internal_error(IID_IVisaSession)});
        return run_framed(
            owner(), frame, __func__,
            {param::in("type", type), param::in("*handler", handler),
             param::in("userHandle", userHandle), param::in("customEventType", customEventType)},
            [&] {
                check_in_pointer(handler);
                events::start(events_, owner().driver(), this);
                return events::install_handler(
                    *events_, events::effective_type(type, customEventType), handler, userHandle);
            });
    }
    STDMETHODIMP UninstallHandler(EventType type, long userHandle, long customEventType) override
    {
        static constexpr interface_frame frame =
            event_manager_frame.with({report_loc_com(), internal_error(IID_IVisaSession)});
        return run_framed(owner(), frame, __func__,
                          {param::in("type", type), param::in("userHandle", userHandle),
                           param::in("customEventType", customEventType)},
                          [&] {
                              return events::uninstall_handler(
                                  *events_, events::effective_type(type, customEventType),
                                  userHandle);
                          });
    }

protected:
    T& owner() noexcept { return static_cast<T&>(*this); }

    // Stops the dispatch machinery (the session is closing); E_UNEXPECTED when that failed.
    // Called before the driver closes, outside the object lock where the caller can.
    HRESULT stop_events() noexcept
    {
        try {
            events::stop(*events_);
            return S_OK;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    // The session's event state, shared with its dispatch thread (which may outlive the session
    // when the session is released from a handler).
    std::shared_ptr<events::event_state> events_ = std::make_shared<events::event_state>();
};

}  // namespace mrv
