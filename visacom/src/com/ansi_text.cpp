#include "com/ansi_text.h"

#include <windows.h>
#include <oleauto.h>

#include <cwchar>

#include "com/com_error.h"

namespace mrv {

std::string ansi_text(const wchar_t* text)
{
    if (!text || !*text)
        return {};
    const int length = static_cast<int>(std::wcslen(text));
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        throw_com_error(HRESULT_FROM_WIN32(GetLastError()));
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

BSTR new_bstr(std::string_view ansi)
{
    const int length = static_cast<int>(ansi.size());
    const int n = length ? MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0) : 0;
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!b)
        throw_com_error(E_OUTOFMEMORY);
    if (n)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, b, n);
    return b;
}

}  // namespace mrv
