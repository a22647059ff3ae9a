#include "text_escapes.h"

#include <cwchar>

namespace asrlcon {

namespace {

int hex_digit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::wstring> unescape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case L'n':
            out.push_back(L'\n');
            break;
        case L'r':
            out.push_back(L'\r');
            break;
        case L't':
            out.push_back(L'\t');
            break;
        case L'0':
            out.push_back(L'\0');
            break;
        case L'\\':
            out.push_back(L'\\');
            break;
        case L'x': {
            const int hi = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? hex_digit(text[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out.push_back(static_cast<wchar_t>(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::wstring escape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                wchar_t buf[8];
                std::swprintf(buf, 8, L"\\x%02X", static_cast<unsigned>(c));
                out += buf;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

}  // namespace asrlcon
