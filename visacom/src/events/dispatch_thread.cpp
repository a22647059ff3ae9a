#include "events/dispatch_thread.h"

#include <process.h>

#include <atomic>
#include <utility>

#include "com/synchronize.h"
#include "driver/visa_driver.h"
#include "errors/win32_error.h"
#include "events/event_handlers.h"
#include "events/event_types.h"
#include "events/session_registry.h"

namespace mrv::events {
namespace {

constexpr char wait_complete_name[] = "VISA COM I/O Wait For Event Complete Notification; "
                                      "UUID=6F1A2B3C-4D5E-4F60-8172-83940A1B2C3D";

std::atomic<UINT> wait_complete{0};

using state_lock = synchronize<CComAutoCriticalSection>;
using state_unlock = unsynchronize<CComAutoCriticalSection>;

// What the new thread is given: its share of the state and a reference on this module, which
// it gives back as it ends (so the code it runs stays mapped until then).
struct thread_start {
    std::shared_ptr<event_state> state;
    HMODULE module = nullptr;
    HANDLE started = nullptr;
};

unique_handle new_event()
{
    unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        throw_last_error();
    return event;
}

// Wakes a wait that is in the list: its flag, and its signal when it sleeps. Under the
// event-state lock, which keeps the signal open.
void wake(const waiter_record& w)
{
    w.woken->store(true, std::memory_order_release);
    if (w.handover)
        ::SetEvent(w.handover);
}

// Hands `event` to the first waiting WaitOnEvent that wants it, if any, through the
// completed-wait table, and returns that wait's thread (0: none). Under the event-state lock;
// the caller posts the wait-complete message once it has released the lock, so that the woken
// wait need not wait for the post to collect its event.
DWORD hand_over_to_waiter(event_state& state, const _event_t& event)
{
    for (auto w = state.waiters.begin(); w != state.waiters.end(); ++w) {
        if (!type_matches(w->type, event.type))
            continue;
        const DWORD thread = w->thread_id;
        state.completed_waits.try_emplace(thread, event);
        wake(*w);
        state.waiters.erase(w);
        return thread;
    }
    return 0;
}

// One dispatch step: every pending event goes, oldest first, to the first waiter that wants it,
// then by its flags to the suspended queue, the handlers and (when no waiter took it) the
// queue. While the step runs, arriving events leave their queue places to it.
void dispatch_pending(event_state& state, IGlobalInterfaceTable* git)
{
    state_lock guard(state.lock);
    state.dispatching = true;
    struct step_ends {
        event_state& state;
        ~step_ends() { state.dispatching = false; }
    } ends{state};
    while (!state.pending.empty()) {
        pending_record record = std::move(state.pending.front());
        state.pending.pop_front();
        const _event_t& event = *record.event;

        bool handed_over = record.handed_over;
        if (!handed_over) {
            if (const DWORD thread = hand_over_to_waiter(state, event)) {
                handed_over = true;
                state_unlock unlocked(state.lock);
                post_wait_complete(thread, 0);
            }
        }
        if (record.flags & suspended_bit)
            state.suspended_queue.push(event);
        if (record.flags & handler_bit) {
            state_unlock unlocked(state.lock);
            deliver_to_handlers(state, event, git);
        }
        if ((record.flags & queue_bit) && !handed_over)
            state.queue.push(event);
    }
}

// Waits for messages and the two signals until the stop signal or a WM_QUIT.
void run_loop(event_state& state, IGlobalInterfaceTable* git)
{
    HANDLE signals[2] = {state.signals[event_state::arrival].get(),
                         state.signals[event_state::stop].get()};
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(2, signals, FALSE, INFINITE, QS_ALLINPUT);
        if (::WaitForSingleObject(signals[event_state::stop], 0) == WAIT_OBJECT_0)
            return;
        if (woke == WAIT_OBJECT_0 + 2) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    return;
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        } else if (woke == WAIT_OBJECT_0 + event_state::arrival) {
            ::ResetEvent(signals[event_state::arrival]);
            dispatch_pending(state, git);
        } else {
            return;
        }
    }
}

