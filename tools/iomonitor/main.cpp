// iomonitor.exe: shows the trace records of every process that uses the VISA COM session server
// on this machine, one line per record (or the raw XML with --xml), until Ctrl+C, a time limit or
// a record count.
//
//   iomonitor [--xml] [--out FILE] [--limit BYTES] [--method TEXT] [--pid ID]
//             [--count N] [--seconds S] [--force] [--serial]
//
// While it runs, tracing is switched on and the shared trace status says that a monitor reads
// the trace pipe; on the way out both are switched off again so that no writer waits for it. A
// guardian process (iomonitor.exe --guard, monitor_guardian.h) does that switching off when the
// monitor is killed outright.
//
// Every traced call waits until the monitor has taken its record, so the monitor's reader thread
// only takes and acknowledges records and hands them through a bounded queue to a writer thread,
// which formats and writes them and flushes whenever the queue runs empty. --serial does all of
// it on one thread, a line flushed per record (kept to compare the two).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "monitor_guardian.h"
#include "monitor_switch.h"
#include "pipe_record.h"
#include "record_output.h"
#include "record_queue.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

namespace {

using mrv::trace::shared_trace_status;

struct options {
    iomonitor::output_options output;
    std::wstring out_file;
    bool set_limit = false;
    long limit = 0;
    long seconds = -1;    // -1: no limit
    bool force = false;   // take over from a monitor that did not clear its flag
    bool serial = false;  // one thread, one flushed line per record
};

constexpr wchar_t kUsage[] =
    L"usage: iomonitor [--xml] [--out FILE] [--limit BYTES] [--method TEXT] [--pid ID]\n"
    L"                 [--count N] [--seconds S] [--force] [--serial]\n"
    L"  --xml       print each record's XML text instead of a readable line\n"
    L"  --out FILE  write the records to FILE instead of the console\n"
    L"  --limit N   bytes of each array argument shown (default 32, -1 for all)\n"
    L"  --method T  only records whose method name contains T (e.g. IMessage::Write)\n"
    L"  --pid ID    only records of that process\n"
    L"  --count N   stop after showing N records\n"
    L"  --seconds S stop after S seconds\n"
    L"  --force     start even though the status says another monitor reads (one that ended\n"
    L"              without clearing its flag)\n"
    L"  --serial    take, write and flush each record on one thread (for comparison)\n";

bool parse(int argc, wchar_t** argv, options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == L"--xml")
            o.output.xml = true;
        else if (arg == L"--out" && has_value)
            o.out_file = argv[++i];
        else if (arg == L"--limit" && has_value)
            o.set_limit = true, o.limit = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--method" && has_value)
            o.output.method = argv[++i];
        else if (arg == L"--pid" && has_value)
            o.output.pid = argv[++i];
        else if (arg == L"--count" && has_value)
            o.output.count = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--seconds" && has_value)
            o.seconds = std::wcstol(argv[++i], nullptr, 10);
        else if (arg == L"--force")
            o.force = true;
        else if (arg == L"--serial")
            o.serial = true;
        else
            return false;
    }
    return true;
}

std::atomic<bool> g_stop{false};           // Ctrl+C or another console event
std::atomic<bool> g_count_reached{false};  // the writer thread has shown --count records
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

// Switches tracing on with this monitor as its reader; release() switches it off again, once,
// whether from the end of main or from a console event that ends the process.
std::atomic<bool> g_registered{false};

void register_monitor(const options& o)
{
    const std::int32_t generation = iomonitor::switch_tracing_on_for_monitor(
        o.set_limit ? std::optional<long>(o.limit) : std::nullopt);
    g_registered = true;
    if (!iomonitor::start_guardian(generation))
        std::fprintf(stderr,
                     "iomonitor: no guardian could be started (error %lu); if this "
                     "monitor is killed, tracing stays on until it is switched off\n",
                     GetLastError());
}

void release_monitor()
{
    if (g_registered.exchange(false))
        iomonitor::switch_tracing_off_for_monitor();
}

// Whether the monitor should stop taking records: Ctrl+C, the time limit or the count.
class stop_condition {
public:
    explicit stop_condition(long seconds)
        : deadline_(seconds < 0 ? 0 : GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000)
    {}
    bool reached() const
    {
        return g_stop || g_count_reached || (deadline_ && GetTickCount64() >= deadline_);
    }

private:
    ULONGLONG deadline_;
};

iomonitor::taken_record take(mrv::trace::trace_pipe& pipe, std::vector<wchar_t>& buffer)
{
    bool larger = false;
    const DWORD bytes = pipe.take_record(buffer.data(), mrv::trace::kPipeCapacity, &larger);
    return iomonitor::record_from_pipe(buffer.data(), bytes, larger);
}

