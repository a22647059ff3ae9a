#pragma once
// Escapes in command text: typed "\n" becomes a line feed on the wire, and bytes that would
// disturb the transcript (control characters) are shown escaped again.
#include <optional>
#include <string>
#include <string_view>

namespace asrlcon {

// \n \r \t \\ \0 and \xHH; any other escape is an error (nullopt), so a typo is not sent.
std::optional<std::wstring> unescape(std::wstring_view text);

// Control characters shown as escapes, backslashes doubled; the rest unchanged.
std::wstring escape(std::wstring_view text);

}  // namespace asrlcon
