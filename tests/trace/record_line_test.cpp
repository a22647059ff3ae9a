// The monitor's handling of records: the readable line keeps one call on one line whatever its
// values hold, a text that is not a whole trace record is noted as such, --xml writes the
// record's text byte for byte, and the queue between the monitor's two threads holds the reader
// back when it is full instead of dropping records.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "pipe_record.h"
#include "record_line.h"
#include "record_output.h"
#include "record_queue.h"

using namespace iomonitor;

namespace {

const std::wstring kRecord =
    L"<Message><Method><Method_Exit MethodName=\"IMessage::ReadString\" ElapsedNS=\"2000\""
    L" AppName=\"a.exe\" ThreadID=\"7\" ProcessID=\"42\" HRESULT=\"0\" Address=\"ASRL1::INSTR\""
    L" Source=\"VisaCom\" ParamCount=\"1\"/></Method><Parameters><Parameter Name=\"*pVal\""
    L" InParam=\"True\" OutParam=\"True\" RetVal=\"False\" ParamType=\"string\"><Element"
    L" Value=\"1.5&lt;V&gt;\r\n\t\x01"
    L"end\"/></Parameter></Parameters></Message>";

// What record_output writes for `record`, through a temporary file.
std::string output_of(const output_options& options, const taken_record& record)
{
    FILE* file = std::tmpfile();
    if (!file)
        return "(no temporary file)";
    std::string text;
    {
        record_output output(options, file);
        output.write(record);
        output.flush();
    }
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

}  // namespace

TEST(RecordLine, ControlCharactersInValuesAreEscapedSoTheCallStaysOneLine)
{
    const record_summary summary = summarize_record(kRecord);
    EXPECT_EQ(L"Method_Exit", summary.kind);
    EXPECT_EQ(L"pid=42 tid=7 a.exe IMessage::ReadString exit 0x00000000 (2 us) [ASRL1::INSTR]"
              L" *pVal=\"1.5<V>\\r\\n\\t\\x01end\"",
              summary.line);

    const std::string line = output_of({}, {kRecord, false, {}});
    EXPECT_EQ(line.size() - 2, line.find("\r\n")) << "one line, ended once: " << line;
    EXPECT_NE(std::string::npos, line.find("*pVal=\"1.5<V>\\r\\n\\t\\x01end\"")) << line;
}

TEST(RecordLine, WhatIsNotATraceRecordIsNotedWithTheStartOfItsText)
{
    EXPECT_EQ(L"unreadable record: <Message>\\nbroken",
              summarize_record(L"<Message>\nbroken").line);
    const record_summary other = summarize_record(L"<a><b><c MethodName=\"x\"/>");
    EXPECT_EQ(L"", other.kind) << "not a trace record";
    EXPECT_EQ(0u, other.line.find(L"unreadable record: "));
    const std::wstring long_text(1500, L'<');
    EXPECT_EQ(L"unreadable record: " + long_text.substr(0, 1000) + L"... (1500 characters)",
              summarize_record(long_text).line);
}

TEST(RecordLine, ARecordWithoutItsNulIsMarkedCut)
{
    // Three and a half characters, no NUL; then the same with its NUL.
    const wchar_t text[] = L"<Mes";
    const taken_record cut = record_from_pipe(text, 7, false);
    EXPECT_EQ(L"<Me", cut.text);
    EXPECT_TRUE(cut.cut);
    const taken_record whole = record_from_pipe(text, sizeof text, false);
    EXPECT_EQ(L"<Mes", whole.text);
    EXPECT_FALSE(whole.cut);
    EXPECT_TRUE(record_from_pipe(text, sizeof text, true).cut) << "larger than the buffer";
    EXPECT_EQ(" [cut]\r\n", output_of({}, cut).substr(output_of({}, cut).size() - 8));
}

TEST(RecordLine, XmlOutputIsTheRecordTextByteForByte)
{
    output_options xml;
    xml.xml = true;
    const std::string expected = [] {
        std::string utf8;
        for (wchar_t c : kRecord)
            utf8 += static_cast<char>(c);  // the record is ASCII
        return utf8 + "\r\n";
    }();
    EXPECT_EQ(expected, output_of(xml, {kRecord, false, {}}));
    EXPECT_EQ(expected.substr(0, expected.size() - 2) + " [cut]\r\n",
              output_of(xml, {kRecord, true, {}}));
}

TEST(RecordQueue, AFullQueueHoldsTheReaderBackAndDropsNothing)
{
    record_queue queue(2, 1 << 20, 2);
    queue.push({L"1", false, {}});
    queue.push({L"2", false, {}});
    std::atomic<bool> pushed{false};
    std::thread reader([&] {
        queue.push({L"3", false, {}});
        pushed = true;
    });
    Sleep(200);
    EXPECT_FALSE(pushed) << "the third record waits for room";
    std::vector<taken_record> batch;
    ASSERT_TRUE(queue.take_all(batch, 0));
    ASSERT_EQ(2u, batch.size());
    EXPECT_EQ(L"1", batch[0].text);
    reader.join();
    ASSERT_TRUE(queue.take_all(batch, 5000));
    ASSERT_EQ(1u, batch.size());
    EXPECT_EQ(L"3", batch[0].text);

    // Closed: what is queued is still taken, then the writer thread is told to end.
    queue.push({L"4", false, {}});
    queue.close();
    EXPECT_TRUE(queue.take_all(batch, INFINITE));
    EXPECT_EQ(1u, batch.size());
    EXPECT_FALSE(queue.take_all(batch, INFINITE));
}
