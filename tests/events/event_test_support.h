#pragma once
// Helpers of the event tests: a client IEventHandler that records what it is given, bounded
// waits, the VISA session behind a COM session, and events raised through the simulation library.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MrvRS232_handler.h"
#include "session_client.h"

namespace mrv::test {

inline constexpr long sre = 0x3FFF200B;          // VI_EVENT_SERVICE_REQ
inline constexpr long clear_event = 0x3FFF200D;  // VI_EVENT_CLEAR
inline constexpr long trigger = static_cast<long>(0xBFFF200A);
inline constexpr long usb_interrupt = 0x3FFF2037;
inline constexpr long any_event = 0x3FFF7FFF;
inline constexpr HRESULT timed_out = static_cast<HRESULT>(0x80040015);
inline constexpr HRESULT session_closed = static_cast<HRESULT>(0x8004000E);

// Polls `done` every few milliseconds for at most `ms`.
inline bool eventually(const std::function<bool()>& done, int ms = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sleep(2);
    }
    return true;
}

inline com_ptr<IEventManager> events_of(const com_ptr<IVisaSession>& s)
{
    return s.as<IEventManager>(IID_IEventManager);
}

// The VISA session handle of the session the server opened last on ASRL1.
inline ViSession library_session(const simvisa& visa)
{
    auto find = visa.get<simvisa_find_sessions_fn>("simvisa_find_sessions");
    ViSession sessions[64] = {};
    const ViUInt32 n = find ? find("ASRL1::INSTR", sessions, 64) : 0;
    return n == 0 || n > 64 ? 0 : sessions[n - 1];
}

// Raises an event of `type` on the VISA session, with the given attributes.
inline ViStatus raise(const simvisa& visa, ViSession vi, long type,
                      std::vector<simvisa_event_attr> attrs = {})
{
    auto f = visa.get<simvisa_raise_event_fn>("simvisa_raise_event");
    return f ? f(vi, static_cast<ViEventType>(type), attrs.data(),
                 static_cast<ViUInt32>(attrs.size()))
             : VI_ERROR_NSUP_OPER;
}

inline void support_event(const simvisa& visa, long type)
{
    if (auto f = visa.get<simvisa_support_event_fn>("simvisa_support_event"))
        f(static_cast<ViEventType>(type), VI_TRUE);
}

// A client handler. Every call is recorded; `on_event` (when set) runs inside the call.
class test_handler final : public MrvEventHandler {
public:
    struct call {
        DWORD thread;
        long type;
        long user_handle;
        IEvent* object;  // identity only: the object is not kept
    };

    // free_threaded: every apartment, the dispatch thread's included, calls it directly.
    static com_ptr<test_handler> make(bool free_threaded = false)
    {
        return com_ptr<test_handler>::attach(new test_handler(free_threaded));
    }

    std::function<void(IEventManager*, IEvent*)> on_event;

    std::vector<call> calls() const
    {
        std::lock_guard lock(m_);
        return calls_;
    }
    size_t count() const { return calls().size(); }
    // True once nobody but the holder of one reference keeps the handler: the server's proxies
    // and table entries are gone. An apartment that owns a handler serves calls until then, since
    // a release sent to an apartment that has ended is never answered under Wine.
    bool released_by_others(int ms = 5000) const
    {
        return eventually([&] { return references() == 1; }, ms);
    }
    bool wait_for(size_t n, int ms = 5000) const
    {
        return eventually([&] { return count() >= n; }, ms);
    }

    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager* vi, IEvent* event,
                                          long user_handle) override
    {
        long type = 0;
        if (event)
            event->get_CustomEventType(&type);
        {
            std::lock_guard lock(m_);
            calls_.push_back({GetCurrentThreadId(), type, user_handle, event});
        }
        if (on_event)
            on_event(vi, event);
        return S_OK;
    }

private:
    explicit test_handler(bool free_threaded) : MrvEventHandler(free_threaded) {}

    mutable std::mutex m_;
    std::vector<call> calls_;
};

// A manual-reset event for tests, closed with the test.
struct signal {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~signal() { CloseHandle(h); }
    void set() const { SetEvent(h); }
    bool wait(DWORD ms = 5000) const { return WaitForSingleObject(h, ms) == WAIT_OBJECT_0; }
};

// A single-threaded apartment on a thread of its own: runs `setup` there, then serves calls into
// the apartment until finish(), then runs `teardown` there.
class sta_thread {
public:
    explicit sta_thread(std::function<void()> setup, std::function<void()> teardown = {})
        : thread_([this, setup = std::move(setup), teardown = std::move(teardown)] {
              com_apartment apartment(COINIT_APARTMENTTHREADED);
              setup();
              ready_.set();
              while (MsgWaitForMultipleObjects(1, &finished_.h, FALSE, 10000, QS_ALLINPUT) ==
                     WAIT_OBJECT_0 + 1) {
                  MSG msg;
                  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                      DispatchMessageW(&msg);
              }
              if (teardown)
                  teardown();
          })
    {}
    ~sta_thread() { finish(); }
    sta_thread(const sta_thread&) = delete;
    sta_thread& operator=(const sta_thread&) = delete;

    bool ready() const { return ready_.wait(); }
    void finish()
    {
        finished_.set();
        if (thread_.joinable())
            thread_.join();
    }

private:
    signal ready_, finished_;
    std::thread thread_;
};

}  // namespace mrv::test
