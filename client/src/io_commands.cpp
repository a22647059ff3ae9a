// Message I/O commands: text through WriteString/ReadString, bytes through Write/Read.
#include <cwchar>
#include <optional>
#include <string>

#include "command_handlers.h"
#include "failure_report.h"
#include "settings.h"
#include "text_escapes.h"
#include "com/unique_any.h"
#include "words.h"

namespace asrlcon {

namespace {

constexpr long default_read_count = 1024;

// The element data of a SAFEARRAY, locked for the holder's lifetime.
class safearray_data {
public:
    explicit safearray_data(SAFEARRAY* sa) : sa_(sa)
    {
        if (sa_ && FAILED(SafeArrayAccessData(sa_, &data_)))
            sa_ = nullptr;
    }
    ~safearray_data()
    {
        if (sa_)
            SafeArrayUnaccessData(sa_);
    }
    safearray_data(const safearray_data&) = delete;
    safearray_data& operator=(const safearray_data&) = delete;
    unsigned char* bytes() { return sa_ ? static_cast<unsigned char*>(data_) : nullptr; }

private:
    SAFEARRAY* sa_;
    void* data_ = nullptr;
};

long element_count(SAFEARRAY* sa)
{
    LONG lower = 0, upper = -1;
    if (!sa || SafeArrayGetDim(sa) != 1 || FAILED(SafeArrayGetLBound(sa, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(sa, 1, &upper)))
        return 0;
    return upper - lower + 1;
}

// The count argument of read and readbytes.
std::optional<long> read_count(command_context& ctx, const wchar_t* command, std::wstring_view args)
{
    if (words(args).empty())
        return default_read_count;
    auto n = parse_number(args);
    if (!n || *n < 0)
        report_usage(ctx.io, command, L"the count must be a number of characters");
    return n && *n >= 0 ? n : std::nullopt;
}

std::optional<std::wstring> typed_text(command_context& ctx, const wchar_t* command,
                                       std::wstring_view args)
{
    auto text = unescape(args);
    if (!text)
        report_usage(ctx.io, command, L"bad escape (use \\n \\r \\t \\0 \\\\ or \\xHH)");
    return text;
}

bool write_text(command_context& ctx, const std::wstring& text)
{
    mrv::bstr message(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    long count = 0;
    const HRESULT hr = checked_call(ctx.io, L"WriteString", [&] {
        return ctx.session.message->WriteString(message.get(), &count);
    });
    if (FAILED(hr))
        return false;
    ctx.io.line(L"  -> \"" + escape(text) + L"\" (" + std::to_wstring(count) + L" bytes)" +
                success_note(hr));
    return true;
}

bool read_text(command_context& ctx, long count)
{
    mrv::bstr answer;
    const HRESULT hr = checked_call(ctx.io, L"ReadString", [&] {
        return ctx.session.message->ReadString(count, answer.put());
    });
    if (FAILED(hr))
        return false;
    const std::wstring_view text(answer.get() ? answer.get() : L"",
                                 answer.get() ? SysStringLen(answer.get()) : 0);
    ctx.io.line(L"  <- \"" + escape(text) + L"\"" + success_note(hr));
    return true;
}

}  // namespace

bool write_command(command_context& ctx, std::wstring_view args)
{
    auto text = typed_text(ctx, L"write", args);
    return text && write_text(ctx, *text);
}

bool read_command(command_context& ctx, std::wstring_view args)
{
    auto count = read_count(ctx, L"read", args);
    return count && read_text(ctx, *count);
}

bool query_command(command_context& ctx, std::wstring_view args)
{
    auto text = typed_text(ctx, L"query", args);
    return text && write_text(ctx, *text) && read_text(ctx, default_read_count);
}

bool writebytes_command(command_context& ctx, std::wstring_view args)
{
    auto text = typed_text(ctx, L"writebytes", args);
    if (!text)
        return false;
    mrv::safearray buffer(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(text->size())));
    {
        safearray_data data(buffer.get());
        if (!data.bytes() && !text->empty()) {
            report_failure(ctx.io, L"SafeArrayCreateVector", E_OUTOFMEMORY);
            return false;
        }
        for (std::size_t i = 0; i < text->size(); ++i) {
            if ((*text)[i] > 0xFF) {
                report_usage(ctx.io, L"writebytes", L"characters above \\xFF are not bytes");
                return false;
            }
            data.bytes()[i] = static_cast<unsigned char>((*text)[i]);
        }
    }
    SAFEARRAY* sa = buffer.get();
    long written = 0;
    const HRESULT hr = checked_call(ctx.io, L"Write", [&] {
        return ctx.session.message->Write(&sa, static_cast<long>(text->size()), &written);
    });
    if (FAILED(hr))
        return false;
    ctx.io.line(L"  -> " + std::to_wstring(written) + L" bytes" + success_note(hr));
    return true;
}

bool readbytes_command(command_context& ctx, std::wstring_view args)
{
    auto count = read_count(ctx, L"readbytes", args);
    if (!count)
        return false;
    mrv::safearray buffer;
    const HRESULT hr = checked_call(
        ctx.io, L"Read", [&] { return ctx.session.message->Read(*count, buffer.put()); });
    if (FAILED(hr))
        return false;
    const long n = element_count(buffer.get());
    safearray_data data(buffer.get());
    std::wstring hex;
    for (long i = 0; i < n && data.bytes(); ++i) {
        wchar_t b[4];
        std::swprintf(b, 4, L"%02X", data.bytes()[i]);
        hex += (i ? L" " : L"") + std::wstring(b);
    }
    ctx.io.line(L"  <- " + std::to_wstring(n) + L" bytes: " + hex + success_note(hr));
    return true;
}

}  // namespace asrlcon
