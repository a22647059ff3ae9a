// Asynchronous jobs through COM: a read's completion with its job ID and bytes, a completion
// delivered inside the library call, bad arguments that start no job, Terminate of a pending and
// of an unknown job, WriteString's nested Write, many jobs leaving nothing behind, and a session
// closed with jobs pending.
#include "event_test_support.h"
#include "process_counts.h"

#include <optional>
#include <string>
#include <vector>

using namespace mrv;
using namespace mrv::test;

namespace {

inline constexpr long io_completion = 0x3FFF2009;  // VI_EVENT_IO_COMPLETION

class AsyncIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = open_session();
        ASSERT_TRUE(s);
        ASSERT_TRUE(async = s.as<IAsyncMessage>(IID_IAsyncMessage));
        ASSERT_TRUE(message = s.as<IMessage>(IID_IMessage));
        ASSERT_TRUE(events = events_of(s));
        visa.emplace();
        ASSERT_TRUE(visa->loaded());
    }
    void TearDown() override
    {
        if (!visa)
            return;
        visa->clear_faults();
        if (auto sync =
                visa->get<simvisa_deliver_synchronously_fn>("simvisa_deliver_synchronously"))
            sync(VI_FALSE);
    }

    // The instrument's identity waits in the receive buffer.
    void ask_identity()
    {
        bstr_arg query(L"*IDN?\n");
        long written = 0;
        ASSERT_HR(S_OK, message->WriteString(query, &written));
    }

    // The next completion from the queue, or null after `ms`.
    com_ptr<IEventIOCompletion> next_completion(long ms = 3000)
    {
        com_ptr<IEvent> event;
        if (FAILED(events->WaitOnEvent(ms, static_cast<EventType>(io_completion), 0, event.put())))
            return {};
        return event.as<IEventIOCompletion>(IID_IEventIOCompletion);
    }

    com_apartment com;
    com_ptr<IVisaSession> s;
    com_ptr<IAsyncMessage> async;
    com_ptr<IMessage> message;
    com_ptr<IEventManager> events;
    std::optional<simvisa> visa;  // reached once the server has loaded it
};

std::string bytes_of(IEventIOCompletion* completion)
{
    SAFEARRAY* array = nullptr;
    if (FAILED(completion->get_ReadBuffer(&array)) || !array)
        return {};
    void* data = nullptr;
    std::string text;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        text.assign(static_cast<const char*>(data), array->rgsabound[0].cElements);
        SafeArrayUnaccessData(array);
    }
    SafeArrayDestroy(array);
    return text;
}

}  // namespace

TEST_F(AsyncIo, ReadCompletesWithItsJobIdAndTheBytes)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    ask_identity();
    long job = 0;
    ASSERT_HR(S_OK, async->Read(10, &job));
    EXPECT_NE(0, job);
    auto completion = next_completion();
    ASSERT_TRUE(completion);
    long id = 0, status = -1, count = 0;
    EXPECT_HR(S_OK, completion->get_JobId(&id));
    EXPECT_EQ(job, id);
    EXPECT_HR(S_OK, completion->get_IOStatus(&status));
    EXPECT_GE(status, 0);
    EXPECT_HR(S_OK, completion->get_ReturnCount(&count));
    EXPECT_EQ(10, count);
    EXPECT_EQ("SIMVISA,DM", bytes_of(completion.get()));
}

TEST_F(AsyncIo, CompletionDeliveredInsideTheLibraryCallIsCountedOnce)
{
    auto sync = visa->get<simvisa_deliver_synchronously_fn>("simvisa_deliver_synchronously");
    ASSERT_TRUE(sync);
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    ask_identity();
    ASSERT_EQ(VI_SUCCESS, sync(VI_TRUE));
    long read_job = 0, write_job = 0;
    ASSERT_HR(S_OK, async->Read(7, &read_job));
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_HR(S_OK, async->Write(&array, 4, &write_job));
    SafeArrayDestroy(array);

    std::vector<long> seen;
    while (auto completion = next_completion(300)) {
        long id = 0;
        completion->get_JobId(&id);
        seen.push_back(id);
    }
    EXPECT_EQ((std::vector<long>{read_job, write_job}), seen);
}

