#pragma once
// The event state of one session: what its event methods, the library's callback, its waits and
// its dispatch thread share. The session and its dispatch thread both hold it (shared), so it
// outlives a session that is destroyed on its own dispatch thread.
//
// The event-state lock guards every field. It is taken inside the session's object lock and
// inside the registry lock, never around either; it is never held across a call into the VISA
// library or into client code.
#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "com/com_ptr.h"
#include "com/critical_section.h"
#include "com/unique_any.h"
#include "events/event_object.h"
#include "events/event_queue.h"
#include "events/job_buffers.h"

namespace mrv {
class visa_driver;
}

namespace mrv::events {

// An event on its way from the callback to the dispatch thread, with its type's mechanism flags
// as they were when it arrived.
struct pending_record {
    std::uint32_t flags = 0;
    std::unique_ptr<_event_t> event;
    bool handed_over = false;  // a waiting WaitOnEvent has it already
};

struct handler_record {
    DWORD cookie = 0;  // in the global interface table
    std::uint32_t type = 0;
    long user_handle = 0;
};

// A WaitOnEvent call waiting for its event. The flag and the signal belong to the wait: whoever
// hands the wait an event, or takes it out of the list as the session closes, sets the flag
// (which the wait watches without the lock while it spins), sets the signal once the wait has
// made one to sleep on, and posts the wait-complete message once it has released the lock.
struct waiter_record {
    std::uint32_t type = 0;
    DWORD thread_id = 0;
    std::atomic<bool>* woken = nullptr;
    HANDLE handover = nullptr;  // none while the wait spins
};

struct event_state {
    event_state() = default;
    event_state(const event_state&) = delete;
    event_state& operator=(const event_state&) = delete;
    ~event_state() = default;

    CComAutoCriticalSection lock;
    bool started = false;  // the dispatch thread runs (its exit cleanup clears it)

    static constexpr std::size_t arrival = 0;
    static constexpr std::size_t stop = 1;
    unique_handle signals[2];  // made by the first start, kept for the state's life

    EventQueue<_event_t> queue;            // the queue mechanism's events (WaitOnEvent)
    EventQueue<_event_t> suspended_queue;  // held for a suspended handler
    com_ptr<IGlobalInterfaceTable> git;    // made by the first InstallHandler
    job_buffer_registry job_buffers;
    std::map<std::uint32_t, std::uint32_t> enabled_types;  // type -> mechanism flags
    std::vector<handler_record> handlers;                  // installation order
    std::vector<waiter_record> waiters;                    // arrival order
    std::map<DWORD, _event_t> completed_waits;             // thread ID -> handed-over event
    std::deque<pending_record> pending;                    // oldest first
    bool dispatching = false;        // the dispatch step is moving pending events on
    std::uint32_t active_waits = 0;  // waits between registration and return

    // The dispatch thread, and what it reaches of the session while it runs: the driver (for the
    // library side of its exit cleanup) and the session's IEventManager (handed to handlers).
    // Both are cleared by the exit cleanup; neither is referenced.
    unique_handle thread;
    DWORD thread_id = 0;
    ViSession session = 0;
    visa_driver* driver = nullptr;
    IEventManager* manager = nullptr;
};

}  // namespace mrv::events
