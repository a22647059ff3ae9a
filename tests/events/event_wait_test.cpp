// WaitOnEvent: queued events, time-outs, messages served during the wait, the session closing
// under a wait, and several threads waiting on one session.
#include <future>
#include <thread>

#include "event_fixture.h"

namespace mrv::test {
namespace {

class event_waits : public event_test {};

struct wait_outcome {
    HRESULT hr = E_ABORT;  // E_ABORT: the wait did not end in time
    long type = 0;
    std::string description;  // of the error object the wait posted
};

// A wait on its own thread (in the multithreaded apartment).
struct threaded_wait {
    std::future<wait_outcome> result;

    threaded_wait(IEventManager* events, long type, long ms)
    {
        result = std::async(std::launch::async, [events, type, ms] {
            com_apartment apartment;
            com_ptr<IEvent> e;
            wait_outcome out;
            out.hr = events->WaitOnEvent(ms, static_cast<EventType>(type), 0, e.put());
            if (e)
                e->get_CustomEventType(&out.type);
            out.description = last_error_info().description;
            return out;
        });
    }
    wait_outcome get(int ms = 10000)
    {
        if (result.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready)
            return {};
        return result.get();
    }
};

TEST_F(event_waits, TimeoutZeroTakesOnlyQueuedEventsAndALimitedWaitEndsOnTime)
{
    enable(sre, EVENT_QUEUE);
    clear_error_info();
    const auto start = GetTickCount64();
    com_ptr<IEvent> e;
    EXPECT_HR(timed_out, events->WaitOnEvent(0, EVENT_SERVICE_REQ, 0, e.put()));
    EXPECT_LT(GetTickCount64() - start, 200u);
    EXPECT_EQ("The wait operation timed out.", last_error_info().description);

    IEvent* out = reinterpret_cast<IEvent*>(0xdeadbeef);
    const auto waited = GetTickCount64();
    EXPECT_HR(timed_out, events->WaitOnEvent(500, EVENT_SERVICE_REQ, 0, &out));
    const auto elapsed = GetTickCount64() - waited;
    EXPECT_GE(elapsed, 490u);
    EXPECT_LT(elapsed, 1500u);
    EXPECT_EQ(nullptr, out);
    EXPECT_HR(E_POINTER, events->WaitOnEvent(0, EVENT_SERVICE_REQ, 0, nullptr));

    // The wildcard takes any type; an event arriving during the wait is returned.
    threaded_wait any(events.get(), any_event, 5000);
    Sleep(100);
    fire(sre);
    const auto got = any.get();
    EXPECT_HR(S_OK, got.hr);
    EXPECT_EQ(sre, got.type);
}

// Counts the messages that reach it.
LRESULT CALLBACK counting_window(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP)
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    return DefWindowProcW(w, msg, wp, lp);
}

TEST_F(event_waits, WindowMessagesAreDispatchedWhileWaiting)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = counting_window;
    wc.lpszClassName = L"mrv_event_wait_test";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(window);
    int seen = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
    std::thread poster([window] {
        Sleep(100);
        PostMessageW(window, WM_APP, 0, 0);
    });
    com_ptr<IEvent> e;
    EXPECT_HR(timed_out, events->WaitOnEvent(400, EVENT_SERVICE_REQ, 0, e.put()));
    poster.join();
    EXPECT_EQ(1, seen);
    DestroyWindow(window);
}

TEST_F(event_waits, ClosingTheSessionEndsAWaitOnAnotherThread)
{
    enable(sre, EVENT_QUEUE);
    threaded_wait waiting(events.get(), sre, -1);
    Sleep(100);
    // Other methods are not held up by the wait.
    long max = 0;
    EXPECT_HR(S_OK, events->get_MaximumQueueLength(&max));
    EXPECT_HR(S_OK, session->Close());
    const auto ended = waiting.get();
    EXPECT_HR(session_closed, ended.hr);
    EXPECT_EQ("The Session has been closed.", ended.description);
}

// A session that closes just as a wait on it times out still posts that thread the closing
// message, which outlives the wait it was meant for; a later wait of the thread, on another
// session, is not ended by it.
TEST_F(event_waits, AClosingMessageLeftFromAnEarlierWaitEndsNoLaterWait)
{
    enable(sre, EVENT_QUEUE);
    const UINT wait_complete =
        RegisterWindowMessageA("VISA COM I/O Wait For Event Complete Notification; "
                               "UUID=6F1A2B3C-4D5E-4F60-8172-83940A1B2C3D");
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), wait_complete, 1, 0));
    com_ptr<IEvent> e;
    EXPECT_HR(timed_out, events->WaitOnEvent(300, EVENT_SERVICE_REQ, 0, e.put()));

    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), wait_complete, 1, 0));
    std::thread later([this] {
        Sleep(100);
        raise(visa, vi, sre);
    });
    EXPECT_HR(S_OK, events->WaitOnEvent(2000, EVENT_SERVICE_REQ, 0, e.put()));
    later.join();
}

TEST_F(event_waits, EventsArrivingTogetherReachEveryWaitingThread)
{
    // A handler that holds the dispatch thread, and a second event behind it, let four events
    // gather in the pending list: one dispatch step hands all four over before any wait collects.
    auto blocker = test_handler::make(true);
    signal release;
    blocker->on_event = [&](IEventManager*, IEvent*) { release.wait(); };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_CLEAR, blocker.get(), 0, 0));
    enable(clear_event, EVENT_HNDLR);
    enable(sre, EVENT_QUEUE);
    fire(clear_event);
    ASSERT_TRUE(blocker->wait_for(1));
    fire(clear_event);

    std::vector<std::unique_ptr<threaded_wait>> waits;
    for (int i = 0; i < 4; ++i)
        waits.push_back(std::make_unique<threaded_wait>(events.get(), sre, 5000));
    Sleep(200);  // the four waits register
    for (int i = 0; i < 4; ++i)
        fire(sre);
    Sleep(200);  // the four events are captured
    release.set();
    for (auto& w : waits) {
        const auto got = w->get();
        EXPECT_HR(S_OK, got.hr);
        EXPECT_EQ(sre, got.type);
    }
    next(sre, 0, timed_out);  // handed over, not queued
}

}  // namespace
}  // namespace mrv::test
