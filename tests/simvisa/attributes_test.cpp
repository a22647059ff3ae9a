// Attribute defaults of a new session, validation, read-only attributes, and the global
// attributes that sessions of one port share.
#include <cstring>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

class attributes : public rm_test {};

// Reads an attribute into a poisoned 8-byte slot, so that the test also sees how many bytes a
// get writes.
uint64_t raw_get(ViSession vi, ViAttr id, ViStatus& status)
{
    uint64_t v = 0xDDDDDDDDDDDDDDDDull;
    status = viGetAttribute(vi, id, &v);
    return v;
}

TEST_F(attributes, a_new_session_has_the_standard_defaults_written_at_their_width)
{
    ViSession vi = open_dmm();
    const uint64_t poison = 0xDDDDDDDDDDDDDDDDull;
    struct row {
        ViAttr id;
        unsigned size;
        uint64_t value;
    } rows[] = {
        {VI_ATTR_TMO_VALUE, 4, 2000},
        {VI_ATTR_IO_PROT, 2, VI_PROT_NORMAL},
        {VI_ATTR_SEND_END_EN, 2, VI_TRUE},
        {VI_ATTR_TERMCHAR, 1, 0x0A},
        {VI_ATTR_TERMCHAR_EN, 2, VI_FALSE},
        {VI_ATTR_SUPPRESS_END_EN, 2, VI_FALSE},
        {VI_ATTR_MAX_QUEUE_LENGTH, 4, 50},
        {VI_ATTR_TRIG_ID, 2, 0xFFFF},
        {VI_ATTR_ASRL_BAUD, 4, 9600},
        {VI_ATTR_ASRL_DATA_BITS, 2, 8},
        {VI_ATTR_ASRL_PARITY, 2, VI_ASRL_PAR_NONE},
        {VI_ATTR_ASRL_STOP_BITS, 2, VI_ASRL_STOP_ONE},
        {VI_ATTR_ASRL_FLOW_CNTRL, 2, VI_ASRL_FLOW_NONE},
        {VI_ATTR_ASRL_END_IN, 2, VI_ASRL_END_TERMCHAR},
        {VI_ATTR_ASRL_END_OUT, 2, VI_ASRL_END_NONE},
        {VI_ATTR_ASRL_AVAIL_NUM, 4, 0},
        {VI_ATTR_ASRL_CTS_STATE, 2, 1},
        {VI_ATTR_ASRL_DSR_STATE, 2, 1},
        {VI_ATTR_ASRL_DCD_STATE, 2, 0},
        {VI_ATTR_ASRL_RI_STATE, 2, 0},
        {VI_ATTR_ASRL_DTR_STATE, 2, 1},
        {VI_ATTR_ASRL_RTS_STATE, 2, 1},
        {VI_ATTR_ASRL_XON_CHAR, 1, 0x11},
        {VI_ATTR_ASRL_XOFF_CHAR, 1, 0x13},
        {VI_ATTR_ASRL_REPLACE_CHAR, 1, 0},
        {VI_ATTR_INTF_NUM, 2, 1},
        {VI_ATTR_INTF_TYPE, 2, VI_INTF_ASRL},
        {VI_ATTR_RSRC_LOCK_STATE, 4, VI_NO_LOCK},
        {VI_ATTR_RM_SESSION, 4, rm},
        {VI_ATTR_USER_DATA_64, 8, 0},
        {VI_ATTR_ASRL_WIRE_MODE, 2, VI_ASRL_WIRE_232_DTE},
    };
    for (const auto& r : rows) {
        ViStatus st;
        uint64_t v = raw_get(vi, r.id, st);
        EXPECT_STATUS(VI_SUCCESS, st) << std::hex << r.id;
        uint64_t mask = r.size == 8 ? ~0ull : ((1ull << (8 * r.size)) - 1);
        EXPECT_EQ(r.value, v & mask) << std::hex << "attribute 0x" << r.id;
        if (r.size < 8) {
            EXPECT_EQ(poison & ~mask, v & ~mask)
                << std::hex << "attribute 0x" << r.id << " wrote too much";
        }
    }
    char text[256];
    ASSERT_STATUS(VI_SUCCESS, viGetAttribute(vi, VI_ATTR_RSRC_CLASS, text));
    EXPECT_STREQ("INSTR", text);
    ASSERT_STATUS(VI_SUCCESS, viGetAttribute(vi, VI_ATTR_INTF_INST_NAME, text));
    EXPECT_NE(nullptr, strstr(text, "multimeter"));
}

