#pragma once
// How a failed COM call is shown: what was asked, the HRESULT in hexadecimal, and the error
// object the server posted on this thread (description, source, help context and file).
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "console_io.h"

namespace asrlcon {

std::wstring hex32(unsigned long value);  // "0x8004000E"

void report_failure(console_io& io, std::wstring_view what, HRESULT hr);

// One line for a value that could not be read: "HRESULT 0x... (description)".
std::wstring failure_summary(HRESULT hr);

// A problem of the typed command itself (unknown name, bad number); nothing was called.
void report_usage(console_io& io, std::wstring_view what, std::wstring_view problem);

// Makes one call with no error object left over from earlier calls, so that the object read
// after a failure is the one this call posted. Failures are reported; the result is returned.
template <class Call>
HRESULT checked_call(console_io& io, std::wstring_view what, Call&& call)
{
    SetErrorInfo(0, nullptr);
    const HRESULT hr = call();
    if (FAILED(hr))
        report_failure(io, what, hr);
    return hr;
}

// " [success code 0x...]" for a success other than S_OK (e.g. a VISA completion code), else "".
std::wstring success_note(HRESULT hr);

}  // namespace asrlcon
