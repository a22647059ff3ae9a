#pragma once
// error_string: the system's message text of a Win32 error code, with lines of at most 40
// characters broken at white space; empty when the system has no text for the code.
#include <windows.h>

#include "com/bstr_t.h"

namespace mrv {

class error_string {
public:
    explicit error_string(DWORD code);
    virtual ~error_string() = default;

    // Narrow text (made from the wide text on first request, then kept).
    virtual const char* text() const;
    virtual const wchar_t* wide_text() const;

private:
    _bstr_t text_;
};

}  // namespace mrv
