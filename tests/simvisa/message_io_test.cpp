// Reads and writes with the termination rules, the simulated instruments on both shipped
// ports, line-setting mismatch, buffers, the 488.2 operations and formatted I/O.
#include <chrono>

#include "simvisa_test_support.h"

using namespace simvisa_test;
using namespace std::chrono;

namespace {

class message_io : public rm_test {};

TEST_F(message_io, reads_end_by_the_termination_rules)
{
    struct row {
        const char* label;
        ViUInt16 end_in;
        bool termchar_en, suppress_end;
        ViUInt8 termchar;
        const char* bytes;
        ViUInt32 count, timeout;
        ViStatus status;
        const char* text;
    } rows[] = {
        {"END on the termination character", VI_ASRL_END_TERMCHAR, false, false, '\n', "abc\ndef",
         100, 100, VI_SUCCESS, "abc\n"},
        {"END wins over the count", VI_ASRL_END_TERMCHAR, false, false, '\n', "abc\n", 4, 100,
         VI_SUCCESS, "abc\n"},
        {"END wins over TERMCHAR_EN", VI_ASRL_END_TERMCHAR, true, false, '\n', "ab\n", 10, 100,
         VI_SUCCESS, "ab\n"},
        {"suppressed END leaves TERM_CHAR", VI_ASRL_END_TERMCHAR, true, true, '\n', "ab\nc", 10,
         100, VI_SUCCESS_TERM_CHAR, "ab\n"},
        {"termination character alone", VI_ASRL_END_NONE, true, false, '\n', "abc\nx", 100, 100,
         VI_SUCCESS_TERM_CHAR, "abc\n"},
        {"other termination character", VI_ASRL_END_TERMCHAR, false, false, ';', "a;b\n", 100, 100,
         VI_SUCCESS, "a;"},
        {"count", VI_ASRL_END_NONE, false, false, '\n', "abc\nx", 3, 100, VI_SUCCESS_MAX_CNT,
         "abc"},
        {"END on the last bit", VI_ASRL_END_LAST_BIT, false, false, '\n', "ab\xC1zz", 100, 100,
         VI_SUCCESS, "ab\xC1"},
        {"time-out keeps the bytes", VI_ASRL_END_NONE, false, false, '\n', "abc", 100, 100,
         VI_ERROR_TMO, "abc"},
        {"immediate time-out", VI_ASRL_END_NONE, false, false, '\n', "ab", 100, 0, VI_ERROR_TMO,
         "ab"},
    };
    for (const auto& r : rows) {
        ViSession vi = open_dmm();
        viSetAttribute(vi, VI_ATTR_ASRL_END_IN, r.end_in);
        viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, r.termchar_en);
        viSetAttribute(vi, VI_ATTR_SUPPRESS_END_EN, r.suppress_end);
        viSetAttribute(vi, VI_ATTR_TERMCHAR, r.termchar);
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, r.timeout);
        device_sends(vi, r.bytes);
        ViStatus st;
        EXPECT_EQ(r.text, read(vi, &st, r.count)) << r.label;
        EXPECT_STATUS(r.status, st) << r.label;
        viClose(vi);
    }
}

TEST_F(message_io, data_arrives_when_the_device_sends_it)
{
    ViSession vi = open_dmm();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 50);
    device_sends(vi, "late\n", 300);
    ViStatus st;
    EXPECT_EQ("", read(vi, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    EXPECT_EQ(0u, attr<ViUInt32>(vi, VI_ATTR_ASRL_AVAIL_NUM));
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
    auto start = steady_clock::now();
    EXPECT_EQ("late\n", read(vi, &st));
    EXPECT_STATUS(VI_SUCCESS, st);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1500));

    device_sends(vi, "12345");
    EXPECT_EQ(5u, attr<ViUInt32>(vi, VI_ATTR_ASRL_AVAIL_NUM));
    EXPECT_STATUS(VI_SUCCESS, viFlush(vi, VI_IO_IN_BUF_DISCARD));
    EXPECT_EQ(0u, attr<ViUInt32>(vi, VI_ATTR_ASRL_AVAIL_NUM));

    viSetAttribute(vi, VI_ATTR_ASRL_DATA_BITS, 7);
    device_sends(vi, "\xE1\x8A");  // seven data bits keep "a\n"
    EXPECT_EQ("a\n", read(vi, &st));
    EXPECT_STATUS(VI_ERROR_USER_BUF, viRead(vi, nullptr, 5, nullptr));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viRead(0xDEAD, nullptr, 5, nullptr));
}

