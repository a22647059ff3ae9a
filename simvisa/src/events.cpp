#include "events.h"

#include <set>

#include "module.h"

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

// The handler thread: one per process, started when there is work, ended when there is none.
struct dispatcher {
    std::mutex m;
    std::deque<std::pair<std::weak_ptr<instr_session>, event_data>> work;
    bool running = false;
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
    const ViEvent context = open_context(s->id, std::move(ev));
    for (const auto& h : chain) {
        ViStatus status = VI_SUCCESS;
        try {
            status = h.handler(s->id, type, context, h.user);
        } catch (...) {
        }
        if (status == VI_SUCCESS_NCHAIN)
            break;
    }
    take_object(context);
}

void run_handler_thread()
{
    auto& d = handler_thread();
    for (;;) {
        std::pair<std::weak_ptr<instr_session>, event_data> item;
        {
            std::lock_guard lock(d.m);
            if (d.work.empty()) {
                d.running = false;
                return;
            }
            item = std::move(d.work.front());
            d.work.pop_front();
        }
        if (auto s = item.first.lock())
            call_handlers(s, std::move(item.second));
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

void dispatch_locked(const std::shared_ptr<instr_session>& s, event_data ev)
{
    auto& d = handler_thread();
    std::lock_guard lock(d.m);
    d.work.emplace_back(s, std::move(ev));
    if (!d.running) {
        d.running = start_library_thread(run_handler_thread);
        if (!d.running)
            d.work.clear();  // no thread can run handlers: the events are lost
    }
}

ViStatus post_event(const std::shared_ptr<instr_session>& s, event_data ev)
{
    if (!ev.attrs.count(VI_ATTR_EVENT_TYPE))
        set_number(ev, VI_ATTR_EVENT_TYPE, 4, ev.type);
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
        dispatch_locked(s, std::move(ev));
    return VI_SUCCESS;
}

ViEvent open_context(ViSession vi, event_data ev)
{
    auto c = std::make_shared<event_context>();
    c->session = vi;
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
