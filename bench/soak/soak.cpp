// soak.exe: the serial session server under load for a given time, through real COM.
//
// Workers on private and shared sessions mix every interface of the session; handler apartments
// install handlers from apartments of their own; a library driver raises service requests and,
// with --faults, has the simulation library fail random calls for the middle part of the run.
// It prints rates, failures by kind and the process's handles, memory and threads at intervals
// and at the end. Exit code: 0, or 1 for a wrong outcome, 2 when it could not start, 3 for a
// participant that stopped making progress (reported by the watchdog), 4 for growth, 5 for a
// crash (reported with its call stack).
//
//   soak.exe [--seconds S] [--threads N] [--shared K] [--warmup S] [--interval S] [--faults]
//            [--stall S] [--seed N]
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "soak/control.h"
#include "soak/crash_report.h"
#include "soak/handler_apartment.h"
#include "soak/library.h"
#include "soak/library_driver.h"
#include "soak/outcomes.h"
#include "soak/report.h"
#include "soak/sessions.h"
#include "soak/worker.h"

using namespace soak;

namespace {

// Growth allowed between the counts after the warm-up and at the end, both taken with every
// participant parked and every session but the keeper's and the handler apartments' closed.
// Handles: Wine's COM and RPC runtime keep a few that they make on first use and reuse
// afterwards; a leak per session, event or job would be hundreds over the run.
constexpr std::size_t kHandleTolerance = 32;
// Memory: the heaps keep freed blocks and grow with fragmentation; a leaked job buffer, event
// or session of each operation would be tens of MiB over the run.
constexpr std::size_t kMemoryTolerance = 16u << 20;
// Threads: the library's handler and worker threads end once idle, and the worker threads of
// Wine's RPC runtime and thread pool after 5 s idle (the settle time); 2 for one that is
// starting or ending at that moment.
constexpr std::size_t kThreadTolerance = 2;
// Besides, for each session a handler apartment opens after the first count, Wine keeps the RPC
// endpoint of its dispatch thread's apartment to the end of the process (handler_apartment.h),
// with its pipe and event handles and a thread that listens on it.
constexpr std::size_t kHandlesPerEndpoint = 8, kThreadsPerEndpoint = 1;
constexpr DWORD kSettleMs = 6000;
constexpr int kPrivatePortBase = 101;

struct options {
    double seconds = 30, warmup = -1, interval = 10, stall = 20;
    int threads = 4, shared = 2;
    bool faults = false;
    unsigned seed = 0;
};

bool parse(int argc, char** argv, options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--faults")
            o.faults = true;
        else if (a == "--seconds" && has_value)
            o.seconds = std::atof(argv[++i]);
        else if (a == "--warmup" && has_value)
            o.warmup = std::atof(argv[++i]);
        else if (a == "--interval" && has_value)
            o.interval = std::atof(argv[++i]);
        else if (a == "--stall" && has_value)
            o.stall = std::atof(argv[++i]);
        else if (a == "--threads" && has_value)
            o.threads = std::atoi(argv[++i]);
        else if (a == "--shared" && has_value)
            o.shared = std::atoi(argv[++i]);
        else if (a == "--seed" && has_value)
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
        else
            return false;
    }
    // The process's heap under this mix takes several minutes to reach its high-water mark (a
    // 20-minute run counted from the first minute grew 33 MiB and then stayed flat; one counted
    // from the sixth minute grew by nothing), so the first counts come after a third of the run.
    if (o.warmup < 0)
        o.warmup = o.seconds / 3;
    return o.seconds > 0 && o.threads > 0 && o.shared > 0 && o.interval > 0 && o.stall > 0;
}

