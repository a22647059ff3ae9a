// Asynchronous jobs and their completion events, viTerminate, the queue, handler and
// suspended-handler mechanisms, service requests and raised events, concurrent sessions.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

class events : public rm_test {};

// What handlers saw, filled on the library's handler thread.
struct seen_event {
    ViEventType type = 0;
    DWORD thread = 0;
    ViStatus status = 0;
    ViJobId job = 0;
    ViUInt32 count32 = 0;
    ViUInt64 count64 = 0;
    ViBuf buffer = nullptr;
    std::string oper;
    ViEvent context = 0;
    int tag = 0;
};

struct recorder {
    std::mutex m;
    std::condition_variable cv;
    std::vector<seen_event> events;
    ViStatus answer = VI_SUCCESS;

    bool wait_for(size_t n, int ms = 3000)
    {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return events.size() >= n; });
    }
};

struct tagged {
    recorder* rec;
    int tag;
};

ViStatus _VI_FUNCH record(ViSession, ViEventType type, ViEvent ctx, ViAddr user)
{
    auto* t = static_cast<tagged*>(user);
    seen_event e;
    e.type = type;
    e.thread = GetCurrentThreadId();
    e.context = ctx;
    e.tag = t->tag;
    if (type == VI_EVENT_IO_COMPLETION) {
        char oper[256] = "";
        viGetAttribute(ctx, VI_ATTR_STATUS, &e.status);
        viGetAttribute(ctx, VI_ATTR_JOB_ID, &e.job);
        viGetAttribute(ctx, VI_ATTR_RET_COUNT_32, &e.count32);
        viGetAttribute(ctx, VI_ATTR_RET_COUNT_64, &e.count64);
        viGetAttribute(ctx, VI_ATTR_BUFFER, &e.buffer);
        viGetAttribute(ctx, VI_ATTR_OPER_NAME, oper);
        e.oper = oper;
    }
    std::lock_guard lock(t->rec->m);
    t->rec->events.push_back(e);
    t->rec->cv.notify_all();
    return t->rec->answer;
}

TEST_F(events, asynchronous_reads_complete_on_the_library_thread)
{
    ViSession vi = open_dmm();
    recorder rec;
    tagged user{&rec, 1};
    ASSERT_STATUS(VI_SUCCESS, viInstallHandler(vi, VI_EVENT_IO_COMPLETION, record, &user));
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_IO_COMPLETION, VI_HNDLR, VI_NULL));
    unsigned char buf[64];
    ViJobId job = 0;
    ASSERT_STATUS(VI_SUCCESS, viReadAsync(vi, buf, sizeof buf, &job));
    EXPECT_NE(0u, job);
    device_sends(vi, "hello\n", 100);
    ASSERT_TRUE(rec.wait_for(1));
    const seen_event& e = rec.events[0];
    EXPECT_NE(GetCurrentThreadId(), e.thread);
    EXPECT_STATUS(VI_SUCCESS, e.status);
    EXPECT_EQ(job, e.job);
    EXPECT_EQ(6u, e.count32);
    EXPECT_EQ(6u, e.count64);
    EXPECT_EQ(buf, e.buffer);
    EXPECT_EQ("viReadAsync", e.oper);
    EXPECT_EQ("hello\n", std::string(reinterpret_cast<char*>(buf), 6));
    // The context lives only during the call: the library closes it once the handlers return.
    ViEventType t;
    ViStatus st = VI_SUCCESS;
    for (int i = 0;
         i < 100 && (st = viGetAttribute(e.context, VI_ATTR_EVENT_TYPE, &t)) == VI_SUCCESS; ++i)
        Sleep(10);
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, st);

    // Data already there: done at once, and still exactly one completion.
    device_sends(vi, "now\n");
    ViJobId sync_job = 0;
    EXPECT_STATUS(VI_SUCCESS_SYNC, viReadAsync(vi, buf, sizeof buf, &sync_job));
    ViJobId write_job = 0;
    EXPECT_STATUS(VI_SUCCESS_SYNC,
                  viWriteAsync(vi, reinterpret_cast<ViConstBuf>("*CLS\n"), 5, &write_job));
    ASSERT_TRUE(rec.wait_for(3));
    Sleep(100);
    ASSERT_EQ(3u, rec.events.size());
    EXPECT_EQ(sync_job, rec.events[1].job);
    EXPECT_EQ(4u, rec.events[1].count32);
    EXPECT_EQ(write_job, rec.events[2].job);
    EXPECT_EQ("viWriteAsync", rec.events[2].oper);
    EXPECT_EQ(5u, rec.events[2].count32);
    EXPECT_NE(sync_job, write_job);
}

