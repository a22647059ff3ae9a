#include "trace/trace_pipe.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "trace/mutex_ownership.h"
#include "trace/nko_client.h"
#include "trace/trace_event_log.h"
#include "trace/trace_status.h"

namespace mrv::trace {

namespace {

enum pipe_offset : std::size_t { capacity_at = 0, length_at = 8, data_at = 16 };

std::string pipe_name(const char* suffix)
{
    return nko_global_name(std::string(kPipeBaseName) + suffix);
}

HANDLE make_event(BOOL manual_reset, const char* suffix) noexcept
{
    try {
        return NkoTakeHandle(NkoCreateEvent(NkoSecurityAttributes(), manual_reset, FALSE,
                                            pipe_name(suffix).c_str()));
    } catch (...) {
        return nullptr;
    }
}

std::mutex g_pipe_mutex;
std::unique_ptr<trace_pipe> g_pipe;
std::atomic<trace_pipe*> g_pipe_pointer{nullptr};

}  // namespace

std::unique_ptr<trace_pipe> trace_pipe::create() noexcept
{
    std::unique_ptr<trace_pipe> pipe(new (std::nothrow) trace_pipe);
    if (!pipe)
        return nullptr;
    try {
        pipe->lock_.reset(NkoTakeHandle(
            NkoCreateMutex(NkoSecurityAttributes(), FALSE, pipe_name("_t_sem").c_str())));
    } catch (...) {
    }
    if (!pipe->lock_) {
        report_trace_event("ERROR, TracePipe::CreateInstance, NkoCreateMutex failed, error = %lu\n",
                           GetLastError());
        return nullptr;
    }
    struct event_step {
        unique_handle trace_pipe::*member;
        BOOL manual_reset;
        const char* suffix;
        const char* label;
    };
    static constexpr event_step events[] = {
        {&trace_pipe::monitor_data_, FALSE, "_t_writeToIoWatch", "writeToIoWatch"},
        {&trace_pipe::file_data_, FALSE, "_t_writeToFile", "writeToFile"},
        {&trace_pipe::monitor_done_, TRUE, "_t_readByIoWatch", "readByIoWatch"},
        {&trace_pipe::file_done_, TRUE, "_t_readByFileWriter", "readByFileWriter"},
    };
    for (const event_step& step : events) {
        (pipe.get()->*step.member).reset(make_event(step.manual_reset, step.suffix));
        if (!(pipe.get()->*step.member)) {
            report_trace_event("ERROR, TracePipe::CreateInstance, NkoCreateEvent '%s' failed, "
                               "error = %lu\n",
                               step.label, GetLastError());
            return nullptr;
        }
    }
    pipe->abort_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!pipe->abort_) {
        report_trace_event("ERROR, TracePipe::CreateInstance, CreateEvent 'abortEvent' failed, "
                           "error = %lu\n",
                           GetLastError());
        return nullptr;
    }

    try {
        pipe->mapping_.reset(NkoTakeHandle(
            NkoCreateFileMapping(INVALID_HANDLE_VALUE, NkoSecurityAttributes(), PAGE_READWRITE, 0,
                                 kPipeBufferSize, pipe_name("_t_shm").c_str())));
    } catch (...) {
    }
    const DWORD created_error = GetLastError();
    if (!pipe->mapping_) {
        report_trace_event("ERROR, TracePipe::CreateInstance, NkoCreateFileMapping failed, "
                           "error = %lu\n",
                           created_error);
        return nullptr;
    }
    if (created_error != 0 && created_error != ERROR_ALREADY_EXISTS)
        report_trace_event("ERROR, TracePipe::CreateInstance, NkoCreateFileMapping returned "
                           "error = %lu\n",
                           created_error);
    pipe->view_ = static_cast<unsigned char*>(
        MapViewOfFile(pipe->mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, kPipeBufferSize));
    if (!pipe->view_) {
        report_trace_event("ERROR, TracePipe::CreateInstance, MapViewOfFile failed, error = %lu\n",
                           GetLastError());
        return nullptr;
    }
    unsigned char* base = pipe->view_;
    if (created_error == 0) {
        std::memset(base, 0, kPipeCapacity);
        std::memcpy(base + capacity_at, &kPipeCapacity, 4);
        DWORD word = 0;
        std::memcpy(&word, base + capacity_at, 4);
        report_trace_event(
            "TracePipe::CreateInstance: TracePipe shared memory created\nshared memory size = "
            "0x%lx (0x%lx)\npSharedMemoryBase = 0x%I64x (0x%I64x)\npActualSize = 0x%I64x, "
            "actualSize = 0x%lx\npSharedMemoryData = 0x%I64x\n",
            kPipeCapacity, word, reinterpret_cast<unsigned long long>(base),
            reinterpret_cast<unsigned long long>(base),
            reinterpret_cast<unsigned long long>(base + length_at), 0ul,
            reinterpret_cast<unsigned long long>(base + data_at));
    }
    std::memcpy(&pipe->capacity_, base + capacity_at, 4);
    // A capacity beyond the data area would let a writer run past the mapping.
    if (pipe->capacity_ > kPipeCapacity)
        pipe->capacity_ = kPipeCapacity;
    return pipe;
}

