#include "trace/benaphore.h"

#include "trace/nko_client.h"

namespace mrv::trace {

namespace {

// Serialises the first-time setup of every benaphore's counter across processes. Waited for
// without limit, and a semaphore has no owner that could be found dead: a process that ends
// while holding it keeps every later creation waiting. So it is held only across the few local
// calls that initialise a counter, never across a request to the kernel-object server.
HANDLE creation_lock()
{
    static const unique_handle lock(NkoTakeHandle(NkoCreateSemaphore(
        NkoSecurityAttributes(), 1, 65535, nko_global_name("MVTRACE_osSemCreateLock").c_str())));
    return lock.get();
}

// Holds the lock-creation lock (when it exists) for its lifetime.
class creating_benaphore {
public:
    creating_benaphore() noexcept : lock_(creation_lock())
    {
        if (lock_ && WaitForSingleObject(lock_, INFINITE) != WAIT_OBJECT_0)
            lock_ = nullptr;  // not taken: not to be released either
    }
    ~creating_benaphore()
    {
        if (lock_)
            ReleaseSemaphore(lock_, 1, nullptr);
    }
    creating_benaphore(const creating_benaphore&) = delete;
    creating_benaphore& operator=(const creating_benaphore&) = delete;

private:
    HANDLE lock_;
};

}  // namespace

bool benaphore::create(const std::string& name)
{
    close();
    // The counter's mapping is made (through the server, which may be slow or gone) before the
    // lock-creation lock is taken; under the lock its creator only sets the counter free. The
    // names carry the id of the process whose block they guard, so no other process opens the
    // counter while this one makes it. One that finds it made takes the lock too: a creator that
    // makes the mapping under the lock may still be setting the counter.
    mapping_.reset(NkoTakeHandle(NkoCreateFileMapping(INVALID_HANDLE_VALUE, NkoSecurityAttributes(),
                                                      PAGE_READWRITE, 0, sizeof(LONG),
                                                      (name + "_semShmName").c_str())));
    const bool created = mapping_ && GetLastError() != ERROR_ALREADY_EXISTS;
    if (mapping_)
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    if (view_) {
        creating_benaphore creating;
        if (created)
            *counter() = -1;
    }
    semaphore_.reset(
        NkoTakeHandle(NkoCreateSemaphore(NkoSecurityAttributes(), 0, 65535, name.c_str())));
    if (!view_ || !semaphore_) {
        close();
        return false;
    }
    return true;
}

void benaphore::lock()
{
    if (InterlockedIncrement(counter()) >= 1)
        WaitForSingleObject(semaphore_.get(), INFINITE);
}

void benaphore::unlock()
{
    if (InterlockedDecrement(counter()) >= 0)
        ReleaseSemaphore(semaphore_.get(), 1, nullptr);
}

void benaphore::close() noexcept
{
    view_.reset();
    mapping_.reset();
    semaphore_.reset();
}

}  // namespace mrv::trace
