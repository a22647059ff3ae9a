#include "servers/rs232/component_version.h"

#include <windows.h>
#include <winver.h>

#include <cstdio>
#include <vector>

namespace mrv {

std::optional<std::uint32_t> parse_file_version(std::string_view text) noexcept
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

std::optional<std::string> module_file_version_text(const char* module_name)
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
