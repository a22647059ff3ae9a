#pragma once
// The bounded queue between the monitor's reader thread (which takes and acknowledges records)
// and its writer thread (which formats and writes them). When it is full the reader waits, so no
// record is dropped and memory stays bounded; the reader's writers then wait for it in turn.
#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace iomonitor {

struct taken_record {
    std::wstring text;    // the record's XML, without its NUL
    bool cut = false;     // the record was larger than the monitor's buffer
    FILETIME taken_at{};  // when the reader took it (UTC)
};

class record_queue {
public:
    // At most `max_records` records and (unless a single record is larger) `max_bytes` bytes.
    // A writer thread that waits without a time limit (idle) is woken by the first record; one
    // that waits with a time limit (in a burst) only once `wake_records` records are queued, so
    // that it works in batches instead of once per record, and otherwise finds the records when
    // its wait times out.
    record_queue(std::size_t max_records, std::size_t max_bytes, std::size_t wake_records) noexcept;
    record_queue(const record_queue&) = delete;
    record_queue& operator=(const record_queue&) = delete;

    // Waits while the queue is full; a closed queue drops the record.
    void push(taken_record record);
    // Moves every queued record into `batch` (which it clears first), waiting up to `wait_ms`
    // (INFINITE: until a record comes) while there is none. False when the queue is closed and
    // empty.
    bool take_all(std::vector<taken_record>& batch, DWORD wait_ms);
    // No more records: the writer thread ends once it has taken what is queued.
    void close() noexcept;

private:
    static std::size_t bytes_of(const taken_record& r) noexcept
    {
        return r.text.size() * sizeof(wchar_t);
    }

    const std::size_t max_records_;
    const std::size_t max_bytes_;
    const std::size_t wake_records_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE not_empty_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE not_full_ = CONDITION_VARIABLE_INIT;
    std::deque<taken_record> records_;
    std::size_t bytes_ = 0;
    bool closed_ = false;
    bool idle_ = false;  // the writer thread waits without a time limit
};

}  // namespace iomonitor
