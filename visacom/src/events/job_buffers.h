#pragma once
// The job-buffer registry: the buffers of the session's asynchronous transfers, by address, with
// the VISA job that uses each. The transfer registers a buffer before it starts its job and
// removes it (freeing the buffer) when the job is terminated; the completion event claims it,
// and the event that carries the data then owns the buffer. Whoever removes an entry other than
// by claiming frees its buffer. While Terminate asks the library to end a job, the job's entry
// is marked: the library may report the aborted job's completion before Terminate returns (on
// its own thread, or inside the call), and that completion must find no buffer to claim.
//
// No lock of its own: the session's event-state lock guards it.
#include <visa.h>

#include <cstddef>
#include <map>
#include <vector>

namespace mrv::events {

// The buffers a transfer allocates for its job, and their release.
unsigned char* allocate_job_buffer(std::size_t size);
void free_job_buffer(void* buffer) noexcept;

class job_buffer_registry {
public:
    static constexpr ViJobId placeholder_job = 0xFFFF;

    job_buffer_registry() = default;
    job_buffer_registry(const job_buffer_registry&) = delete;
    job_buffer_registry& operator=(const job_buffer_registry&) = delete;
    ~job_buffer_registry() { free_all(); }

    // Before the job starts: the buffer with the placeholder job ID.
    void register_buffer(void* buffer) { jobs_[buffer] = {placeholder_job, false}; }
    // After the job started, unless its completion has claimed the buffer already.
    void set_job_id(void* buffer, ViJobId job);
    // Terminate is about to ask the library to end `job` (begin), and the library refused
    // (end: the job goes on, or has completed normally).
    void begin_termination(ViJobId job) noexcept;
    void end_termination(ViJobId job) noexcept;
    // The job was terminated: its buffer is freed and forgotten.
    void unregister_job(ViJobId job) noexcept;
    // The completion of the job that uses `buffer`: true (and the caller owns the buffer) when
    // the registry held it, unless the job is being terminated and `aborted` says that this is
    // the completion the termination caused.
    bool claim(void* buffer, bool aborted) noexcept;
    // The library's IDs of the jobs still registered (placeholders left out).
    std::vector<ViJobId> jobs() const;
    // Frees the buffers of the `ended` jobs, which the library no longer fills.
    void free_ended(const std::vector<ViJobId>& ended) noexcept;
    // Frees every buffer still registered.
    void free_all() noexcept;
    bool empty() const noexcept { return jobs_.empty(); }

private:
    struct job {
        ViJobId id;
        bool terminating;
    };
    std::map<void*, job> jobs_;
};

}  // namespace mrv::events
