#include "servers/rs232/message_text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "errors/loc_com_error.h"
#include "errors/resource_string.h"
#include "errors/win32_error.h"
#include "resources/string_ids.h"
#include "session/safearray_bytes.h"
#include "visacom.h"

namespace mrv {

namespace {

constexpr DWORD kHelpBadCharacter = 1016;

// The bad-character error of WriteString: the position of the first zero byte of the converted
// text (where the replacement landed) when there is one.
[[noreturn]] void throw_bad_character(const std::vector<char>& converted)
{
    const auto zero = std::find(converted.begin(), converted.end(), '\0');
    if (zero == converted.end()) {
        resource_string text(IDS_BAD_WRITE_CHAR);
        throw loc_com_error(text.wide_text(), kHelpBadCharacter, IID_IMessage, E_INVALIDARG);
    }
    resource_string text(IDS_BAD_WRITE_CHAR_AT);
    text.format(0, static_cast<int>(zero - converted.begin()));
    throw loc_com_error(text.wide_text(), kHelpBadCharacter, IID_IMessage, E_INVALIDARG);
}

// The text in the ANSI code page, one byte per character, its terminating zero included.
std::vector<char> single_byte_text(const wchar_t* text, UINT length)
{
    if (length >= static_cast<UINT>(INT_MAX))
        throw win32_hresult_error(IDS_OUT_OF_MEMORY, E_OUTOFMEMORY);
    const int size = static_cast<int>(length) + 1;
    std::vector<char> converted(static_cast<std::size_t>(size), '\0');
    const char replacement = '\0';
    BOOL replaced = FALSE;
    ::SetLastError(ERROR_SUCCESS);
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, size, converted.data(), size, &replacement,
                                        &replaced);
    if (n == 0 && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        throw_last_error();
    if (n == 0 || replaced)
        throw_bad_character(converted);
    return converted;
}

}  // namespace

safearray text_byte_array(const wchar_t* text, UINT length)
{
    const std::vector<char> converted = single_byte_text(text, length);
    safearray array = new_byte_array(length + 1);
    safearray_data data(array.get());
    std::memcpy(data.get(), converted.data(), length);
    data.release();
    return array;
}

}  // namespace mrv
