// Message I/O of the serial session as a COM client sees it: the byte and text transfers with
// their completion codes, time-outs and argument errors, and the IBaseMessage attributes and bus
// operations as the VISA library received them.
#include "process_counts.h"
#include "session_client.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kTermChar = 0x00040005;  // VI_SUCCESS_TERM_CHAR
constexpr HRESULT kMaxCount = 0x00040006;  // VI_SUCCESS_MAX_CNT
constexpr HRESULT kTimeout = static_cast<HRESULT>(0x80040015);
constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80040067);

using set_attribute_fn = ViStatus(_VI_FUNCH*)(ViObject, ViAttr, ViAttrState);

// A session on a port, its IMessage, and the VISA session the server opened for it.
class MessageIo : public ::testing::Test {
protected:
    void open(const wchar_t* resource)
    {
        session = open_session(resource);
        ASSERT_TRUE(session);
        message = session.as<IMessage>(IID_IMessage);
        ASSERT_TRUE(message);
        visa = std::make_unique<simvisa>();
        ASSERT_TRUE(visa->loaded());
        // The server's VISA session, as the library logs it.
        visa->clear_log();
        BYTE c = 0;
        ASSERT_HR(S_OK, message->get_TerminationCharacter(&c));
        const std::string log = visa->log();
        const auto at = log.find("(vi=");
        ASSERT_NE(std::string::npos, at) << log;
        vi = static_cast<ViSession>(std::strtoul(log.c_str() + at + 4, nullptr, 10));
        visa->clear_log();
    }
    // Bytes that arrive from the device.
    void device_sends(const std::string& bytes)
    {
        auto send = visa->get<simvisa_device_send_fn>("simvisa_device_send");
        ASSERT_EQ(VI_SUCCESS, send(vi, bytes.data(), static_cast<ViUInt32>(bytes.size()), 0));
    }
    // Sets an attribute on the server's VISA session behind its back.
    void visa_set(ViAttr attribute, ViAttrState value)
    {
        auto set = visa->get<set_attribute_fn>("viSetAttribute");
        ASSERT_EQ(VI_SUCCESS, set(vi, attribute, value));
    }
    static std::string bytes_of(SAFEARRAY* array)
    {
        LONG lower = -1, upper = -1;
        EXPECT_EQ(1u, SafeArrayGetDim(array));
        SafeArrayGetLBound(array, 1, &lower);
        SafeArrayGetUBound(array, 1, &upper);
        EXPECT_EQ(0, lower);
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        std::string s(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower + 1));
        SafeArrayUnaccessData(array);
        SafeArrayDestroy(array);
        return s;
    }
    static SAFEARRAY* byte_array(const std::string& bytes)
    {
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        void* data = nullptr;
        SafeArrayAccessData(a, &data);
        memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(a);
        return a;
    }
    static void expect_error(UINT help_context, const IID& iid, const std::string& description = {})
    {
        auto e = last_error_info();
        ASSERT_TRUE(e.present);
        EXPECT_EQ(help_context, e.help_context);
        EXPECT_TRUE(IsEqualGUID(iid, e.guid));
        if (!description.empty()) {
            EXPECT_EQ(description, e.description);
        }
    }

    com_apartment com;
    com_ptr<IVisaSession> session;
    com_ptr<IMessage> message;
    std::unique_ptr<simvisa> visa;  // made once the server has loaded the library
    ViSession vi = 0;
};

}  // namespace

TEST_F(MessageIo, ReadsPassCompletionCodesOn)
{
    open(L"ASRL3::INSTR");
    visa_set(VI_ATTR_ASRL_END_IN, VI_ASRL_END_NONE);
    device_sends(std::string("ABCD\0EF", 7) + "Gxyz");

    // The count reached: VI_SUCCESS_MAX_CNT as a success HRESULT, the bytes in a [0, n) array.
    SAFEARRAY* buf = nullptr;
    ASSERT_HR(kMaxCount, message->Read(3, &buf));
    EXPECT_EQ("ABC", bytes_of(buf));
    EXPECT_EQ(1u, visa->count("viRead(")) << "one VISA call, no chunks";

    // The termination character: kept in the text, and the text ends at its first zero byte.
    ASSERT_HR(S_OK, message->put_TerminationCharacter('G'));
    ASSERT_HR(S_OK, message->put_TerminationCharacterEnabled(VARIANT_TRUE));
    BSTR text = nullptr;
    ASSERT_HR(kTermChar, message->ReadString(100, &text));
    EXPECT_EQ("D", take(text));
    device_sends("12G");
    ASSERT_HR(kTermChar, message->ReadString(100, &text));
    EXPECT_EQ("xyz12G", take(text));
    EXPECT_EQ(3u, visa->count("viRead(")) << "ReadString reads through one nested Read";
}

