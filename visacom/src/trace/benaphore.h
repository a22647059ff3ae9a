#pragma once
// A cross-process lock: a named semaphore plus a shared counter, so that an uncontended lock
// costs one interlocked operation. The counter is -1 while the lock is free.
#include <windows.h>

#include <string>

#include "com/unique_any.h"

namespace mrv::trace {

class benaphore {
public:
    benaphore() = default;
    benaphore(const benaphore&) = delete;
    benaphore& operator=(const benaphore&) = delete;

    // name: the full (prefixed) name of the semaphore; the counter lives in a mapping named
    // after it with "_semShmName" appended.
    bool create(const std::string& name);
    void lock();
    void unlock();
    void close() noexcept;

private:
    volatile LONG* counter() const noexcept { return static_cast<volatile LONG*>(view_.get()); }

    unique_handle semaphore_;
    unique_handle mapping_;
    unique_view view_;
};

// Holds a benaphore locked for its lifetime.
class benaphore_lock {
public:
    explicit benaphore_lock(benaphore& lock) : lock_(lock) { lock_.lock(); }
    ~benaphore_lock() { lock_.unlock(); }
    benaphore_lock(const benaphore_lock&) = delete;
    benaphore_lock& operator=(const benaphore_lock&) = delete;

private:
    benaphore& lock_;
};

}  // namespace mrv::trace
