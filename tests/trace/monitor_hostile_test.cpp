// iomonitor.exe fed through the real trace pipe: generated broken contents (hostile_records.h)
// with a good record after every few of them. The monitor takes each within the writer's time
// limit, writes exactly one line for each, and shows every good record, in order.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "hostile_records.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

namespace {

constexpr long long kHostile = 5000;
constexpr long long kGoodEvery = 5;  // a good record after every fifth broken one
constexpr DWORD kWriteLimitMs = 10000;

std::wstring good_record(long long seq)
{
    return L"<Message><Method><Method_Enter MethodName=\"IHostile::Good\" Timestamp=\"1\" "
           L"AppName=\"monitor_hostile_test.exe\" ThreadID=\"1\" ProcessID=\"" +
           std::to_wstring(GetCurrentProcessId()) +
           L"\" Address=\"\" Source=\"VisaCom\" ParamCount=\"1\"/></Method><Parameters>"
           L"<Parameter Name=\"Seq\" InParam=\"True\" OutParam=\"False\" RetVal=\"False\" "
           L"ParamType=\"int32\"><Element Value=\"" +
           std::to_wstring(seq) + L"\"/></Parameter></Parameters></Message>";
}

std::string read_file(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MonitorHostileInput : public ::testing::Test {
protected:
    void TearDown() override
    {
        // A monitor that failed to end must not leave tracing on for later tests.
        status.set_tracing(false);
        status.set_flag(mrv::trace::status_monitor_at, 0);
        status.set_flag(mrv::trace::status_records_wanted_at, 0);
        DeleteFileW(output.c_str());
    }

    mrv::trace::trace_status& status = mrv::trace::shared_trace_status();
    std::wstring output;
};

}  // namespace

TEST_F(MonitorHostileInput, TakesEveryBrokenRecordAndGoesOnShowingGoodOnes)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    output = std::wstring(folder) + L"monitor_hostile_" + std::to_wstring(GetCurrentProcessId()) +
             L".txt";
    const long long good = kHostile / kGoodEvery;
    const long long total = kHostile + good;
    mrv::trace::trace_pipe* pipe = mrv::trace::process_trace_pipe();
    ASSERT_NE(nullptr, pipe);
    bench::child_process monitor(L"\"" + bench::program_directory() + L"iomonitor.exe\" --out \"" +
                                 output + L"\" --count " + std::to_wstring(total) +
                                 L" --seconds 120");
    ASSERT_TRUE(monitor.wait_until_watching(20000));

    const auto send = [&](const void* data, DWORD bytes, const std::string& what) {
        DWORD written = 0;
        const auto start = std::chrono::steady_clock::now();
        const int result = pipe->write(data, bytes, &written, kWriteLimitMs);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(mrv::trace::pipe_ok, result) << what << ": the monitor did not take it";
        EXPECT_LT(took, std::chrono::seconds(5)) << what;
        return result == mrv::trace::pipe_ok;
    };
    long long sent_good = 0;
    for (long long n = 0; n < kHostile; ++n) {
        const hostile::pipe_contents c = hostile::generate(n, true);
        if (!send(c.data.data(), c.bytes, fuzz::label(n) + " (" + c.shape + ")"))
            break;
        if ((n + 1) % kGoodEvery == 0) {
            const std::wstring record = good_record(sent_good);
            if (!send(record.c_str(), static_cast<DWORD>((record.size() + 1) * sizeof(wchar_t)),
                      "good record " + std::to_string(sent_good)))
                break;
            ++sent_good;
        }
    }
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(monitor.wait_for_exit(30000)) << "the monitor ends at its count";

    const std::string text = read_file(output);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(std::string::npos, end) << "the last line is ended";
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    EXPECT_EQ(static_cast<std::size_t>(total), lines.size()) << "one line per record";
    long long next_seq = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line.substr(0, 200);
        if (line.find(" IHostile::Good enter ") == std::string::npos)
            continue;
        EXPECT_NE(std::string::npos, line.find(" Seq=\"" + std::to_string(next_seq) + "\""))
            << line;
        ++next_seq;
    }
    EXPECT_EQ(good, next_seq) << "every good record shown, in order";
    std::printf("%lld broken and %lld good records through iomonitor.exe\n", kHostile, good);
}
