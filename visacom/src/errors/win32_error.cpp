#include "errors/win32_error.h"

#include "errors/error_string.h"
#include "errors/resource_string.h"

namespace mrv {

win32_error::win32_error(DWORD code)
    : std::runtime_error(""), message_(error_string(code).text()), code_(code)
{}

win32_error::win32_error(message_tag, std::string message, DWORD code)
    : std::runtime_error(""), message_(std::move(message)), code_(code)
{}

const char* win32_error::what() const noexcept
{
    return message_.c_str();
}

HRESULT win32_error::hresult() const noexcept
{
    auto signed_code = static_cast<LONG>(code_);
    if (signed_code <= 0)
        return signed_code;
    return static_cast<HRESULT>((code_ & 0xFFFFu) | 0x80070000u);
}

void throw_last_error()
{
    throw win32_error(::GetLastError());
}

win32_hresult_error::win32_hresult_error(UINT string_id, HRESULT hr)
    : win32_error(message_tag{}, resource_string(string_id).text(), 0), hr_(hr)
{}

HRESULT win32_hresult_error::hresult() const noexcept
{
    return hr_;
}

}  // namespace mrv