TEST_F(events, terminated_jobs_complete_with_abort)
{
    ViSession vi = open_dmm();
    recorder rec;
    tagged user{&rec, 1};
    viInstallHandler(vi, VI_EVENT_IO_COMPLETION, record, &user);
    viEnableEvent(vi, VI_EVENT_IO_COMPLETION, VI_HNDLR, VI_NULL);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE);
    unsigned char first[16], second[16];
    ViJobId a = 0, b = 0;
    ASSERT_STATUS(VI_SUCCESS, viReadAsync(vi, first, sizeof first, &a));
    ASSERT_STATUS(VI_SUCCESS, viReadAsync(vi, second, sizeof second, &b));
    EXPECT_STATUS(VI_SUCCESS, viTerminate(vi, VI_NULL, b));  // waiting behind the first
    EXPECT_STATUS(VI_SUCCESS, viTerminate(vi, VI_NULL, a));  // running
    ASSERT_TRUE(rec.wait_for(2));
    for (const auto& e : rec.events)
        EXPECT_STATUS(VI_ERROR_ABORT, e.status) << e.job;
    EXPECT_STATUS(VI_ERROR_INV_JOB_ID, viTerminate(vi, VI_NULL, a));
    EXPECT_STATUS(VI_ERROR_INV_JOB_ID, viTerminate(vi, VI_NULL, 4711));
    EXPECT_STATUS(VI_ERROR_INV_DEGREE, viTerminate(vi, 1, a));
}

// A client may free a terminated job's buffer once viTerminate returns: bytes that arrive just
// after the termination must not reach it, whatever the running read was doing.
TEST_F(events, a_terminated_read_leaves_its_buffer_alone)
{
    ViSession vi = open_dmm();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE);
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_IO_COMPLETION, VI_QUEUE, VI_NULL));
    for (int round = 0; round < 50 && !HasFailure(); ++round) {
        unsigned char buf[16];
        std::memset(buf, 0xAA, sizeof buf);
        ViJobId job = 0;
        ASSERT_STATUS(VI_SUCCESS, viReadAsync(vi, buf, sizeof buf, &job));
        Sleep(2);  // the session's worker starts the read and waits for bytes
        ASSERT_STATUS(VI_SUCCESS, viTerminate(vi, VI_NULL, job));
        device_sends(vi, "0123456789\n");
        ViEventType type = 0;
        ViEvent ctx = 0;
        ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_IO_COMPLETION, 2000, &type, &ctx));
        EXPECT_STATUS(VI_ERROR_ABORT, attr<ViStatus>(ctx, VI_ATTR_STATUS));
        viClose(ctx);
        for (unsigned char b : buf)
            ASSERT_EQ(0xAA, b) << "round " << round;
        viFlush(vi, VI_IO_IN_BUF_DISCARD);
    }
}