unsigned __stdcall dispatch_thread(void* argument)
{
    HMODULE module = nullptr;
    {
        std::unique_ptr<thread_start> start(static_cast<thread_start*>(argument));
        module = start->module;
        std::shared_ptr<event_state> state = std::move(start->state);
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ::SetEvent(start->started);
        try {
            com_ptr<IGlobalInterfaceTable> git;
            ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGlobalInterfaceTable, git.put_void());
            run_loop(*state, git.get());
        } catch (...) {
            // The thread ends; the cleanup below still leaves the session's tables empty.
        }
        exit_cleanup(*state);
        state.reset();  // may be the last share, when the session is gone already
        ::CoUninitialize();
    }
    ::FreeLibraryAndExitThread(module, 0);
}

HMODULE reference_this_module()
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&dispatch_thread), &module))
        throw_last_error();
    return module;
}

// Waits for `thread` to end while serving the caller's messages. A WM_QUIT taken meanwhile is
// posted again afterwards, for the caller's own loop.
void wait_pumping(HANDLE thread)
{
    bool quit = false;
    int quit_code = 0;
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quit_code = static_cast<int>(msg.wParam);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (quit)
        ::PostQuitMessage(quit_code);
}

void revoke_handlers(IGlobalInterfaceTable* git, const std::vector<handler_record>& handlers)
{
    if (!git)
        return;
    for (const auto& h : handlers)
        git->RevokeInterfaceFromGlobal(h.cookie);
}

}  // namespace

UINT wait_complete_message() noexcept
{
    return wait_complete.load();
}

void post_wait_complete(DWORD thread, WPARAM closing) noexcept
{
    ::PostThreadMessageW(thread, wait_complete_message(), closing, 0);
}

std::optional<pending_record> dispatch_arrival(event_state& state, std::uint32_t flags,
                                               std::unique_ptr<_event_t> event, DWORD& woken)
{
    pending_record record{flags, std::move(event), false};
    if (!state.pending.empty())
        return record;
    // Every earlier event has been offered to the waiters and the suspended queue already; one
    // still being dispatched may yet go into the queue, after its handlers.
    woken = hand_over_to_waiter(state, *record.event);
    record.handed_over = woken != 0;
    if (flags & suspended_bit)
        state.suspended_queue.push(*record.event);
    record.flags &= ~suspended_bit;
    if (record.flags & handler_bit)
        return record;  // the handlers, and the queue after them
    if (!(record.flags & queue_bit) || record.handed_over)
        return std::nullopt;
    if (state.dispatching)
        return record;  // the queue, after the event being dispatched
    state.queue.push(*record.event);
    return std::nullopt;
}

void start(const std::shared_ptr<event_state>& state, visa_driver& driver, IEventManager* manager)
{
    synchronize<CComAutoCriticalSection> registered(registry_lock());
    {
        state_lock guard(state->lock);
        if (state->started)
            return;
    }
    for (auto& signal : state->signals) {
        if (!signal)
            signal = new_event();
        ::ResetEvent(signal.get());
    }
    wait_complete = ::RegisterWindowMessageA(wait_complete_name);
    unique_handle started = new_event();
    {
        state_lock guard(state->lock);
        state->session = driver.session();
        state->driver = &driver;
        state->manager = manager;
    }

    auto start = std::make_unique<thread_start>();
    start->state = state;
    start->module = reference_this_module();
    start->started = started.get();
    unsigned thread_id = 0;
    unique_handle thread(reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &dispatch_thread, start.get(), 0, &thread_id)));
    if (!thread) {
        const DWORD error = ::GetLastError();
        ::FreeLibrary(start->module);
        throw win32_error(error);
    }
    start.release();  // the thread's now
    register_session(driver.session(), state);

    // The thread sets `started` once its apartment exists; a thread that ended before that
    // ends the wait too.
    HANDLE either[2] = {started.get(), thread.get()};
    ::WaitForMultipleObjects(2, either, FALSE, INFINITE);

    state_lock guard(state->lock);
    state->thread = std::move(thread);
    state->thread_id = thread_id;
    state->started = true;
}

