#pragma once
// Exclusive ownership of a slim reader/writer lock for a scope. The lock needs no construction
// or destruction, so a constinit object guarded by one works before its module's constructors
// run and after its destructors.
#include <windows.h>

namespace mrv {

class srw_guard {
public:
    explicit srw_guard(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    srw_guard(const srw_guard&) = delete;
    srw_guard& operator=(const srw_guard&) = delete;
    ~srw_guard() { ::ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

}  // namespace mrv
