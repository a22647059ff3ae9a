#include "events/job_buffers.h"

#include <new>

namespace mrv::events {

unsigned char* allocate_job_buffer(std::size_t size)
{
    return new unsigned char[size == 0 ? 1 : size];
}

void free_job_buffer(void* buffer) noexcept
{
    delete[] static_cast<unsigned char*>(buffer);
}

void job_buffer_registry::set_job_id(void* buffer, ViJobId job)
{
    if (auto found = jobs_.find(buffer); found != jobs_.end())
        found->second = job;
}

void job_buffer_registry::unregister_job(ViJobId job) noexcept
{
    for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
        if (it->second == job) {
            free_job_buffer(it->first);
            jobs_.erase(it);
            return;
        }
    }
}

bool job_buffer_registry::claim(void* buffer) noexcept
{
    return jobs_.erase(buffer) != 0;
}

void job_buffer_registry::free_all() noexcept
{
    for (auto& [buffer, job] : jobs_)
        free_job_buffer(buffer);
    jobs_.clear();
}

}  // namespace mrv::events
