#include "trace/trace_status.h"

#include <cstring>
#include <mutex>

#include "trace/mutex_ownership.h"
#include "trace/nko_client.h"
#include "trace/trace_event_log.h"

namespace mrv::trace {

namespace {

// The critical section under which the status opens and closes, made once per process (per load
// of this module) and deleted when the module goes. While it is being made the status guard event
// exists, which announces the step to anyone checking.
struct status_section {
    CRITICAL_SECTION cs{};
    std::once_flag made;
    bool ready = false;
    ~status_section()
    {
        if (ready)
            DeleteCriticalSection(&cs);
    }
} g_status_section;

void init_status_section()
{
    std::call_once(g_status_section.made, [] {
        HANDLE guard = CreateEventA(nullptr, TRUE, FALSE, kStatusGuardName);
        InitializeCriticalSection(&g_status_section.cs);
        g_status_section.ready = true;
        if (guard)
            CloseHandle(guard);
    });
}

class section_lock {
public:
    section_lock() { EnterCriticalSection(&g_status_section.cs); }
    ~section_lock() { LeaveCriticalSection(&g_status_section.cs); }
    section_lock(const section_lock&) = delete;
    section_lock& operator=(const section_lock&) = delete;
};

HANDLE take(NkoHandle* handle) noexcept
{
    return NkoTakeHandle(handle);
}

}  // namespace

trace_status& shared_trace_status()
{
    static trace_status status;
    return status;
}

void trace_status::start() noexcept
{
    if (open_.load())
        return;
    init_status_section();
    section_lock guard;
    if (open_.load())
        return;
    open_shared_memory();
    open_.store(true);
}

trace_status::~trace_status()
{
    if (unsigned char* block = block_.exchange(nullptr))
        UnmapViewOfFile(block);
}

void trace_status::stop() noexcept
{
    if (!open_.load())
        return;
    init_status_section();
    section_lock guard;
    if (!open_.load())
        return;
    if (unsigned char* block = block_.exchange(nullptr))
        UnmapViewOfFile(block);
    mapping_.reset();
    lock_.reset();
    tracing_event_.reset();
    not_tracing_event_.reset();
    open_.store(false);
}

void trace_status::open_shared_memory() noexcept
{
    SECURITY_ATTRIBUTES* everyone = NkoSecurityAttributes();
    lock_.reset(take(NkoCreateMutex(everyone, FALSE, kStatusLockName)));
    if (!lock_)
        report_trace_event(
            "ERROR, TraceStatus::OpenSharedMemory, Err = 0x%lx creating m_lockMutex!",
            GetLastError());
    const mutex_ownership locked = acquire_mutex(lock_.get());

    mapping_.reset(take(NkoCreateFileMapping(INVALID_HANDLE_VALUE, everyone, PAGE_READWRITE, 0,
                                             kStatusBlockSize, kStatusBlockName)));
    const DWORD created_error = GetLastError();
    bool created = false;
    if (!mapping_) {
        report_trace_event("ERROR, TraceStatus::OpenSharedMemory, Error = 0x%lx creating "
                           "m_currentStatusFile!",
                           created_error);
    } else if (created_error == 0) {
        created = true;
    } else if (created_error != ERROR_ALREADY_EXISTS) {
        report_trace_event("ERROR, TraceStatus::OpenSharedMemory, Error = 0x%lx unexpected after "
                           "creating m_currentStatusFile!",
                           created_error);
        mapping_.reset();
    }
    if (mapping_) {
        auto* block = static_cast<unsigned char*>(
            MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, kStatusBlockSize));
        if (!block) {
            mapping_.reset();
        } else {
            if (created) {
                std::memset(block, 0, kStatusBlockSize);
                std::memcpy(block + status_version_at, &kStatusVersion, 4);
                std::memcpy(block + status_array_limit_at, &kDefaultArrayByteLimit, 4);
                report_trace_event("TraceStatus::OpenSharedMemory, TraceData Shared Memory "
                                   "(version %d) Initialized",
                                   kStatusVersion);
            }
            block_.store(block);
        }
    }

    tracing_event_.reset(take(NkoCreateEvent(everyone, TRUE, FALSE, kTracingEventName)));
    if (!tracing_event_)
        report_trace_event("ERROR, TraceStatus::OpenSharedMemory, Err = 0x%lx creating "
                           "m_tracingEvent!",
                           GetLastError());
    not_tracing_event_.reset(take(NkoCreateEvent(everyone, TRUE, TRUE, kNotTracingEventName)));
}

unsigned char trace_status::byte_at(std::size_t at) noexcept
{
    start();
    const unsigned char* block = block_.load();
    return block ? *static_cast<const volatile unsigned char*>(block + at) : 0;
}

std::int32_t trace_status::array_byte_limit() const noexcept
{
    const unsigned char* block = block_.load();
    if (!open_.load() || !block)
        return 0;
    return *reinterpret_cast<const volatile std::int32_t*>(block + status_array_limit_at);
}

std::int32_t trace_status::generation() noexcept
{
    start();
    const unsigned char* block = block_.load();
    return block ? *reinterpret_cast<const volatile std::int32_t*>(block + status_generation_at)
                 : 0;
}

mutex_ownership trace_status::lock_status() noexcept
{
    start();
    return acquire_mutex(lock_.get());
}

void trace_status::set_tracing(bool on) noexcept
{
    const mutex_ownership locked = lock_status();
    unsigned char* block = block_.load();
    if (!locked || !block)
        return;
    if (on) {
        ResetEvent(not_tracing_event_.get());
        SetEvent(tracing_event_.get());
        auto* generation = reinterpret_cast<volatile std::int32_t*>(block + status_generation_at);
        *generation = *generation == 0x7FFFFFFF ? 1 : *generation + 1;
        block[status_tracing_at] = 1;
    } else {
        block[status_tracing_at] = 0;
        ResetEvent(tracing_event_.get());
        SetEvent(not_tracing_event_.get());
    }
}

void trace_status::set_flag(status_offset at, unsigned char value) noexcept
{
    const mutex_ownership locked = lock_status();
    if (unsigned char* block = block_.load(); locked && block)
        block[at] = value;
}

void trace_status::set_array_byte_limit(std::int32_t limit) noexcept
{
    const mutex_ownership locked = lock_status();
    if (unsigned char* block = block_.load(); locked && block)
        std::memcpy(block + status_array_limit_at, &limit, 4);
}

int trace_status::wait_on(HANDLE event, DWORD timeout_ms, const char* what) noexcept
{
    if (!event)
        return wait_no_events;
    const DWORD waited = WaitForSingleObject(event, timeout_ms);
    if (waited == WAIT_OBJECT_0)
        return wait_signalled;
    if (waited == WAIT_TIMEOUT)
        return wait_timed_out;
    report_trace_event(
        "ERROR, TraceStatus::%s returned unexpected error 0x%lx: WFSO returned 0x%lx", what,
        GetLastError(), waited);
    return wait_failed;
}

int trace_status::wait_for_tracing_enabled(DWORD timeout_ms) noexcept
{
    start();
    return wait_on(tracing_event_.get(), timeout_ms, "WaitForTracingEnabled");
}

int trace_status::wait_for_tracing_not_enabled(DWORD timeout_ms) noexcept
{
    start();
    return wait_on(not_tracing_event_.get(), timeout_ms, "WaitForTracingNotEnabled");
}

}  // namespace mrv::trace
