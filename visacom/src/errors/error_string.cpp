#include "errors/error_string.h"

#include "com/unique_any.h"
#include "errors/message_wrap.h"

namespace mrv {

error_string::error_string(DWORD code)
{
    char* raw = nullptr;
    // Inserts are left as written: no arguments exist to fill them. The width-40 wrapping is
    // applied by wrap_message_lines.
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<char*>(&raw), 0, nullptr);
    unique_hlocal owner(raw);
    if (n > 0 && raw)
        text_ = _bstr_t(wrap_message_lines(std::string_view(raw, n), 40));
}

const char* error_string::text() const
{
    return text_.narrow();
}

const wchar_t* error_string::wide_text() const
{
    const wchar_t* w = text_.wide();
    return w ? w : L"";
}

}  // namespace mrv