TEST_F(attributes, sets_are_validated)
{
    ViSession vi = open_dmm();
    struct row {
        ViAttr id;
        ViAttrState value;
        ViStatus status;
    } rows[] = {
        {VI_ATTR_TMO_VALUE, 0, VI_SUCCESS},
        {VI_ATTR_TMO_VALUE, VI_TMO_INFINITE, VI_SUCCESS},
        {VI_ATTR_ASRL_DATA_BITS, 7, VI_SUCCESS},
        {VI_ATTR_ASRL_DATA_BITS, 9, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_DATA_BITS, 4, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_PARITY, 5, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_STOP_BITS, 15, VI_SUCCESS},
        {VI_ATTR_ASRL_STOP_BITS, 11, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_FLOW_CNTRL, 8, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_END_IN, 3, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_END_OUT, 3, VI_SUCCESS},
        {VI_ATTR_ASRL_END_OUT, 4, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_BAUD, 0, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_IO_PROT, VI_PROT_4882_STRS, VI_SUCCESS},
        {VI_ATTR_IO_PROT, VI_PROT_HS488, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_SEND_END_EN, 2, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_TRIG_ID, static_cast<ViAttrState>(-1), VI_SUCCESS},
        {VI_ATTR_TRIG_ID, 0, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_MAX_QUEUE_LENGTH, 0, VI_ERROR_NSUP_ATTR_STATE},
        {VI_ATTR_ASRL_XON_CHAR, 0x21, VI_SUCCESS},
        {VI_ATTR_ASRL_AVAIL_NUM, 1, VI_ERROR_ATTR_READONLY},
        {VI_ATTR_INTF_NUM, 2, VI_ERROR_ATTR_READONLY},
        {VI_ATTR_RSRC_LOCK_STATE, 1, VI_ERROR_ATTR_READONLY},
        {VI_ATTR_ASRL_CTS_STATE, 0, VI_ERROR_ATTR_READONLY},
        {VI_ATTR_RD_BUF_SIZE, 10, VI_ERROR_ATTR_READONLY},
        {VI_ATTR_GPIB_PRIMARY_ADDR, 1, VI_ERROR_NSUP_ATTR},
        {VI_ATTR_ASRL_CONNECTED, 1, VI_ERROR_NSUP_ATTR},
    };
    for (const auto& r : rows)
        EXPECT_STATUS(r.status, viSetAttribute(vi, r.id, r.value))
            << std::hex << "0x" << r.id << " = " << r.value;
    EXPECT_EQ(7u, attr<ViUInt16>(vi, VI_ATTR_ASRL_DATA_BITS)) << "refused values change nothing";
    EXPECT_EQ(0x21u, attr<ViUInt8>(vi, VI_ATTR_ASRL_XON_CHAR));
    ViUInt32 x;
    EXPECT_STATUS(VI_ERROR_NSUP_ATTR, viGetAttribute(vi, VI_ATTR_GPIB_PRIMARY_ADDR, &x));
    EXPECT_STATUS(VI_ERROR_INV_PARAMETER, viGetAttribute(vi, VI_ATTR_TMO_VALUE, nullptr));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viGetAttribute(0xDEAD, VI_ATTR_TMO_VALUE, &x));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viSetAttribute(0xDEAD, VI_ATTR_TMO_VALUE, 1));
}

TEST_F(attributes, line_settings_are_shared_by_the_port_and_local_ones_are_not)
{
    ViSession a = open_dmm(), b = open_dmm();
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(a, VI_ATTR_ASRL_BAUD, 19200));
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(a, VI_ATTR_TMO_VALUE, 123));
    EXPECT_EQ(19200u, attr<ViUInt32>(b, VI_ATTR_ASRL_BAUD));
    EXPECT_EQ(2000u, attr<ViUInt32>(b, VI_ATTR_TMO_VALUE));
    viClose(a);
    viClose(b);
    // The next first session of the port finds the defaults again, or the configured line.
    ViSession c = open("ASRL2::INSTR");
    EXPECT_EQ(9600u, attr<ViUInt32>(c, VI_ATTR_ASRL_BAUD));
    viClose(c);
    ViSession d = open("ASRL2::INSTR", VI_LOAD_CONFIG);
    EXPECT_EQ(19200u, attr<ViUInt32>(d, VI_ATTR_ASRL_BAUD));
    EXPECT_EQ(VI_ASRL_PAR_EVEN, attr<ViUInt16>(d, VI_ATTR_ASRL_PARITY));
}

TEST_F(attributes, the_queue_length_is_fixed_once_events_were_enabled)
{
    ViSession vi = open_dmm();
    ASSERT_STATUS(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_MAX_QUEUE_LENGTH, 2));
    ASSERT_STATUS(VI_SUCCESS, viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL));
    EXPECT_STATUS(VI_ERROR_ATTR_READONLY, viSetAttribute(vi, VI_ATTR_MAX_QUEUE_LENGTH, 5));
    EXPECT_EQ(2u, attr<ViUInt32>(vi, VI_ATTR_MAX_QUEUE_LENGTH));
}

}  // namespace
