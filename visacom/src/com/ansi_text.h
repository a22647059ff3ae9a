#pragma once
// Text crosses the VISA boundary as narrow text in the system ANSI code page.
#include <wtypes.h>

#include <string>
#include <string_view>

namespace mrv {

// The wide text up to its first NUL, in the ANSI code page (no flags, so characters without
// an ANSI form become the code page's default character). Null gives "".
std::string ansi_text(const wchar_t* text);

// A new BSTR of the ANSI text, owned by the caller; raises _com_error(E_OUTOFMEMORY).
BSTR new_bstr(std::string_view ansi);

}  // namespace mrv
