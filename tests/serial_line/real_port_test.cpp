// The library on a real serial line: ASRL47 is the prefix's COM47, a pseudo-terminal whose other
// end the instrument program (instrument.py) answers; on ASRL48 the instrument goes away.
#include <windows.h>

#include <chrono>
#include <string>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

class real_port : public rm_test {
protected:
    ViSession line()
    {
        ViSession vi = open("ASRL47::INSTR");
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000);
        return vi;
    }
};

TEST_F(real_port, queries_reach_the_instrument)
{
    ViSession vi = line();
    EXPECT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", query(vi, "*IDN?\n"));
    EXPECT_EQ("+1.234500E+00\n", query(vi, "MEAS?\n"));
    char name[256] = "";
    EXPECT_STATUS(VI_SUCCESS, viGetAttribute(vi, VI_ATTR_INTF_INST_NAME, name));
    EXPECT_STREQ("Serial port COM47", name);
    // The answer waits in the receive buffer until it is read.
    ASSERT_STATUS(VI_SUCCESS, write(vi, "MEAS?\n"));
    ViUInt32 avail = 0;
    for (int i = 0; i < 100 && avail < 14; ++i) {
        Sleep(20);
        avail = attr<ViUInt32>(vi, VI_ATTR_ASRL_AVAIL_NUM);
    }
    EXPECT_EQ(14u, avail);
    EXPECT_EQ("+1.234500E+00\n", read(vi));
}

TEST_F(real_port, line_settings_reach_the_port)
{
    // The instrument reads the settings of the host's end of the line. A pseudo-terminal
    // carries the speed and the stop bits; Linux keeps it at 8 data bits without parity.
    ViSession vi = line();
    EXPECT_EQ("9600,8,N,1\n", query(vi, "LINE?\n"));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 19200));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_TWO));
    EXPECT_EQ("19200,8,N,2\n", query(vi, "LINE?\n"));
    EXPECT_EQ(19200u, attr<ViUInt32>(vi, VI_ATTR_ASRL_BAUD));
    EXPECT_EQ("none\n", query(vi, "FLOW?\n"));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_XON_XOFF));
    EXPECT_EQ("xonxoff\n", query(vi, "FLOW?\n"));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE));
    EXPECT_EQ("none\n", query(vi, "FLOW?\n"));
}

TEST_F(real_port, sessions_share_the_port_and_its_locks)
{
    ViSession a = line(), b = line();
    // A pseudo-terminal has no modem lines: their state is unknown, not made up.
    EXPECT_EQ(VI_STATE_UNKNOWN, attr<ViInt16>(a, VI_ATTR_ASRL_CTS_STATE));
    ASSERT_STATUS(VI_SUCCESS, viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, write(b, "*IDN?\n"));
    EXPECT_EQ("+1.234500E+00\n", query(a, "MEAS?\n"));
    ASSERT_STATUS(VI_SUCCESS, viUnlock(a));
    EXPECT_EQ("+1.234500E+00\n", query(b, "MEAS?\n"));
    // The port stays open while one of its sessions does.
    viClose(a);
    EXPECT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", query(b, "*IDN?\n"));
    // A device clear drops what is waiting in the receive buffer.
    ASSERT_STATUS(VI_SUCCESS, write(b, "MEAS?\n"));
    Sleep(200);
    EXPECT_STATUS(VI_SUCCESS, viClear(b));
    viSetAttribute(b, VI_ATTR_TMO_VALUE, 300);
    ViStatus st;
    EXPECT_EQ("", read(b, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    // So does a flush of the receive buffer, and a new size of the port's buffers.
    ASSERT_STATUS(VI_SUCCESS, write(b, "MEAS?\n"));
    Sleep(200);
    EXPECT_STATUS(VI_SUCCESS, viFlush(b, VI_IO_IN_BUF_DISCARD));
    EXPECT_EQ("", read(b, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    EXPECT_STATUS(VI_SUCCESS, viSetBuf(b, VI_IO_IN_BUF | VI_IO_OUT_BUF, 8192));
    viSetAttribute(b, VI_ATTR_TMO_VALUE, 3000);
    EXPECT_EQ("+1.234500E+00\n", query(b, "MEAS?\n"));
}

TEST_F(real_port, reads_end_by_the_termination_rules)
{
    ViSession vi = line();
    // A read that times out keeps what came so far, and the rest waits for the next read.
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300);
    ASSERT_STATUS(VI_SUCCESS, write(vi, "SPLIT? 1.0\n"));
    ViStatus st;
    EXPECT_EQ("first,", read(vi, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000);
    EXPECT_EQ("second\n", read(vi, &st));
    EXPECT_STATUS(VI_SUCCESS, st);

    // The termination character ends a read when END does not.
    viSetAttribute(vi, VI_ATTR_ASRL_END_IN, VI_ASRL_END_NONE);
    viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
    viSetAttribute(vi, VI_ATTR_TERMCHAR, ',');
    ASSERT_STATUS(VI_SUCCESS, write(vi, "ECHO a,b\n"));
    EXPECT_EQ("a,", read(vi, &st));
    EXPECT_STATUS(VI_SUCCESS_TERM_CHAR, st);
    viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n');
    EXPECT_EQ("b\n", read(vi, &st));
    EXPECT_STATUS(VI_SUCCESS_TERM_CHAR, st);
}

TEST_F(real_port, large_transfers_lose_nothing)
{
    ViSession vi = line();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 20000);
    constexpr ViUInt32 size = 200000;
    ASSERT_STATUS(VI_SUCCESS, write(vi, "DATA? " + std::to_string(size) + "\n"));
    ViStatus st;
    const std::string got = read(vi, &st, size + 16);
    EXPECT_STATUS(VI_SUCCESS, st);
    ASSERT_EQ(size + 1, got.size());
    size_t wrong = 0;
    for (ViUInt32 i = 0; i < size; ++i)
        wrong += static_cast<unsigned char>(got[i]) != 48 + i % 75;
    EXPECT_EQ(0u, wrong);

    // And the other way: a long message comes back whole.
    std::string text(20000, 'x');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    ASSERT_STATUS(VI_SUCCESS, write(vi, "ECHO " + text + "\n"));
    const std::string echoed = read(vi, &st, 30000);
    char why[256] = "";
    simvisa_last_message(why, sizeof why);
    EXPECT_TRUE(echoed == text + "\n") << echoed.size() << " bytes, " << hex_status(st) << why;
}

TEST_F(real_port, events_and_asynchronous_reads)
{
    ViSession vi = line();
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_ASRL_CHAR, VI_QUEUE, VI_NULL));
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_ASRL_TERMCHAR, VI_QUEUE, VI_NULL));
    ASSERT_STATUS(VI_SUCCESS, write(vi, "*IDN?\n"));
    ViEventType type = 0;
    EXPECT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_ASRL_TERMCHAR, 3000, &type, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_ASRL_CHAR, 0, &type, VI_NULL));
    read(vi);

    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_IO_COMPLETION, VI_QUEUE, VI_NULL));
    unsigned char buf[64];
    ViJobId job = 0;
    ASSERT_STATUS(VI_SUCCESS, viReadAsync(vi, buf, sizeof buf, &job));
    ASSERT_STATUS(VI_SUCCESS, write(vi, "MEAS?\n"));
    ViEvent ctx = VI_NULL;
    ASSERT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_IO_COMPLETION, 5000, &type, &ctx));
    EXPECT_EQ(job, attr<ViJobId>(ctx, VI_ATTR_JOB_ID));
    EXPECT_STATUS(VI_SUCCESS, attr<ViStatus>(ctx, VI_ATTR_STATUS));
    const ViUInt32 n = attr<ViUInt32>(ctx, VI_ATTR_RET_COUNT_32);
    EXPECT_EQ("+1.234500E+00\n", std::string(reinterpret_cast<char*>(buf), n));
    viClose(ctx);
}

