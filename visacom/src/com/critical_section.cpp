#include "com/critical_section.h"

namespace mrv {

HRESULT CComSafeDeleteCriticalSection::Init() noexcept
{
    if (initialized_)
        return S_OK;
    if (!::InitializeCriticalSectionAndSpinCount(&cs_, 0))
        return HRESULT_FROM_WIN32(::GetLastError());
    initialized_ = true;
    return S_OK;
}

void CComSafeDeleteCriticalSection::Term() noexcept
{
    if (initialized_) {
        ::DeleteCriticalSection(&cs_);
        initialized_ = false;
    }
}

}  // namespace mrv
