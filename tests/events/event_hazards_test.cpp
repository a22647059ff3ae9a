// Closing and releasing a session from its own dispatch thread, handlers calling into a closing
// session, a library that refuses an enable after the callback went in, and starts racing closes.
// Each would hang or crash the server if it were handled carelessly; every wait here is bounded.
#include <future>

#include "event_fixture.h"

namespace mrv::test {
namespace {

class event_hazards : public event_test {};

com_ptr<IVisaSession> session_of(IEventManager* vi)
{
    com_ptr<IVisaSession> s;
    vi->QueryInterface(IID_IVisaSession, s.put_void());
    return s;
}

TEST_F(event_hazards, AHandlerClosesTheSessionOnTheDispatchThread)
{
    auto handler = test_handler::make(true);
    signal done;
    HRESULT closed = E_FAIL;
    handler->on_event = [&](IEventManager* vi, IEvent*) {
        closed = session_of(vi)->Close();
        done.set();
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    enable(sre, EVENT_HNDLR);
    fire(sre);
    ASSERT_TRUE(done.wait());
    EXPECT_HR(S_OK, closed);
    EXPECT_HR(session_closed, session->Close());
    // The library side was cleaned up while the VISA session was still open.
    const std::string log = visa.log();
    const auto uninstalled = log.find("viUninstallHandler(vi=" + std::to_string(vi));
    const auto closed_at = log.find("viClose(vi=" + std::to_string(vi) + ")");
    EXPECT_LT(uninstalled, closed_at) << log;
}

TEST_F(event_hazards, AHandlerReleasesTheLastReferenceOnTheDispatchThread)
{
    auto handler = test_handler::make(true);
    signal done;
    com_ptr<IVisaSession> held = session;
    handler->on_event = [&](IEventManager*, IEvent*) {
        held.reset();  // destroys the session here, on its dispatch thread
        done.set();
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    enable(sre, EVENT_HNDLR);
    events.reset();
    session.reset();
    fire(sre);
    ASSERT_TRUE(done.wait());
    // The thread ends once the handler returned: its handler reference goes with it.
    EXPECT_TRUE(eventually([&] { return handler->AddRef() && handler->Release() == 1; }));
}

TEST_F(event_hazards, AHandlerInAnotherApartmentClosesThroughItsMarshaledSession)
{
    signal done;
    HRESULT closed = E_FAIL;
    com_ptr<test_handler> handler;
    sta_thread sta(
        [&] {
            handler = test_handler::make();
            handler->on_event = [&](IEventManager* vi, IEvent*) {
                closed = session_of(vi)->Close();  // reaches the dispatch thread
                done.set();
            };
            EXPECT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
        },
        [&] { handler.reset(); });
    ASSERT_TRUE(sta.ready());
    enable(sre, EVENT_HNDLR);
    fire(sre);
    EXPECT_TRUE(done.wait());
    EXPECT_TRUE(handler->released_by_others()) << "the dispatch thread keeps its proxy";
    sta.finish();
    EXPECT_HR(S_OK, closed);
}

TEST_F(event_hazards, AHandlerCallsIntoTheSessionWhileAnotherThreadCloses)
{
    auto handler = test_handler::make(true);
    signal entered, go, done;
    handler->on_event = [&](IEventManager* vi, IEvent*) {
        entered.set();
        go.wait();
        long max = 0;
        vi->get_MaximumQueueLength(&max);  // needs the object lock
        done.set();
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    enable(sre, EVENT_HNDLR);
    fire(sre);
    ASSERT_TRUE(entered.wait());
    auto closing = std::async(std::launch::async, [this] {
        com_apartment apartment;
        return session->Close();
    });
    Sleep(100);
    go.set();
    EXPECT_TRUE(done.wait());
    ASSERT_EQ(std::future_status::ready, closing.wait_for(std::chrono::seconds(5)));
    EXPECT_HR(S_OK, closing.get());
}

TEST_F(event_hazards, ARefusedEnableTakesItsCallbackOutOfTheLibraryAgain)
{
    visa.fail_next("viEnableEvent", VI_ERROR_SYSTEM_ERROR);
    visa.clear_log();
    EXPECT_TRUE(FAILED(events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0)));
    EXPECT_EQ(1u, visa.count("viUninstallHandler(")) << visa.log();
    enable(sre, EVENT_QUEUE);
    fire(sre);
    settle();
    next(sre, 0, S_OK);  // one event, not one per installed callback
}

TEST_F(event_hazards, StartsAndClosesOnManyThreadsEndCleanly)
{
    for (int round = 0; round < 10; ++round) {
        auto s = open_session();
        auto e = events_of(s);
        std::vector<std::future<void>> calls;
        for (int t = 0; t < 3; ++t)
            calls.push_back(std::async(std::launch::async, [e, t] {
                com_apartment apartment;
                auto h = test_handler::make(true);
                e->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0);
                e->InstallHandler(static_cast<EventType>(sre + t), h.get(), 0, 0);
            }));
        calls.push_back(std::async(std::launch::async, [s] {
            com_apartment apartment;
            s->Close();
        }));
        for (auto& c : calls)
            ASSERT_EQ(std::future_status::ready, c.wait_for(std::chrono::seconds(10)));
    }
}

}  // namespace
}  // namespace mrv::test
