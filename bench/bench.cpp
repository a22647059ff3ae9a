// bench.exe: measures the same work through the serial session server (COM, in-process) and
// directly on the VISA library that the server loaded, in one run, and prints the ratios.
//
// Both sides use the simulated multimeter on ASRL1::INSTR with the same settings: the server's
// session and a session of the bench's own opened on the same port. Transfers of 1 MiB write bytes
// without a terminator (the instrument drops them as an overlong message) and read bytes that the
// simulated device sends (simvisa_device_send) before each read.
//
// Then the cost of tracing: the same thin calls on the shipped server with no monitor reading,
// and on a copy of the server built from the same sources with tracing compiled out
// (bin/bench/MrvRS232_untraced.dll, loaded directly, never registered); and last, the thin calls
// while iomonitor.exe reads every record, as records per second.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "com/com_ptr.h"
#include "MrvRS232.h"
#include "server_module.h"
#include "slow_terminal.h"
#include "timing.h"
#include "visa_library.h"
#include "visacom.h"

using mrv::com_ptr;

namespace {

constexpr ViUInt32 kMiB = 1024 * 1024;
constexpr double kThinTarget = 2.0;      // a thin call: at most twice the direct call
constexpr double kTracingTarget = 1.05;  // no monitor: at most 1.05x the call without tracing
constexpr int kWatchedSeconds = 2;       // thin calls while the monitor reads
constexpr int kWatchedRounds = 3;
constexpr double kWatchedTarget = 3.0;   // records per second: at least 3x the serial monitor
constexpr DWORD kTerminalPauseMs = 2;    // the slow terminal's pause after each write
constexpr double kOpenTarget = 3.0;      // opening a session: at most 3x the library's open
constexpr double kTransferTarget = 0.9;  // 1 MiB: at least 90% of the direct throughput

struct com_apartment {
    com_apartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~com_apartment() { CoUninitialize(); }
};

struct owned_bstr {
    BSTR b = nullptr;
    explicit owned_bstr(const wchar_t* text = nullptr) : b(text ? SysAllocString(text) : nullptr) {}
    ~owned_bstr() { SysFreeString(b); }
    owned_bstr(const owned_bstr&) = delete;
    owned_bstr& operator=(const owned_bstr&) = delete;
};

struct owned_array {
    SAFEARRAY* a = nullptr;
    ~owned_array() { reset(); }
    void reset()
    {
        if (a)
            SafeArrayDestroy(a);
        a = nullptr;
    }
};

bool fail(const char* what, long code)
{
    std::fprintf(stderr, "bench: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(code));
    return false;
}

// One line of the report. For calls the figures are microseconds per call and the ratio is
// server time over direct time; for transfers they are MB/s and the ratio is server throughput
// over direct throughput.
void report(const char* server, const char* direct, bench::side_by_side t, ViUInt32 bytes = 0,
            double target = kThinTarget)
{
    if (t.server < 0 || t.direct < 0) {
        std::printf("%-34s %-18s   not measured (a call failed)\n", server, direct);
        return;
    }
    if (bytes == 0) {
        const double ratio = t.server / t.direct;
        std::printf("%-34s %-18s %9.2f us %9.2f us  %5.2fx  %s (<= %.3gx)\n", server, direct,
                    t.server * 1e6, t.direct * 1e6, ratio, ratio <= target ? "ok" : "MISSED",
                    target);
    } else {
        const double server_rate = bytes / t.server / 1e6, direct_rate = bytes / t.direct / 1e6;
        const double share = server_rate / direct_rate;
        std::printf("%-34s %-18s %7.1f MB/s %7.1f MB/s  %5.1f%%  %s\n", server, direct, server_rate,
                    direct_rate, share * 100,
                    share >= kTransferTarget ? "ok (>= 90%)" : "MISSED (< 90%)");
    }
}

// The thin calls of one server session on ASRL1::INSTR.
struct thin_calls {
    com_ptr<IVisaSession> session;
    com_ptr<ISerial> serial;

    HRESULT init()
    {
        owned_bstr resource(L"ASRL1::INSTR"), options(L"");
        HRESULT hr = session->Init(resource.b, NO_LOCK, 2000, options.b);
        if (SUCCEEDED(hr) && !(serial = session.as<ISerial>(IID_ISerial)))
            hr = E_NOINTERFACE;
        return hr;
    }
    bool baud_rate() const
    {
        long baud = 0;
        return serial->get_BaudRate(&baud) == S_OK;
    }
    bool timeout() const { return session->put_Timeout(2000) == S_OK; }
};

// The same thin calls on the shipped server (no monitor reading) and on its copy with tracing
// compiled out, loaded from bin/bench without the registry.
void measure_tracing_cost(const thin_calls& traced, int rounds, int calls)
{
    std::printf("\nbench: the server with no monitor reading vs the same server with tracing "
                "compiled out\n\n");
    if (mrv::trace::shared_trace_status().tracing_enabled())
        std::printf("(tracing is on: a monitor reads, the first column includes its records)\n");
    bench::server_module module(bench::program_directory() + L"bench\\MrvRS232_untraced.dll");
    if (!module.loaded()) {
        fail("loading bench\\MrvRS232_untraced.dll", static_cast<long>(GetLastError()));
        return;
    }
    thin_calls untraced;
    HRESULT hr = module.create(CLSID_RS232Svr, IID_IVisaSession, untraced.session.put_void());
    if (FAILED(hr) || FAILED(hr = untraced.init())) {
        fail("the session of MrvRS232_untraced.dll", hr);
        return;
    }
    std::printf("%-34s %-18s %12s %12s  %6s\n", "server (traced, no monitor)", "same, untraced",
                "traced", "untraced", "ratio");
    report("ISerial::get_BaudRate", "untraced copy",
           bench::compare_calls(
               rounds, calls, [&] { return traced.baud_rate(); },
               [&] { return untraced.baud_rate(); }),
           0, kTracingTarget);
    report("IVisaSession::put_Timeout", "untraced copy",
           bench::compare_calls(
               rounds, calls, [&] { return traced.timeout(); }, [&] { return untraced.timeout(); }),
           0, kTracingTarget);
    untraced.session->Close();
}

// Where the monitor writes, and how it runs.
struct watched_setup {
    const char* label;
    bool serial;    // --serial: today's single-threaded monitor
    bool terminal;  // a slow terminal instead of a file
};

// The thin calls, alternating, for a fixed time while iomonitor.exe reads every record of this
// process; the monitor's own time limit stops it afterwards. Records per second, or -1.
double measure_watched(const thin_calls& traced, const watched_setup& setup)
{
    const std::wstring dir = bench::program_directory();
    const std::wstring out = dir + L"bench_monitor.txt";
    DeleteFileW(out.c_str());
    bench::slow_terminal terminal(kTerminalPauseMs);
    std::wstring command = L"\"" + dir + L"iomonitor.exe\" --seconds " +
                           std::to_wstring(kWatchedSeconds + 2) + L" --pid " +
                           std::to_wstring(GetCurrentProcessId());
    if (setup.serial)
        command += L" --serial";
    if (!setup.terminal)
        command += L" --out \"" + out + L"\"";
    bench::child_process monitor(command, setup.terminal ? terminal.client() : nullptr);
    terminal.close_client();
    if (!monitor.started() || !monitor.wait_until_watching(20000)) {
        std::printf("%-34s not measured: iomonitor.exe did not start watching\n", setup.label);
        return -1;
    }
    long calls = 0;
    double elapsed = 0;
    for (const double start = bench::seconds_now();
         (elapsed = bench::seconds_now() - start) < kWatchedSeconds; ++calls) {
        if (!(calls % 2 ? traced.timeout() : traced.baud_rate())) {
            std::printf("%-34s not measured: a call failed\n", setup.label);
            return -1;
        }
    }
    if (!monitor.wait_for_exit(30000)) {
        std::printf("%-34s not measured: iomonitor.exe did not end with exit code 0\n",
                    setup.label);
        return -1;
    }
    long records = 0;
    if (setup.terminal) {
        const std::string text = terminal.finish();
        for (char c : text)
            records += c == '\n';
    } else {
        records = bench::count_lines(out);
    }
    const double rate = records / elapsed;
    std::printf("%-34s %8.1f us %8ld %8ld %10.0f\n", setup.label, elapsed / calls * 1e6, records,
                2 * calls, rate);
    return rate;
}

void report_watched_ratio(const char* what, double rate, double base, double target)
{
    if (rate <= 0 || base <= 0) {
        std::printf("%-46s not measured\n", what);
        return;
    }
    const double ratio = rate / base;
    std::printf("%-46s %5.2fx  %s (>= %.3gx)\n", what, ratio, ratio >= target ? "ok" : "MISSED",
                target);
}

// Records per second while iomonitor.exe reads, to a file and to a slow terminal, for today's
// single-threaded monitor (--serial) and the monitor with its writer thread, in one run.
void measure_watching(const thin_calls& traced)
{
    std::printf("\nbench: thin calls for %d s each while iomonitor.exe reads every record (slow "
                "terminal: a pipe whose reader pauses %lu ms after each write)\n\n",
                kWatchedSeconds, kTerminalPauseMs);
    std::printf("%-34s %11s %8s %8s %10s\n", "monitor, output", "per call", "records", "expected",
                "records/s");
    // The machine is shared: each setup runs in every round, in the same order, and keeps its
    // best rate.
    const watched_setup setups[] = {{"--serial, file", true, false},
                                    {"threaded, file", false, false},
                                    {"--serial, slow terminal", true, true},
                                    {"threaded, slow terminal", false, true}};
    double best[4] = {-1, -1, -1, -1};
    for (int round = 0; round < kWatchedRounds; ++round)
        for (int i = 0; i < 4; ++i)
            best[i] = std::max(best[i], measure_watched(traced, setups[i]));
    const double serial_file = best[0], file = best[1], serial_terminal = best[2],
                 terminal = best[3];
    std::printf("\n");
    report_watched_ratio("file: threaded vs --serial", file, serial_file, kWatchedTarget);
    report_watched_ratio("slow terminal: threaded vs --serial", terminal, serial_terminal,
                         kWatchedTarget);
    report_watched_ratio("threaded: slow terminal vs file", terminal, file, 1.0);
}

// Opening a session from nothing and closing it again: create + Init + Close + release through
// the server against viOpenDefaultRM + viOpen + viClose twice on the library.
void measure_session_open(bench::visa_library& visa, const CLSID& clsid)
{
    std::printf("\nbench: opening and closing a session on ASRL1::INSTR\n\n");
    std::printf("%-34s %-18s %12s %12s  %6s\n", "server", "direct", "server", "direct", "ratio");
    owned_bstr resource(L"ASRL1::INSTR"), options(L"");
    report("create+Init+Close+release", "viOpenDefaultRM+viOpen+2 viClose",
           bench::compare_calls(
               5, 40,
               [&] {
                   com_ptr<IVisaSession> s;
                   return SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                                     IID_IVisaSession, s.put_void())) &&
                          s->Init(resource.b, NO_LOCK, 2000, options.b) == S_OK &&
                          s->Close() == S_OK;
               },
               [&] {
                   ViSession rm = 0, vi = 0;
                   return visa.open_default_rm(&rm) == VI_SUCCESS &&
                          visa.open(rm, "ASRL1::INSTR", VI_NULL, 0, &vi) == VI_SUCCESS &&
                          visa.close(vi) == VI_SUCCESS && visa.close(rm) == VI_SUCCESS;
               }),
           0, kOpenTarget);
    // Init loads the first-choice library "mvvisa32.dll" by name before "visa32.dll"; where it
    // is not installed, the loader's failed search is part of every Init.
    const bench::side_by_side search = bench::compare_calls(
        5, 40, [] { return LoadLibraryA("mvvisa32.dll") == nullptr; }, [] { return true; });
    if (search.server >= 0)
        std::printf("(of which the failed search for the first-choice mvvisa32.dll: %.2f us)\n",
                    search.server * 1e6);
}

