#include "words.h"

#include <cwchar>

namespace asrlcon {

bool is_blank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool same_word(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && _wcsnicmp(a.data(), b.data(), a.size()) == 0;
}

std::vector<std::wstring> words(std::wstring_view text)
{
    std::vector<std::wstring> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_blank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_blank(text[i]))
            ++i;
        if (i > start)
            out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

}  // namespace asrlcon
