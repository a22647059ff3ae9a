// The text of trace records as the record builder makes it: attribute order, escaping, type
// names, value rendering, array limits and the error object's attributes.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "trace/trace_message.h"

using namespace mrv::trace;

namespace {

std::wstring ids()
{
    return L" ThreadID=\"" + std::to_wstring(GetCurrentThreadId()) + L"\" ProcessID=\"" +
           std::to_wstring(GetCurrentProcessId()) + L"\"";
}

// The text with the varying clock attribute (Timestamp or ElapsedNS) replaced by "T".
std::wstring without_clock(std::wstring text)
{
    for (const wchar_t* name : {L"Timestamp=\"", L"ElapsedNS=\""}) {
        const std::size_t at = text.find(name);
        if (at != std::wstring::npos) {
            const std::size_t begin = at + wcslen(name);
            text.replace(begin, text.find(L'"', begin) - begin, L"T");
        }
    }
    return text;
}

VARIANT of_type(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

std::wstring single_value(const VARIANT& v)
{
    MorvaneTraceMessage record(record_kind::enter, "I::M", "", "", 32, 0);
    record.AddParameter("p", true, false, false, v);
    const std::wstring text = record.build_text(S_OK);
    const std::size_t at = text.find(L"<Element ");
    return at == std::wstring::npos ? L"<dropped>" : text.substr(at, text.find(L"/>", at) + 2 - at);
}

}  // namespace

TEST(TraceRecord, EnterRecordWithoutArgumentsHasNoParameterBlock)
{
    MorvaneTraceMessage record(record_kind::enter, "IBaseMessage::Clear", "ASRL1::INSTR",
                               "client.exe", 32, 0);
    const std::wstring text = record.build_text(S_OK);
    EXPECT_EQ(L"<Message><Method><Method_Enter MethodName=\"IBaseMessage::Clear\" Timestamp=\"T\""
              L" AppName=\"client.exe\"" +
                  ids() +
                  L" Address=\"ASRL1::INSTR\" Source=\"VisaCom\" ParamCount=\"0\"/></Method>"
                  L"</Message>",
              without_clock(text));
    // The enter record's timestamp becomes its start time.
    EXPECT_NE(std::wstring::npos,
              text.find(L"Timestamp=\"" + std::to_wstring(record.GetStartTime())));
}

TEST(TraceRecord, ExitRecordListsOnlyOutArgumentsWithTheirValues)
{
    MorvaneTraceMessage record(record_kind::exit, "ISerial::get_DataBits", "A&B", "x<y>.exe", 32,
                               1000);
    VARIANT in = of_type(VT_I4);
    V_I4(&in) = 7;
    VARIANT flag = of_type(VT_BOOL);
    V_BOOL(&flag) = VARIANT_TRUE;
    record.AddParameter("count", true, false, false, in);
    record.AddParameter("*pVal", true, true, false, flag);
    EXPECT_EQ(1u, record.parameter_count());
    EXPECT_EQ(
        L"<Message><Method><Method_Exit MethodName=\"ISerial::get_DataBits\" ElapsedNS=\"T\""
        L" AppName=\"x&lt;y&gt;.exe\"" +
            ids() +
            L" HRESULT=\"0\" Address=\"A&amp;B\" Source=\"VisaCom\" ParamCount=\"1\"/>"
            L"</Method><Parameters><Parameter Name=\"*pVal\" InParam=\"True\" OutParam=\"True\""
            L" RetVal=\"False\" ParamType=\"bool\"><Element Value=\"True\"/></Parameter>"
            L"</Parameters></Message>",
        without_clock(record.build_text(S_OK)));
}

TEST(TraceRecord, ErrorRecordCarriesTheThreadsErrorObjectAndLeavesItThere)
{
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(L"Bad \"thing\" & more"));
    create->SetSource(const_cast<LPOLESTR>(L"MrvRS232"));
    create->SetHelpContext(1011);
    create->SetHelpFile(const_cast<LPOLESTR>(L"C:\\help.chm"));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    create->Release();
    SetErrorInfo(0, info);

