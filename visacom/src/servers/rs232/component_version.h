#pragma once
// The server's version number, from the FileVersion text of the DLL's version resource.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mrv {

// Reads four numbers a.b.c.d from `text`: every character that is not a decimal digit separates
// numbers, so "2.3.4.5" and "2, 3, 4, 5" read alike. The version is a·2^24 + b·2^16 + c·2^8 + d
// in 32 bits, a part above 255 carrying into the next. None when the text has fewer than four.
std::optional<std::uint32_t> parse_file_version(std::string_view text) noexcept;

// The FileVersion text of the loaded module named `module_name`, in the language and code page
// of the first entry of its translation table; "1" when the table is empty. None when the
// module or its version information cannot be read.
std::optional<std::string> module_file_version_text(const char* module_name);

}  // namespace mrv