TEST_F(AsyncIo, BadCountsArraysAndTextsStartNoJob)
{
    visa->clear_log();
    long job = 7;
    clear_error_info();
    EXPECT_HR(E_INVALIDARG, async->Read(0, &job));
    EXPECT_HR(E_POINTER, async->Read(5, nullptr));

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SAFEARRAY* square = SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_HR(E_INVALIDARG, async->Write(&square, 4, &job)) << "two dimensions";
    SafeArrayDestroy(square);
    SAFEARRAY* shorter = SafeArrayCreateVector(VT_UI1, 0, 3);
    EXPECT_HR(E_INVALIDARG, async->Write(&shorter, 4, &job));
    EXPECT_HR(E_INVALIDARG, async->Write(&shorter, 0, &job));
    SafeArrayDestroy(shorter);

    bstr_arg empty(L"");
    EXPECT_HR(E_INVALIDARG, async->WriteString(empty, &job));
    EXPECT_HR(E_POINTER, async->WriteString(nullptr, &job));
    EXPECT_FALSE(last_error_info().present);
    EXPECT_EQ(0u, visa->count("Async("));
}

TEST_F(AsyncIo, TerminateOfAPendingJobAndOfAnUnknownOne)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    long job = 0;
    ASSERT_HR(S_OK, async->Read(100, &job));  // nothing arrives: the job waits
    ASSERT_HR(S_OK, async->Terminate(job));
    EXPECT_FALSE(next_completion(500)) << "a terminated job's completion is dropped";

    clear_error_info();
    const HRESULT unknown = async->Terminate(job + 1000);
    EXPECT_TRUE(FAILED(unknown));
    const error_info info = last_error_info();
    EXPECT_TRUE(info.present);
    EXPECT_TRUE(InlineIsEqualGUID(IID_IAsyncMessage, info.guid));
}

// The library reports a terminated job's completion (with VI_ERROR_ABORT) inside viTerminate
// when it delivers synchronously, before Terminate has taken the job's buffer back: still no
// event reaches the client.
TEST_F(AsyncIo, ATerminatedJobsCompletionDeliveredInsideTheTerminationIsDropped)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    auto sync = visa->get<simvisa_deliver_synchronously_fn>("simvisa_deliver_synchronously");
    ASSERT_TRUE(sync);
    sync(VI_TRUE);
    long running = 0, waiting = 0;
    ASSERT_HR(S_OK, async->Read(100, &running));
    ASSERT_HR(S_OK, async->Read(100, &waiting));  // queued behind the first
    ASSERT_HR(S_OK, async->Terminate(waiting));
    ASSERT_HR(S_OK, async->Terminate(running));
    if (auto completion = next_completion(500)) {
        long job = 0;
        completion->get_JobId(&job);
        ADD_FAILURE() << "job " << job << " completed after Terminate";
    }
}

TEST_F(AsyncIo, WriteStringWritesItsTextThroughANestedWrite)
{
    visa->clear_log();
    bstr_arg text(L"ABCD");
    long job = 0;
    ASSERT_HR(S_OK, async->WriteString(text, &job));
    EXPECT_EQ(1u, visa->count("viWriteAsync("));
    EXPECT_EQ(1u, visa->count("cnt=4,"));
}

TEST_F(AsyncIo, ManyJobsLeaveNoBufferAndNoMemoryBehind)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    ASSERT_HR(S_OK, events->put_MaximumQueueLength(2000));
    auto round = [&](int jobs) {
        for (int i = 0; i < jobs; ++i) {
            long job = 0;
            if (i % 2) {
                ASSERT_HR(S_OK, async->Read(65536, &job));
                ASSERT_HR(S_OK, async->Terminate(job));
            } else {
                SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4096);
                ASSERT_HR(S_OK, async->Write(&array, 4096, &job));
                SafeArrayDestroy(array);
            }
        }
        while (next_completion(200)) {
        }
    };
    // The library's call log grows with every call: it is emptied before each measure, and a
    // first round warms the heaps. Each measure waits for the library's handler thread, idle,
    // to end, so that its stack is in neither.
    const auto settled_private_bytes = [&] {
        visa->clear_log();
        Sleep(500);
        return private_bytes();
    };
    round(1000);
    round(1000);
    const std::size_t before = settled_private_bytes();
    round(1000);
    // A terminated read's buffer left behind would be 32 MiB here; the heaps vary by about 1.
    EXPECT_LT(settled_private_bytes(), before + 2 * 1024 * 1024);
}

