#pragma once
// A client event handler that counts the events it is given and checks how it is called: with
// its own user handle and an event of the type it handles, and, when it lives in a
// single-threaded apartment, on that apartment's thread.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "MrvRS232_handler.h"
#include "soak/sessions.h"

namespace soak {

class counting_handler final : public MrvEventHandler {
public:
    static com_ptr<counting_handler> make(outcomes& out, long type, long user_handle,
                                          bool free_threaded)
    {
        return com_ptr<counting_handler>::attach(
            new counting_handler(out, type, user_handle, free_threaded));
    }
    // Nobody but the holder of one reference keeps it: the server's proxies and table entries
    // are gone.
    bool released_by_others() const { return references() == 1; }

    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager* session, IEvent* event,
                                          long user_handle) override
    {
        out_.event();
        if (!free_threaded() && GetCurrentThreadId() != thread_)
            out_.wrong("a handler of another apartment was called on thread " +
                       std::to_string(GetCurrentThreadId()));
        if (user_handle != user_handle_)
            out_.wrong("a handler was called with user handle " + std::to_string(user_handle));
        long type = 0;
        if (!session || !event)
            out_.wrong("a handler was called without its session or event");
        else if (raised_type(out_, event, type) && type != type_)
            out_.wrong("a handler of type " + hex(static_cast<std::uint32_t>(type_)) +
                       " was given an event of type " + hex(static_cast<std::uint32_t>(type)));
        return S_OK;
    }

private:
    counting_handler(outcomes& out, long type, long user_handle, bool free_threaded)
        : MrvEventHandler(free_threaded), out_(out), type_(type), user_handle_(user_handle),
          thread_(GetCurrentThreadId())
    {}

    outcomes& out_;
    const long type_, user_handle_;
    const DWORD thread_;
};

}  // namespace soak
