// The VISA objects of the library (resource manager sessions, instrument sessions, find lists,
// event contexts) and the process-wide table that maps their handles to them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "attributes.h"
#include "visa.h"

namespace simvisa {

class port;

struct object {
    ViObject id = 0;
    virtual ~object() = default;
};

// One attribute of an event context.
struct event_attr {
    ViUInt32 size = 4;  // bytes of a number
    ViAttrState value = 0;
    bool is_text = false;
    bool is_data = false;
    std::string bytes;  // text or data
};

struct event_data {
    ViEventType type = 0;
    std::map<ViAttr, event_attr> attrs;
};

struct rm_session : object {
    std::mutex m;
    std::set<ViObject> children;  // sessions and find lists opened through it
    attr_values values;
};

struct find_list : object {
    ViSession rm = 0;
    std::mutex m;
    std::deque<std::string> rest;
};

struct event_context : object {
    ViSession session = 0;
    bool for_handler = false;  // closed by the library when the handlers return
    event_data data;
};

struct async_job {
    ViJobId id = 0;
    bool write = false;
    ViPBuf buf = nullptr;
    ViUInt32 count = 0;
    std::atomic<bool> cancel{false};
};

struct handler_entry {
    ViEventType type;
    ViHndlr handler;
    ViAddr user;
};

struct instr_session : object {
    ViSession rm = 0;
    std::shared_ptr<port> port;

    std::mutex m;  // values, closed, formatted buffers
    attr_values values;
    std::atomic<bool> closed{false};
    std::string write_buffer;  // formatted output not yet sent
    std::string read_buffer;   // formatted input not yet consumed

    // Event state, under ev_m.
    std::mutex ev_m;
    std::condition_variable ev_cv;
    std::map<ViEventType, ViUInt16> mechanisms;
    std::deque<event_data> queue;
    bool overflowed = false;
    std::deque<event_data> suspended;
    std::vector<handler_entry> handlers;  // installation order
    bool events_enabled_once = false;
    ViUInt32 max_queue = 50;

    // Asynchronous jobs, under job_m.
    std::mutex job_m;
    std::deque<std::shared_ptr<async_job>> jobs;  // waiting
    std::shared_ptr<async_job> running;
    bool worker = false;
    ViJobId next_job = 1;
};

// Handle table.
ViObject add_object(std::shared_ptr<object> obj);
std::shared_ptr<object> find_object(ViObject id);
std::shared_ptr<object> take_object(ViObject id);  // removes it from the table

template <class T>
std::shared_ptr<T> find(ViObject id)
{
    return std::dynamic_pointer_cast<T>(find_object(id));
}

size_t object_count();

// The objects of one kind that `keep` accepts, in the order they were opened.
std::vector<ViObject> find_objects(bool (*keep)(const object&, const void*), const void* arg);

// The event contexts that a close of the session closes: those it handed out by
// viWaitOnEvent. A handler's context stays readable until the handler returns.
std::vector<ViObject> contexts_of(ViSession session);

}  // namespace simvisa
