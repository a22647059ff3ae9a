// The records of a session's calls as an I/O monitor receives them: enter and exit records of
// framed methods, Init traced from its first call, error records with the error object's text,
// the nested Writes of both WriteStrings, untraced calls, nothing while tracing is off, and the
// real iomonitor.exe showing a client's calls.
#include "session_client.h"
#include "trace_collector.h"

#include <fstream>
#include <sstream>

using namespace mrv;
using namespace mrv::test;

namespace {

// The record's kind and method, e.g. "Method_Enter IVisaSession::get_ProgID".
std::wstring head(const std::wstring& record)
{
    const std::size_t kind = record.find(L"<Method_") + 1;
    const std::size_t name = record.find(L"MethodName=\"") + 12;
    return record.substr(kind, record.find(L' ', kind) - kind) + L" " +
           record.substr(name, record.find(L'"', name) - name);
}

std::vector<std::wstring> heads(const std::vector<std::wstring>& records)
{
    std::vector<std::wstring> h;
    for (const auto& r : records)
        h.push_back(head(r));
    return h;
}

bool contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

class TraceSession : public ::testing::Test {
protected:
    com_apartment com;
};

}  // namespace

TEST_F(TraceSession, InitIsTracedAndMethodsWriteEnterAndExitRecords)
{
    trace_collector monitor;
    auto s = open_session(L"ASRL1::INSTR");
    ASSERT_TRUE(s);
    BSTR b = nullptr;
    ASSERT_HR(S_OK, s->get_ProgID(&b));
    SysFreeString(b);
    ASSERT_HR(S_OK, s->get_ResourceName(&b));  // untraced
    SysFreeString(b);

    const auto records = monitor.records();
    ASSERT_EQ((std::vector<std::wstring>{L"Method_Enter IVisaSession::Init",
                                         L"Method_Exit IVisaSession::Init",
                                         L"Method_Enter IVisaSession::get_ProgID",
                                         L"Method_Exit IVisaSession::get_ProgID"}),
              heads(records));
    EXPECT_TRUE(
        contains(records[0], L" Address=\"ASRL1::INSTR\" Source=\"VisaCom\" ParamCount=\"4\""))
        << records[0];
    EXPECT_TRUE(contains(records[0], L"<Parameter Name=\"Name\" InParam=\"True\" OutParam=\"False\""
                                     L" RetVal=\"False\" ParamType=\"string\"><Element"
                                     L" Value=\"ASRL1::INSTR\"/></Parameter>"))
        << records[0];
    EXPECT_TRUE(contains(records[1], L"HRESULT=\"0\"") &&
                contains(records[1], L"ParamCount=\"0\"/>"))
        << records[1];
    // The out-value at exit.
    EXPECT_TRUE(contains(records[3], L"ParamCount=\"1\"/></Method><Parameters><Parameter"
                                     L" Name=\"*pVal\" InParam=\"True\" OutParam=\"True\""
                                     L" RetVal=\"False\" ParamType=\"string\"><Element"
                                     L" Value=\"MorvaneRS232.RS232Svr\"/></Parameter>"))
        << records[3];
}

TEST_F(TraceSession, FailedInitWritesAnErrorRecordWithTheErrorObject)
{
    trace_collector monitor;
    auto s = create_session();
    bstr_arg name(L"ASRL9::INSTR"), options(L"");
    const HRESULT hr = s->Init(name, NO_LOCK, 2000, options);
    ASSERT_TRUE(FAILED(hr));
    const error_info e = last_error_info();
    ASSERT_TRUE(e.present) << "the record put the error object back";

    const auto records = monitor.records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(L"Method_Error IVisaSession::Init", head(records[1]));
    std::wostringstream expected;
    expected << L"<Message><Method><Method_Error Description=\""
             << std::wstring(e.description.begin(), e.description.end())
             << L"\" ErrorSource=\"MrvRS232\" HelpContext=\"" << e.help_context << L"\"";
    EXPECT_EQ(0u, records[1].find(expected.str())) << records[1];
    EXPECT_TRUE(contains(records[1], L"HRESULT=\"" + std::to_wstring(hr) + L"\""));
}

// The records of one WriteString call on `iface`: its enter and exit around those of its Write.
template <class Call>
std::vector<std::wstring> write_string_records(const std::wstring& iface, Call&& call)
{
    trace_collector monitor;
    call();
    auto records = monitor.records();
    EXPECT_EQ((std::vector<std::wstring>{L"Method_Enter " + iface + L"::WriteString",
                                         L"Method_Enter " + iface + L"::Write",
                                         L"Method_Exit " + iface + L"::Write",
                                         L"Method_Exit " + iface + L"::WriteString"}),
              heads(records));
    records.resize(4);
    return records;
}

