// ISerial as a COM client sees it, checked against the calls that reached the simulation VISA
// library: the Flush and SetBufferSize masks, how values are cut and widened on their way to
// and from VISA, the tolerated missing character attributes, and the failure paths (bad pointers
// are the pointer test's).
#include "session_client.h"

#include <visa.h>

#include <fstream>
#include <string>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kNoOpenSession = static_cast<HRESULT>(0x8004000E);

com_ptr<ISerial> serial_of(const com_ptr<IVisaSession>& s)
{
    com_ptr<ISerial> serial;
    EXPECT_HR(S_OK, s->QueryInterface(IID_ISerial, serial.put_void()));
    return serial;
}

// "...(vi=N,attrName=0x3FFF0025,attrValue=2)" for the one set that reached VISA.
std::string set_line(ViAttr attribute, const std::string& value)
{
    char id[16];
    std::snprintf(id, sizeof id, "0x%lX", static_cast<unsigned long>(attribute));
    return std::string(",attrName=") + id + ",attrValue=" + value + ")";
}

class SerialPort : public ::testing::Test {
protected:
    com_apartment com;
    com_ptr<IVisaSession> session = open_session(L"ASRL1::INSTR");
    com_ptr<ISerial> serial = serial_of(session);
    simvisa visa;

    void SetUp() override
    {
        ASSERT_TRUE(serial);
        ASSERT_TRUE(visa.loaded());
        visa.clear_log();
        clear_error_info();
    }
    void TearDown() override { visa.clear_faults(); }
};

}  // namespace

TEST_F(SerialPort, FlushTranslatesMaskAndDiscardFlag)
{
    struct row {
        BufferMask mask;
        VARIANT_BOOL discard;
        const char* visa_mask;
    };
    const row rows[] = {
        {IO_IN_BUF, VARIANT_TRUE, ",mask=64)"},
        {IO_IN_BUF, 1, ",mask=16)"},  // only VARIANT_TRUE discards
        {IO_OUT_BUF, VARIANT_TRUE, ",mask=128)"},
        {IO_IN_AND_OUT_BUFS, VARIANT_FALSE, ",mask=48)"},
        {IO_IN_AND_OUT_BUFS, VARIANT_TRUE, ",mask=192)"},
        {static_cast<BufferMask>(IO_IN_BUF | 0x101), VARIANT_FALSE, ",mask=16)"},
    };
    for (const row& r : rows) {
        visa.clear_log();
        EXPECT_HR(S_OK, serial->Flush(r.mask, r.discard)) << r.visa_mask;
        EXPECT_EQ(1u, visa.count(r.visa_mask)) << r.visa_mask << "\n" << visa.log();
    }
    // Neither buffer named: 0 is passed on for VISA to answer.
    visa.clear_log();
    serial->Flush(static_cast<BufferMask>(0x100), VARIANT_TRUE);
    EXPECT_EQ(1u, visa.count("viFlush(")) << visa.log();
    EXPECT_EQ(1u, visa.count(",mask=0)")) << visa.log();
}

TEST_F(SerialPort, SetBufferSizeSetsOneBufferOrRefusesOtherBits)
{
    EXPECT_HR(S_OK, serial->SetBufferSize(IO_IN_AND_OUT_BUFS, 2048));
    EXPECT_EQ(1u, visa.count("viSetBuf(")) << visa.log();
    EXPECT_EQ(1u, visa.count(",mask=16,size=2048)")) << "only the input buffer\n" << visa.log();

    visa.clear_log();
    EXPECT_HR(S_OK, serial->SetBufferSize(static_cast<BufferMask>(0), 512));
    EXPECT_EQ(1u, visa.count(",mask=32,size=512)")) << visa.log();

    visa.clear_log();
    EXPECT_HR(E_INVALIDARG, serial->SetBufferSize(static_cast<BufferMask>(1), 512));
    EXPECT_HR(E_INVALIDARG, serial->SetBufferSize(static_cast<BufferMask>(IO_IN_BUF | 64), 512));
    EXPECT_EQ(0u, visa.count("viSetBuf(")) << visa.log();
    EXPECT_FALSE(last_error_info().present);
    long last = 0;
    EXPECT_HR(S_OK, session->get_LastStatus(&last));
    EXPECT_HR(E_INVALIDARG, last);
}

