#include "pipe_record.h"

#include <string_view>

namespace iomonitor {

taken_record record_from_pipe(const wchar_t* data, DWORD bytes, bool larger_than_buffer)
{
    taken_record record;
    GetSystemTimeAsFileTime(&record.taken_at);
    const std::wstring_view text(data, bytes / sizeof(wchar_t));
    const std::size_t end = text.find(L'\0');
    record.text.assign(text.substr(0, end));
    record.cut = larger_than_buffer || end == std::wstring_view::npos;
    return record;
}

}  // namespace iomonitor