// A configuration of the simulation library with the shared port, the keeper's silent port and
// one port per worker, each with the multimeter; removed again at the end.
class soak_config {
public:
    soak_config(const library& visa, int workers)
    {
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        path_ =
            std::wstring(dir) + L"mrv-soak-" + std::to_wstring(GetCurrentProcessId()) + L".json";
        std::string device;
        for (wchar_t c : visa.devices_folder() + L"dmm.json") {
            if (c == L'\\')
                device += "\\\\";
            else
                device.push_back(static_cast<char>(c));
        }
        std::ofstream file(path());
        file << "{\"ports\": [{\"number\": 1, \"device\": \"" << device << "\"}, {\"number\": 3}";
        for (int i = 0; i < workers; ++i)
            file << ", {\"number\": " << kPrivatePortBase + i << ", \"device\": \"" << device
                 << "\"}";
        file << "]}\n";
    }
    ~soak_config() { DeleteFileW(path_.c_str()); }
    std::string path() const { return std::string(path_.begin(), path_.end()); }

private:
    std::wstring path_;
};

double seconds_since(ULONGLONG start)
{
    return static_cast<double>(GetTickCount64() - start) / 1000.0;
}

// Reports a participant that stopped moving and ends the process: its threads cannot be joined.
class watchdog {
public:
    watchdog(const control& ctl, const outcomes& out, double stall_seconds, ULONGLONG start)
        : thread_([&ctl, &out, stall_seconds, start, this] {
              const auto limit = static_cast<ULONGLONG>(stall_seconds * 1000);
              while (WaitForSingleObject(done_.get(), 500) == WAIT_TIMEOUT) {
                  const participant* p = ctl.stalled(limit);
                  if (!p)
                      continue;
                  crash_detail::ending(3);
                  std::printf("DEADLOCK: %s (thread %lu) made no progress for %.0f s (in %s, "
                              "after %s returned)\n",
                              p->name().c_str(), static_cast<unsigned long>(p->thread()),
                              stall_seconds, p->doing(), p->last_returned());
                  print_totals(seconds_since(start), out.take());
                  print_all_stacks();
                  TerminateProcess(GetCurrentProcess(), 3);
              }
          })
    {}
    ~watchdog()
    {
        SetEvent(done_.get());
        thread_.join();
    }

private:
    mrv::unique_handle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread thread_;
};