TEST_F(SerialPort, PutsCutToVisaWidthAndWidenWithItsSign)
{
    // Enumerations: the low 16 bits, sign-extended to the attribute state.
    serial->put_FlowControl(static_cast<SerialFlowControl>(0x10002));
    EXPECT_EQ(1u, visa.count(set_line(VI_ATTR_ASRL_FLOW_CNTRL, "2").c_str())) << visa.log();
    serial->put_Parity(static_cast<SerialParity>(0x1FFFF));
    EXPECT_EQ(1u, visa.count(set_line(VI_ATTR_ASRL_PARITY, "18446744073709551615").c_str()))
        << visa.log();
    // Data bits: 16-bit, signed.
    serial->put_DataBits(-3);
    EXPECT_EQ(1u, visa.count(set_line(VI_ATTR_ASRL_DATA_BITS, "18446744073709551613").c_str()))
        << visa.log();
    // Characters: unsigned.
    EXPECT_HR(S_OK, serial->put_XOFFCharacter(0xF3));
    EXPECT_EQ(1u, visa.count(set_line(VI_ATTR_ASRL_XOFF_CHAR, "243").c_str())) << visa.log();
    // The baud rate: 32-bit.
    EXPECT_HR(S_OK, serial->put_BaudRate(19200));
    EXPECT_EQ(1u, visa.count(set_line(VI_ATTR_ASRL_BAUD, "19200").c_str())) << visa.log();

    // And back.
    long baud = 0;
    EXPECT_HR(S_OK, serial->get_BaudRate(&baud));
    EXPECT_EQ(19200, baud);
    BYTE xoff = 0;
    EXPECT_HR(S_OK, serial->get_XOFFCharacter(&xoff));
    EXPECT_EQ(0xF3, xoff);
    SerialFlowControl flow{};
    EXPECT_HR(S_OK, serial->get_FlowControl(&flow));
    EXPECT_EQ(2, static_cast<long>(flow));
    short bits = 0;
    EXPECT_HR(S_OK, serial->put_DataBits(7));
    EXPECT_HR(S_OK, serial->get_DataBits(&bits));
    EXPECT_EQ(7, bits);
}

TEST_F(SerialPort, MissingCharacterAttributesAreToleratedOthersAreNot)
{
    visa.fail_next("viSetAttribute", VI_ERROR_NSUP_ATTR, 3);
    EXPECT_HR(S_OK, serial->put_ReplacementCharacter('?'));
    EXPECT_HR(S_OK, serial->put_XONCharacter(0x11));
    EXPECT_HR(S_OK, serial->put_XOFFCharacter(0x13));
    EXPECT_FALSE(last_error_info().present);

    visa.fail_next("viSetAttribute", VI_ERROR_NSUP_ATTR);
    const HRESULT hr = serial->put_StopBits(static_cast<SerialStopBits>(10));
    EXPECT_TRUE(FAILED(hr)) << hex(hr);
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_TRUE(IsEqualGUID(IID_ISerial, e.guid));
    EXPECT_EQ(static_cast<DWORD>(VI_ERROR_NSUP_ATTR), e.help_context);
    // Only a missing attribute is tolerated, not a value the character attribute refuses.
    visa.fail_next("viSetAttribute", VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_TRUE(FAILED(serial->put_XOFFCharacter(0x13)));
    EXPECT_EQ(static_cast<DWORD>(VI_ERROR_NSUP_ATTR_STATE), last_error_info().help_context);
}

TEST_F(SerialPort, FailedReadAndClosedSession)
{
    // A failed read reports VISA's error for ISerial.
    visa.fail_next("viGetAttribute", VI_ERROR_IO);
    long available = -1;
    EXPECT_TRUE(FAILED(serial->get_BytesAvailable(&available)));
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_TRUE(IsEqualGUID(IID_ISerial, e.guid));
    EXPECT_EQ(static_cast<DWORD>(VI_ERROR_IO), e.help_context);

    ASSERT_HR(S_OK, session->Close());
    long baud = 0;
    EXPECT_HR(kNoOpenSession, serial->get_BaudRate(&baud));
    e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_EQ("There is not an open session.", e.description);
    EXPECT_TRUE(IsEqualGUID(IID_ISerial, e.guid));
    EXPECT_HR(kNoOpenSession, serial->Flush(IO_IN_BUF, VARIANT_FALSE));
    EXPECT_HR(kNoOpenSession, serial->SetBufferSize(static_cast<BufferMask>(1), 0));
}

// A port whose device cannot tell its CTS line: VISA reports the 16-bit state -1.
TEST(SerialLineState, UnknownLineStateKeepsItsSign)
{
    com_apartment com;
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::wstring file = std::wstring(dir) + L"serial_port_test_cts_unknown.json";
    {
        std::ofstream out(file.c_str());
        out << R"({"name": "CTS unknown", "modem": {"cts": -1, "dsr": 1, "dcd": 0, "ri": 0}})";
    }
    auto s = create_session();
    ASSERT_TRUE(s);
    com_ptr<IControlSimulation> control;
    ASSERT_HR(S_OK, s->QueryInterface(IID_IControlSimulation, control.put_void()));
    bstr_arg path(file.c_str()), name(L"ASRL3::INSTR"), empty(L"");
    ASSERT_HR(S_OK, control->SetSimulationFile(path));
    ASSERT_HR(S_OK, s->Init(name, NO_LOCK, 2000, empty));
    auto serial = serial_of(s);

    LineState cts{}, dsr{};
    EXPECT_HR(S_OK, serial->get_ClearToSendState(&cts));
    EXPECT_EQ(-1, static_cast<long>(cts));
    EXPECT_HR(S_OK, serial->get_DataSetReadyState(&dsr));
    EXPECT_EQ(1, static_cast<long>(dsr));

    // GetAttribute zero-extends the same 16-bit value.
    VARIANT v;
    VariantInit(&v);
    EXPECT_HR(S_OK, s->GetAttribute(static_cast<long>(VI_ATTR_ASRL_CTS_STATE), &v));
    EXPECT_EQ(VT_I4, V_VT(&v));
    EXPECT_EQ(0xFFFF, V_I4(&v));
    s->Close();
    DeleteFileW(file.c_str());
}
