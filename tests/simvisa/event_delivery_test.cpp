// Control over event delivery (held, synchronous, idle), the lifetime of event contexts, serial
// events raised by the line, the look-up of sessions and string attribute writes in the log.
#include <windows.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

// Every test leaves delivery as it found it: asynchronous, not held, nothing pending.
class delivery : public rm_test {
protected:
    void TearDown() override
    {
        simvisa_deliver_synchronously(VI_FALSE);
        simvisa_hold_events(VI_FALSE);
        EXPECT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
        rm_test::TearDown();
    }

    // A handler for `type` on vi that records what it sees.
    void listen(ViSession vi, ViEventType type)
    {
        ASSERT_STATUS(VI_SUCCESS, viInstallHandler(vi, type, on_event, this));
        ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, type, VI_HNDLR, VI_NULL));
    }

    // An event of `type` tagged with a job id, to tell events apart.
    static ViStatus raise(ViSession vi, ViEventType type, ViJobId tag)
    {
        simvisa_event_attr a{VI_ATTR_JOB_ID, 4, tag, nullptr, nullptr, 0};
        return simvisa_raise_event(vi, type, &a, 1);
    }

    struct seen {
        ViJobId tag;
        DWORD thread;
    };
    std::vector<seen> snapshot()
    {
        std::lock_guard lock(m);
        return events;
    }

    std::mutex m;
    std::vector<seen> events;
    // Runs inside the handler, before it records the event (while the context is valid).
    std::function<void(ViEvent)> inside;

private:
    static ViStatus _VI_FUNCH on_event(ViSession, ViEventType, ViEvent ctx, ViAddr user)
    {
        auto* self = static_cast<delivery*>(user);
        if (self->inside)
            self->inside(ctx);
        ViJobId tag = 0;
        viGetAttribute(ctx, VI_ATTR_JOB_ID, &tag);
        std::lock_guard lock(self->m);
        self->events.push_back({tag, GetCurrentThreadId()});
        return VI_SUCCESS;
    }
};

TEST_F(delivery, held_events_wait_for_release_and_keep_their_order)
{
    ViSession vi = open_dmm();
    listen(vi, VI_EVENT_SERVICE_REQ);
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    ASSERT_STATUS(VI_SUCCESS, simvisa_hold_events(VI_TRUE));
    for (ViJobId tag = 1; tag <= 3; ++tag)
        ASSERT_STATUS(VI_SUCCESS, raise(vi, VI_EVENT_SERVICE_REQ, tag));
    // The queue takes them at once; the handlers wait.
    EXPECT_STATUS(VI_SUCCESS_QUEUE_NEMPTY,
                  viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_TMO, simvisa_wait_idle(200));
    EXPECT_EQ(3u, simvisa_pending_events());
    EXPECT_TRUE(snapshot().empty());

    ASSERT_STATUS(VI_SUCCESS, simvisa_hold_events(VI_FALSE));
    ASSERT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
    EXPECT_EQ(0u, simvisa_pending_events());
    auto seen = snapshot();
    ASSERT_EQ(3u, seen.size());
    for (ViJobId i = 0; i < 3; ++i) {
        EXPECT_EQ(i + 1, seen[i].tag);
        EXPECT_NE(GetCurrentThreadId(), seen[i].thread);
    }
}

TEST_F(delivery, one_handler_thread_serves_a_burst_and_ends_once_idle)
{
    ViSession vi = open_dmm();
    listen(vi, VI_EVENT_SERVICE_REQ);
    ASSERT_STATUS(VI_SUCCESS, raise(vi, VI_EVENT_SERVICE_REQ, 1));
    ASSERT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
    ASSERT_EQ(1u, snapshot().size());
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, snapshot()[0].thread);
    ASSERT_NE(nullptr, thread) << "the handler thread ended with its first event";
    Sleep(30);
    ASSERT_STATUS(VI_SUCCESS, raise(vi, VI_EVENT_SERVICE_REQ, 2));
    ASSERT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
    const auto seen = snapshot();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(seen[0].thread, seen[1].thread);
    // With nothing more to do the thread ends, so that the library can be unloaded.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
}

TEST_F(delivery, idle_means_no_handler_running)
{
    ViSession vi = open_dmm();
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ViStatus from_handler = VI_SUCCESS;
    inside = [&](ViEvent) {
        from_handler = simvisa_wait_idle(0);  // it would wait for itself
        WaitForSingleObject(go, 5000);
    };
    listen(vi, VI_EVENT_SERVICE_REQ);
    raise(vi, VI_EVENT_SERVICE_REQ, 1);
    EXPECT_STATUS(VI_ERROR_TMO, simvisa_wait_idle(200));
    SetEvent(go);
    EXPECT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
    EXPECT_STATUS(VI_ERROR_INV_SETUP, from_handler);
    EXPECT_EQ(1u, snapshot().size());
    CloseHandle(go);
}

