#pragma once
// The trace pipe: a one-record buffer in named shared memory with hand-shake events, shared by
// every process that writes trace records and by the readers (an I/O monitor and a trace file
// writer). A writer holds the pipe lock from putting its record in until the readers that the
// shared trace status names have taken it.
//
// Buffer (0x40010 bytes): 0 capacity of the data area (0x40000, written by the creator);
// 8 length in bytes of the record now in the data area; 16 the record (UTF-16LE with its NUL).
#include <windows.h>

#include <cstdint>
#include <memory>

#include "com/unique_any.h"

namespace mrv::trace {

inline constexpr char kPipeBaseName[] = "IOTrace_Event_Pipe_011030";
inline constexpr DWORD kPipeBufferSize = 0x40010;
inline constexpr DWORD kPipeCapacity = 0x40000;
inline constexpr DWORD kPipeWaitStepMs = 500;

// Results of write and of the reader's wait.
enum pipe_result : int {
    pipe_ok = 0,
    pipe_cut = 1,  // the record was cut to the capacity and nobody was waited for
    pipe_timed_out = 2,
    pipe_aborted = 3,  // reader side: the abort event was set
    pipe_failed = 100,
};

class trace_pipe {
public:
    // Makes or opens every object of the pipe; null after logging the failing step.
    static std::unique_ptr<trace_pipe> create() noexcept;

    trace_pipe(const trace_pipe&) = delete;
    trace_pipe& operator=(const trace_pipe&) = delete;
    ~trace_pipe();

    // The writer side: puts one record (cut to the capacity) in the buffer, signals the readers
    // that the shared trace status names, and waits (in 500 ms steps, while tracing stays on and
    // time is left) until the monitor has taken it; a file writer is signalled, not waited for.
    int write(const void* record, DWORD bytes, DWORD* written, DWORD timeout_ms) noexcept;

    // The reader side, for I/O monitors: waits for a record (pipe_ok with its length, or
    // pipe_timed_out, pipe_aborted, pipe_failed); take_record copies at most `size` bytes of it
    // (`cut`: the record was larger than the buffer); acknowledge lets the writer go on.
    // acknowledge_and_wait acknowledges and waits for the next record in one kernel call; it
    // does not see the abort event, so its timeout is the reader's way out.
    int wait_for_record(DWORD timeout_ms, DWORD* length) noexcept;
    DWORD take_record(void* buffer, DWORD size, bool* cut) noexcept;
    void acknowledge() noexcept { SetEvent(monitor_done_.get()); }
    int acknowledge_and_wait(DWORD timeout_ms, DWORD* length) noexcept;
    // Waits for a record only (not for the abort event).
    int poll_record(DWORD timeout_ms, DWORD* length) noexcept;
    // Ends a reader's wait at once (the abort event belongs to this process).
    void abort() noexcept { SetEvent(abort_.get()); }

    DWORD capacity() const noexcept { return capacity_; }

private:
    trace_pipe() = default;
    int signal_monitor_and_wait(DWORD timeout_ms, int result) noexcept;
    int record_waited(DWORD waited, DWORD data_result, DWORD* length) const noexcept;

    unique_handle lock_;
    unique_handle monitor_data_;
    unique_handle file_data_;
    unique_handle monitor_done_;
    unique_handle file_done_;
    unique_handle abort_;
    unique_handle mapping_;
    unsigned char* view_ = nullptr;
    DWORD capacity_ = 0;
};

// The process's pipe, made by the first call (the first trace record); while it cannot be made,
// each call tries again and returns null.
trace_pipe* process_trace_pipe() noexcept;
// The process's pipe if it has been made, without trying.
trace_pipe* existing_trace_pipe() noexcept;

}  // namespace mrv::trace