TEST_F(events, the_queue_mechanism)
{
    ViSession vi = open_dmm();
    ViEventType type = 0;
    ViEvent ctx = 0;
    EXPECT_STATUS(VI_ERROR_NENABLED, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &ctx));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_MAX_QUEUE_LENGTH, 2));
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS_EVENT_EN, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    EXPECT_STATUS(VI_ERROR_TMO, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &ctx));
    EXPECT_EQ(VI_NULL, ctx);

    // The device requests service when an error enters its queue and *SRE enables bit 2.
    write(vi, "*CLS;*SRE 4\n");
    write(vi, "BOGUS\n");
    ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 2000, &type, &ctx));
    EXPECT_EQ(VI_EVENT_SERVICE_REQ, type);
    EXPECT_EQ(VI_EVENT_SERVICE_REQ, attr<ViEventType>(ctx, VI_ATTR_EVENT_TYPE));
    EXPECT_STATUS(VI_ERROR_ATTR_READONLY, viSetAttribute(ctx, VI_ATTR_EVENT_TYPE, 1));
    EXPECT_STATUS(VI_SUCCESS, viClose(ctx));
    write(vi, "*CLS;*SRE 0\n");

    for (int i = 0; i < 3; ++i)
        EXPECT_STATUS(VI_SUCCESS, simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0));
    EXPECT_STATUS(VI_WARN_QUEUE_OVERFLOW,
                  viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 0, &type, VI_NULL));
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    EXPECT_STATUS(VI_SUCCESS_QUEUE_NEMPTY,
                  viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS, viDiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE));
    EXPECT_STATUS(VI_SUCCESS_QUEUE_EMPTY, viDiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE));
    EXPECT_STATUS(VI_SUCCESS, viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_ALL_MECH));
    EXPECT_STATUS(VI_SUCCESS_EVENT_DIS, viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE));
    EXPECT_STATUS(VI_ERROR_NENABLED, simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0));
}

TEST_F(events, enable_checks_types_mechanisms_and_handlers)
{
    ViSession vi = open_dmm();
    recorder rec;
    tagged user{&rec, 1};
    // Enabling and disabling a type just to have it judged works without a handler.
    EXPECT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS, viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR));
    EXPECT_STATUS(VI_ERROR_INV_MECH,
                  viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR | VI_SUSPEND_HNDLR, VI_NULL));
    EXPECT_STATUS(VI_ERROR_INV_MECH, viEnableEvent(vi, VI_EVENT_EXCEPTION, VI_QUEUE, VI_NULL));
    EXPECT_STATUS(VI_ERROR_INV_EVENT, viEnableEvent(vi, VI_EVENT_GPIB_CIC, VI_QUEUE, VI_NULL));
    EXPECT_STATUS(VI_ERROR_INV_EVENT, viDisableEvent(vi, VI_EVENT_GPIB_CIC, VI_QUEUE));
    EXPECT_STATUS(VI_ERROR_INV_CONTEXT, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, 5));
    EXPECT_STATUS(VI_ERROR_INV_HNDLR_REF,
                  viInstallHandler(vi, VI_EVENT_SERVICE_REQ, nullptr, &user));
    EXPECT_STATUS(VI_ERROR_HNDLR_NINSTALLED,
                  viUninstallHandler(vi, VI_EVENT_SERVICE_REQ, record, &user));

    // Other types for the server's tests: enabled on request, raised with any attributes.
    ASSERT_STATUS(VI_SUCCESS, simvisa_support_event(VI_EVENT_GPIB_CIC, VI_TRUE));
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_GPIB_CIC, VI_QUEUE, VI_NULL));
    simvisa_event_attr cic{VI_ATTR_GPIB_RECV_CIC_STATE, 2, VI_TRUE, nullptr, nullptr, 0};
    ASSERT_STATUS(VI_SUCCESS, simvisa_raise_event(vi, VI_EVENT_GPIB_CIC, &cic, 1));
    ViEvent ctx = 0;
    ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_GPIB_CIC, 0, VI_NULL, &ctx));
    ViUInt32 state = 0xAAAAAAAA;
    EXPECT_STATUS(VI_SUCCESS, viGetAttribute(ctx, VI_ATTR_GPIB_RECV_CIC_STATE, &state));
    EXPECT_EQ(0xAAAA0001u, state) << "two bytes written";
    EXPECT_STATUS(VI_ERROR_NSUP_ATTR, viGetAttribute(ctx, VI_ATTR_JOB_ID, &state));
    viClose(ctx);
    ASSERT_STATUS(VI_SUCCESS, simvisa_support_event(VI_EVENT_GPIB_CIC, VI_FALSE));
}

