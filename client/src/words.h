#pragma once
// Words of a typed command: blank-separated, compared without regard to case.
#include <string>
#include <string_view>
#include <vector>

namespace asrlcon {

std::vector<std::wstring> words(std::wstring_view text);
bool same_word(std::wstring_view a, std::wstring_view b);
bool is_blank(wchar_t c);

}  // namespace asrlcon
