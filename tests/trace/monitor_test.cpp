// iomonitor.exe with real writer processes (burst_writer.exe, two threads each) and a slow
// terminal as its output: every record is shown exactly once and in each thread's order, and
// Ctrl+C in the middle of a burst ends the monitor without leaving a writer waiting.
#include <windows.h>

#include <gtest/gtest.h>

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