TEST_F(MessageIo, LargeReadsOfOneSizeEachGetTheirOwnBytesAndLeaveNoMemoryBehind)
{
    // From the second read of a size on, the array's data is a block prepared beforehand by
    // another thread: each still holds exactly its own read, and is freed by SafeArrayDestroy.
    open(L"ASRL3::INSTR");
    visa_set(VI_ATTR_ASRL_END_IN, VI_ASRL_END_NONE);
    constexpr long size = 512 * 1024;
    std::size_t baseline = 0;
    for (int round = 0; round < 40; ++round) {
        std::string sent(size, '\0');
        for (long i = 0; i < size; ++i)
            sent[i] = static_cast<char>('a' + (i + round) % 26);
        device_sends(sent);
        SAFEARRAY* buf = nullptr;
        ASSERT_HR(kMaxCount, message->Read(size, &buf));
        VARTYPE type = VT_EMPTY;
        EXPECT_HR(S_OK, SafeArrayGetVartype(buf, &type));
        EXPECT_EQ(VT_UI1, type);
        EXPECT_EQ(1u, SafeArrayGetElemsize(buf));
        ASSERT_EQ(sent, bytes_of(buf)) << "round " << round;
        Sleep(5);  // time for the next block to be prepared
        if (round == 10)
            baseline = private_bytes();
    }
    // A block left behind by every read would add about 15 MiB.
    EXPECT_LT(private_bytes(), baseline + 8 * size);
}

TEST_F(MessageIo, TimeOutAndBadCountsLeaveTheSessionOpen)
{
    open(L"ASRL3::INSTR");
    visa_set(VI_ATTR_TMO_VALUE, 50);

    auto* const untouched = reinterpret_cast<SAFEARRAY*>(0x1234);
    SAFEARRAY* buf = untouched;
    clear_error_info();
    EXPECT_HR(kTimeout, message->Read(10, &buf));
    EXPECT_EQ(untouched, buf);
    expect_error(0xBFFF0015u, IID_IMessage);

    // ReadString returns the nested Read's failure with its error object.
    BSTR text = nullptr;
    EXPECT_HR(kTimeout, message->ReadString(10, &text));
    EXPECT_EQ(nullptr, text);
    expect_error(0xBFFF0015u, IID_IMessage);

    // Counts below 1 read nothing and post no error object.
    visa->clear_log();
    EXPECT_HR(E_INVALIDARG, message->Read(0, &buf));
    EXPECT_HR(E_INVALIDARG, message->ReadString(-1, &text));
    EXPECT_FALSE(last_error_info().present);
    EXPECT_EQ(0u, visa->count("viRead(")) << visa->log();

    // Still open: the device's data is read after the failures.
    device_sends("ok\n");
    ASSERT_HR(S_OK, message->ReadString(10, &text));
    EXPECT_EQ("ok\n", take(text));
}

TEST_F(MessageIo, TextQueryReachesTheInstrumentAsIs)
{
    open(L"ASRL1::INSTR");
    bstr_arg query(L"*IDN?\n");
    long written = -1;
    ASSERT_HR(S_OK, message->WriteString(query, &written));
    EXPECT_EQ(6, written);
    EXPECT_EQ(1u, visa->count("viWrite(")) << visa->log();
    EXPECT_EQ(1u, visa->count(R"(buf="*IDN?\n",cnt=6,)")) << "exactly L bytes, no zero\n"
                                                          << visa->log();

    BSTR answer = nullptr;
    ASSERT_HR(S_OK, message->ReadString(256, &answer));
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", take(answer));

    // Empty and null texts write nothing and post no error object.
    visa->clear_log();
    clear_error_info();
    bstr_arg empty(L"");
    EXPECT_HR(E_INVALIDARG, message->WriteString(empty, &written));
    EXPECT_HR(E_INVALIDARG, message->WriteString(nullptr, &written));
    EXPECT_FALSE(last_error_info().present);
    EXPECT_EQ(0u, visa->count("viWrite("));
}

TEST_F(MessageIo, WriteStringRefusesCharactersWithoutOneByteForm)
{
    open(L"ASRL3::INSTR");
    if (GetACP() == CP_UTF8)
        GTEST_SKIP() << "the ANSI code page has a form for every character";
    bstr_arg text(L"ab\x4E2D"
                  L"cd");
    long written = -1;
    EXPECT_HR(E_INVALIDARG, message->WriteString(text, &written));
    expect_error(1016, IID_IMessage, "The Write string had a bad character at position 2.");
    EXPECT_EQ(0u, visa->count("viWrite("));
}