TEST_F(events, handlers_run_last_installed_first_and_may_stop_the_chain)
{
    ViSession vi = open_dmm();
    recorder rec;
    tagged first{&rec, 1}, second{&rec, 2};
    viInstallHandler(vi, VI_EVENT_SERVICE_REQ, record, &first);
    viInstallHandler(vi, VI_EVENT_SERVICE_REQ, record, &second);
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL));
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    ASSERT_TRUE(rec.wait_for(2));
    EXPECT_EQ(2, rec.events[0].tag);
    EXPECT_EQ(1, rec.events[1].tag);

    rec.answer = VI_SUCCESS_NCHAIN;
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    ASSERT_TRUE(rec.wait_for(3));
    Sleep(100);
    EXPECT_EQ(3u, rec.events.size());
    rec.answer = VI_SUCCESS;

    // Suspended: held until the handler mechanism is enabled again.
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_SUSPEND_HNDLR, VI_NULL));
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    Sleep(100);
    EXPECT_EQ(3u, rec.events.size());
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL));
    EXPECT_TRUE(rec.wait_for(5));
    EXPECT_STATUS(VI_SUCCESS, viUninstallHandler(vi, VI_EVENT_SERVICE_REQ, record, &first));
    EXPECT_STATUS(VI_SUCCESS, viUninstallHandler(vi, VI_EVENT_SERVICE_REQ, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_HNDLR_NINSTALLED,
                  viUninstallHandler(vi, VI_EVENT_SERVICE_REQ, VI_NULL, VI_NULL));
}

// A handler that calls back into the library on its session: it would deadlock if the library
// called it while holding its own locks.
ViStatus _VI_FUNCH query_from_handler(ViSession vi, ViEventType, ViEvent, ViAddr user)
{
    ViUInt32 n;
    viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n);
    char buf[64] = "";
    viRead(vi, reinterpret_cast<ViPBuf>(buf), sizeof buf - 1, &n);
    buf[n] = '\0';
    auto* rec = static_cast<recorder*>(user);
    std::lock_guard lock(rec->m);
    seen_event e;
    e.oper = buf;
    rec->events.push_back(e);
    rec->cv.notify_all();
    return VI_SUCCESS;
}

TEST_F(events, handlers_may_call_the_library)
{
    ViSession vi = open_dmm();
    recorder rec;
    viInstallHandler(vi, VI_EVENT_SERVICE_REQ, query_from_handler, &rec);
    viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL);
    simvisa_raise_event(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
    ASSERT_TRUE(rec.wait_for(1));
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", rec.events[0].oper);
}

TEST_F(events, concurrent_sessions_on_many_threads)
{
    std::atomic<int> failures{0};
    auto worker = [&](const char* resource, bool psu, const char* expected) {
        ViSession vi = VI_NULL;
        if (viOpen(rm, resource, VI_NULL, 0, &vi) != VI_SUCCESS) {
            ++failures;
            return;
        }
        if (psu) {
            viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 19200);
            viSetAttribute(vi, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN);
        }
        for (int i = 0; i < 20; ++i)
            if (query(vi, psu ? "*IDN?\r\n" : "*IDN?\n") != expected)
                ++failures;
        viClose(vi);
    };
    auto churn = [&] {
        for (int i = 0; i < 40; ++i) {
            ViSession vi = VI_NULL;
            if (viOpen(rm, "ASRL3::INSTR", VI_NULL, 0, &vi) != VI_SUCCESS)
                ++failures;
            viSetAttribute(vi, VI_ATTR_TMO_VALUE, i);
            ViUInt32 t = 0;
            viGetAttribute(vi, VI_ATTR_TMO_VALUE, &t);
            if (t != static_cast<ViUInt32>(i))
                ++failures;
            viLock(vi, VI_SHARED_LOCK, 1000, "churn", nullptr);
            viClose(vi);
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(worker, "ASRL1::INSTR", false, "SIMVISA,DMM-6500,SN100200,1.02\n");
    threads.emplace_back(worker, "ASRL2::INSTR", true, "SIMVISA,PSU-3303,SN7781,2.4\r\n");
    for (int i = 0; i < 3; ++i)
        threads.emplace_back(churn);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, failures.load());
}

}  // namespace
