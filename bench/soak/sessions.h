#pragma once
// Sessions of the server as a client makes them (CoCreateInstance of the session class by
// ProgID, then Init), and the pool of shared sessions on one port that every worker uses and
// any worker may replace: the old session is closed while others may still be inside calls.
#include <windows.h>
#include <objbase.h>

#include <mutex>
#include <string>
#include <vector>

#include "com/com_ptr.h"
#include "com/unique_any.h"
#include "soak/control.h"
#include "soak/outcomes.h"
#include "visacom.h"

namespace soak {

using mrv::com_ptr;

inline constexpr long kOpenTimeout = 2000;

struct com_apartment {
    explicit com_apartment(DWORD model) { CoInitializeEx(nullptr, model); }
    ~com_apartment() { CoUninitialize(); }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
};

inline mrv::bstr make_bstr(const std::wstring& text)
{
    return mrv::bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A new session opened on `resource`; null when creation or Init failed. `self` (when given)
// notes each call's return for the watchdog.
inline com_ptr<IVisaSession> open_session(outcomes& out, const std::wstring& resource,
                                          participant* self = nullptr)
{
    static const CLSID clsid = [] {
        CLSID c{};
        CLSIDFromProgID(L"MorvaneRS232.RS232Svr", &c);
        return c;
    }();
    com_ptr<IVisaSession> s;
    const HRESULT created =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession, s.put_void());
    if (self)
        self->returned("CoCreateInstance");
    if (out.check(created, 0, "CoCreateInstance", false) != kind::ok)
        return {};
    const auto name = make_bstr(resource), options = make_bstr(L"");
    const HRESULT opened = s->Init(name.get(), NO_LOCK, kOpenTimeout, options.get());
    if (self)
        self->returned("Init");
    if (out.check(opened, 0, "Init") != kind::ok)
        return {};
    return s;
}

// The type an event was raised with. Type answers -1 for the types outside the VISA COM
// enumeration (the serial ones among them); CustomEventType gives every type unchanged.
inline bool raised_type(outcomes& out, IEvent* event, long& type)
{
    return out.check(event->get_CustomEventType(&type), 0, "IEvent::get_CustomEventType", false) ==
           kind::ok;
}

class shared_pool {
public:
    shared_pool(outcomes& out, std::wstring resource, std::size_t size)
        : out_(out), resource_(std::move(resource)), slots_(size)
    {}
    std::size_t size() const { return slots_.size(); }

    com_ptr<IVisaSession> get(std::size_t i)
    {
        std::lock_guard lock(m_);
        return slots_[i % slots_.size()];
    }
    // Opens a new session into slot i and closes the one it replaces.
    void replace(std::size_t i)
    {
        com_ptr<IVisaSession> fresh = open_session(out_, resource_), old;
        {
            std::lock_guard lock(m_);
            old = std::exchange(slots_[i % slots_.size()], fresh);
        }
        if (old)
            out_.check(old->Close(), 0, "Close shared");
    }
    void fill()
    {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            replace(i);
    }
    void close_all()
    {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            com_ptr<IVisaSession> old;
            {
                std::lock_guard lock(m_);
                old = std::exchange(slots_[i], nullptr);
            }
            if (old)
                out_.check(old->Close(), 0, "Close shared");
        }
    }

private:
    outcomes& out_;
    const std::wstring resource_;
    std::mutex m_;  // guards the slots; never held across a call into a session
    std::vector<com_ptr<IVisaSession>> slots_;
};

}  // namespace soak