TEST_F(MessageIo, WriteChecksArrayShapeAndCount)
{
    open(L"ASRL3::INSTR");
    SAFEARRAY* three = byte_array("xyz");
    long written = -1;

    // Part of an array: the first count bytes, the count the library reports.
    ASSERT_HR(S_OK, message->Write(&three, 2, &written));
    EXPECT_EQ(2, written);
    EXPECT_EQ(1u, visa->count(R"(buf="xy",cnt=2,)")) << visa->log();
    visa->clear_log();

    const auto array_too_small = "The Array size was inadequate or multidimensional";
    EXPECT_HR(E_INVALIDARG, message->Write(&three, 4, &written));
    expect_error(1008, IID_IMessage, array_too_small);
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SAFEARRAY* square = SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_HR(E_INVALIDARG, message->Write(&square, 1, &written));
    expect_error(1008, IID_IMessage, array_too_small);
    SafeArrayDestroy(square);
    SAFEARRAY* none = nullptr;
    EXPECT_HR(E_INVALIDARG, message->Write(&none, 1, &written));
    expect_error(1008, IID_IMessage, array_too_small);

    EXPECT_HR(E_INVALIDARG, message->Write(&three, 0, &written));
    expect_error(1010, IID_IMessage, "The Write method was called with a bad Count parameter.");
    clear_error_info();
    EXPECT_HR(E_UNEXPECTED, message->Write(&three, -1, &written));
    EXPECT_FALSE(last_error_info().present);
    EXPECT_EQ(0u, visa->count("viWrite(")) << visa->log();
    SafeArrayDestroy(three);
}

TEST_F(MessageIo, BaseMessageAttributesAsVisaReceivesThem)
{
    open(L"ASRL1::INSTR");
    const auto set_line = [&](const char* attr, const char* value) {
        return visa->count((std::string("attrName=") + attr + ",attrValue=" + value + ")").c_str());
    };
    VARIANT_BOOL flag = 0;
    // Only VARIANT_TRUE enables.
    ASSERT_HR(S_OK, message->put_SendEndEnabled(1));
    EXPECT_EQ(1u, set_line("0x3FFF0016", "0")) << visa->log();
    ASSERT_HR(S_OK, message->get_SendEndEnabled(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    ASSERT_HR(S_OK, message->put_TerminationCharacterEnabled(VARIANT_TRUE));
    EXPECT_EQ(1u, set_line("0x3FFF0038", "1")) << visa->log();
    ASSERT_HR(S_OK, message->get_TerminationCharacterEnabled(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);

    // Bytes zero-extended; the protocol's low 16 bits.
    BYTE c = 0;
    ASSERT_HR(S_OK, message->put_TerminationCharacter(0xFE));
    EXPECT_EQ(1u, set_line("0x3FFF0018", "254")) << visa->log();
    ASSERT_HR(S_OK, message->get_TerminationCharacter(&c));
    EXPECT_EQ(0xFE, c);
    ASSERT_HR(S_OK, message->put_TerminationCharacter('\n'));

    // The normal protocol has no trigger: the library's refusal converted for IBaseMessage.
    clear_error_info();
    EXPECT_HR(kNotSupported, message->AssertTrigger(TRIG_PROT_DEFAULT));
    expect_error(0xBFFF0067u, IID_IBaseMessage);

    ASSERT_HR(S_OK, message->put_IOProtocol(static_cast<IOProtocol>(0x10000 | IO_PROT_4882_STRS)));
    EXPECT_EQ(1u, set_line("0x3FFF001C", "4")) << visa->log();
    IOProtocol protocol{};
    ASSERT_HR(S_OK, message->get_IOProtocol(&protocol));
    EXPECT_EQ(IO_PROT_4882_STRS, protocol);

    // 488.2 over serial: status byte, trigger and clear reach the instrument.
    visa->clear_log();
    short stb = -1;
    ASSERT_HR(S_OK, message->ReadSTB(&stb));
    EXPECT_EQ(0, stb) << "nothing pending";
    ASSERT_HR(S_OK, message->AssertTrigger(TRIG_PROT_DEFAULT));
    ASSERT_HR(S_OK, message->Clear());
    EXPECT_EQ(1u, visa->count("viAssertTrigger(vi=")) << visa->log();
    EXPECT_EQ(1u, visa->count("viReadSTB(vi=")) << visa->log();
    EXPECT_EQ(1u, visa->count("viClear(vi=")) << visa->log();
}