// Parks everyone, closes the shared sessions and counts the process at rest.
bool counts_at_rest(control& ctl, shared_pool& shared, const library& visa, double stall,
                    process_counts& counts)
{
    if (!ctl.park(static_cast<ULONGLONG>(stall * 1000) + 5000))
        return false;
    shared.close_all();
    visa.clear_log();
    Sleep(kSettleMs);
    counts = process_counts::now();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: soak.exe [--seconds S] [--threads N] [--shared K] "
                             "[--warmup S] [--interval S] [--faults] [--stall S] [--seed N]\n");
        return 2;
    }
    if (!o.seed)
        o.seed = GetTickCount();
    report_crashes();
    com_apartment apartment(COINIT_MULTITHREADED);
    // Wine's cache of type libraries drops a library when its last reference goes, racing with
    // the threads that load it again to make typelib-marshaled proxies (seen: crashes in
    // ITypeLib2_Release under GetInterfaceFromGlobal on dispatch threads, and a heap corrupted
    // by them). A reference held for the whole run keeps the VISA COM library in the cache.
    com_ptr<ITypeLib> visa_com_types;
    LoadRegTypeLib(LIBID_VisaComLib, 5, 1, 0, visa_com_types.put());
    outcomes out;
    // The keeper keeps the server and the library loaded while everything else comes and goes.
    com_ptr<IVisaSession> keeper = open_session(out, L"ASRL3::INSTR");
    library visa;
    if (!keeper || !visa.bind()) {
        std::fprintf(stderr, "soak: no session of the registered server on ASRL3::INSTR, or its "
                             "visa32.dll is not the simulation library\n");
        return 2;
    }
    soak_config config(visa, o.threads);
    if (visa.load_config(config.path()) != VI_SUCCESS) {
        std::fprintf(stderr, "soak: the library refused its configuration: %s\n",
                     visa.last_message().c_str());
        return 2;
    }
    note_modules();
    std::printf("soak: %.0f s, %d workers with handler apartments, %d shared sessions, faults %s, "
                "seed %u\n",
                o.seconds, o.threads, o.shared, o.faults ? "in the middle of the run" : "off",
                o.seed);
    std::fflush(stdout);

    const ULONGLONG start = GetTickCount64();
    control ctl;
    shared_pool shared(out, L"ASRL1::INSTR", static_cast<std::size_t>(o.shared));
    shared.fill();
    std::vector<std::string> resources{"ASRL1::INSTR"};
    for (int i = 0; i < o.threads; ++i)
        resources.push_back("ASRL" + std::to_string(kPrivatePortBase + i) + "::INSTR");

    watchdog dog(ctl, out, o.stall, start);
    process_counts first{}, last{};
    std::atomic<unsigned> apartment_sessions{0};
    unsigned endpoints = 0;  // apartment sessions opened after the first count
    bool parked = true;
    {
        library_driver driver(ctl, out, visa, resources, o.seed);
        std::vector<std::unique_ptr<handler_apartment>> apartments;
        std::vector<std::unique_ptr<worker>> workers;
        for (int i = 0; i < o.threads; ++i)
            apartments.push_back(std::make_unique<handler_apartment>(
                ctl, out, L"ASRL1::INSTR", i + 1, o.seed + 104729u * static_cast<unsigned>(i + 1),
                apartment_sessions));
        for (int i = 0; i < o.threads; ++i)
            workers.push_back(std::make_unique<worker>(
                ctl, out, shared, i, L"ASRL" + std::to_wstring(kPrivatePortBase + i) + L"::INSTR",
                o.seed + 7919u * static_cast<unsigned>(i + 1)));

        Sleep(static_cast<DWORD>(o.warmup * 1000));
        note_modules();
        parked = counts_at_rest(ctl, shared, visa, o.stall, first);
        const unsigned opened_at_start = apartment_sessions.load();
        print_counts("start (after the warm-up)", first);
        shared.fill();
        ctl.resume();

        // Faults for the first two thirds of what is left; the last third runs clean.
        const ULONGLONG end = start + static_cast<ULONGLONG>(o.seconds * 1000);
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG faults_to = now + (end > now ? (end - now) * 2 / 3 : 0);
        if (o.faults)
            out.start_faults();
        auto before = out.take();
        ULONGLONG reported = GetTickCount64();
        while (parked && seconds_since(start) < o.seconds) {
            Sleep(100);
            if (o.faults && out.faults_running() && GetTickCount64() >= faults_to) {
                out.stop_faults(3000);  // calls already under way may still report one
                std::printf("[%6.0f s] fault injection off\n", seconds_since(start));
            }
            if (seconds_since(reported) >= o.interval) {
                note_modules();  // for a report of a stall or crash
                auto now = out.take();
                print_interval(seconds_since(start), seconds_since(reported), before, now,
                               process_counts::now());
                before = std::move(now);
                reported = GetTickCount64();
            }
        }
        out.stop_faults(3000);
        parked = parked && counts_at_rest(ctl, shared, visa, o.stall, last);
        endpoints = apartment_sessions.load() - opened_at_start;
        ctl.stop();
    }  // joins the driver, the workers and their apartments

    std::printf("---\n");
    print_totals(seconds_since(start), out.take());
    print_counts("start", first);
    print_counts("end", last);
    int status = out.take().wrong ? 1 : 0;
    if (!parked) {
        std::printf("the participants could not be parked to count the process\n");
        status = 3;
    } else {
        const std::size_t handles = kHandleTolerance + kHandlesPerEndpoint * endpoints;
        const std::size_t threads = kThreadTolerance + kThreadsPerEndpoint * endpoints;
        std::printf("allowed growth: handles +%zu, memory +%zu MiB, threads +%zu (%u apartment "
                    "sessions opened)\n",
                    handles, kMemoryTolerance >> 20, threads, endpoints);
        if (last.handles > first.handles + handles ||
            last.memory > first.memory + kMemoryTolerance ||
            last.threads > first.threads + threads) {
            std::printf("GROWTH beyond the tolerance\n");
            status = status ? status : 4;
        }
    }
    keeper->Close();
    std::printf("soak %s\n", status ? "FAILED" : "passed");
    return status;
}