trace_pipe::~trace_pipe()
{
    if (view_)
        UnmapViewOfFile(view_);
}

int trace_pipe::write(const void* record, DWORD bytes, DWORD* written, DWORD timeout_ms) noexcept
{
    if (written)
        *written = 0;
    DWORD waited = 0;
    const mutex_ownership locked = acquire_mutex(lock_.get(), timeout_ms, &waited);
    if (!locked)
        return waited == WAIT_TIMEOUT ? pipe_timed_out : pipe_failed;

    // Only the events of readers that are there are touched: a reader that is not there counts
    // as done without its done event being set and reset around every record.
    trace_status& status = shared_trace_status();
    const bool monitor = status.monitor_reads();
    const bool file_writer = status.file_writer_reads();
    // A late acknowledgement of an earlier record (whose writer stopped waiting) must not
    // count for this one.
    if (monitor)
        ResetEvent(monitor_done_.get());
    if (file_writer)
        ResetEvent(file_done_.get());

    const DWORD length = bytes < capacity_ ? bytes : capacity_;
    std::memcpy(view_ + data_at, record, length);
    std::memcpy(view_ + length_at, &length, 4);
    if (written)
        *written = length;

    // The file writer is signalled but not waited for: its done event is set here.
    if (file_writer) {
        SetEvent(file_data_.get());
        SetEvent(file_done_.get());
    }
    int result = length < bytes ? pipe_cut : pipe_ok;
    if (monitor)
        result = signal_monitor_and_wait(timeout_ms, result);
    return result;
}

int trace_pipe::signal_monitor_and_wait(DWORD timeout_ms, int result) noexcept
{
    trace_status& status = shared_trace_status();
    if (!status.tracing_enabled()) {
        SetEvent(monitor_data_.get());
        return result;
    }
    // The first step signals the record and starts waiting in one call; the monitor's done
    // event stays set until the next writer resets it.
    DWORD remaining = timeout_ms;
    DWORD waited =
        SignalObjectAndWait(monitor_data_.get(), monitor_done_.get(), kPipeWaitStepMs, FALSE);
    for (;;) {
        if (waited == WAIT_OBJECT_0)
            return pipe_ok;
        if (waited != WAIT_TIMEOUT)
            return pipe_failed;
        remaining = remaining <= kPipeWaitStepMs ? 0 : remaining - kPipeWaitStepMs;
        if (remaining == 0)
            return pipe_timed_out;
        if (!status.tracing_enabled())
            return result;
        waited = WaitForSingleObject(monitor_done_.get(), kPipeWaitStepMs);
    }
}

int trace_pipe::wait_for_record(DWORD timeout_ms, DWORD* length) noexcept
{
    const HANDLE wanted[] = {abort_.get(), monitor_data_.get()};
    return record_waited(WaitForMultipleObjects(2, wanted, FALSE, timeout_ms), WAIT_OBJECT_0 + 1,
                         length);
}

int trace_pipe::acknowledge_and_wait(DWORD timeout_ms, DWORD* length) noexcept
{
    return record_waited(
        SignalObjectAndWait(monitor_done_.get(), monitor_data_.get(), timeout_ms, FALSE),
        WAIT_OBJECT_0, length);
}

int trace_pipe::poll_record(DWORD timeout_ms, DWORD* length) noexcept
{
    return record_waited(WaitForSingleObject(monitor_data_.get(), timeout_ms), WAIT_OBJECT_0,
                         length);
}

int trace_pipe::record_waited(DWORD waited, DWORD data_result, DWORD* length) const noexcept
{
    if (waited == data_result) {
        if (length)
            std::memcpy(length, view_ + length_at, 4);
        return pipe_ok;
    }
    if (waited == WAIT_TIMEOUT)
        return pipe_timed_out;
    if (data_result != WAIT_OBJECT_0 && waited == WAIT_OBJECT_0)
        return pipe_aborted;
    return pipe_failed;
}

DWORD trace_pipe::take_record(void* buffer, DWORD size, bool* cut) noexcept
{
    DWORD length = 0;
    std::memcpy(&length, view_ + length_at, 4);
    if (length > capacity_)
        length = capacity_;
    const DWORD copied = length < size ? length : size;
    std::memcpy(buffer, view_ + data_at, copied);
    // The data event resets itself when a wait takes it, so nothing is reset here.
    if (cut)
        *cut = length > size;
    return copied;
}

trace_pipe* process_trace_pipe() noexcept
{
    if (trace_pipe* pipe = g_pipe_pointer.load())
        return pipe;
    std::lock_guard guard(g_pipe_mutex);
    if (!g_pipe) {
        g_pipe = trace_pipe::create();
        g_pipe_pointer.store(g_pipe.get());
    }
    return g_pipe.get();
}

trace_pipe* existing_trace_pipe() noexcept
{
    return g_pipe_pointer.load();
}

}  // namespace mrv::trace
