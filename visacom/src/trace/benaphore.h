#pragma once
// A cross-process lock: a named semaphore plus a shared counter, so that an uncontended lock
// costs one interlocked operation. The counter is -1 while the lock is free.
#include <windows.h>

#include <string>

namespace mrv::trace {

class benaphore {
public:
    benaphore() = default;
    benaphore(const benaphore&) = delete;
    benaphore& operator=(const benaphore&) = delete;
    ~benaphore() { close(); }

    // name: the full (prefixed) name of the semaphore; the counter lives in a mapping named
    // after it with "_semShmName" appended.
    bool create(const std::string& name);
    void lock();
    void unlock();
    void close();

private:
    HANDLE semaphore_ = nullptr;
    HANDLE mapping_ = nullptr;
    volatile LONG* counter_ = nullptr;
};

}  // namespace mrv::trace
