#include "events.h"

#include <windows.h>

#include <chrono>
#include <set>

#include "module.h"
#include "port.h"

namespace simvisa {
namespace {

struct support_table {
    std::mutex m;
    std::set<ViEventType> extra;
    std::set<ViEventType> removed;
};

support_table& support()
{
    static support_table t;
    return t;
}

bool serial_instr_event(ViEventType type)
{
    switch (type) {
    case VI_EVENT_IO_COMPLETION:
    case VI_EVENT_SERVICE_REQ:
    case VI_EVENT_EXCEPTION:
    case VI_EVENT_TRIG:
    case VI_EVENT_CLEAR:
    case VI_EVENT_ASRL_BREAK:
    case VI_EVENT_ASRL_TERMCHAR:
    case VI_EVENT_ASRL_CTS:
    case VI_EVENT_ASRL_DSR:
    case VI_EVENT_ASRL_DCD:
    case VI_EVENT_ASRL_RI:
    case VI_EVENT_ASRL_CHAR:
        return true;
    default:
        return false;
    }
}

// How long the handler thread waits for more work before it ends. Starting a thread costs far
// more than an event's delivery, so a burst of events (one completion per transfer) is served
// by one thread, while an idle library still ends its thread and can be unloaded soon after.
constexpr std::chrono::milliseconds handler_linger{250};

// The handler thread: one per process, started when there is work, ended when there has been
// none for a while or delivery is held. `delivering` counts handler chains in progress on any
// thread and `direct` the events that raising threads are about to deliver themselves, so that
// a wait for idleness sees every event on its way.
struct dispatcher {
    std::mutex m;
    std::condition_variable idle;
    std::condition_variable more_work;  // the lingering handler thread waits on it
    std::deque<std::pair<std::weak_ptr<instr_session>, event_data>> work;
    bool running = false;
    bool lingering = false;
    bool held = false;
    bool synchronous = false;
    size_t delivering = 0;
    size_t direct = 0;
    // Threads running handlers now (a thread twice when a handler raises an event that is
    // delivered synchronously): a wait for idleness from one of them would wait for itself.
    std::multiset<unsigned long> handler_threads;

