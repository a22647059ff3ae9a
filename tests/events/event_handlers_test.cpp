// Handlers: called on the dispatch thread, or on their own apartment's thread; one per type;
// suspended events flushed oldest first; waiters served before the queue.
#include "com/unique_any.h"
#include "event_fixture.h"

namespace mrv::test {
namespace {

class event_handlers : public event_test {};

TEST_F(event_handlers, CalledOncePerEventOnTheDispatchThreadWithAFreshObject)
{
    auto handler = test_handler::make(true);
    std::vector<com_ptr<IEvent>> kept;  // keeps the objects alive, so their addresses differ
    IEventManager* given = nullptr;
    handler->on_event = [&](IEventManager* vi, IEvent* e) {
        given = vi;
        kept.push_back(com_ptr<IEvent>::copy(e));
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 42, 0));
    enable(sre, EVENT_HNDLR);
    fire(sre);
    fire(sre);
    settle();
    const auto calls = handler->calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(calls[0].thread, calls[1].thread);
    EXPECT_NE(GetCurrentThreadId(), calls[0].thread);
    EXPECT_NE(calls[0].object, calls[1].object);
    EXPECT_EQ(42, calls[0].user_handle);
    EXPECT_EQ(sre, calls[1].type);
    EXPECT_EQ(events.get(), given);

    // One handler per type, whatever the user handle; removal needs the right user handle.
    auto other = test_handler::make();
    EXPECT_HR(0x80040028, events->InstallHandler(EVENT_SERVICE_REQ, other.get(), 7, 0));
    EXPECT_EQ("A Handler has already been registered on this session for this event type.",
              last_error_info().description);
    EXPECT_HR(E_POINTER, events->InstallHandler(EVENT_SERVICE_REQ, nullptr, 7, 0));
    EXPECT_HR(0x80040028, events->UninstallHandler(EVENT_SERVICE_REQ, 7, 0));
    EXPECT_HR(S_OK, events->UninstallHandler(EVENT_SERVICE_REQ, 42, 0));
    fire(sre);
    settle();
    EXPECT_EQ(2u, handler->count());
}

TEST_F(event_handlers, AHandlerOfAnotherApartmentRunsOnItsOwnThread)
{
    com_ptr<test_handler> handler;
    DWORD owner = 0;
    sta_thread sta(
        [&] {
            owner = GetCurrentThreadId();
            handler = test_handler::make();
            EXPECT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 5, 0));
        },
        [&] { handler.reset(); });
    ASSERT_TRUE(sta.ready());
    enable(sre, EVENT_HNDLR);
    fire(sre);
    ASSERT_TRUE(handler->wait_for(1));
    EXPECT_NE(owner, 0u);
    EXPECT_EQ(owner, handler->calls()[0].thread);
    EXPECT_HR(S_OK, session->Close());  // the dispatch thread ends, and its proxies with it
    sta.finish();
}

TEST_F(event_handlers, SuspendedEventsGoToTheHandlerOldestFirstWhenItIsEnabled)
{
    auto handler = test_handler::make(true);
    std::vector<long> ids;
    handler->on_event = [&](IEventManager*, IEvent* e) {
        com_ptr<IEventTrigger> t;
        long id = 0;
        if (SUCCEEDED(e->QueryInterface(IID_IEventTrigger, t.put_void())))
            t->get_TriggerID(&id);
        ids.push_back(id);
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_TRIG, handler.get(), 0, 0));
    enable(trigger, EVENT_SUSPEND_HNDLR);
    enable(sre, EVENT_SUSPEND_HNDLR);
    for (ViAttrState id : {1, 2, 3}) {
        fire(trigger, {{VI_ATTR_RECV_TRIG_ID, 2, id, nullptr, nullptr, 0}});
        fire(sre);
    }
    settle();
    EXPECT_EQ(0u, handler->count());
    EXPECT_HR(S_OK, events->EnableEvent(EVENT_TRIG, EVENT_HNDLR, 0));
    // Flushed before EnableEvent returned, on the calling thread; the other type stays.
    const auto calls = handler->calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(GetCurrentThreadId(), calls[0].thread);
    EXPECT_EQ((std::vector<long>{1, 2, 3}), ids);
    EXPECT_HR(S_OK, events->DiscardEvents(EVENT_SERVICE_REQ, EVENT_SUSPEND_HNDLR, 0));
}

TEST_F(event_handlers, AWaiterGetsTheEventBeforeTheQueueAndTheHandlerStillDoes)
{
    auto handler = test_handler::make(true);
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    enable(sre, EVENT_QUEUE | EVENT_HNDLR);
    std::thread later([&] {
        Sleep(150);
        fire(sre);
    });
    com_ptr<IEvent> e;
    EXPECT_HR(S_OK, events->WaitOnEvent(5000, EVENT_SERVICE_REQ, 0, e.put()));
    later.join();
    settle();
    EXPECT_EQ(1u, handler->count());
    EXPECT_HR(0x00040004, events->DiscardEvents(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
}

TEST_F(event_handlers, AnEventForTheQueueAloneDoesNotOvertakeOneStillWithItsHandler)
{
    // The first event goes to its handler and then to the queue; the second, for the queue
    // alone, arrives while the handler holds the first.
    auto handler = test_handler::make(true);
    unique_handle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> inside{false};
    handler->on_event = [&](IEventManager*, IEvent*) {
        inside = true;
        WaitForSingleObject(release.get(), 5000);
    };
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    enable(sre, EVENT_QUEUE | EVENT_HNDLR);
    enable(trigger, EVENT_QUEUE);
    fire(sre);
    ASSERT_TRUE(eventually([&] { return inside.load(); }));
    fire(trigger);
    auto idle = visa.get<simvisa_wait_idle_fn>("simvisa_wait_idle");
    ASSERT_EQ(VI_SUCCESS, idle(5000));  // the second event has passed the server's callback
    SetEvent(release.get());
    settle();
    com_ptr<IEvent> first = next(any_event, 0, 0x00040080);
    ASSERT_TRUE(first);
    EventType type{};
    EXPECT_HR(S_OK, first->get_Type(&type));
    EXPECT_EQ(sre, static_cast<long>(type));
}

}  // namespace
}  // namespace mrv::test
