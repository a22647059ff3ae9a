#include "events/event_wait.h"

#include <optional>
#include <utility>

#include "com/synchronize.h"
#include "com/unique_any.h"
#include "events/dispatch_thread.h"
#include "errors/loc_com_error.h"
#include "errors/win32_error.h"
#include "events/event_types.h"
#include "resources/string_ids.h"

namespace mrv::events {
namespace {

using state_lock = synchronize<CComAutoCriticalSection>;

constexpr HRESULT wait_timed_out = static_cast<HRESULT>(0x80040015);
constexpr DWORD help_timed_out = 1048;
constexpr DWORD help_session_closed = 1045;

[[noreturn]] void throw_timeout()
{
    throw loc_com_error(IDS_WAIT_TIMED_OUT, help_timed_out, IID_IEventManager, wait_timed_out);
}

[[noreturn]] void throw_session_closed()
{
    throw loc_com_error(IDS_SESSION_CLOSED, help_session_closed, IID_IEventManager,
                        static_cast<HRESULT>(0x8004000E));
}

// The system time in 100-nanosecond units.
std::int64_t now() noexcept
{
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// One registered wait: its record in the waiter list from construction, counted as active until
// destruction, whichever way the wait ends. When no wait is active any more, events handed to
// waits that are gone are dropped.
class registered_wait {
public:
    registered_wait(event_state& state, std::uint32_t type, DWORD thread_id, HANDLE handover)
        : state_(state), handover_(handover)
    {
        state_.waiters.push_back({type, thread_id, handover});
        ++state_.active_waits;
    }
    registered_wait(const registered_wait&) = delete;
    registered_wait& operator=(const registered_wait&) = delete;
    ~registered_wait()
    {
        state_lock guard(state_.lock);
        std::erase_if(state_.waiters,
                      [this](const waiter_record& w) { return w.handover == handover_; });
        if (--state_.active_waits == 0)
            state_.completed_waits.clear();
    }

    // Whether the record still waits in the list (the dispatch step and the exit cleanup take
    // it out). Under the event-state lock.
    bool still_listed() const
    {
        for (const auto& w : state_.waiters)
            if (w.handover == handover_)
                return true;
        return false;
    }

private:
    event_state& state_;
    HANDLE handover_;
};

// The event handed to this thread's wait, as a new COM object; none when there is none (or it
// is not of the type). Under the event-state lock.
com_ptr<IEvent> collect(event_state& state, DWORD thread_id, std::uint32_t type)
{
    const auto found = state.completed_waits.find(thread_id);
    if (found == state.completed_waits.end() || !type_matches(type, found->second.type))
        return {};
    com_ptr<IEvent> event = _event_t::make_com_object(found->second);
    state.completed_waits.erase(found);
    return event;
}

// Takes and dispatches every queued message but the wait-complete message, which is taken and
// not dispatched: what it says is read from the session's tables (the hand-over is collected
// from the completed-wait table; a closing session has taken the wait out of its list). The
// message alone decides nothing, because one may be left over from an earlier wait of the
// thread: a session that closes as a wait on it times out still posts it. A WM_QUIT is taken
// and dropped.
void pump_messages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            break;
        if (msg.message == wait_complete_message() && wait_complete_message() != 0)
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace

wait_result wait_for_event(event_state& state, long timeout_ms, std::uint32_t type)
{
    const bool limited = timeout_ms != -1;
    const std::int64_t deadline = now() + static_cast<std::int64_t>(timeout_ms) * 10000;
    const DWORD thread_id = ::GetCurrentThreadId();
    wait_result out;

    // The thread's message queue exists before the wait can be handed anything, so the
    // wait-complete message is never posted to a thread without one.
    MSG peeked;
    ::PeekMessageA(&peeked, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    unique_handle handover(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!handover)
        throw_last_error();

    std::optional<registered_wait> wait;
    {
        state_lock guard(state.lock);
        if (auto queued = state.queue.take_first(type)) {
            out.event = _event_t::make_com_object(*queued);
        } else {
            if (timeout_ms == 0)
                throw_timeout();
            wait.emplace(state, type, thread_id, handover.get());
        }
    }
    while (!out.event) {
        if (limited && now() >= deadline)
            throw_timeout();
        pump_messages();
        {
            state_lock guard(state.lock);
            out.event = collect(state, thread_id, type);
            // Out of the list with nothing to collect: the session closed and its cleanup
            // ended the wait (it signals the hand-over event as well as posting the message,
            // which another loop may have taken).
            if (!out.event && !wait->still_listed())
                throw_session_closed();
        }
        if (out.event)
            break;
        DWORD sleep = INFINITE;
        if (limited) {
            const std::int64_t left = deadline - now();
            if (left <= 0)
                continue;
            sleep = static_cast<DWORD>((left + 9999) / 10000);
        }
        HANDLE signal = handover.get();
        ::MsgWaitForMultipleObjectsEx(1, &signal, sleep, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    state_lock guard(state.lock);
    if (state.queue.contains(type))
        out.result = more_events_queued;
    return out;
}

}  // namespace mrv::events