// Everything measured on one open session of the server.
// 1 MiB each way as an asynchronous job whose completion is waited for: IAsyncMessage and
// WaitOnEvent (the read's bytes taken from the event) against viReadAsync/viWriteAsync and
// viWaitOnEvent on the bench's own session.
void measure_async_transfers(bench::visa_library& visa, ViSession vi,
                             const mrv::com_ptr<IVisaSession>& session, SAFEARRAY* out_array,
                             int transfers)
{
    auto async = session.as<IAsyncMessage>(IID_IAsyncMessage);
    auto events = session.as<IEventManager>(IID_IEventManager);
    if (!async || !events ||
        FAILED(
            events->EnableEvent(static_cast<EventType>(VI_EVENT_IO_COMPLETION), EVENT_QUEUE, 0)) ||
        visa.enable_event(vi, VI_EVENT_IO_COMPLETION, VI_QUEUE, VI_NULL) < 0) {
        fail("enabling I/O-completion events", E_FAIL);
        return;
    }
    // The server's completion: the event, and for a read the bytes it carries.
    auto server_completion = [&](bool read) {
        mrv::com_ptr<IEvent> event;
        if (FAILED(events->WaitOnEvent(5000, static_cast<EventType>(VI_EVENT_IO_COMPLETION), 0,
                                       event.put())))
            return false;
        auto completion = event.as<IEventIOCompletion>(IID_IEventIOCompletion);
        long count = 0;
        if (!completion || FAILED(completion->get_ReturnCount(&count)) || count != long(kMiB))
            return false;
        if (!read)
            return true;
        owned_array bytes;
        return SUCCEEDED(completion->get_ReadBuffer(&bytes.a)) && bytes.a;
    };
    auto direct_completion = [&] {
        ViEventType type = 0;
        ViEvent event = 0;
        if (visa.wait_on_event(vi, VI_EVENT_IO_COMPLETION, 5000, &type, &event) < 0)
            return false;
        visa.close(event);
        return true;
    };
    const std::vector<unsigned char> outgoing(kMiB, 'A');
    std::vector<unsigned char> incoming(kMiB);
    report("IAsyncMessage::Write (1 MiB) + wait", "viWriteAsync + wait",
           bench::compare_transfers(
               transfers, [] {},
               [&] {
                   long job = 0;
                   return async->Write(&out_array, kMiB, &job) == S_OK && server_completion(false);
               },
               [&] {
                   ViJobId job = 0;
                   return visa.write_async(vi, outgoing.data(), kMiB, &job) >= 0 &&
                          direct_completion();
               }),
           kMiB);
    visa.clear(vi);
    const std::vector<unsigned char> device_data(kMiB, 'B');
    report("IAsyncMessage::Read (1 MiB) + wait", "viReadAsync + wait",
           bench::compare_transfers(
               transfers, [&] { visa.device_send(vi, device_data.data(), kMiB, 0); },
               [&] {
                   long job = 0;
                   return async->Read(kMiB, &job) == S_OK && server_completion(true);
               },
               [&] {
                   ViJobId job = 0;
                   return visa.read_async(vi, incoming.data(), kMiB, &job) >= 0 &&
                          direct_completion();
               }),
           kMiB);
    session.as<IEventManager>(IID_IEventManager)
        ->DisableEvent(static_cast<EventType>(VI_EVENT_IO_COMPLETION), EVENT_QUEUE, 0);
}

