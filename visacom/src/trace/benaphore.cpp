#include "benaphore.h"

#include "nko_client.h"

namespace mrv::trace {

namespace {

// Serialises the first-time setup of every benaphore's counter across processes.
HANDLE creation_lock()
{
    static HANDLE lock = NkoTakeHandle(NkoCreateSemaphore(
        NkoSecurityAttributes(), 1, 65535, nko_global_name("MVTRACE_osSemCreateLock").c_str()));
    return lock;
}

}  // namespace

bool benaphore::create(const std::string& name)
{
    close();
    HANDLE creating = creation_lock();
    if (creating)
        WaitForSingleObject(creating, INFINITE);
    mapping_ = NkoTakeHandle(NkoCreateFileMapping(INVALID_HANDLE_VALUE, NkoSecurityAttributes(),
                                                  PAGE_READWRITE, 0, sizeof(LONG),
                                                  (name + "_semShmName").c_str()));
    const bool created = mapping_ && GetLastError() != ERROR_ALREADY_EXISTS;
    if (mapping_)
        counter_ = static_cast<volatile LONG*>(
            MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    if (counter_ && created)
        *counter_ = -1;
    if (creating)
        ReleaseSemaphore(creating, 1, nullptr);
    semaphore_ = NkoTakeHandle(NkoCreateSemaphore(NkoSecurityAttributes(), 0, 65535, name.c_str()));
    if (!counter_ || !semaphore_) {
        close();
        return false;
    }
    return true;
}

void benaphore::lock()
{
    if (InterlockedIncrement(counter_) >= 1)
        WaitForSingleObject(semaphore_, INFINITE);
}

void benaphore::unlock()
{
    if (InterlockedDecrement(counter_) >= 0)
        ReleaseSemaphore(semaphore_, 1, nullptr);
}

void benaphore::close()
{
    if (counter_)
        UnmapViewOfFile(const_cast<LONG*>(counter_));
    if (mapping_)
        CloseHandle(mapping_);
    if (semaphore_)
        CloseHandle(semaphore_);
    counter_ = nullptr;
    mapping_ = semaphore_ = nullptr;
}

}  // namespace mrv::trace
