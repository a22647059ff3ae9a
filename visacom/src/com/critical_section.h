#pragma once
// Critical sections in the two shapes the server uses: one made in place by its constructor
// (process-wide and per-component locks), and one whose initialisation can be checked and
// whose "was initialised" flag decides whether it is deleted (the per-object lock, which a
// CComObject initialises after construction).
#include <windows.h>

namespace mrv {

class CComAutoCriticalSection {
public:
    CComAutoCriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
    ~CComAutoCriticalSection() { ::DeleteCriticalSection(&cs_); }
    CComAutoCriticalSection(const CComAutoCriticalSection&) = delete;
    CComAutoCriticalSection& operator=(const CComAutoCriticalSection&) = delete;

    void Lock() noexcept { ::EnterCriticalSection(&cs_); }
    void Unlock() noexcept { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class CComSafeDeleteCriticalSection {
public:
    CComSafeDeleteCriticalSection() noexcept = default;
    ~CComSafeDeleteCriticalSection() { Term(); }
    CComSafeDeleteCriticalSection(const CComSafeDeleteCriticalSection&) = delete;
    CComSafeDeleteCriticalSection& operator=(const CComSafeDeleteCriticalSection&) = delete;

    // S_OK, or the HRESULT of the system's failure to make the section.
    HRESULT Init() noexcept;
    void Term() noexcept;
    bool initialized() const noexcept { return initialized_; }

    void Lock() noexcept { ::EnterCriticalSection(&cs_); }
    void Unlock() noexcept { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_{};
    bool initialized_ = false;
};

// The free-threaded model: objects are called on any thread, so each carries a real lock.
struct CComMultiThreadModel {
    using AutoCriticalSection = CComAutoCriticalSection;
    using CriticalSection = CComSafeDeleteCriticalSection;
};

}  // namespace mrv
