#pragma once
// A client event handler that counts the events it is given and checks how it is called: with
// its own user handle and an event of the type it handles, and, when it lives in a
// single-threaded apartment, on that apartment's thread. A free-threaded one aggregates the
// free-threaded marshaler, so the server's dispatch thread calls it directly. Reference counted
// on the heap: the server releases it when it pleases.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <string>

#include "soak/sessions.h"

namespace soak {

class counting_handler final : public IEventHandler {
public:
    static com_ptr<counting_handler> make(outcomes& out, long type, long user_handle,
                                          bool free_threaded)
    {
        auto h = com_ptr<counting_handler>::attach(new counting_handler(out, type, user_handle));
        if (free_threaded)
            CoCreateFreeThreadedMarshaler(h.get(), h->marshaler_.put());
        return h;
    }
    // Nobody but the holder of one reference keeps it: the server's proxies and table entries
    // are gone.
    bool released_by_others() const { return refs_.load() == 1; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IMarshal) && marshaler_)
            return marshaler_->QueryInterface(iid, out);
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEventHandler))
            return E_NOINTERFACE;
        *out = static_cast<IEventHandler*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager* session, IEvent* event,
                                          long user_handle) override
    {
        out_.event();
        if (!marshaler_ && GetCurrentThreadId() != thread_)
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
    counting_handler(outcomes& out, long type, long user_handle)
        : out_(out), type_(type), user_handle_(user_handle), thread_(GetCurrentThreadId())
    {}

    outcomes& out_;
    const long type_, user_handle_;
    const DWORD thread_;
    com_ptr<IUnknown> marshaler_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace soak