// The library may go on filling a pending read's buffer until the job ends: closing ends every
// pending job in the library before the session frees the buffers.
TEST_F(AsyncIo, ClosingEndsPendingJobsInTheLibraryBeforeFreeingTheirBuffers)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    long job = 0;
    ASSERT_HR(S_OK, async->Read(100, &job));
    visa->clear_log();
    EXPECT_HR(S_OK, s->Close());
    const std::string log = visa->log();
    const auto terminated = log.find("viTerminate(");
    ASSERT_NE(std::string::npos, terminated) << log;
    EXPECT_LT(terminated, log.find("viClose(")) << log;
}

// A pending read that the library could not end when its session closed may go on filling its
// buffer until the library session is closed: the buffer outlives Close and goes with the
// session.
TEST_F(AsyncIo, AJobTheLibraryCouldNotEndKeepsItsBufferPastClose)
{
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    constexpr long size = 64 << 20;
    const std::size_t before = private_bytes();
    long job = 0;
    ASSERT_HR(S_OK, async->Read(size, &job));
    visa->fail_next("viTerminate", VI_ERROR_SYSTEM_ERROR);
    EXPECT_HR(S_OK, s->Close());
    EXPECT_GT(private_bytes(), before + size / 2) << "freed while the library could still fill it";
    visa->clear_faults();
    visa.reset();  // the session takes the library with it
    async.reset();
    message.reset();
    events.reset();
    s.reset();
    EXPECT_LT(private_bytes(), before + size / 2);
}

TEST_F(AsyncIo, SessionClosedWithJobsPending)
{
    auto objects = visa->get<simvisa_open_objects_fn>("simvisa_open_objects");
    ASSERT_TRUE(objects);
    const ViUInt32 before = objects();
    for (int i = 0; i < 3; ++i) {
        long job = 0;
        ASSERT_HR(S_OK, async->Read(100, &job));
    }
    EXPECT_HR(S_OK, s->Close());
    EXPECT_LT(objects(), before);
    long job = 0;
    EXPECT_HR(session_closed, async->Read(1, &job));
}

TEST_F(AsyncIo, TheServerUnloadsSafelyWhileABlockForTheNextArrayIsBeingPrepared)
{
    // Each 2 MiB array of a completion starts the preparation of a block for the next one; after
    // the second the completion, the last object of the server, goes at once and the server is
    // unloaded while the preparation may still run. The preparation holds the module until it
    // has finished and then lets it go, and the client's array outlives the module.
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    constexpr long size = 2 * 1024 * 1024;
    const std::string sent(size, 'x');
    auto send = visa->get<simvisa_device_send_fn>("simvisa_device_send");
    ASSERT_EQ(VI_SUCCESS, send(library_session(*visa), sent.data(), size, 0));
    long job = 0;
    ASSERT_HR(S_OK, async->Read(size, &job));
    auto completion = next_completion();
    ASSERT_TRUE(completion);
    // The library stays loaded, so that letting the completion go costs next to nothing.
    const HMODULE library = LoadLibraryW(L"visa32.dll");
    async.reset();
    message.reset();
    events.reset();
    ASSERT_HR(S_OK, s->Close());
    s.reset();
    visa.reset();

    SAFEARRAY* array = nullptr;
    ASSERT_HR(S_OK, completion->get_ReadBuffer(&array));
    SafeArrayDestroy(array);
    Sleep(100);  // the block is ready; the next array takes it and another is prepared
    ASSERT_HR(S_OK, completion->get_ReadBuffer(&array));
    completion.reset();
    CoFreeUnusedLibrariesEx(0, 0);
    for (int waited = 0; GetModuleHandleW(L"MrvRS232.dll") && waited < 5000; waited += 10)
        Sleep(10);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"MrvRS232.dll"));
    Sleep(100);  // a preparation running in unmapped code would have ended the process by now
    ASSERT_EQ(static_cast<ULONG>(size), array->rgsabound[0].cElements);
    EXPECT_EQ('x', static_cast<const char*>(array->pvData)[size - 1]);
    SafeArrayDestroy(array);
    FreeLibrary(library);
}