void stop(event_state& state)
{
    HANDLE thread = nullptr;
    DWORD thread_id = 0;
    {
        state_lock guard(state.lock);
        if (!state.started || !state.thread)
            return;
        thread_id = state.thread_id;
        if (thread_id != ::GetCurrentThreadId() &&
            !::DuplicateHandle(::GetCurrentProcess(), state.thread.get(), ::GetCurrentProcess(),
                               &thread, SYNCHRONIZE, FALSE, 0))
            throw_last_error();
    }
    if (thread_id == ::GetCurrentThreadId()) {
        // Reached from a handler on the dispatch thread: the thread cannot wait for itself. The
        // cleanup runs now, while the session's driver still exists, and the thread leaves its
        // loop when the handler returns to it.
        exit_cleanup(state);
        ::SetEvent(state.signals[event_state::stop].get());
        return;
    }
    unique_handle own(thread);
    ::SetEvent(state.signals[event_state::stop].get());
    wait_pumping(own.get());

    state_lock guard(state.lock);
    if (state.thread_id == thread_id && !state.started) {
        state.thread.reset();
        state.thread_id = 0;
    }
}

void exit_cleanup(event_state& state) noexcept
{
    // From here on no callback reaches this state.
    unregister_session(state.session, state);

    visa_driver* driver = nullptr;
    std::map<std::uint32_t, std::uint32_t> enabled;
    std::vector<handler_record> handlers;
    com_ptr<IGlobalInterfaceTable> git;
    std::vector<ViJobId> jobs, ended;
    {
        state_lock guard(state.lock);
        try {
            jobs = state.job_buffers.jobs();
            ended.reserve(jobs.size());
        } catch (...) {
            // Out of memory: the jobs end with the library session instead.
            jobs.clear();
        }
        driver = std::exchange(state.driver, nullptr);
        enabled = std::move(state.enabled_types);
        state.enabled_types.clear();
        handlers = std::move(state.handlers);
        state.handlers.clear();
        git = state.git;
        state.manager = nullptr;
    }
    // The library side, without the event-state lock: a library may deliver events to the
    // callback inside these calls. Each failure is its own; the cleanup goes on.
    if (driver) {
        try {
            driver->viDisableEvent(VI_ALL_ENABLED_EVENTS, VI_ALL_MECH);
        } catch (...) {
        }
        for (const auto& entry : enabled) {
            try {
                driver->viUninstallHandler(entry.first, VI_ANY_HNDLR, 0);
            } catch (...) {
            }
        }
        // A pending job may go on filling its buffer until it ends: each is ended in the
        // library before its buffer is freed below.
        for (ViJobId job : jobs) {
            try {
                driver->viTerminate(VI_NULL, job);
                ended.push_back(job);
            } catch (...) {
            }
        }
    }
    // Revoking releases the client's handlers: client code, so outside the lock too.
    revoke_handlers(git.get(), handlers);

    std::deque<pending_record> pending;
    std::vector<waiter_record> waiters;
    {
        state_lock guard(state.lock);
        state.started = false;
        pending = std::move(state.pending);
        state.pending.clear();
        state.suspended_queue.clear();
        // The buffers of jobs the library did not end (or that may be starting on a client
        // thread now) stay registered until the state goes, after the library session has
        // closed.
        state.job_buffers.free_ended(ended);
        state.queue.clear();
        state.completed_waits.clear();
        waiters = std::move(state.waiters);
        state.waiters.clear();
        // Each pending wait ends with the closed-session error.
        for (const auto& w : waiters)
            wake(w);
    }
    for (const auto& w : waiters)
        post_wait_complete(w.thread_id, 1);
}

}  // namespace mrv::events
