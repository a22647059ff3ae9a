#pragma once
// Text on its way to the instrument: a BSTR converted to the system ANSI code page, one byte per
// character, in a byte array for the byte transfers.
#include <windows.h>
#include <oleauto.h>

#include "com/unique_any.h"

namespace mrv {

// A one-dimensional VT_UI1 array of length + 1 elements holding the `length` characters of
// `text` (not empty) as single bytes, the last element 0. A character without a single-byte
// form raises the bad-character error (its 0-based position when it can be told) for IMessage;
// array failures raise win32_hresult_error.
safearray text_byte_array(const wchar_t* text, UINT length);

// The text transfers' common part: an empty (or null) text gives E_INVALIDARG; otherwise the
// text's array and length go to `write` (a byte transfer), whose result is the result.
template <class Write>
HRESULT write_text(BSTR text, Write&& write)
{
    const UINT length = ::SysStringLen(text);
    if (length == 0)
        return E_INVALIDARG;
    safearray array = text_byte_array(text, length);
    SAFEARRAY* slot = array.get();
    return write(&slot, static_cast<long>(length));
}

}  // namespace mrv