    bool is_idle() const { return work.empty() && delivering == 0 && direct == 0; }
};

dispatcher& handler_thread()
{
    static dispatcher d;
    return d;
}

void call_handlers(const std::shared_ptr<instr_session>& s, event_data ev)
{
    std::vector<handler_entry> chain;
    {
        std::lock_guard lock(s->ev_m);
        auto it = s->mechanisms.find(ev.type);
        if (s->closed || it == s->mechanisms.end() || !(it->second & VI_HNDLR))
            return;
        for (auto h = s->handlers.rbegin(); h != s->handlers.rend(); ++h)
            if (h->type == ev.type)
                chain.push_back(*h);  // last installed is called first
    }
    if (chain.empty())
        return;
    const ViEventType type = ev.type;
    const ViEvent context = open_context(s->id, std::move(ev), true);
    auto& d = handler_thread();
    const unsigned long thread = GetCurrentThreadId();
    {
        std::lock_guard lock(d.m);
        d.handler_threads.insert(thread);
    }
    for (const auto& h : chain) {
        ViStatus status = VI_SUCCESS;
        try {
            status = h.handler(s->id, type, context, h.user);
        } catch (...) {
        }
        if (status == VI_SUCCESS_NCHAIN)
            break;
    }
    {
        std::lock_guard lock(d.m);
        d.handler_threads.erase(d.handler_threads.find(thread));
    }
    take_object(context);
}

// One delivery counted in `delivering` (or `direct`) ends.
void delivered(size_t dispatcher::*counter)
{
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    --(d.*counter);
    if (d.is_idle())
        d.idle.notify_all();
}

void run_handler_thread()
{
    auto& d = handler_thread();
    for (;;) {
        std::pair<std::weak_ptr<instr_session>, event_data> item;
        {
            std::unique_lock lock(d.m);
            if (d.work.empty() && !d.held) {
                d.lingering = true;
                d.more_work.wait_for(lock, handler_linger,
                                     [&d] { return !d.work.empty() || d.held; });
                d.lingering = false;
            }
            if (d.work.empty() || d.held) {
                d.running = false;
                return;
            }
            item = std::move(d.work.front());
            d.work.pop_front();
            ++d.delivering;
        }
        try {
            if (auto s = item.first.lock())
                call_handlers(s, std::move(item.second));
        } catch (...) {
        }
        delivered(&dispatcher::delivering);
    }
}

// Caller holds d.m.
void start_thread_locked(dispatcher& d)
{
    if (d.lingering && (d.held || !d.work.empty()))
        d.more_work.notify_one();
    if (d.running || d.held || d.work.empty())
        return;
    d.running = start_library_thread(run_handler_thread);
    if (!d.running) {
        d.work.clear();  // no thread can run handlers: the events are lost
        d.idle.notify_all();
    }
}

}  // namespace

bool event_supported(ViEventType type)
{
    auto& t = support();
    std::lock_guard lock(t.m);
    if (t.removed.count(type))
        return false;
    return serial_instr_event(type) || t.extra.count(type);
}

bool event_supported(const instr_session& s, ViEventType type)
{
    if (type == VI_EVENT_SERVICE_REQ && !s.port->end->requests_service())
        return false;
    return event_supported(type);
}

void set_event_supported(ViEventType type, bool supported)
{
    auto& t = support();
    std::lock_guard lock(t.m);
    if (supported) {
        t.extra.insert(type);
        t.removed.erase(type);
    } else {
        t.extra.erase(type);
        t.removed.insert(type);
    }
}

direct_delivery::~direct_delivery()
{
    if (events_.empty())
        return;
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    d.direct -= events_.size();
    if (d.is_idle())
        d.idle.notify_all();
}

void direct_delivery::add(event_data ev)
{
    events_.push_back(std::move(ev));
}

void direct_delivery::deliver()
{
    // Taken one at a time from the front, so that what is left stays counted in `direct`.
    while (!events_.empty()) {
        event_data ev = std::move(events_.front());
        events_.erase(events_.begin());
        {
            auto& d = handler_thread();
            std::lock_guard lock(d.m);
            --d.direct;
            ++d.delivering;
        }
        try {
            call_handlers(session_, std::move(ev));
        } catch (...) {
        }
        delivered(&dispatcher::delivering);
    }
}

void dispatch_locked(const std::shared_ptr<instr_session>& s, event_data ev,
                     direct_delivery& direct)
{
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    if (d.synchronous && !d.held) {
        ++d.direct;
        direct.add(std::move(ev));
        return;
    }
    d.work.emplace_back(s, std::move(ev));
    start_thread_locked(d);
}

void hold_events(bool hold)
{
    auto& d = handler_thread();
    std::deque<std::pair<std::weak_ptr<instr_session>, event_data>> here;
    {
        std::lock_guard lock(d.m);
        d.held = hold;
        if (hold || !d.synchronous) {
            start_thread_locked(d);
            return;
        }
        here.swap(d.work);
        d.delivering += here.size();
    }
    // Synchronous delivery: the held events reach their handlers on this thread.
    for (auto& [w, ev] : here) {
        try {
            if (auto s = w.lock())
                call_handlers(s, std::move(ev));
        } catch (...) {
        }
        delivered(&dispatcher::delivering);
    }
}

size_t pending_events()
{
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    return d.work.size() + d.direct;
}

ViStatus wait_until_idle(ViUInt32 timeout_ms)
{
    auto& d = handler_thread();
    std::unique_lock lock(d.m);
    if (d.handler_threads.count(GetCurrentThreadId()))
        return VI_ERROR_INV_SETUP;
    auto idle = [&] { return d.is_idle(); };
    if (timeout_ms == VI_TMO_INFINITE) {
        d.idle.wait(lock, idle);
        return VI_SUCCESS;
    }
    return d.idle.wait_for(lock, std::chrono::milliseconds(timeout_ms), idle) ? VI_SUCCESS
                                                                              : VI_ERROR_TMO;
}

void deliver_synchronously(bool synchronous)
{
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    d.synchronous = synchronous;
}

bool event_enabled(instr_session& s, ViEventType type)
{
    std::lock_guard lock(s.ev_m);
    auto it = s.mechanisms.find(type);
    return it != s.mechanisms.end() && it->second != 0 && !s.closed;
}

ViStatus post_event(const std::shared_ptr<instr_session>& s, event_data ev)
{
    if (!ev.attrs.count(VI_ATTR_EVENT_TYPE))
        set_number(ev, VI_ATTR_EVENT_TYPE, 4, ev.type);
    direct_delivery direct(s);
    {
        std::lock_guard lock(s->ev_m);
        auto it = s->mechanisms.find(ev.type);
        if (s->closed || it == s->mechanisms.end() || it->second == 0)
            return VI_ERROR_NENABLED;
        const ViUInt16 mech = it->second;
        if (mech & VI_QUEUE) {
            if (s->queue.size() < s->max_queue) {
                s->queue.push_back(ev);
                s->ev_cv.notify_all();
            } else {
                s->overflowed = true;
            }
        }
        if (mech & VI_SUSPEND_HNDLR)
            s->suspended.push_back(ev);
        if (mech & VI_HNDLR)
            dispatch_locked(s, std::move(ev), direct);
    }
    direct.deliver();
    return VI_SUCCESS;
}

ViEvent open_context(ViSession vi, event_data ev, bool for_handler)
{
    auto c = std::make_shared<event_context>();
    c->session = vi;
    c->for_handler = for_handler;
    c->data = std::move(ev);
    return add_object(c);
}

event_data make_event(ViEventType type)
{
    event_data ev;
    ev.type = type;
    set_number(ev, VI_ATTR_EVENT_TYPE, 4, type);
    return ev;
}

void set_number(event_data& ev, ViAttr attr, ViUInt32 size, ViAttrState value)
{
    event_attr a;
    a.size = size;
    a.value = value;
    ev.attrs[attr] = a;
}

void set_text(event_data& ev, ViAttr attr, const std::string& text)
{
    event_attr a;
    a.is_text = true;
    a.bytes = text;
    ev.attrs[attr] = a;
}

}  // namespace simvisa
