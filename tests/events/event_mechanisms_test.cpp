// EnableEvent, DisableEvent, DiscardEvents and the queue's maximum: results, what reaches the
// library, and what the bounded queue keeps.
#include "event_fixture.h"

namespace mrv::test {
namespace {

class event_mechanisms : public event_test {};

HRESULT last_status(const com_ptr<IVisaSession>& s)
{
    long status = 0;
    s->get_LastStatus(&status);
    return status;
}

TEST_F(event_mechanisms, EnableReportsAnEarlierEnableAndTheWildcardTouchesOnlyKnownTypes)
{
    visa.clear_log();
    EXPECT_HR(S_OK, events->EnableEvent(ALL_ENABLED_EVENTS, EVENT_QUEUE, 0));
    EXPECT_EQ(0u, visa.count("viEnableEvent")) << visa.log();

    EXPECT_HR(0x00040002, events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    EXPECT_EQ(1u, visa.count("viInstallHandler("));
    EXPECT_EQ(1u, visa.count("viEnableEvent(")) << "the handler mechanism only";
    EXPECT_EQ(1u, visa.count("mechanism=2"));
    EXPECT_HR(S_OK, events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    EXPECT_HR(0x00040002, events->EnableEvent(ALL_ENABLED_EVENTS, EVENT_HNDLR, 0));
    EXPECT_EQ(1u, visa.count("viInstallHandler(")) << visa.log();

    // Handler and suspended handler together: refused, no error object, the last status set.
    clear_error_info();
    EXPECT_HR(E_INVALIDARG, events->EnableEvent(EVENT_SERVICE_REQ, EVENT_ALL_MECH, 0));
    EXPECT_HR(E_INVALIDARG, last_status(session));
    EXPECT_FALSE(last_error_info().present);
}

TEST_F(event_mechanisms, DisableLetsTheLibraryJudgeUnknownTypesAndKeepsOtherMechanisms)
{
    EXPECT_HR(0x00040003, events->DisableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    // A type the serial library does not know: its refusal comes back.
    const HRESULT refused = events->DisableEvent(EVENT_GPIB_CIC, EVENT_QUEUE, 0);
    EXPECT_TRUE(FAILED(refused)) << hex(refused);
    EXPECT_TRUE(IsEqualGUID(IID_IEventManager, last_error_info().guid));

    enable(sre, EVENT_QUEUE | EVENT_HNDLR);
    visa.clear_log();
    EXPECT_HR(S_OK, events->DisableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    EXPECT_EQ(0u, visa.count("viDisableEvent")) << "the handler bit keeps the library enabled";
    EXPECT_HR(S_OK, events->DisableEvent(EVENT_SERVICE_REQ, EVENT_HNDLR, 0));
    EXPECT_EQ(1u, visa.count("viDisableEvent(")) << visa.log();
    EXPECT_HR(0x00040003, events->DisableEvent(ALL_ENABLED_EVENTS, EVENT_ALL_MECH, 0));
    // Enabled again: the library is asked again, the callback is not installed twice.
    visa.clear_log();
    EXPECT_HR(S_OK, events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    EXPECT_EQ(1u, visa.count("viEnableEvent("));
    EXPECT_EQ(0u, visa.count("viInstallHandler("));
}

TEST_F(event_mechanisms, BoundedQueueKeepsTheOldestAndDiscardEmptiesIt)
{
    EXPECT_HR(S_OK, events->put_MaximumQueueLength(2));
    enable(sre, EVENT_QUEUE);
    EXPECT_HR(0x00040004, events->DiscardEvents(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    for (long id : {1, 2, 3})
        fire(sre, {{VI_ATTR_STATUS, 4, static_cast<ViAttrState>(id), nullptr, nullptr, 0}});
    settle();
    auto first = next(sre, 0, 0x00040080);
    auto second = next(sre, 0, S_OK);
    next(sre, 0, timed_out);  // the third was lost
    EXPECT_TRUE(first && second);

    // Lowering the maximum keeps what is held; 0 refuses everything.
    fire(sre);
    fire(sre);
    settle();
    EXPECT_HR(S_OK, events->put_MaximumQueueLength(0));
    long max = -1;
    EXPECT_HR(S_OK, events->get_MaximumQueueLength(&max));
    EXPECT_EQ(0, max);
    fire(sre);
    settle();
    EXPECT_HR(S_OK, events->DiscardEvents(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    EXPECT_HR(0x00040004, events->DiscardEvents(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    next(sre, 0, timed_out);
}

}  // namespace
}  // namespace mrv::test
