#include "servers/rs232/module_files.h"

#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv::rs232 {

std::wstring module_file_name(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

_bstr_t help_file_path(HMODULE fallback)
{
    HMODULE module = GetModuleHandleW(resource_string(IDS_MODULE_NAME).wide_text());
    if (!module)
        module = fallback;
    // The module's file name is read with a buffer of MAX_PATH characters.
    wchar_t file[MAX_PATH + 1] = {};
    GetModuleFileNameW(module, file, MAX_PATH);
    wchar_t full[MAX_PATH + 1] = {};
    wchar_t* file_part = nullptr;
    DWORD n = GetFullPathNameW(file, MAX_PATH, full, &file_part);
    std::wstring path;
    if (n > 0 && n <= MAX_PATH)
        path.assign(full, file_part ? static_cast<size_t>(file_part - full) : n);
    path += resource_string(IDS_HELP_FILE_NAME).wide_text();
    return _bstr_t(std::wstring_view(path));
}

}  // namespace mrv::rs232
