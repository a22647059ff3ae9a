#pragma once
// One soak worker: a thread of the multithreaded apartment with a private session on a port of
// its own, which it checks strictly (the instrument's answers, settings read back, every event
// it is owed) and on which it installs a free-threaded handler now and then, and the pool of shared
// sessions on one port, where other workers' locks, closes and reads make timeouts, lock refusals
// and closed sessions outcomes to expect. Each step is one of a weighted mix of operations on the
// interfaces of the session.
#include <windows.h>

#include <random>
#include <set>
#include <string>
#include <thread>

#include "soak/control.h"
#include "soak/counting_handler.h"
#include "soak/sessions.h"

namespace soak {

class worker {
public:
    worker(control& ctl, outcomes& out, shared_pool& shared, int index, std::wstring resource,
           unsigned seed);
    ~worker();
    worker(const worker&) = delete;
    worker& operator=(const worker&) = delete;

private:
    void run();
    void step();
    void let_go();

    // The private session, opened when there is none; null when it could not be opened.
    com_ptr<IVisaSession> own();
    // Closes and releases the private session (a fresh one starts with the port's defaults).
    void close_own();
    // A private step gave an injected failure: the session's state is no longer known.
    bool spoilt(kind k);

    void query();
    void binary_io();
    void serial_settings();
    void attributes();
    void queued_events();
    void async_query();
    void terminated_job();
    void free_threaded_handler();
    void shared_io();
    void shared_lock();
    void shared_wait();
    void shared_async();
    void shared_properties();
    void reopen_own();
    void reopen_shared();

    // Empties the private session's queue, which is bounded: a full queue drops the events
    // that a step is owed. False when the session was spoilt.
    bool room_in_queue(IEventManager* events);
    // Takes one I/O-completion event from the private session's queue, checking that its job
    // was started here and not terminated. The event's job ID, or -1 when none came.
    long take_completion(long timeout_ms, kinds may, std::string* read_text = nullptr);

    // Strict event and answer checks hold only while no fault is injected: a failed attribute
    // read in the event capture, for one, drops the event.
    bool strict() const { return !out_.faults_allowed(); }
    kind check(HRESULT hr, kinds allowed, const char* op)
    {
        self_.returned(op);
        return out_.check(hr, allowed, op);
    }

    control& ctl_;
    outcomes& out_;
    shared_pool& shared_;
    const std::wstring resource_;
    participant& self_;
    std::minstd_rand random_;
    com_ptr<IVisaSession> own_;
    std::set<long> started_jobs_, terminated_jobs_;  // of the private session
    const long user_handle_;
    com_ptr<counting_handler> handler_;  // free-threaded, for the private session
    bool handler_installed_ = false;
    std::thread thread_;
};

}  // namespace soak
