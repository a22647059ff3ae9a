// A thousand sessions with events, handlers and a delivered event each leave no thread, handle,
// VISA object or COM object behind, and the server may be unloaded afterwards. Handles and
// threads are counted from the system's tables (GetProcessHandleCount answers 0 under Wine).
#include "event_fixture.h"
#include "process_counts.h"

namespace mrv::test {
namespace {

// One life of a session: opened, events and a handler, one event delivered, closed, released.
void one_session(const simvisa& visa)
{
    auto s = open_session();
    auto e = events_of(s);
    auto handler = test_handler::make(true);
    ASSERT_HR(S_OK, e->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 0, 0));
    ASSERT_HR(0x00040002,
              e->EnableEvent(EVENT_SERVICE_REQ,
                             static_cast<EventMechanism>(EVENT_QUEUE | EVENT_HNDLR), 0));
    ASSERT_EQ(VI_SUCCESS, raise(visa, library_session(visa), sre));
    ASSERT_TRUE(handler->wait_for(1));
    ASSERT_HR(S_OK, s->Close());
}

struct counts {
    size_t handles, threads;
};

counts settled_counts()
{
    Sleep(300);  // the library's handler thread ends when it has nothing left to do
    return {process_handles(), process_threads()};
}

class event_leaks : public ::testing::Test {
protected:
    com_apartment apartment{COINIT_MULTITHREADED};
    com_ptr<IVisaSession> keeper = open_session();  // keeps the library loaded throughout
    simvisa visa;
};

TEST_F(event_leaks, AThousandEventSessionsLeaveNothingBehind)
{
    for (int i = 0; i < 20; ++i)
        one_session(visa);  // one-time costs of COM and the libraries
    visa.clear_log();
    const counts before = settled_counts();
    const auto objects = visa.get<simvisa_open_objects_fn>("simvisa_open_objects");
    const ViUInt32 open_before = objects();
    ASSERT_GT(before.handles, 0u) << "the system handle table is not readable";

    for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) {
        one_session(visa);
        if (i % 100 == 0)
            visa.clear_log();
    }
    const counts after = settled_counts();
    EXPECT_LE(after.handles, before.handles + 5);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_EQ(open_before, objects());

    keeper.reset();
    using can_unload_fn = HRESULT(STDAPICALLTYPE*)();
    auto can_unload = reinterpret_cast<can_unload_fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"MrvRS232.dll"), "DllCanUnloadNow")));
    ASSERT_TRUE(can_unload);
    EXPECT_HR(S_OK, can_unload());
}

// The library failing every call of the exit cleanup still lets each session leave the
// registry, and its event state with it.
TEST_F(event_leaks, FailingCleanupCallsStillReleaseTheEventState)
{
    one_session(visa);
    const counts before = settled_counts();
    for (int i = 0; i < 30 && !HasFatalFailure(); ++i) {
        auto s = open_session();
        auto e = events_of(s);
        ASSERT_HR(0x00040002, e->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
        visa.fail_next("viDisableEvent", VI_ERROR_SYSTEM_ERROR);
        visa.fail_next("viUninstallHandler", VI_ERROR_SYSTEM_ERROR);
        EXPECT_HR(S_OK, s->Close());
    }
    visa.clear_faults();
    const counts after = settled_counts();
    EXPECT_LE(after.handles, before.handles + 5);
    EXPECT_LE(after.threads, before.threads);
}

}  // namespace
}  // namespace mrv::test
