#include "record_output.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cwchar>

#include "record_line.h"

namespace iomonitor {

namespace {

constexpr std::size_t kOutputBuffer = 1 << 16;

void append_utf8(std::string& out, const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data() + at, n,
                        nullptr, nullptr);
}

// "hh:mm:ss.mmm" in local time.
std::wstring local_time(const FILETIME& utc)
{
    FILETIME local{};
    SYSTEMTIME t{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t))
        GetLocalTime(&t);
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

}  // namespace

record_output::record_output(const output_options& options, FILE* out)
    : options_(options), out_(out)
{
    _setmode(_fileno(out_), _O_BINARY);
    std::setvbuf(out_, nullptr, _IOFBF, kOutputBuffer);
}

bool record_output::write(const taken_record& record)
{
    if (count_reached())
        return false;
    const record_summary summary = summarize_record(record.text);
    if (!options_.method.empty() && summary.method.find(options_.method) == std::wstring::npos)
        return false;
    if (!options_.pid.empty() && summary.process_id != options_.pid)
        return false;
    line_.clear();
    if (options_.xml) {
        append_utf8(line_, record.text);
    } else {
        append_utf8(line_, local_time(record.taken_at));
        line_ += ' ';
        append_utf8(line_, summary.line);
    }
    if (record.cut)
        line_ += " [cut]";
    // The output is binary, so the XML text reaches it byte for byte; lines end as on Windows.
    line_ += "\r\n";
    std::fwrite(line_.data(), 1, line_.size(), out_);
    ++shown_;
    return true;
}

}  // namespace iomonitor
