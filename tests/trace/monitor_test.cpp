// iomonitor.exe with real writer processes (burst_writer.exe, two threads each) and a slow
// terminal as its output: every record is shown exactly once and in each thread's order, and
// Ctrl+C in the middle of a burst ends the monitor without leaving a writer waiting; nor does
// killing it outright, after which its guardian switches tracing off.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "slow_terminal.h"
#include "trace/trace_status.h"

namespace {

constexpr DWORD kTerminalPauseMs = 2;

std::wstring quoted(const std::wstring& exe)
{
    return L"\"" + bench::program_directory() + exe + L"\"";
}

// (pid, tid) -> the Seq values of its records, in the order shown.
using sequences = std::map<std::pair<std::string, std::string>, std::vector<long>>;

// Lines look like "12:00:00.000 pid=12 tid=34 burst_writer.exe ITest::Burst enter Seq="5"".
sequences parse(const std::string& output)
{
    sequences seen;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto field = [&](const char* name) {
            const std::size_t at = line.find(name);
            if (at == std::string::npos)
                return std::string();
            const std::size_t start = at + std::strlen(name);
            return line.substr(start, line.find_first_of(" \"\r", start) - start);
        };
        seen[{field("pid="), field("tid=")}].push_back(std::atol(field("Seq=\"").c_str()));
    }
    return seen;
}

// The guardians of a monitor: the iomonitor.exe processes it started.
std::vector<DWORD> guardians_of(DWORD monitor)
{
    std::vector<DWORD> found;
    const mrv::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == monitor &&
            _wcsicmp(entry.szExeFile, L"iomonitor.exe") == 0)
            found.push_back(entry.th32ProcessID);
    return found;
}

// Polls `condition` every 20 ms for up to `timeout_ms`.
template <class Condition>
bool eventually(Condition condition, DWORD timeout_ms)
{
    for (DWORD waited = 0;; waited += 20) {
        if (condition())
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(20);
    }
}

class MonitorProcess : public ::testing::Test {
protected:
    void TearDown() override
    {
        // A monitor that failed to end must not leave tracing on for later tests.
        status.set_tracing(false);
        status.set_flag(mrv::trace::status_monitor_at, 0);
        status.set_flag(mrv::trace::status_records_wanted_at, 0);
    }

    mrv::trace::trace_status& status = mrv::trace::shared_trace_status();
};

}  // namespace

TEST_F(MonitorProcess, EveryRecordOfTwoProcessesIsShownOnceInEachThreadsOrder)
{
    constexpr long kPerThread = 150;
    bench::slow_terminal terminal(kTerminalPauseMs);
    ASSERT_TRUE(terminal.ready());
    bench::child_process monitor(quoted(L"iomonitor.exe") + L" --method ITest::Burst --count " +
                                     std::to_wstring(4 * kPerThread) + L" --seconds 60",
                                 terminal.client());
    terminal.close_client();
    ASSERT_TRUE(monitor.wait_until_watching(20000));
    const std::wstring writer = quoted(L"burst_writer.exe") + L" " + std::to_wstring(kPerThread);
    bench::child_process first(writer), second(writer);
    EXPECT_TRUE(first.wait_for_exit(60000));
    EXPECT_TRUE(second.wait_for_exit(60000));
    EXPECT_TRUE(monitor.wait_for_exit(30000));

    const sequences seen = parse(terminal.finish());
    ASSERT_EQ(4u, seen.size()) << "two processes with two threads each";
    std::vector<long> expected;
    for (long i = 0; i < kPerThread; ++i)
        expected.push_back(i);
    for (const auto& [writer_thread, seqs] : seen)
        EXPECT_EQ(expected, seqs) << "pid " << writer_thread.first << " tid "
                                  << writer_thread.second;
    EXPECT_GT(kPerThread * 4, terminal.writes()) << "lines reach the terminal in batches";
}

