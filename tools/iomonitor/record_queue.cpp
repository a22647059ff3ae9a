#include "record_queue.h"

#include <utility>

namespace iomonitor {

namespace {

// Slim reader/writer locks and condition variables wait on addresses inside the process, so a
// hand-over between the two threads costs no kernel object.
class exclusive {
public:
    explicit exclusive(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~exclusive() { ReleaseSRWLockExclusive(&lock_); }
    exclusive(const exclusive&) = delete;
    exclusive& operator=(const exclusive&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace

record_queue::record_queue(std::size_t max_records, std::size_t max_bytes,
                           std::size_t wake_records) noexcept
    : max_records_(max_records ? max_records : 1), max_bytes_(max_bytes),
      wake_records_(wake_records ? wake_records : 1)
{}

void record_queue::push(taken_record record)
{
    bool wake = false;
    {
        exclusive guard(lock_);
        // An empty queue always takes a record, however large.
        while (!closed_ && !records_.empty() &&
               (records_.size() >= max_records_ || bytes_ + bytes_of(record) > max_bytes_))
            SleepConditionVariableSRW(&not_full_, &lock_, INFINITE, 0);
        if (closed_)
            return;
        bytes_ += bytes_of(record);
        records_.push_back(std::move(record));
        wake = idle_ || records_.size() >= wake_records_ || bytes_ >= max_bytes_ / 2;
    }
    if (wake)
        WakeConditionVariable(&not_empty_);
}

bool record_queue::take_all(std::vector<taken_record>& batch, DWORD wait_ms)
{
    batch.clear();
    {
        exclusive guard(lock_);
        if (wait_ms == INFINITE) {
            idle_ = true;
            while (records_.empty() && !closed_)
                SleepConditionVariableSRW(&not_empty_, &lock_, INFINITE, 0);
            idle_ = false;
        } else if (wait_ms && records_.empty() && !closed_) {
            SleepConditionVariableSRW(&not_empty_, &lock_, wait_ms, 0);
        }
        if (records_.empty())
            return !closed_;
        batch.reserve(records_.size());
        for (taken_record& r : records_)
            batch.push_back(std::move(r));
        records_.clear();
        bytes_ = 0;
    }
    WakeConditionVariable(&not_full_);
    return true;
}

void record_queue::close() noexcept
{
    {
        exclusive guard(lock_);
        closed_ = true;
    }
    WakeAllConditionVariable(&not_empty_);
    WakeAllConditionVariable(&not_full_);
}

}  // namespace iomonitor
