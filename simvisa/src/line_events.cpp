#include "line_events.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "events.h"
#include "module.h"
#include "session_access.h"

namespace simvisa {
namespace {

// Bytes that arrive (type 0), or an event of `type` raised from the timer thread.
struct arrival {
    std::vector<std::weak_ptr<instr_session>> sessions;
    std::string bytes;
    ViEventType type = 0;
};

// Arrivals waiting for their time, and the thread that raises their events: started when
// there is one, ended when none is left.
struct arrival_timer {
    std::mutex m;
    std::condition_variable changed;
    std::multimap<clock::time_point, arrival> due;
    bool running = false;
};

arrival_timer& timer()
{
    static arrival_timer t;
    return t;
}

void raise_arrival(const arrival& a)
{
    if (a.type) {
        raise_on_sessions(a.sessions, a.type);
        return;
    }
    for (const auto& w : a.sessions) {
        auto s = w.lock();
        if (!s)
            continue;
        post_event(s, make_event(VI_EVENT_ASRL_CHAR));
        const auto termchar = static_cast<char>(local_value(*s, VI_ATTR_TERMCHAR));
        for (size_t n = std::count(a.bytes.begin(), a.bytes.end(), termchar); n > 0; --n)
            post_event(s, make_event(VI_EVENT_ASRL_TERMCHAR));
    }
}

void run_timer()
{
    auto& t = timer();
    std::unique_lock lock(t.m);
    for (;;) {
        if (t.due.empty()) {
            t.running = false;
            return;
        }
        const auto first = t.due.begin();
        if (first->first > clock::now()) {
            t.changed.wait_until(lock, first->first);
            continue;
        }
        arrival a = std::move(first->second);
        t.due.erase(first);
        lock.unlock();
        try {
            raise_arrival(a);
        } catch (...) {
        }
        lock.lock();
    }
}

void schedule(clock::time_point at, arrival a)
{
    auto& t = timer();
    std::lock_guard lock(t.m);
    t.due.emplace(at, std::move(a));
    t.changed.notify_all();
    if (!t.running) {
        t.running = start_library_thread(run_timer);
        if (!t.running)
            t.due.clear();
    }
}

}  // namespace

void note_arrival(const port& p, std::string_view bytes, clock::time_point at)
{
    if (bytes.empty())
        return;
    arrival a;
    for (const auto& w : p.sessions) {
        auto s = w.lock();
        if (s &&
            (event_enabled(*s, VI_EVENT_ASRL_CHAR) || event_enabled(*s, VI_EVENT_ASRL_TERMCHAR)))
            a.sessions.push_back(s);
    }
    if (a.sessions.empty())
        return;  // nobody listens: the bytes raise nothing
    a.bytes.assign(bytes);
    schedule(at, std::move(a));
}

void raise_from_timer(std::vector<std::weak_ptr<instr_session>> sessions, ViEventType type)
{
    arrival a;
    a.sessions = std::move(sessions);
    a.type = type;
    schedule(clock::now(), std::move(a));
}

void raise_on_sessions(const std::vector<std::weak_ptr<instr_session>>& sessions, ViEventType type)
{
    for (const auto& w : sessions)
        if (auto s = w.lock())
            post_event(s, make_event(type));
}

ViEventType modem_line_event(ViAttr line)
{
    switch (line) {
    case VI_ATTR_ASRL_CTS_STATE:
        return VI_EVENT_ASRL_CTS;
    case VI_ATTR_ASRL_DSR_STATE:
        return VI_EVENT_ASRL_DSR;
    case VI_ATTR_ASRL_DCD_STATE:
        return VI_EVENT_ASRL_DCD;
    case VI_ATTR_ASRL_RI_STATE:
        return VI_EVENT_ASRL_RI;
    default:
        return 0;
    }
}

}  // namespace simvisa