int measure_open_session(CLSID& clsid, bench::visa_library& visa)
{
    com_ptr<IVisaSession> session;
    HRESULT hr = CLSIDFromProgID(L"MorvaneRS232.RS232Svr", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                              session.put_void());
    if (FAILED(hr))
        return fail("creating the session (is MrvRS232.dll registered?)", hr), 1;
    owned_bstr resource(L"ASRL1::INSTR"), options(L"");
    if (FAILED(hr = session->Init(resource.b, NO_LOCK, 2000, options.b)))
        return fail("Init", hr), 1;
    auto message = session.as<IMessage>(IID_IMessage);
    auto serial = session.as<ISerial>(IID_ISerial);
    if (!message || !serial)
        return fail("QueryInterface", E_NOINTERFACE), 1;

    if (!visa.bind())
        return fail("binding visa32.dll in this process", static_cast<long>(GetLastError())), 1;
    ViSession rm = 0, vi = 0;
    ViStatus status = visa.open_default_rm(&rm);
    if (status < 0 || (status = visa.open(rm, "ASRL1::INSTR", VI_NULL, 0, &vi)) < 0)
        return fail("opening the direct VISA session", status), 1;

    const int rounds = 7, calls = 10000;
    std::printf("bench: server (COM, in-process) vs direct VISA calls on ASRL1::INSTR\n\n");
    std::printf("%-34s %-18s %12s %12s  %6s\n", "server", "direct", "server", "direct", "ratio");

    // Thin property reads.
    long baud = 0;
    ViUInt32 direct_baud = 0;
    report(
        "ISerial::get_BaudRate", "viGetAttribute",
        bench::compare_calls(
            rounds, calls, [&] { return serial->get_BaudRate(&baud) == S_OK; },
            [&] { return visa.get_attribute(vi, VI_ATTR_ASRL_BAUD, &direct_baud) == VI_SUCCESS; }));
    BYTE term = 0;
    ViUInt8 direct_term = 0;
    report(
        "IBaseMessage::get_TerminationChar", "viGetAttribute",
        bench::compare_calls(
            rounds, calls, [&] { return message->get_TerminationCharacter(&term) == S_OK; },
            [&] { return visa.get_attribute(vi, VI_ATTR_TERMCHAR, &direct_term) == VI_SUCCESS; }));

    // Setters.
    report("IVisaSession::put_Timeout", "viSetAttribute",
           bench::compare_calls(
               rounds, calls, [&] { return session->put_Timeout(2000) == S_OK; },
               [&] { return visa.set_attribute(vi, VI_ATTR_TMO_VALUE, 2000) == VI_SUCCESS; }));
    report("IBaseMessage::put_TerminationChar", "viSetAttribute",
           bench::compare_calls(
               rounds, calls, [&] { return message->put_TerminationCharacter('\n') == S_OK; },
               [&] { return visa.set_attribute(vi, VI_ATTR_TERMCHAR, '\n') == VI_SUCCESS; }));

    // A short query: "*IDN?" and its answer.
    owned_bstr query(L"*IDN?\n");
    report("IMessage::WriteString+ReadString", "viWrite+viRead",
           bench::compare_calls(
               rounds, calls / 20,
               [&] {
                   long written = 0;
                   owned_bstr answer;
                   return message->WriteString(query.b, &written) == S_OK &&
                          SUCCEEDED(message->ReadString(256, &answer.b)) &&
                          SysStringLen(answer.b) > 0;
               },
               [&] {
                   char answer[256];
                   ViUInt32 n = 0;
                   return visa.write(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n) >= 0 &&
                          visa.read(vi, reinterpret_cast<ViPBuf>(answer), sizeof answer, &n) >= 0 &&
                          n > 0;
               }));

    // 1 MiB each way, one call each.
    const int transfers = 40;
    const std::vector<unsigned char> outgoing(kMiB, 'A');
    std::vector<unsigned char> incoming(kMiB);
    owned_array out_array;
    out_array.a = SafeArrayCreateVector(VT_UI1, 0, kMiB);
    void* data = nullptr;
    if (!out_array.a || FAILED(SafeArrayAccessData(out_array.a, &data)))
        return fail("making the 1 MiB array", E_OUTOFMEMORY), 1;
    memcpy(data, outgoing.data(), kMiB);
    SafeArrayUnaccessData(out_array.a);
    report("IMessage::Write (1 MiB)", "viWrite (1 MiB)",
           bench::compare_transfers(
               transfers, [] {},
               [&] {
                   long written = 0;
                   return message->Write(&out_array.a, kMiB, &written) == S_OK &&
                          written == static_cast<long>(kMiB);
               },
               [&] {
                   ViUInt32 written = 0;
                   return visa.write(vi, outgoing.data(), kMiB, &written) >= 0 && written == kMiB;
               }),
           kMiB);
    visa.clear(vi);  // the instrument drops what it holds of the overlong messages

    const std::vector<unsigned char> device_data(kMiB, 'B');
    owned_array in_array;
    report("IMessage::Read (1 MiB)", "viRead (1 MiB)",
           bench::compare_transfers(
               transfers,
               [&] {
                   in_array.reset();
                   visa.device_send(vi, device_data.data(), kMiB, 0);
               },
               [&] {
                   return SUCCEEDED(message->Read(kMiB, &in_array.a)) && in_array.a &&
                          in_array.a->rgsabound[0].cElements == kMiB;
               },
               [&] {
                   ViUInt32 n = 0;
                   return visa.read(vi, incoming.data(), kMiB, &n) >= 0 && n == kMiB;
               }),
           kMiB);

    // The library's asynchronous transfers vary more from one to the next than its synchronous
    // ones (the read scans what has arrived before it starts, the write's completion comes from
    // another thread), so their best figures take more repetitions to settle.
    measure_async_transfers(visa, vi, session, out_array.a, 5 * transfers);

    visa.close(vi);
    visa.close(rm);

    const thin_calls traced{session, serial};
    measure_tracing_cost(traced, 2 * rounds, calls);
    measure_watching(traced);
    session->Close();
    return 0;
}

int run()
{
    com_apartment com;
    CLSID clsid{};
    bench::visa_library visa;
    if (const int failed = measure_open_session(clsid, visa))
        return failed;
    // Every session of this process is gone: the next open is one from nothing.
    measure_session_open(visa, clsid);
    return 0;
}

}  // namespace

int main()
{
    return run();
}