TEST_F(delivery, synchronous_delivery_runs_handlers_inside_the_raising_call)
{
    ViSession vi = open_dmm();
    listen(vi, VI_EVENT_IO_COMPLETION);
    ASSERT_STATUS(VI_SUCCESS, simvisa_deliver_synchronously(VI_TRUE));
    ViJobId write_job = 0, read_job = 0;
    EXPECT_STATUS(VI_SUCCESS_SYNC,
                  viWriteAsync(vi, reinterpret_cast<ViConstBuf>("*CLS\n"), 5, &write_job));
    // Delivered before the call returned, on this thread.
    auto seen = snapshot();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(write_job, seen[0].tag);
    EXPECT_EQ(GetCurrentThreadId(), seen[0].thread);

    device_sends(vi, "data\n");
    unsigned char buf[16];
    EXPECT_STATUS(VI_SUCCESS_SYNC, viReadAsync(vi, buf, sizeof buf, &read_job));
    seen = snapshot();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(read_job, seen[1].tag);
    EXPECT_EQ(GetCurrentThreadId(), seen[1].thread);

    // Held events go to the handlers on the thread that releases them.
    simvisa_hold_events(VI_TRUE);
    raise(vi, VI_EVENT_IO_COMPLETION, 77);
    EXPECT_EQ(2u, snapshot().size());
    std::thread([] { simvisa_hold_events(VI_FALSE); }).join();
    seen = snapshot();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(77u, seen[2].tag);
    EXPECT_NE(GetCurrentThreadId(), seen[2].thread);
}

TEST_F(delivery, contexts_live_as_long_as_their_owner_may_use_them)
{
    ViSession vi = open_dmm();
    // A handler's context stays readable until the handler returns, even when its session is
    // closed meanwhile; the library closes it afterwards.
    ViEvent handler_ctx = VI_NULL;
    ViStatus read_after_close = VI_ERROR_SYSTEM_ERROR;
    inside = [&](ViEvent ctx) {
        handler_ctx = ctx;
        std::thread([&] { viClose(vi); }).join();
        ViEventType t = 0;
        read_after_close = viGetAttribute(ctx, VI_ATTR_EVENT_TYPE, &t);
    };
    listen(vi, VI_EVENT_SERVICE_REQ);
    raise(vi, VI_EVENT_SERVICE_REQ, 1);
    ASSERT_STATUS(VI_SUCCESS, simvisa_wait_idle(5000));
    EXPECT_STATUS(VI_SUCCESS, read_after_close);
    ViEventType t = 0;
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viGetAttribute(handler_ctx, VI_ATTR_EVENT_TYPE, &t));

    // A waited-for context stays until viClose on it (or its session's close).
    vi = open_dmm();
    viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL);
    raise(vi, VI_EVENT_SERVICE_REQ, 2);
    raise(vi, VI_EVENT_SERVICE_REQ, 3);
    ViEvent first = VI_NULL, second = VI_NULL;
    ASSERT_STATUS(VI_SUCCESS_QUEUE_NEMPTY,
                  viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, VI_NULL, &first));
    ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, VI_NULL, &second));
    EXPECT_EQ(2u, attr<ViJobId>(first, VI_ATTR_JOB_ID));
    EXPECT_STATUS(VI_SUCCESS, viClose(first));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viGetAttribute(first, VI_ATTR_JOB_ID, &t));
    EXPECT_EQ(3u, attr<ViJobId>(second, VI_ATTR_JOB_ID));
    viClose(vi);
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viGetAttribute(second, VI_ATTR_JOB_ID, &t));
}

