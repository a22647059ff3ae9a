#pragma once
// _com_error: a failed COM call's HRESULT, with the error object the failing call left (if
// any). Raised by the COM support classes (_bstr_t ...) and by code that wraps COM calls; the
// method boundary returns its HRESULT and posts its error object.
#include <windows.h>
#include <oaidl.h>

#include "com/com_ptr.h"

namespace mrv {

class _com_error {
public:
    // Takes over the reference in `info` unless add_ref asks for one of its own.
    explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr, bool add_ref = false) noexcept
        : hr_(hr),
          info_(add_ref ? com_ptr<IErrorInfo>::copy(info) : com_ptr<IErrorInfo>::attach(info))
    {}

    HRESULT Error() const noexcept { return hr_; }
    // The error object without a new reference; null when the failure left none.
    IErrorInfo* error_info() const noexcept { return info_.get(); }

private:
    HRESULT hr_;
    com_ptr<IErrorInfo> info_;
};

// Raises _com_error for a failed HRESULT, with the thread's current error object when the
// failing call left one.
[[noreturn]] void throw_com_error(HRESULT hr);
// Raises _com_error when hr is a failure; passes successes through.
inline HRESULT check_hresult(HRESULT hr)
{
    if (FAILED(hr))
        throw_com_error(hr);
    return hr;
}

}  // namespace mrv