TEST_F(real_port, a_488_2_port_turns_its_request_byte_into_service_requests)
{
    // COM47 as it is: a line with no way to request service.
    ViSession plain = line();
    EXPECT_STATUS(VI_ERROR_INV_EVENT,
                  viEnableEvent(plain, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    viClose(plain);

    // The same line as a 488.2-style device whose request byte is 0x12: every session that
    // enabled the event gets each request.
    ASSERT_STATUS(VI_SUCCESS, simvisa_load_config(SERVICE_REQUEST_CONFIG));
    ViSession a = open("ASRL147::INSTR"), b = open("ASRL147::INSTR");
    for (ViSession vi : {a, b}) {
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, 3000);
        ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    }
    // The instrument keeps its status between test cases: a request needs a bit that rises.
    ASSERT_STATUS(VI_SUCCESS, write(a, "*CLS\n"));
    ASSERT_STATUS(VI_SUCCESS, write(a, "*SRE 16\n"));
    ASSERT_STATUS(VI_SUCCESS, write(a, "SRQ 16\n"));
    for (ViSession vi : {a, b}) {
        ViEventType type = 0;
        EXPECT_STATUS(VI_SUCCESS, viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 3000, &type, VI_NULL));
        EXPECT_EQ(VI_EVENT_SERVICE_REQ, type);
    }
    EXPECT_STATUS(VI_ERROR_TMO, viWaitOnEvent(a, VI_EVENT_SERVICE_REQ, 200, VI_NULL, VI_NULL));
    EXPECT_EQ("requested\n", read(a)) << "the request byte is no data";
    ViUInt16 stb = 0;
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(a, VI_ATTR_IO_PROT, VI_PROT_4882_STRS));
    EXPECT_STATUS(VI_SUCCESS, viReadSTB(a, &stb));
    EXPECT_EQ(0x50, stb);
    viClose(a);
    viClose(b);
    EXPECT_STATUS(VI_SUCCESS, simvisa_load_config(nullptr));
}

TEST_F(real_port, an_instrument_that_goes_away_ends_the_read)
{
    // The instrument sends half an answer and ends: the read ends at its time-out with what
    // came, as on a cable whose instrument is switched off, and the session stays usable.
    ViSession vi = open("ASRL48::INSTR");
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
    ASSERT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", query(vi, "*IDN?\n"));
    ASSERT_STATUS(VI_SUCCESS, write(vi, "EXIT\n"));
    const auto start = std::chrono::steady_clock::now();
    ViStatus st;
    EXPECT_EQ("going", read(vi, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_STATUS(VI_SUCCESS, write(vi, "*IDN?\n"));
    EXPECT_STATUS(VI_SUCCESS, viClose(vi));
}

}  // namespace