TEST_F(MonitorProcess, CtrlCDuringABurstLeavesNoWriterWaiting)
{
    bench::slow_terminal terminal(kTerminalPauseMs);
    ASSERT_TRUE(terminal.ready());
    // A console of its own, so that Ctrl+C reaches the monitor only.
    bench::child_process monitor(quoted(L"iomonitor.exe") + L" --method ITest::Burst --seconds 20",
                                 terminal.client(), CREATE_NEW_CONSOLE);
    terminal.close_client();
    ASSERT_TRUE(monitor.wait_until_watching(20000));
    const std::wstring writer = quoted(L"burst_writer.exe") + L" --off";
    bench::child_process first(writer), second(writer);
    // Ctrl+C once both writers are in their burst.
    const auto shown = [&](const bench::child_process& p) {
        return terminal.text().find("pid=" + std::to_string(p.id()) + " ") != std::string::npos;
    };
    for (int i = 0; i < 1000 && !(shown(first) && shown(second)); ++i)
        Sleep(20);
    ASSERT_TRUE(shown(first) && shown(second)) << "the monitor shows both bursts";
    FreeConsole();
    ASSERT_TRUE(AttachConsole(monitor.id())) << GetLastError();
    SetConsoleCtrlHandler(nullptr, TRUE);  // this process ignores the Ctrl+C it sends
    const BOOL sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    const DWORD error = GetLastError();
    FreeConsole();
    ASSERT_TRUE(sent) << error;
    ASSERT_TRUE(monitor.wait_for_exit(10000));
    EXPECT_FALSE(status.tracing_enabled()) << "the monitor switched tracing off";
    // Each writer checks that none of its records waited until tracing went off.
    EXPECT_TRUE(first.wait_for_exit(10000)) << "a writer was left waiting";
    EXPECT_TRUE(second.wait_for_exit(10000)) << "a writer was left waiting";
    // Every record the monitor took was written out whole.
    const std::string output = terminal.finish();
    EXPECT_FALSE(output.empty());
    EXPECT_EQ("\r\n", output.substr(output.size() - 2));
}

// Killed outright while the writers' calls wait for it: its guardian switches tracing off and
// clears its flags, the calls in flight return within 1 s, later calls are not traced, and a new
// monitor starts without --force.
TEST_F(MonitorProcess, KilledMonitorsGuardianLetsTheWritersGoOn)
{
    bench::slow_terminal terminal(kTerminalPauseMs);
    ASSERT_TRUE(terminal.ready());
    bench::child_process monitor(quoted(L"iomonitor.exe") + L" --method ITest::Burst --seconds 60",
                                 terminal.client());
    terminal.close_client();
    ASSERT_TRUE(monitor.wait_until_watching(20000));
    ASSERT_TRUE(eventually([&] { return !guardians_of(monitor.id()).empty(); }, 10000))
        << "the monitor started its guardian";
    // Each writer fails when one of its calls took 1 s or more.
    const std::wstring writer = quoted(L"burst_writer.exe") + L" --off 1000";
    bench::child_process first(writer), second(writer);
    const auto shown = [&](const bench::child_process& p) {
        return terminal.text().find("pid=" + std::to_string(p.id()) + " ") != std::string::npos;
    };
    ASSERT_TRUE(eventually([&] { return shown(first) && shown(second); }, 20000))
        << "the monitor shows both bursts";

    const ULONGLONG killed_at = GetTickCount64();
    ASSERT_TRUE(monitor.kill());
    EXPECT_TRUE(first.wait_for_exit(10000)) << "a writer was left waiting, or waited 1 s or more";
    EXPECT_TRUE(second.wait_for_exit(10000)) << "a writer was left waiting, or waited 1 s or more";
    const ULONGLONG went_on_ms = GetTickCount64() - killed_at;
    std::printf("writers ended %llu ms after the monitor was killed\n", went_on_ms);
    EXPECT_LT(went_on_ms, 2000u);
    EXPECT_FALSE(status.tracing_enabled());
    EXPECT_FALSE(status.monitor_reads());
    EXPECT_FALSE(status.records_wanted()) << "later calls would still build records";
    EXPECT_TRUE(eventually([&] { return guardians_of(monitor.id()).empty(); }, 5000))
        << "the guardian ended after its work";

    bench::child_process next(quoted(L"iomonitor.exe") + L" --seconds 0");
    EXPECT_TRUE(next.wait_for_exit(20000)) << "a new monitor found the old one's flag cleared";
}

// A monitor that ends by itself switches tracing off; its guardian then ends with it.
TEST_F(MonitorProcess, CleanExitLeavesNoGuardianBehind)
{
    bench::child_process monitor(quoted(L"iomonitor.exe") + L" --seconds 4");
    ASSERT_TRUE(monitor.wait_until_watching(20000));
    ASSERT_TRUE(eventually([&] { return !guardians_of(monitor.id()).empty(); }, 10000))
        << "the monitor started its guardian";
    ASSERT_TRUE(monitor.wait_for_exit(20000));
    EXPECT_FALSE(status.tracing_enabled());
    EXPECT_TRUE(eventually([&] { return guardians_of(monitor.id()).empty(); }, 5000))
        << "a guardian outlived its monitor";
}