TEST_F(message_io, each_shipped_device_answers_its_identity_once_the_line_matches)
{
    ViSession dmm = open_dmm();
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", query(dmm, "*IDN?\n"));

    ViSession psu = open("ASRL2::INSTR");
    viSetAttribute(psu, VI_ATTR_TMO_VALUE, 200);
    // 9600 8N1 against a 19200 8E1 device: the answer, if any, is garbage.
    EXPECT_NE("SIMVISA,PSU-3303,SN7781,2.4\r\n", query(psu, "*IDN?\r\n"));
    viFlush(psu, VI_IO_IN_BUF_DISCARD);
    viSetAttribute(psu, VI_ATTR_ASRL_BAUD, 19200);
    EXPECT_NE("SIMVISA,PSU-3303,SN7781,2.4\r\n", query(psu, "*IDN?\r\n")) << "parity still differs";
    viFlush(psu, VI_IO_IN_BUF_DISCARD);
    viSetAttribute(psu, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN);
    viClear(psu);  // drop the garbled partial message the device may hold
    EXPECT_EQ("SIMVISA,PSU-3303,SN7781,2.4\r\n", query(psu, "*IDN?\r\n"));
    EXPECT_EQ("12.000\r\n", query(psu, "MEAS:VOLT?\r\n"));
}

TEST_F(message_io, devices_keep_properties_and_an_error_queue)
{
    ViSession vi = open_dmm();
    write(vi, "*CLS\n");
    EXPECT_EQ("+0,\"No error\"\n", query(vi, "SYST:ERR?\n"));
    struct row {
        const char* command;
        const char* query;
        const char* answer;
    } rows[] = {
        {"FUNC curr\n", "FUNC?\n", "CURR\n"},
        {"FUNC BOGUS\n", "SYST:ERR?\n", "-224,\"Illegal parameter value\"\n"},
        {"VOLT:RANGE 5000\n", "SYST:ERR?\n", "-222,\"Data out of range\"\n"},
        {"VOLT:RANGE 100\n", "VOLT:RANGE?\n", "100\n"},
        {"VOLT:NPLC fast\n", "SYST:ERR?\n", "-104,\"Data type error\"\n"},
        {"VOLT:NPLC\n", "SYST:ERR?\n", "-109,\"Missing parameter\"\n"},
        {"NO:SUCH:CMD\n", "SYST:ERR?\n", "-113,\"Undefined header\"\n"},
        {"*CLS;FUNC RES;*OPC\n", "FUNC?;*ESR?\n", "RES;1\n"},
        {"*RST\n", "FUNC?\n", "VOLT\n"},
    };
    for (const auto& r : rows) {
        write(vi, r.command);
        EXPECT_EQ(r.answer, query(vi, r.query)) << r.command;
    }
    EXPECT_EQ("+0,\"No error\"\n", query(vi, "SYST:ERR?\n"));
}

TEST_F(message_io, dialogue_delays_and_device_clear)
{
    ViSession vi = open_dmm();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 50);
    ViStatus st;
    write(vi, "MEAS:RES?\n");  // answers after 150 ms
    EXPECT_EQ("", read(vi, &st));
    EXPECT_STATUS(VI_ERROR_TMO, st);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1000);
    EXPECT_EQ("+1.000270E+04\n", read(vi, &st));
    // viClear in the normal protocol clears the device: the answer on its way is lost.
    write(vi, "MEAS:RES?\n");
    EXPECT_STATUS(VI_SUCCESS, viClear(vi));
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 400);
    read(vi, &st);
    EXPECT_STATUS(VI_ERROR_TMO, st);
}

TEST_F(message_io, writes_follow_send_end_and_end_out)
{
    ViSession vi = open_dmm();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 200);
    ViStatus st;
    ViUInt32 sent = 0;
    viSetAttribute(vi, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_TERMCHAR);
    EXPECT_STATUS(VI_SUCCESS, viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?"), 5, &sent));
    EXPECT_EQ(5u, sent) << "the appended termination character is not counted";
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", read(vi, &st));
    viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE);
    write(vi, "*IDN?");
    read(vi, &st);
    EXPECT_STATUS(VI_ERROR_TMO, st) << "no END, no message";
    viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_TRUE);
    viSetAttribute(vi, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_BREAK);
    write(vi, "*CLS;*IDN?");  // the break after the data ends the message
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", read(vi, &st));
    viSetAttribute(vi, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_LAST_BIT);
    write(vi, "*IDN?\n");  // the last byte goes out as 0x8A, which is no terminator
    read(vi, &st);
    EXPECT_STATUS(VI_ERROR_TMO, st);
    EXPECT_STATUS(VI_ERROR_USER_BUF, viWrite(vi, nullptr, 3, &sent));
}