TEST_F(delivery, the_line_raises_serial_events)
{
    ViSession vi = open_dmm();
    for (ViEventType type : {VI_EVENT_ASRL_CHAR, VI_EVENT_ASRL_TERMCHAR, VI_EVENT_ASRL_CTS,
                             VI_EVENT_ASRL_RI, VI_EVENT_ASRL_BREAK})
        ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, type, VI_QUEUE, VI_NULL));
    auto next = [&](ViUInt32 timeout) {
        ViEventType type = 0;
        ViStatus st = viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, timeout, &type, VI_NULL);
        return st < 0 ? st : static_cast<ViStatus>(type);
    };
    // Bytes raise their events when they reach the receive buffer, not before: one character
    // event for the burst, a termination-character event for each LF.
    device_sends(vi, "1\n2\n", 300);
    EXPECT_STATUS(VI_ERROR_TMO, next(100));
    // (The library's timer thread raises one burst's events one after another.)
    EXPECT_STATUS(VI_EVENT_ASRL_CHAR, next(2000));
    EXPECT_STATUS(VI_EVENT_ASRL_TERMCHAR, next(1000));
    EXPECT_STATUS(VI_EVENT_ASRL_TERMCHAR, next(1000));
    EXPECT_STATUS(VI_ERROR_TMO, next(0));
    // The device's answer is a burst of its own.
    write(vi, "*IDN?\n");
    EXPECT_STATUS(VI_EVENT_ASRL_CHAR, next(2000));
    EXPECT_STATUS(VI_EVENT_ASRL_TERMCHAR, next(1000));

    // Modem lines: a change raises its event and shows in the attribute; no change, no event.
    EXPECT_EQ(VI_STATE_ASSERTED, attr<ViInt16>(vi, VI_ATTR_ASRL_CTS_STATE));
    ASSERT_STATUS(VI_SUCCESS, simvisa_device_line(vi, VI_ATTR_ASRL_CTS_STATE, VI_STATE_UNASSERTED));
    EXPECT_EQ(VI_STATE_UNASSERTED, attr<ViInt16>(vi, VI_ATTR_ASRL_CTS_STATE));
    EXPECT_STATUS(VI_EVENT_ASRL_CTS, next(0));
    ASSERT_STATUS(VI_SUCCESS, simvisa_device_line(vi, VI_ATTR_ASRL_CTS_STATE, VI_STATE_UNASSERTED));
    simvisa_device_line(vi, VI_ATTR_ASRL_RI_STATE, VI_STATE_ASSERTED);
    EXPECT_STATUS(VI_EVENT_ASRL_RI, next(0));
    // DSR is not enabled: the line changes, nothing is raised.
    simvisa_device_line(vi, VI_ATTR_ASRL_DSR_STATE, VI_STATE_UNASSERTED);
    EXPECT_EQ(VI_STATE_UNASSERTED, attr<ViInt16>(vi, VI_ATTR_ASRL_DSR_STATE));
    ASSERT_STATUS(VI_SUCCESS, simvisa_device_break(vi));
    EXPECT_STATUS(VI_EVENT_ASRL_BREAK, next(0));
    EXPECT_STATUS(VI_ERROR_TMO, next(0));

    EXPECT_STATUS(VI_ERROR_NSUP_ATTR, simvisa_device_line(vi, VI_ATTR_ASRL_BAUD, 1));
    EXPECT_STATUS(VI_ERROR_NSUP_ATTR_STATE,
                  simvisa_device_line(vi, VI_ATTR_ASRL_DCD_STATE, VI_STATE_UNKNOWN));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, simvisa_device_break(4711));

    // The next first session finds the lines as the device drives them.
    viClose(vi);
    vi = open_dmm();
    EXPECT_EQ(VI_STATE_ASSERTED, attr<ViInt16>(vi, VI_ATTR_ASRL_CTS_STATE));
}

TEST_F(delivery, sessions_are_found_by_resource)
{
    ViSession a = open_dmm(), b = open("COM1"), c = open_psu();
    ViSession found[4] = {};
    EXPECT_EQ(2u, simvisa_find_sessions("COM1", found, 4));
    EXPECT_EQ(a, found[0]);
    EXPECT_EQ(b, found[1]);
    EXPECT_EQ(1u, simvisa_find_sessions("ASRL2::INSTR", found, 4));
    EXPECT_EQ(c, found[0]);
    EXPECT_EQ(3u, simvisa_find_sessions(nullptr, nullptr, 0));
    EXPECT_EQ(0u, simvisa_find_sessions("ASRL7::INSTR", found, 4));
    EXPECT_EQ(0u, simvisa_find_sessions("GPIB0::1::INSTR", found, 4));
    viClose(a);
    EXPECT_EQ(1u, simvisa_find_sessions("ASRL1", found, 1));
    EXPECT_EQ(b, found[0]);
}

TEST_F(delivery, string_attribute_writes_show_their_text)
{
    ViSession vi = open_dmm();
    viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL);
    simvisa_event_attr name{VI_ATTR_OPER_NAME, 0, 0, "viRead", nullptr, 0};
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, &name, 1);
    ViEvent ctx = VI_NULL;
    ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, VI_NULL, &ctx));
    simvisa_log_clear();
    const char text[] = "new \"name\"";
    EXPECT_STATUS(VI_ERROR_ATTR_READONLY,
                  viSetAttribute(ctx, VI_ATTR_OPER_NAME, reinterpret_cast<ViAttrState>(text)));
    // An identifier of a string attribute that the object does not have, and a value that
    // points nowhere.
    viSetAttribute(vi, 0xBFFF0999, reinterpret_cast<ViAttrState>("other"));
    viSetAttribute(vi, VI_ATTR_RSRC_MANF_NAME, 12);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 12);
    EXPECT_EQ(1u, simvisa_log_count("attrName=0xBFFF4042,attrValue=\"new \\\"name\\\"\")"));
    EXPECT_EQ(1u, simvisa_log_count("attrName=0xBFFF0999,attrValue=\"other\")"));
    EXPECT_EQ(1u, simvisa_log_count("attrName=0xBFFF0174,attrValue=12)"));
    EXPECT_EQ(1u, simvisa_log_count("attrName=0x3FFF001A,attrValue=12)"));
    viClose(ctx);
}

}  // namespace
