#include "events/event_wait.h"

#include <algorithm>
#include <atomic>
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

// How long a wait watches for its hand-over before it goes to sleep. A completion that the
// library reports a moment after its call returned is taken without the two thread switches of
// a sleep and a wake-up; a longer wait costs this much processor time once.
constexpr std::int64_t spin_time = 500 * 10;  // 100-nanosecond units

// One registered wait: its record in the waiter list from construction, counted as active until
// destruction, whichever way the wait ends. When no wait is active any more, events handed to
// waits that are gone are dropped.
class registered_wait {
public:
    registered_wait(event_state& state, std::uint32_t type, DWORD thread_id) : state_(state)
    {
        state_.waiters.push_back({type, thread_id, &woken_, nullptr});
        ++state_.active_waits;
    }
    registered_wait(const registered_wait&) = delete;
    registered_wait& operator=(const registered_wait&) = delete;
    ~registered_wait()
    {
        state_lock guard(state_.lock);
        std::erase_if(state_.waiters,
                      [this](const waiter_record& w) { return w.woken == &woken_; });
        if (--state_.active_waits == 0)
            state_.completed_waits.clear();
    }

    // Whether the wait has been handed an event or ended by the closing session; read without
    // the lock.
    bool woken() const noexcept { return woken_.load(std::memory_order_acquire); }

    // Whether the record still waits in the list (the dispatch step and the exit cleanup take
    // it out). Under the event-state lock.
    bool still_listed() const
    {
        return std::any_of(state_.waiters.begin(), state_.waiters.end(),
                           [this](const waiter_record& w) { return w.woken == &woken_; });
    }

    // The signal to sleep on, made on the first sleep and given to the record, so that a
    // hand-over from then on sets it. Under the event-state lock.
    HANDLE signal()
    {
        if (!handover_) {
            handover_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
            if (!handover_)
                throw_last_error();
            for (auto& w : state_.waiters)
                if (w.woken == &woken_)
                    w.handover = handover_.get();
        }
        return handover_.get();
    }

private:
    event_state& state_;
    std::atomic<bool> woken_{false};
    unique_handle handover_;  // destroyed after the record has left the list
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
    const std::int64_t started = now();
    const std::int64_t deadline = started + static_cast<std::int64_t>(timeout_ms) * 10000;
    const DWORD thread_id = ::GetCurrentThreadId();
    wait_result out;

    // The thread's message queue exists before the wait can be handed anything, so the
    // wait-complete message is never posted to a thread without one.
    MSG peeked;
    ::PeekMessageA(&peeked, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    std::optional<registered_wait> wait;
    {
        state_lock guard(state.lock);
        if (auto queued = state.queue.take_first(type)) {
            out.event = _event_t::make_com_object(*queued);
        } else {
            if (timeout_ms == 0)
                throw_timeout();
            wait.emplace(state, type, thread_id);
        }
    }
    while (!out.event) {
        std::int64_t current = now();
        if (limited && current >= deadline)
            throw_timeout();
        // A woken wait takes its event first; its messages wait for the caller's own loop.
        if (!wait->woken())
            pump_messages();
        HANDLE signal = nullptr;
        {
            state_lock guard(state.lock);
            out.event = collect(state, thread_id, type);
            // Out of the list with nothing to collect: the session closed and its cleanup
            // ended the wait (it wakes the wait as well as posting the message, which another
            // loop may have taken).
            if (!out.event && !wait->still_listed())
                throw_session_closed();
            if (!out.event && current - started >= spin_time)
                signal = wait->signal();
        }
        if (out.event)
            break;
        if (!signal) {
            // Spinning: watch the flag, letting other threads of this processor run.
            for (int pass = 0; pass < 64 && !wait->woken(); ++pass)
                ::SwitchToThread();
            continue;
        }
        DWORD sleep = INFINITE;
        if (limited) {
            const std::int64_t left = deadline - now();
            if (left <= 0)
                continue;
            sleep = static_cast<DWORD>((left + 9999) / 10000);
        }
        ::MsgWaitForMultipleObjectsEx(1, &signal, sleep, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    state_lock guard(state.lock);
    if (state.queue.contains(type))
        out.result = more_events_queued;
    return out;
}

}  // namespace mrv::events
