// The monitor's reading of the trace pipe, in-process, with generated contents (see
// hostile_records.h): whatever a writer leaves in the pipe becomes exactly one output line,
// quickly; a well-formed record shows its call, anything else is noted as unreadable or cut.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "hostile_records.h"
#include "pipe_record.h"
#include "record_line.h"
#include "record_output.h"

using namespace iomonitor;

namespace {

constexpr long long kCases = 80000;

bool has_line_break_or_control(const std::wstring& line)
{
    for (wchar_t c : line)
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029)
            return true;
    return false;
}

// Lines the output file holds, each ended by CR LF; -1 when a CR or LF stands anywhere else.
long output_lines(FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    long lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\n' || (c == '\r' && std::fgetc(file) != '\n'))
            return -1;
        if (c == '\r')
            ++lines;
    }
    return lines;
}

}  // namespace

TEST(MonitorInput, EveryContentsOfThePipeBecomesOneLineAndWellFormedRecordsShowTheirCall)
{
    FILE* file = std::tmpfile();
    ASSERT_NE(nullptr, file);
    std::vector<wchar_t> buffer(mrv::trace::kPipeCapacity / sizeof(wchar_t) + 1);
    long written = 0;
    auto slowest = std::chrono::steady_clock::duration::zero();
    long long slowest_case = -1;
    {
        record_output output({}, file);
        for (long long n = 0; n < kCases; ++n) {
            if (!fuzz::selected(n))
                continue;
            const hostile::pipe_contents c = hostile::generate(n, true);
            SCOPED_TRACE(fuzz::label(n) + " (" + c.shape + ")");
            // As the pipe holds it: a writer keeps at most the capacity.
            const DWORD bytes =
                c.bytes < mrv::trace::kPipeCapacity ? c.bytes : mrv::trace::kPipeCapacity;
            std::memcpy(buffer.data(), c.data.data(), bytes);
            const auto start = std::chrono::steady_clock::now();
            const taken_record record = record_from_pipe(buffer.data(), bytes, false);
            const record_summary summary = summarize_record(record.text);
            ASSERT_TRUE(output.write(record));
            const auto took = std::chrono::steady_clock::now() - start;
            if (took > slowest)
                slowest = took, slowest_case = n;

            const std::wstring_view held(c.data.data(), bytes / sizeof(wchar_t));
            const std::size_t nul = held.find(L'\0');
            EXPECT_EQ(held.substr(0, nul), record.text);
            EXPECT_EQ(nul == std::wstring_view::npos, record.cut) << "no NUL means cut";
            EXPECT_FALSE(has_line_break_or_control(summary.line));
            if (c.well_formed) {
                EXPECT_EQ(c.kind, summary.kind);
                EXPECT_EQ(c.method, summary.method);
                EXPECT_EQ(c.process_id, summary.process_id);
                for (const std::wstring& text : c.shown)
                    EXPECT_NE(std::wstring::npos, summary.line.find(text))
                        << "missing: " << testing::PrintToString(text);
            } else if (summary.kind.empty()) {
                EXPECT_EQ(0u, summary.line.find(L"unreadable record: "));
                EXPECT_GT(19u + 1000u * 6u + 40u, summary.line.size()) << "the note is bounded";
            }
            if (HasFailure())
                break;
            ++written;
        }
        output.flush();
        EXPECT_EQ(written, output.shown());
    }
    EXPECT_EQ(written, output_lines(file)) << "one CR LF per record and no other line break";
    std::fclose(file);
    std::printf("%ld contents of the pipe read; slowest %lld us (case %lld)\n", written,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(slowest).count()),
                slowest_case);
    EXPECT_LT(slowest, std::chrono::seconds(1)) << fuzz::label(slowest_case);
}
