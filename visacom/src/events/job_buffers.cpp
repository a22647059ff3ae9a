#include "events/job_buffers.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>
#include <utility>

#include "com/srw_guard.h"

namespace mrv::events {
namespace {

// A buffer is a block with its size in a header in front. Freed large blocks are kept for the
// next job of the same size: a client repeating transfers of one size then reuses warm pages,
// where a fresh megabyte is mapped and zero-filled page by page on its first use each time.
constexpr std::size_t header_size = alignof(std::max_align_t);
constexpr std::size_t pooled_minimum = 64 * 1024;
constexpr std::size_t pooled_bytes_at_most = 16 * 1024 * 1024;

std::size_t& size_of(void* block) noexcept
{
    return *static_cast<std::size_t*>(block);
}

class block_pool {
public:
    constexpr block_pool() noexcept = default;
    block_pool(const block_pool&) = delete;
    block_pool& operator=(const block_pool&) = delete;
    // The lock needs no destruction, so a buffer freed after this still finds a working pool.
    ~block_pool()
    {
        srw_guard guard(lock_);
        for (void*& block : blocks_)
            std::free(std::exchange(block, nullptr));
        held_ = 0;
    }

    void* take(std::size_t size) noexcept
    {
        if (size < pooled_minimum)
            return nullptr;
        srw_guard guard(lock_);
        for (void*& block : blocks_) {
            if (block && size_of(block) == size) {
                held_ -= size;
                return std::exchange(block, nullptr);
            }
        }
        return nullptr;
    }

    // False: the pool is full, or the block too small to be worth keeping.
    bool keep(void* block) noexcept
    {
        const std::size_t size = size_of(block);
        if (size < pooled_minimum)
            return false;
        srw_guard guard(lock_);
        if (held_ + size > pooled_bytes_at_most)
            return false;
        for (void*& slot : blocks_) {
            if (!slot) {
                slot = block;
                held_ += size;
                return true;
            }
        }
        return false;
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::array<void*, 8> blocks_{};
    std::size_t held_ = 0;
};

constinit block_pool pool;

}  // namespace

unsigned char* allocate_job_buffer(std::size_t size)
{
    void* block = pool.take(size);
    if (!block) {
        block = std::malloc(header_size + (size == 0 ? 1 : size));
        if (!block)
            throw std::bad_alloc();
        size_of(block) = size;
    }
    return static_cast<unsigned char*>(block) + header_size;
}

void free_job_buffer(void* buffer) noexcept
{
    if (!buffer)
        return;
    void* block = static_cast<unsigned char*>(buffer) - header_size;
    if (!pool.keep(block))
        std::free(block);
}

void job_buffer_registry::set_job_id(void* buffer, ViJobId job)
{
    if (auto found = jobs_.find(buffer); found != jobs_.end())
        found->second.id = job;
}

namespace {

template <class Jobs>
auto first_of(Jobs& jobs, ViJobId job)
{
    auto it = jobs.begin();
    while (it != jobs.end() && it->second.id != job)
        ++it;
    return it;
}

}  // namespace

void job_buffer_registry::begin_termination(ViJobId job) noexcept
{
    if (auto it = first_of(jobs_, job); it != jobs_.end())
        it->second.terminating = true;
}

void job_buffer_registry::end_termination(ViJobId job) noexcept
{
    if (auto it = first_of(jobs_, job); it != jobs_.end())
        it->second.terminating = false;
}

void job_buffer_registry::unregister_job(ViJobId job) noexcept
{
    if (auto it = first_of(jobs_, job); it != jobs_.end()) {
        free_job_buffer(it->first);
        jobs_.erase(it);
    }
}

bool job_buffer_registry::claim(void* buffer, bool aborted) noexcept
{
    const auto found = jobs_.find(buffer);
    if (found == jobs_.end() || (found->second.terminating && aborted))
        return false;
    jobs_.erase(found);
    return true;
}

std::vector<ViJobId> job_buffer_registry::jobs() const
{
    std::vector<ViJobId> ids;
    for (const auto& [buffer, job] : jobs_)
        if (job.id != placeholder_job)
            ids.push_back(job.id);
    return ids;
}

void job_buffer_registry::free_ended(const std::vector<ViJobId>& ended) noexcept
{
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (std::find(ended.begin(), ended.end(), it->second.id) == ended.end()) {
            ++it;
            continue;
        }
        free_job_buffer(it->first);
        it = jobs_.erase(it);
    }
}

void job_buffer_registry::free_all() noexcept
{
    for (auto& [buffer, job] : jobs_)
        free_job_buffer(buffer);
    jobs_.clear();
}

}  // namespace mrv::events
