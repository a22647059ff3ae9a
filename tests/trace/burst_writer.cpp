// burst_writer.exe: a traced program in miniature for the monitor tests. Once an I/O monitor
// reads, two threads each send enter records of "ITest::Burst" through the trace pipe, with a
// parameter Seq counting 0, 1, 2, ... per thread.
//
//   burst_writer N           N records per thread, then exit (0)
//   burst_writer --off [MS]  records until tracing is switched off, then exit (0)
//
// Exit code 2: no monitor started reading within 20 s; 4: a record's write took MS (default 450)
// or more. With the default, only a writer left waiting for a monitor until tracing went off (the
// writer's 500 ms step) exceeds it.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cwchar>
#include <thread>

#include "trace/trace_message.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

using namespace mrv::trace;

namespace {

void send_record(long seq)
{
    MorvaneTraceMessage record(record_kind::enter, "ITest::Burst", "", "burst_writer.exe",
                               kDefaultArrayByteLimit, 0);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = seq;
    record.AddParameter("Seq", true, false, false, value);
    record.Send(S_OK);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 3)
        return 1;
    const bool until_off = std::wcscmp(argv[1], L"--off") == 0;
    const long count = until_off ? -1 : std::wcstol(argv[1], nullptr, 10);
    const long longest_ms = argc == 3 ? std::wcstol(argv[2], nullptr, 10) : 450;
    trace_status& status = shared_trace_status();
    if (!process_trace_pipe())
        return 3;
    for (int i = 0; !(status.tracing_enabled() && status.monitor_reads()); ++i) {
        if (i == 1000)
            return 2;
        Sleep(20);
    }
    std::atomic<bool> waited_long{false};
    const auto burst = [&] {
        using clock = std::chrono::steady_clock;
        for (long seq = 0; until_off ? status.tracing_enabled() : seq < count; ++seq) {
            const auto start = clock::now();
            send_record(seq);
            if (clock::now() - start >= std::chrono::milliseconds(longest_ms))
                waited_long = true;
        }
    };
    std::thread second(burst);
    burst();
    second.join();
    return waited_long ? 4 : 0;
}
