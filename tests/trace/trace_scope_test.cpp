// The trace scope of one call: the first traced call of the process makes the trace pipe, no
// record is made while nobody watches, and the records that are sent carry the in-values as they
// were at entry and the out-values as they are at exit, also when tracing is switched on in the
// middle of a call.
#include <gtest/gtest.h>

#include "trace/method_trace_scope.h"
#include "trace/nko_client.h"
#include "trace_collector.h"
#include "trace/trace_layer.h"
#include "com/unique_any.h"

using namespace mrv;
using namespace mrv::test;

namespace {

// A registered layer that counts the records it is asked for.
class counting_layer final : public trace::trace_layer {
public:
    counting_layer() { Register("ASRL1::INSTR"); }

    std::unique_ptr<trace::CTraceEncoder> CreateEnterMessage(const char* interface_name,
                                                             const char* method_name) override
    {
        ++made;
        return trace_layer::CreateEnterMessage(interface_name, method_name);
    }
    std::unique_ptr<trace::CTraceEncoder> CreateExitMessage(const char* interface_name,
                                                            const char* method_name,
                                                            std::int64_t start_time) override
    {
        ++made;
        return trace_layer::CreateExitMessage(interface_name, method_name, start_time);
    }

    int made = 0;
};

bool contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

}  // namespace

// First in this file, so that it runs in a process that has made no trace pipe yet.
TEST(TraceScope, FirstTracedCallMakesThePipeAndTheStatusStaysOpenAfterTheLastSession)
{
    ASSERT_EQ(nullptr, trace::existing_trace_pipe()) << "the process has traced nothing yet";
    {
        counting_layer layer;
        long value = 0;
        MethodTraceScope scope(layer, "IMessage", "Get", {out_param("*pVal", VT_I4, &value)});
        EXPECT_NE(nullptr, trace::existing_trace_pipe()) << "made with nobody watching";
        EXPECT_EQ(0, layer.made) << "no record without a monitor";
        // Other processes find the pipe's objects by name.
        const unique_handle data(
            OpenEventA(SYNCHRONIZE, FALSE,
                       nko_global_name("IOTrace_Event_Pipe_011030_t_writeToIoWatch").c_str()));
        EXPECT_TRUE(data);
    }
    EXPECT_EQ(0, trace::registered_trace_layers());
    EXPECT_TRUE(trace::shared_trace_status().is_open())
        << "the next session must not open the shared trace status again";
}

TEST(TraceScope, NoRecordIsMadeWhileNobodyWatches)
{
    counting_layer layer;
    ASSERT_FALSE(trace::shared_trace_status().tracing_enabled());
    long count = 5, result = 0;
    {
        MethodTraceScope scope(
            layer, "IMessage", "Get",
            {in_param("count", VT_I4, count), out_param("*pVal", VT_I4, &result)});
        result = 6;
        scope.set_result(S_OK);
    }
    EXPECT_EQ(0, layer.made);
}

TEST(TraceScope, RecordsCarryInValuesAtEntryAndOutValuesAtExit)
{
    counting_layer layer;
    long count = 5, result = 1;
    {
        trace_collector monitor;
        {
            MethodTraceScope scope(
                layer, "IMessage", "Get",
                {in_param("count", VT_I4, count), out_param("*pVal", VT_I4, &result)});
            count = 50;
            result = 7;
        }
        const auto records = monitor.records();
        ASSERT_EQ(2u, records.size());
        EXPECT_TRUE(contains(records[0], L"Method_Enter MethodName=\"IMessage::Get\""))
            << records[0];
        EXPECT_TRUE(contains(records[0], L"Name=\"count\"")) << records[0];
        EXPECT_TRUE(contains(records[0], L"<Element Value=\"5\"/>")) << records[0];
        EXPECT_TRUE(contains(records[0], L"<Element Value=\"1\"/>")) << records[0];
        EXPECT_TRUE(contains(records[1], L"Method_Exit MethodName=\"IMessage::Get\""))
            << records[1];
        EXPECT_FALSE(contains(records[1], L"Name=\"count\"")) << records[1];
        EXPECT_TRUE(contains(records[1], L"<Element Value=\"7\"/>")) << records[1];
    }

    // Switched on between a call's entry and its exit: only the exit record, with the out-value
    // as it is at exit.
    layer.made = 0;
    MethodTraceScope scope(layer, "IMessage", "Get",
                           {in_param("count", VT_I4, count), out_param("*pVal", VT_I4, &result)});
    EXPECT_EQ(0, layer.made);
    trace_collector monitor;
    result = 9;
    scope.finish();
    const auto records = monitor.records();
    ASSERT_EQ(1u, records.size());
    EXPECT_TRUE(contains(records[0], L"Method_Exit MethodName=\"IMessage::Get\"")) << records[0];
    EXPECT_TRUE(contains(records[0], L"<Element Value=\"9\"/>")) << records[0];
    EXPECT_EQ(1, layer.made);
}
