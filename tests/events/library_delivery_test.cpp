// A VISA library that, inside its own calls, delivers an event on a thread of its own and waits
// until the delivery is done (as libraries do that wait for their handler threads). The event
// manager must not hold the session's event-state lock across such a call: the delivery takes the
// registry lock and then the event-state lock, and would wait for the caller that waits for it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

#include "driver/visa_driver.h"
#include "events/dispatch_thread.h"
#include "events/event_mechanisms.h"
#include "events/session_registry.h"

namespace {

using namespace mrv;

class delivering_library : public visa_driver {
public:
    int late_deliveries = 0;  // deliveries that did not finish within the call

    ViStatus viInstallHandler(ViEventType, ViHndlr, ViAddr) override { return VI_SUCCESS; }
    ViStatus viUninstallHandler(ViEventType type, ViHndlr, ViAddr) override
    {
        return deliver(type);
    }
    ViStatus viEnableEvent(ViEventType type, ViUInt16, ViEventFilter) override
    {
        return deliver(type);
    }
    ViStatus viDisableEvent(ViEventType type, ViUInt16) override { return deliver(type); }

private:
    ViStatus deliver(ViEventType type)
    {
        // A delivery that never ends is left behind (detached), so the test fails, not hangs.
        auto done = std::make_shared<std::promise<void>>();
        auto finished = done->get_future();
        std::thread([done, type, vi = session()] {
            events::event_callback(vi, type, 1, nullptr);
            done->set_value();
        }).detach();
        if (finished.wait_for(std::chrono::seconds(2)) != std::future_status::ready)
            ++late_deliveries;
        return VI_SUCCESS;
    }
};

struct com_apartment {
    com_apartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~com_apartment() { CoUninitialize(); }
};

TEST(LibraryDelivery, CallsIntoALibraryThatDeliversInsideThemRunWithoutTheEventStateLock)
{
    com_apartment apartment;
    delivering_library library;
    auto state = std::make_shared<events::event_state>();
    const auto no_client_calls = [](const std::function<void()>& call) { call(); };

    EXPECT_EQ(events::event_enabled_before,
              events::enable_event(state, library, nullptr, VI_EVENT_SERVICE_REQ, VI_QUEUE,
                                   no_client_calls));
    EXPECT_EQ(S_OK, events::disable_event(*state, library, VI_EVENT_SERVICE_REQ, VI_QUEUE));
    EXPECT_EQ(S_OK, events::enable_event(state, library, nullptr, VI_EVENT_SERVICE_REQ, VI_QUEUE,
                                         no_client_calls));
    events::stop(*state);  // the exit cleanup disables and uninstalls in the library
    EXPECT_EQ(0, library.late_deliveries);
}

}  // namespace
