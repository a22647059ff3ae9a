#pragma once
// The shared trace status: 420 bytes of named shared memory, published by the I/O monitor (or
// any controller), that say whether tracing is on and who reads the trace pipe. One per process;
// opened by the first session registration (or the first flag read) and kept open until the
// module unloads, so that sessions opened one after another do not open it again each time.
//
// Layout (little-endian):
//   0   4  version, 20090923, written by the process that creates the block
//   4   4  array byte limit of trace records (signed); 32 at creation
//   8   4  tracing generation, raised each time tracing is switched on (0x7FFFFFFF -> 1)
//   12  1  tracing enabled
//   13  1  an I/O monitor reads the pipe
//   14  1  a trace file writer reads the pipe (so does offset 15)
//   19  1  flag read by the accessors, not consulted by the server
//   24  1  records wanted: records are sent only while this is non-zero
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "trace/mutex_ownership.h"
#include "com/unique_any.h"

namespace mrv::trace {

inline constexpr DWORD kStatusBlockSize = 420;
inline constexpr std::int32_t kStatusVersion = 20090923;
inline constexpr std::int32_t kDefaultArrayByteLimit = 32;

enum status_offset : std::size_t {
    status_version_at = 0,
    status_array_limit_at = 4,
    status_generation_at = 8,
    status_tracing_at = 12,
    status_monitor_at = 13,
    status_file_writer_at = 14,
    status_file_writer2_at = 15,
    status_flag19_at = 19,
    status_records_wanted_at = 24,
};

inline constexpr char kStatusLockName[] =
    "Global\\Morvane_Shared_Trace_Mutex_{3B7E9A12-5C4D-4E6F-8A9B-0C1D2E3F4A57}";
inline constexpr char kStatusBlockName[] =
    "Global\\Morvane_Shared_Trace_Memory_{E4F51A20-6B3C-4D7E-9F81-A2B3C4D5E6F7}";
inline constexpr char kTracingEventName[] =
    "Global\\Morvane_Tracing_Event_{3B7E9A12-5C4D-4E6F-8A9B-0C1D2E3F4A59}";
inline constexpr char kNotTracingEventName[] =
    "Global\\Morvane_NotTracing_Event_{3B7E9A12-5C4D-4E6F-8A9B-0C1D2E3F4A5A}";
inline constexpr char kStatusGuardName[] = "MrvTraceStatusCriticalSectionLock_20090807";

// Results of the waits.
enum wait_result : int {
    wait_signalled = 0,
    wait_timed_out = 2,
    wait_no_events = 99,
    wait_failed = 100
};

class trace_status {
public:
    trace_status() = default;
    // At module unload; the handles close themselves. No lock: other threads may be gone.
    ~trace_status();
    trace_status(const trace_status&) = delete;
    trace_status& operator=(const trace_status&) = delete;

    // Idempotent; marks the status open even when the shared memory could not be made (every
    // flag then reads 0).
    void start() noexcept;
    void stop() noexcept;
    // Started, without starting it.
    bool is_open() const noexcept { return open_.load(); }

    // Flag reads start the status first; 0 without a block.
    bool tracing_enabled() noexcept { return byte_at(status_tracing_at) != 0; }
    bool monitor_reads() noexcept { return byte_at(status_monitor_at) != 0; }
    bool file_writer_reads() noexcept
    {
        return byte_at(status_file_writer_at) != 0 || byte_at(status_file_writer2_at) != 0;
    }
    bool flag19() noexcept { return byte_at(status_flag19_at) != 0; }
    bool records_wanted() noexcept { return byte_at(status_records_wanted_at) != 0; }
    // The array byte limit of offset 4; 0 while the status is not open or has no block.
    std::int32_t array_byte_limit() const noexcept;
    std::int32_t generation() noexcept;

    // The controller's operation: switches tracing on (new generation) or off, under the status
    // lock, with the tracing and not-tracing events.
    void set_tracing(bool on) noexcept;
    // Reader flags and the array byte limit, written under the status lock (monitor programs).
    void set_flag(status_offset at, unsigned char value) noexcept;
    void set_array_byte_limit(std::int32_t limit) noexcept;

    // wait_signalled, wait_timed_out, wait_no_events or wait_failed.
    int wait_for_tracing_enabled(DWORD timeout_ms) noexcept;
    int wait_for_tracing_not_enabled(DWORD timeout_ms) noexcept;

private:
    unsigned char byte_at(std::size_t at) noexcept;
    void open_shared_memory() noexcept;
    // The status lock, owned until the result ends (empty when it could not be taken).
    mutex_ownership lock_status() noexcept;
    int wait_on(HANDLE event, DWORD timeout_ms, const char* what) noexcept;

    std::atomic<bool> open_{false};
    std::atomic<unsigned char*> block_{nullptr};
    unique_handle lock_;
    unique_handle mapping_;
    unique_handle tracing_event_;
    unique_handle not_tracing_event_;
};

// The one shared trace status of this process.
trace_status& shared_trace_status();

}  // namespace mrv::trace
