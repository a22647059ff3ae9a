#pragma once
// The server's version number, from the FileVersion text of the DLL's version resource.
#include <windows.h>
#include <winver.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mrv {

// Reads four numbers a.b.c.d from `text`: every character that is not a decimal digit separates
// numbers, so "2.3.4.5" and "2, 3, 4, 5" read alike. The version is a·2^24 + b·2^16 + c·2^8 + d
// in 32 bits, a part above 255 carrying into the next. None when the text has fewer than four.
inline std::optional<std::uint32_t> parse_file_version(std::string_view text) noexcept
{
    std::uint32_t parts[4] = {};
    std::size_t found = 0;
    std::size_t i = 0;
    while (found < 4) {
        while (i < text.size() && (text[i] < '0' || text[i] > '9'))
            ++i;
        if (i == text.size())
            return std::nullopt;
        std::uint32_t n = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            n = n * 10u + static_cast<std::uint32_t>(text[i] - '0');
        parts[found++] = n;
    }
    return (parts[0] << 24) + (parts[1] << 16) + (parts[2] << 8) + parts[3];
}

// The FileVersion text of the loaded module named `module_name`, in the language and code page
// of the first entry of its translation table; "1" when the table is empty. None when the
// module or its version information cannot be read.
inline std::optional<std::string> module_file_version_text(const char* module_name)
{
    const HMODULE module = ::GetModuleHandleA(module_name);
    if (!module)
        return std::nullopt;
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> info(size);
    if (!::GetFileVersionInfoA(path, 0, size, info.data()))
        return std::nullopt;

    void* table = nullptr;
    UINT table_size = 0;
    if (!::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &table, &table_size) ||
        table_size < 4)
        return std::string("1");
    const auto* translation = static_cast<const WORD*>(table);
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0],
                  translation[1]);
    void* value = nullptr;
    UINT value_size = 0;
    if (!::VerQueryValueA(info.data(), key, &value, &value_size) || !value)
        return std::nullopt;
    return std::string(static_cast<const char*>(value));
}

}  // namespace mrv
