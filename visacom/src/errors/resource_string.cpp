#include "errors/resource_string.h"

#include <cstdarg>

#include "com/unique_any.h"
#include "errors/message_wrap.h"
#include "errors/module_strings.h"

namespace mrv {
namespace {

// LoadStringA into a 260-character buffer: the text, or "" when the id holds none.
std::string_view load_one(UINT id, char (&buf)[260]) noexcept
{
    int n = ::LoadStringA(module_instance(), id, buf, static_cast<int>(sizeof buf));
    return n > 0 ? std::string_view(buf, static_cast<std::size_t>(n)) : std::string_view();
}

}  // namespace

void resource_string::load()
{
    if (loaded_)
        return;
    char buf[260];
    std::string_view t = load_one(id_, buf);
    if (t.empty() && fallback_ != no_fallback)
        t = load_one(fallback_, buf);
    if (t.empty())
        return;
    text_ = _bstr_t(t);
    loaded_ = true;
}

const char* resource_string::text()
{
    load();
    return text_.narrow();
}

const wchar_t* resource_string::wide_text()
{
    load();
    const wchar_t* w = text_.wide();
    return w ? w : L"";
}

_bstr_t resource_string::shared_text()
{
    load();
    return text_;
}

resource_string& resource_string::format(DWORD flags, ...)
{
    load();
    va_list args;
    va_start(args, flags);
    char* raw = nullptr;
    // Formatted without a width; the documented wrapping is applied by wrap_message_lines.
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                               text_.narrow(), 0, 0, reinterpret_cast<char*>(&raw), 0, &args);
    va_end(args);
    unique_hlocal owner(raw);
    if (n > 0 && raw)
        text_ = _bstr_t(wrap_message_lines(std::string_view(raw, n), flags & 0xFFu));
    return *this;
}

}  // namespace mrv