TEST_F(message_io, flush_and_buffer_masks)
{
    ViSession vi = open_dmm();
    for (ViUInt16 bad :
         {VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD, VI_READ_BUF | VI_READ_BUF_DISCARD,
          VI_WRITE_BUF | VI_WRITE_BUF_DISCARD, VI_IO_OUT_BUF | VI_IO_OUT_BUF_DISCARD, 0x100})
        EXPECT_STATUS(VI_ERROR_INV_MASK, viFlush(vi, bad)) << bad;
    EXPECT_STATUS(VI_SUCCESS,
                  viFlush(vi, VI_IO_OUT_BUF_DISCARD | VI_IO_IN_BUF | VI_READ_BUF_DISCARD));
    EXPECT_STATUS(VI_SUCCESS, viSetBuf(vi, VI_IO_IN_BUF, 8192));
    EXPECT_STATUS(VI_SUCCESS, viSetBuf(vi, VI_READ_BUF | VI_WRITE_BUF, 100));
    EXPECT_EQ(100u, attr<ViUInt32>(vi, VI_ATTR_RD_BUF_SIZE));
    EXPECT_STATUS(VI_ERROR_INV_MASK, viSetBuf(vi, VI_IO_IN_BUF_DISCARD, 10));
}

TEST_F(message_io, status_byte_trigger_and_clear_follow_the_io_protocol)
{
    ViSession vi = open_dmm();
    ViUInt16 stb = 0xFFFF;
    EXPECT_STATUS(VI_ERROR_NSUP_OPER, viReadSTB(vi, &stb));
    EXPECT_STATUS(VI_ERROR_NSUP_OPER, viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_IO_PROT, VI_PROT_4882_STRS));
    write(vi, "*CLS\n");
    EXPECT_STATUS(VI_SUCCESS, viReadSTB(vi, &stb));
    EXPECT_EQ(0, stb);
    write(vi, "BOGUS\n");
    EXPECT_STATUS(VI_SUCCESS, viReadSTB(vi, &stb));
    EXPECT_EQ(0x04, stb) << "error queue not empty";
    EXPECT_STATUS(VI_SUCCESS, viClear(vi));  // *CLS
    EXPECT_STATUS(VI_SUCCESS, viReadSTB(vi, &stb));
    EXPECT_EQ(0, stb);
    EXPECT_STATUS(VI_SUCCESS, viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT));
    EXPECT_EQ("+1.234560E+00\n", read(vi));
    EXPECT_STATUS(VI_ERROR_INV_PROT, viAssertTrigger(vi, VI_TRIG_PROT_ON));
    EXPECT_STATUS(VI_ERROR_INV_PARAMETER, viReadSTB(vi, nullptr));
}

TEST_F(message_io, formatted_io)
{
    ViSession vi = open_dmm();
    char id[256] = "";
    EXPECT_STATUS(VI_SUCCESS, viPrintf(vi, "%s\n", "*IDN?"));
    EXPECT_STATUS(VI_SUCCESS, viScanf(vi, "%255[^\n]", id));
    EXPECT_STREQ("SIMVISA,DMM-6500,SN100200,1.02", id);
    double volts = 0;
    EXPECT_STATUS(VI_SUCCESS, viQueryf(vi, "MEAS:%s?\n", "%lf", "VOLT:DC", &volts));
    EXPECT_DOUBLE_EQ(1.23456, volts);
    unsigned char out[64];
    EXPECT_STATUS(VI_SUCCESS, viSPrintf(vi, out, "%03d-%s-%.1f", 7, "x", 2.5));
    EXPECT_STREQ("007-x-2.5", reinterpret_cast<char*>(out));
    EXPECT_STATUS(VI_ERROR_NSUP_FMT, viPrintf(vi, "%b", 1));
}

}  // namespace