TEST_F(TraceSession, BothWriteStringsEncloseTheRecordsOfTheirNestedWrite)
{
    auto s = open_session(L"ASRL1::INSTR");
    com_ptr<IMessage> io;
    com_ptr<IAsyncMessage> async;
    ASSERT_HR(S_OK, s->QueryInterface(IID_IMessage, io.put_void()));
    ASSERT_HR(S_OK, s->QueryInterface(IID_IAsyncMessage, async.put_void()));

    long written = 0;
    auto records = write_string_records(
        L"IMessage", [&] { EXPECT_HR(S_OK, io->WriteString(bstr_arg(L"*IDN?\n"), &written)); });
    EXPECT_TRUE(contains(records[1], L"ParamType=\"ARRAY->uint8\"><Element"
                                     L" BinHexValue=\"2a49444e3f0a"))
        << records[1];
    EXPECT_TRUE(contains(records[3], L"Name=\"*pRetCount\" InParam=\"True\" OutParam=\"True\""
                                     L" RetVal=\"False\" ParamType=\"int32\"><Element"
                                     L" Value=\"6\"/>"))
        << records[3];

    // The asynchronous one gives its Write the four bytes and a count of 4, not the array's five
    // elements, and both report the job.
    long job = 0;
    records = write_string_records(
        L"IAsyncMessage", [&] { EXPECT_HR(S_OK, async->WriteString(bstr_arg(L"ABCD"), &job)); });
    EXPECT_TRUE(contains(records[1], L"BinHexValue=\"41424344")) << records[1];
    EXPECT_TRUE(contains(records[1], L"Name=\"count\" InParam=\"True\" OutParam=\"False\""
                                     L" RetVal=\"False\" ParamType=\"int32\"><Element"
                                     L" Value=\"4\"/>"))
        << records[1];
    const std::wstring job_text = L"Value=\"" + std::to_wstring(job) + L"\"";
    EXPECT_TRUE(contains(records[2], job_text)) << records[2];
    EXPECT_TRUE(contains(records[3], job_text)) << records[3];
}

TEST_F(TraceSession, NoRecordsWhileTracingIsOffOrWithoutAnOpenSession)
{
    trace_collector monitor;
    auto fresh = create_session();
    EXPECT_HR(static_cast<HRESULT>(0x8004000E), fresh->Close());
    auto s = open_session(L"ASRL1::INSTR");
    monitor.set_tracing(false);
    BSTR b = nullptr;
    ASSERT_HR(S_OK, s->get_SessionType(&b));
    SysFreeString(b);
    EXPECT_EQ(2u, monitor.records().size()) << "only Init's records";
    monitor.set_tracing(true);
    EXPECT_HR(S_OK, s->Close());
    EXPECT_EQ(4u, monitor.records().size());
}

TEST_F(TraceSession, IoMonitorShowsAClientsCalls)
{
    auto s = open_session(L"ASRL1::INSTR");
    ASSERT_TRUE(s);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    const std::wstring out = dir + L"iomonitor_test_output.txt";
    DeleteFileW(out.c_str());
    // The monitor opens the existing status block without resetting it.
    auto& status = trace::shared_trace_status();
    status.start();
    status.set_array_byte_limit(48);
    std::wstring command = L"\"" + dir + L"iomonitor.exe\" --count 2 --seconds 60 --pid " +
                           std::to_wstring(GetCurrentProcessId()) + L" --out \"" + out + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    for (int i = 0; i < 200 && !(status.monitor_reads() && status.tracing_enabled()); ++i)
        Sleep(50);
    ASSERT_TRUE(status.tracing_enabled()) << "iomonitor did not switch tracing on";

    BSTR b = nullptr;
    ASSERT_HR(S_OK, s->get_ProgID(&b));
    SysFreeString(b);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(status.tracing_enabled()) << "iomonitor leaves tracing off";
    EXPECT_FALSE(status.monitor_reads());
    EXPECT_EQ(48, status.array_byte_limit());
    status.set_array_byte_limit(trace::kDefaultArrayByteLimit);

    std::ifstream file(out.c_str());
    std::string first, second;
    std::getline(file, first);
    std::getline(file, second);
    EXPECT_NE(std::string::npos, first.find("IVisaSession::get_ProgID enter [ASRL1::INSTR]"))
        << first;
    EXPECT_NE(std::string::npos, second.find("IVisaSession::get_ProgID exit 0x00000000")) << second;
    EXPECT_NE(std::string::npos, second.find("*pVal=\"MorvaneRS232.RS232Svr\"")) << second;
    file.close();
    DeleteFileW(out.c_str());
}
