// iomonitor.exe: shows the trace records of every process that uses the VISA COM session server
// on this machine, one line per record (or the raw XML with --xml), until Ctrl+C, a time limit or
// a record count.
//
//   iomonitor [--xml] [--out FILE] [--limit BYTES] [--method TEXT] [--pid ID]
//             [--count N] [--seconds S] [--force]
//
// While it runs, tracing is switched on and the shared trace status says that a monitor reads
// the trace pipe; on the way out both are switched off again so that no writer waits for it.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "record_line.h"
#include "trace_pipe.h"
#include "trace_status.h"

namespace {

using mrv::trace::shared_trace_status;

struct options {
    bool xml = false;
    std::wstring out_file;
    bool set_limit = false;
    long limit = 0;
    std::wstring method;
    std::wstring pid;
    long count = -1;     // records to show before stopping; -1: no limit
    long seconds = -1;   // -1: no limit
    bool force = false;  // take over from a monitor that did not clear its flag
};

constexpr wchar_t kUsage[] =
    L"usage: iomonitor [--xml] [--out FILE] [--limit BYTES] [--method TEXT] [--pid ID]\n"
    L"                 [--count N] [--seconds S] [--force]\n"
    L"  --xml       print each record's XML text instead of a readable line\n"
    L"  --out FILE  write the records to FILE instead of the console\n"
    L"  --limit N   bytes of each array argument shown (default 32, -1 for all)\n"
    L"  --method T  only records whose method name contains T (e.g. IMessage::Write)\n"
    L"  --pid ID    only records of that process\n"
    L"  --count N   stop after showing N records\n"
    L"  --seconds S stop after S seconds\n"
    L"  --force     start even though the status says another monitor reads (one that ended\n"
    L"              without clearing its flag)\n";

bool parse(int argc, wchar_t** argv, options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == L"--xml")
            o.xml = true;
        else if (arg == L"--out" && has_value)
            o.out_file = argv[++i];
        else if (arg == L"--limit" && has_value)
            o.set_limit = true, o.limit = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--method" && has_value)
            o.method = argv[++i];
        else if (arg == L"--pid" && has_value)
            o.pid = argv[++i];
        else if (arg == L"--count" && has_value)
            o.count = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--seconds" && has_value)
            o.seconds = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--force")
            o.force = true;
        else
            return false;
    }
    return true;
}

std::atomic<bool> g_stop{false};
void release_monitor();
mrv::trace::trace_pipe* g_pipe = nullptr;

BOOL WINAPI on_console_event(DWORD event)
{
    g_stop = true;
    if (g_pipe)
        g_pipe->abort();
    // Closing the console, logoff and shutdown end the process when this returns.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        release_monitor();
    return TRUE;
}

std::string utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

std::wstring local_time()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// Switches tracing on with this monitor as its reader; release() switches it off again, once,
// whether from the end of main or from a console event that ends the process.
std::atomic<bool> g_registered{false};

void register_monitor(const options& o)
{
    auto& status = shared_trace_status();
    if (o.set_limit)
        status.set_array_byte_limit(o.limit);
    status.set_flag(mrv::trace::status_monitor_at, 1);
    status.set_flag(mrv::trace::status_records_wanted_at, 1);
    status.set_tracing(true);
    g_registered = true;
}

void release_monitor()
{
    if (!g_registered.exchange(false))
        return;
    auto& status = shared_trace_status();
    status.set_tracing(false);
    status.set_flag(mrv::trace::status_records_wanted_at, 0);
    status.set_flag(mrv::trace::status_monitor_at, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    options o;
    if (!parse(argc, argv, o)) {
        std::fputws(kUsage, stderr);
        return 1;
    }
    auto& status = shared_trace_status();
    status.start();
    if (status.monitor_reads() && !o.force) {
        std::fputs("iomonitor: another I/O monitor is already reading the trace records "
                   "(--force takes over from one that has ended).\n",
                   stderr);
        return 2;
    }
    g_pipe = mrv::trace::process_trace_pipe();
    if (!g_pipe) {
        std::fprintf(stderr,
                     "iomonitor: the trace pipe could not be opened (error %lu); is "
                     "nkoserver.exe running?\n",
                     GetLastError());
        return 3;
    }
    FILE* out = stdout;
    if (!o.out_file.empty() && !(out = _wfopen(o.out_file.c_str(), L"w"))) {
        std::fwprintf(stderr, L"iomonitor: cannot write %ls\n", o.out_file.c_str());
        return 1;
    }
    SetConsoleCtrlHandler(on_console_event, TRUE);

    long shown = 0;
    {
        register_monitor(o);
        std::fprintf(stderr, "iomonitor: watching (Ctrl+C to stop)\n");
        const ULONGLONG deadline = o.seconds < 0 ? 0 : GetTickCount64() + o.seconds * 1000ull;
        std::vector<wchar_t> record(mrv::trace::kPipeCapacity / sizeof(wchar_t) + 1);
        while (!g_stop && (o.count < 0 || shown < o.count)) {
            if (deadline && GetTickCount64() >= deadline)
                break;
            DWORD length = 0;
            const int waited = g_pipe->wait_for_record(200, &length);
            if (waited == mrv::trace::pipe_timed_out)
                continue;
            if (waited != mrv::trace::pipe_ok)
                break;
            bool cut = false;
            const DWORD bytes = g_pipe->take_record(record.data(), mrv::trace::kPipeCapacity, &cut);
            g_pipe->acknowledge();
            std::wstring text(record.data(), bytes / sizeof(wchar_t));
            if (const std::size_t nul = text.find(L'\0'); nul != std::wstring::npos)
                text.resize(nul);

            const iomonitor::record_summary summary = iomonitor::summarize_record(text);
            if (!o.method.empty() && summary.method.find(o.method) == std::wstring::npos)
                continue;
            if (!o.pid.empty() && summary.process_id != o.pid)
                continue;
            const std::wstring line = o.xml ? text : local_time() + L" " + summary.line;
            std::fputs(utf8(line + (cut ? L" [cut]" : L"") + L"\n").c_str(), out);
            std::fflush(out);
            ++shown;
        }
        release_monitor();
    }
    if (out != stdout)
        std::fclose(out);
    std::fprintf(stderr, "iomonitor: %ld records shown\n", shown);
    return 0;
}
