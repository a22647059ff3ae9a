// The trace transport between processes: the shared trace status, the hand-shake of the trace
// pipe with a monitor, cut records, and a writer that stops waiting once tracing is off.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "lock_holder.h"
#include "trace/nko_client.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

using namespace mrv::trace;
using clock_type = std::chrono::steady_clock;

namespace {

class TraceTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        status.start();
        pipe = process_trace_pipe();
        ASSERT_NE(nullptr, pipe);
    }
    void TearDown() override
    {
        status.set_tracing(false);
        status.set_flag(status_monitor_at, 0);
        status.set_flag(status_records_wanted_at, 0);
    }
    long long ms_since(clock_type::time_point t)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - t).count();
    }

    trace_status& status = shared_trace_status();
    trace_pipe* pipe = nullptr;
};

}  // namespace

TEST_F(TraceTransport, StatusBlockAndPipeAreInitialisedByTheirCreator)
{
    EXPECT_EQ(kPipeCapacity, pipe->capacity());
    const int generation = status.generation();
    status.set_tracing(true);
    EXPECT_TRUE(status.tracing_enabled());
    EXPECT_EQ(generation == 0x7FFFFFFF ? 1 : generation + 1, status.generation());
    EXPECT_EQ(wait_signalled, status.wait_for_tracing_enabled(0));
    EXPECT_EQ(wait_timed_out, status.wait_for_tracing_not_enabled(0));
    status.set_tracing(false);
    EXPECT_FALSE(status.tracing_enabled());
    EXPECT_EQ(wait_signalled, status.wait_for_tracing_not_enabled(0));
}

TEST_F(TraceTransport, WithoutReadersAWriteDoesNotWaitAndALongRecordIsCut)
{
    status.set_tracing(true);
    std::vector<unsigned char> record(kPipeCapacity + 100, 0x41);
    DWORD written = 0;
    const auto start = clock_type::now();
    EXPECT_EQ(pipe_ok, pipe->write(record.data(), 64, &written, INFINITE));
    EXPECT_EQ(64u, written);
    // Tracing off: no wait step, so the cut shows in the result.
    status.set_tracing(false);
    EXPECT_EQ(pipe_cut,
              pipe->write(record.data(), static_cast<DWORD>(record.size()), &written, INFINITE));
    EXPECT_EQ(kPipeCapacity, written);
    EXPECT_LT(ms_since(start), 400);
}

TEST_F(TraceTransport, MonitorReceivesTheRecordBeforeTheWriterGoesOn)
{
    status.set_flag(status_monitor_at, 1);
    status.set_tracing(true);
    pipe->acknowledge();  // late, for an earlier record: must not release the next writer
    const wchar_t text[] = L"<Message/>";
    int write_result = -1;
    std::atomic<bool> written{false};
    std::thread writer([&] {
        write_result = pipe->write(text, sizeof text, nullptr, INFINITE);
        written = true;
    });
    DWORD length = 0;
    ASSERT_EQ(pipe_ok, pipe->wait_for_record(5000, &length));
    EXPECT_EQ(sizeof text, length);
    wchar_t copy[32] = {};
    bool cut = true;
    EXPECT_EQ(sizeof text, pipe->take_record(copy, sizeof copy, &cut));
    EXPECT_FALSE(cut);
    EXPECT_STREQ(text, copy);
    Sleep(100);
    EXPECT_FALSE(written) << "the writer went on before the monitor acknowledged";
    pipe->acknowledge();
    writer.join();
    EXPECT_EQ(pipe_ok, write_result);
}

TEST_F(TraceTransport, WriterStopsWaitingForASlowMonitorWhenTracingIsSwitchedOff)
{
    status.set_flag(status_monitor_at, 1);
    status.set_tracing(true);
    clock_type::time_point finished;
    int result = -1;
    std::thread writer([&] {
        result = pipe->write(L"x", 4, nullptr, INFINITE);
        finished = clock_type::now();
    });
    Sleep(700);
    const auto off = clock_type::now();
    status.set_tracing(false);
    writer.join();
    EXPECT_EQ(pipe_ok, result);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(finished - off);
    EXPECT_LT(waited.count(), 800) << "500 ms steps, plus slack for a loaded machine";
}

// A process killed while it holds the pipe lock or the status lock (lock_holder.exe): the writer
// or controller waiting for it takes the abandoned mutex and goes on.
TEST_F(TraceTransport, AWriterGoesOnWhenAProcessDiesHoldingALock)
{
    const struct {
        const wchar_t* holder_argument;
        std::string name;
        std::function<bool()> wait;  // true when it got through
    } rows[] = {
        {L"pipe", nko_global_name(std::string(kPipeBaseName) + "_t_sem"),
         [&] { return pipe->write(L"x", 4, nullptr, 20000) == pipe_ok; }},
        {L"status", kStatusLockName,
         [&] {
             status.set_flag(status_flag19_at, 1);
             const bool set = status.flag19();
             status.set_flag(status_flag19_at, 0);
             return set;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bench::child_process holder(L"\"" + bench::program_directory() + L"lock_holder.exe\" " +
                                    row.holder_argument);
        ASSERT_TRUE(holder.started());
        mrv::unique_handle holding;
        for (int i = 0; i < 400 && !holding && holder.running(); ++i) {
            holding.reset(OpenEventA(SYNCHRONIZE, FALSE, holding_event_name(holder.id()).c_str()));
            if (!holding)
                Sleep(50);
        }
        ASSERT_TRUE(holding) << "lock_holder.exe took the lock";
        const mrv::unique_handle lock(OpenMutexA(SYNCHRONIZE, FALSE, row.name.c_str()));
        ASSERT_TRUE(lock);
        ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(lock.get(), 0));

        bool went_on = false;
        clock_type::time_point finished;
        std::thread waiter([&] {
            went_on = row.wait();
            finished = clock_type::now();
        });
        Sleep(200);
        const auto killed = clock_type::now();
        EXPECT_TRUE(holder.kill());
        waiter.join();
        EXPECT_TRUE(went_on);
        const auto after_kill =
            std::chrono::duration_cast<std::chrono::milliseconds>(finished - killed).count();
        EXPECT_GE(after_kill, 0) << "it did not wait for the holder";
        EXPECT_LT(after_kill, 1000);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(lock.get(), 1000)) << "released again";
        ReleaseMutex(lock.get());
    }
}
