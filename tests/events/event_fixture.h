#pragma once
// The fixture of the event tests: a session on the simulated multimeter, its IEventManager, and
// the simulation library's controls.
#include <gtest/gtest.h>

#include "event_test_support.h"

namespace mrv::test {

class event_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session);
        events = events_of(session);
        ASSERT_TRUE(events);
        ASSERT_TRUE(visa.loaded());
        visa.clear_faults();
    }
    void TearDown() override
    {
        if (session)  // a test that let the session go may have unloaded the library
            visa.clear_faults();
    }

    // Enables `type` for `mechanism` and notes the library's session handle.
    void enable(long type, long mechanism)
    {
        const HRESULT hr = events->EnableEvent(static_cast<EventType>(type),
                                               static_cast<EventMechanism>(mechanism), 0);
        ASSERT_TRUE(SUCCEEDED(hr)) << hex(hr);
        vi = library_session(visa);
        ASSERT_NE(0u, vi);
    }
    void fire(long type, std::vector<simvisa_event_attr> attrs = {})
    {
        ASSERT_EQ(VI_SUCCESS, raise(visa, vi, type, std::move(attrs)));
    }
    // Returns once the dispatch thread has moved on every event raised before: a marker event,
    // raised after them, has reached its handler. (The library delivers in order, and so does
    // the dispatch thread.)
    void settle()
    {
        constexpr long marker = 0x3FFF6001;
        if (!marker_) {
            support_event(visa, marker);
            marker_ = test_handler::make(true);
            ASSERT_HR(S_OK,
                      events->InstallHandler(static_cast<EventType>(marker), marker_.get(), 0, 0));
            enable(marker, EVENT_HNDLR);
        }
        const size_t seen = marker_->count();
        ASSERT_EQ(VI_SUCCESS, raise(visa, vi, marker));
        ASSERT_TRUE(marker_->wait_for(seen + 1));
    }
    // The next event of `type` within `ms`.
    com_ptr<IEvent> next(long type, long ms = 3000, HRESULT expected = S_OK)
    {
        com_ptr<IEvent> e;
        EXPECT_HR(expected, events->WaitOnEvent(ms, static_cast<EventType>(type), 0, e.put()));
        return e;
    }

    com_apartment apartment{COINIT_MULTITHREADED};
    com_ptr<IVisaSession> session = open_session();
    com_ptr<IEventManager> events;
    simvisa visa;  // after the session, which loads the library
    ViSession vi = 0;

private:
    com_ptr<test_handler> marker_;
};

}  // namespace mrv::test