// The single-thread loop: each record is taken and acknowledged, and its line written and
// flushed, before the next one is waited for.
void run_serial(mrv::trace::trace_pipe& pipe, const stop_condition& stop,
                iomonitor::record_output& output)
{
    std::vector<wchar_t> buffer(mrv::trace::kPipeCapacity / sizeof(wchar_t) + 1);
    while (!stop.reached() && !output.count_reached()) {
        DWORD length = 0;
        const int waited = pipe.wait_for_record(200, &length);
        if (waited == mrv::trace::pipe_timed_out)
            continue;
        if (waited != mrv::trace::pipe_ok)
            break;
        const iomonitor::taken_record record = take(pipe, buffer);
        pipe.acknowledge();
        if (output.write(record))
            output.flush();
    }
    release_monitor();
}

// The writer thread: formats and writes whatever the reader queued, in batches, and flushes
// whenever the queue has run empty; at the count it tells the reader to stop.
void write_records(iomonitor::record_queue& queue, iomonitor::record_output& output)
{
    constexpr DWORD kPollMs = 10;  // in a burst: how long a record may wait below the batch
    std::vector<iomonitor::taken_record> batch;
    bool unflushed = false;
    DWORD wait = INFINITE;  // idle: the first record wakes this thread
    for (;;) {
        const bool open = queue.take_all(batch, unflushed ? 0 : wait);
        if (batch.empty()) {
            if (!unflushed && !open)
                break;
            if (unflushed)
                output.flush();
            // Records may follow at once: poll for a while before waiting idle again.
            wait = unflushed ? kPollMs : INFINITE;
            unflushed = false;
            continue;
        }
        wait = kPollMs;
        for (const iomonitor::taken_record& record : batch)
            if (!output.count_reached())
                unflushed |= output.write(record);
        if (output.count_reached())
            g_count_reached = true;
    }
    output.flush();
}

// The reader thread: takes each record, queues it, and acknowledges it together with the wait
// for the next one. On the way out tracing is switched off first, then a record that a writer
// signalled before that is still taken, so that no writer is left waiting for this monitor.
void run_threaded(mrv::trace::trace_pipe& pipe, const stop_condition& stop,
                  iomonitor::record_output& output)
{
    constexpr std::size_t kQueuedRecords = 4096;
    constexpr std::size_t kQueuedBytes = 16u << 20;
    constexpr std::size_t kBatch = 256;
    iomonitor::record_queue queue(kQueuedRecords, kQueuedBytes, kBatch);
    std::thread writer([&] { write_records(queue, output); });

    std::vector<wchar_t> buffer(mrv::trace::kPipeCapacity / sizeof(wchar_t) + 1);
    bool unacknowledged = false;
    while (!stop.reached()) {
        DWORD length = 0;
        const int waited = unacknowledged ? pipe.acknowledge_and_wait(200, &length)
                                          : pipe.wait_for_record(200, &length);
        unacknowledged = false;
        if (waited == mrv::trace::pipe_timed_out)
            continue;
        if (waited != mrv::trace::pipe_ok)
            break;
        queue.push(take(pipe, buffer));
        unacknowledged = true;
    }
    release_monitor();
    // A writer that saw the monitor flag before it was cleared has signalled (or is about to
    // signal) one more record; take it rather than leave the writer to its next 500 ms step.
    for (int i = 0; i < 4; ++i) {
        DWORD length = 0;
        const int waited = unacknowledged ? pipe.acknowledge_and_wait(i == 0 ? 0 : 20, &length)
                                          : pipe.poll_record(i == 0 ? 0 : 20, &length);
        unacknowledged = false;
        if (waited != mrv::trace::pipe_ok)
            break;
        queue.push(take(pipe, buffer));
        unacknowledged = true;
    }
    if (unacknowledged)
        pipe.acknowledge();
    queue.close();
    writer.join();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], iomonitor::kGuardOption) == 0)
        return iomonitor::run_guardian(
            std::wcstoul(argv[2], nullptr, 10),
            static_cast<std::int32_t>(std::wcstol(argv[3], nullptr, 10)));
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
    if (!o.out_file.empty() && !(out = _wfopen(o.out_file.c_str(), L"wb"))) {
        std::fwprintf(stderr, L"iomonitor: cannot write %ls\n", o.out_file.c_str());
        return 1;
    }
    SetConsoleCtrlHandler(on_console_event, TRUE);

    iomonitor::record_output output(o.output, out);
    {
        register_monitor(o);
        std::fprintf(stderr, "iomonitor: watching (Ctrl+C to stop)\n");
        const stop_condition stop(o.seconds);
        if (o.serial)
            run_serial(*g_pipe, stop, output);
        else
            run_threaded(*g_pipe, stop, output);
    }
    if (out != stdout)
        std::fclose(out);
    std::fprintf(stderr, "iomonitor: %ld records shown\n", output.shown());
    return 0;
}