    MorvaneTraceMessage record(record_kind::exit, "IMessage::Read", "ASRL1::INSTR", "a.exe", 32, 0);
    EXPECT_EQ(L"<Message><Method><Method_Error Description=\"Bad &quot;thing&quot; &amp; more\""
              L" ErrorSource=\"MrvRS232\" HelpContext=\"1011\" HelpFile=\"C:\\help.chm\""
              L" MethodName=\"IMessage::Read\" ElapsedNS=\"T\" AppName=\"a.exe\"" +
                  ids() +
                  L" HRESULT=\"-2147221483\" Address=\"ASRL1::INSTR\" Source=\"VisaCom\"/></Method>"
                  L"</Message>",
              without_clock(record.build_text(static_cast<HRESULT>(0x80040015))));

    IErrorInfo* after = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &after));
    EXPECT_EQ(info, after);
    after->Release();
    info->Release();
}

TEST(TraceRecord, ValuesAreRenderedAndEscaped)
{
    VARIANT text = of_type(VT_BSTR);
    V_BSTR(&text) = SysAllocString(L"a<b\"c");
    EXPECT_EQ(L"<Element Value=\"a&lt;b&quot;c\"/>", single_value(text));
    VariantClear(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = nullptr;
    EXPECT_EQ(L"<Element Value=\"\"/>", single_value(text));

    VARIANT hr = of_type(VT_HRESULT);
    V_ERROR(&hr) = static_cast<SCODE>(0x80040015);
    EXPECT_EQ(L"<Element Value=\"0x80040015\"/>", single_value(hr));
    VARIANT object = of_type(VT_UNKNOWN);
    V_UNKNOWN(&object) = reinterpret_cast<IUnknown*>(static_cast<ULONG_PTR>(0x12345000ABCull));
    EXPECT_EQ(L"<Element Value=\"0x45000abc\"/>", single_value(object));
    VARIANT number = of_type(VT_DATE);
    EXPECT_EQ(L"<dropped>", single_value(number)) << "a type outside the table is dropped";
    VARIANT real = of_type(VT_R4);
    V_R4(&real) = 1.5f;
    EXPECT_EQ(L"<Element Value=\"1.5\"/>", single_value(real));
    VARIANT off = of_type(VT_BOOL);
    V_BOOL(&off) = VARIANT_FALSE;
    EXPECT_EQ(L"<Element Value=\"False\"/>", single_value(off));
    VARIANT nested = of_type(VT_VARIANT);
    EXPECT_EQ(L"<Element Value=\"Undisplayable Value\"/>", single_value(nested));

    EXPECT_STREQ(L"UNRECOGNIZED", trace_type_name(VT_VARIANT));
    EXPECT_STREQ(L"ARRAY->uint32", trace_type_name(0x2400));
    EXPECT_STREQ(L"uint8", trace_type_name(VT_UI1));
}

TEST(TraceRecord, ByteArraysAreCutToTheArrayByteLimit)
{
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 100);
    for (unsigned i = 0; i < 100; ++i)
        static_cast<unsigned char*>(bytes->pvData)[i] = static_cast<unsigned char>(i + 0xA0);
    VARIANT v = of_type(0x2100);
    V_ARRAY(&v) = bytes;

    for (std::int32_t limit : {32, -1}) {
        MorvaneTraceMessage record(record_kind::enter, "IMessage::Write", "", "", limit, 0);
        record.AddParameter("**buf", true, false, false, v);
        const std::wstring text = record.build_text(S_OK);
        const std::size_t at = text.find(L"BinHexValue=\"") + 13;
        const std::wstring hex = text.substr(at, text.find(L'"', at) - at);
        EXPECT_EQ(limit < 0 ? 200u : 64u, hex.size());
        EXPECT_EQ(L"a0a1a2", hex.substr(0, 6));
        EXPECT_NE(std::wstring::npos, text.find(L"ParamType=\"ARRAY->uint8\""));
    }
    // 16-bit elements: 32 bytes are 16 elements.
    SAFEARRAY* words = SafeArrayCreateVector(VT_UI2, 0, 40);
    VARIANT w = of_type(0x2200);
    V_ARRAY(&w) = words;
    MorvaneTraceMessage record(record_kind::enter, "I::M", "", "", 32, 0);
    record.AddParameter("w", true, false, false, w);
    const std::wstring text = record.build_text(S_OK);
    std::size_t elements = 0;
    for (std::size_t at = text.find(L"<Element"); at != std::wstring::npos;
         at = text.find(L"<Element", at + 1))
        ++elements;
    EXPECT_EQ(16u, elements);
    SafeArrayDestroy(bytes);
    SafeArrayDestroy(words);
}
