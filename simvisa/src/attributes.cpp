#include "attributes.h"

#include <cstring>

namespace simvisa {
namespace {

using T = attr_type;
constexpr bool RO = false, RW = true, L = false, G = true, STORED = false, LIVE = true;
constexpr uint8_t I = on_instr, R = on_rm, IR = on_instr | on_rm;
constexpr int64_t U16 = 0xFFFF, U32 = 0xFFFFFFFFLL;
constexpr int64_t I64MIN = INT64_MIN, I64MAX = INT64_MAX;

const int64_t io_prot_values[] = {VI_PROT_NORMAL, VI_PROT_4882_STRS};
const int64_t rd_mode_values[] = {VI_FLUSH_ON_ACCESS, VI_FLUSH_DISABLE};
const int64_t wr_mode_values[] = {VI_FLUSH_ON_ACCESS, VI_FLUSH_WHEN_FULL};
const int64_t stop_values[] = {VI_ASRL_STOP_ONE, VI_ASRL_STOP_ONE5, VI_ASRL_STOP_TWO};
const int64_t trig_values[] = {VI_TRIG_SW};
const int64_t wire_values[] = {VI_ASRL_WIRE_232_DTE};

#define ONE_OF(a) a, static_cast<int>(sizeof(a) / sizeof(a[0]))

const attr_def table[] = {
    // id                          type        access scope  source owners initial lo hi
    {VI_ATTR_TMO_VALUE, T::u32, RW, L, STORED, IR, 2000, 0, U32},
    {VI_ATTR_MAX_QUEUE_LENGTH, T::u32, RW, L, STORED, IR, 50, 1, U32},
    {VI_ATTR_USER_DATA_32, T::u32, RW, L, STORED, IR, 0, 0, U32},
    {VI_ATTR_USER_DATA_64, T::u64, RW, L, STORED, IR, 0, I64MIN, I64MAX},
    {VI_ATTR_RSRC_NAME, T::text, RO, G, LIVE, IR, 0, 0, 0},
    {VI_ATTR_RSRC_CLASS, T::text, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_RSRC_MANF_NAME, T::text, RO, G, LIVE, IR, 0, 0, 0},
    {VI_ATTR_RSRC_MANF_ID, T::u16, RO, G, STORED, IR, 0x0FF1, 0, U16},
    {VI_ATTR_RSRC_SPEC_VERSION, T::u32, RO, G, STORED, IR, VI_SPEC_VERSION, 0, U32},
    {VI_ATTR_RSRC_IMPL_VERSION, T::u32, RO, G, STORED, IR, 0x00100000, 0, U32},
    {VI_ATTR_RSRC_LOCK_STATE, T::u32, RO, G, LIVE, IR, 0, 0, 0},
    {VI_ATTR_RM_SESSION, T::u32, RO, L, LIVE, IR, 0, 0, 0},
    {VI_ATTR_INTF_NUM, T::u16, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_INTF_TYPE, T::u16, RO, G, STORED, I, VI_INTF_ASRL, 0, U16},
    {VI_ATTR_INTF_INST_NAME, T::text, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_IO_PROT, T::u16, RW, L, STORED, I, VI_PROT_NORMAL, 0, U16, ONE_OF(io_prot_values)},
    {VI_ATTR_SEND_END_EN, T::boolean, RW, L, STORED, I, VI_TRUE, 0, 1},
    {VI_ATTR_TERMCHAR, T::u8, RW, L, STORED, I, 0x0A, 0, 0xFF},
    {VI_ATTR_TERMCHAR_EN, T::boolean, RW, L, STORED, I, VI_FALSE, 0, 1},
    {VI_ATTR_SUPPRESS_END_EN, T::boolean, RW, L, STORED, I, VI_FALSE, 0, 1},
    {VI_ATTR_FILE_APPEND_EN, T::boolean, RW, L, STORED, I, VI_FALSE, 0, 1},
    {VI_ATTR_RD_BUF_OPER_MODE, T::u16, RW, L, STORED, I, VI_FLUSH_DISABLE, 0, U16,
     ONE_OF(rd_mode_values)},
    {VI_ATTR_WR_BUF_OPER_MODE, T::u16, RW, L, STORED, I, VI_FLUSH_WHEN_FULL, 0, U16,
     ONE_OF(wr_mode_values)},
    {VI_ATTR_RD_BUF_SIZE, T::u32, RO, L, STORED, I, 4096, 0, U32},
    {VI_ATTR_WR_BUF_SIZE, T::u32, RO, L, STORED, I, 4096, 0, U32},
    {VI_ATTR_DMA_ALLOW_EN, T::boolean, RW, L, STORED, I, VI_FALSE, 0, 1},
    {VI_ATTR_TRIG_ID, T::i16, RW, L, STORED, I, VI_TRIG_SW, -32768, 32767, ONE_OF(trig_values)},
    {VI_ATTR_ASRL_AVAIL_NUM, T::u32, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_ASRL_BAUD, T::u32, RW, G, STORED, I, 9600, 1, U32},
    {VI_ATTR_ASRL_DATA_BITS, T::u16, RW, G, STORED, I, 8, 5, 8},
    {VI_ATTR_ASRL_PARITY, T::u16, RW, G, STORED, I, VI_ASRL_PAR_NONE, 0, 4},
    {VI_ATTR_ASRL_STOP_BITS, T::u16, RW, G, STORED, I, VI_ASRL_STOP_ONE, 0, U16,
     ONE_OF(stop_values)},
    {VI_ATTR_ASRL_FLOW_CNTRL, T::u16, RW, G, STORED, I, VI_ASRL_FLOW_NONE, 0, 7},
    {VI_ATTR_ASRL_END_IN, T::u16, RW, L, STORED, I, VI_ASRL_END_TERMCHAR, 0, 2},
    {VI_ATTR_ASRL_END_OUT, T::u16, RW, L, STORED, I, VI_ASRL_END_NONE, 0, 3},
    {VI_ATTR_ASRL_CTS_STATE, T::i16, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_ASRL_DSR_STATE, T::i16, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_ASRL_DCD_STATE, T::i16, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_ASRL_RI_STATE, T::i16, RO, G, LIVE, I, 0, 0, 0},
    {VI_ATTR_ASRL_DTR_STATE, T::i16, RW, G, STORED, I, VI_STATE_ASSERTED, 0, 1},
    {VI_ATTR_ASRL_RTS_STATE, T::i16, RW, G, STORED, I, VI_STATE_ASSERTED, 0, 1},
    {VI_ATTR_ASRL_REPLACE_CHAR, T::u8, RW, L, STORED, I, 0, 0, 0xFF},
    {VI_ATTR_ASRL_XON_CHAR, T::u8, RW, L, STORED, I, 0x11, 0, 0xFF},
    {VI_ATTR_ASRL_XOFF_CHAR, T::u8, RW, L, STORED, I, 0x13, 0, 0xFF},
    {VI_ATTR_ASRL_DISCARD_NULL, T::boolean, RW, G, STORED, I, VI_FALSE, 0, 1},
    {VI_ATTR_ASRL_BREAK_STATE, T::i16, RW, G, STORED, I, VI_STATE_UNASSERTED, 0, 1},
    {VI_ATTR_ASRL_BREAK_LEN, T::i16, RW, L, STORED, I, 250, 1, 500},
    {VI_ATTR_ASRL_ALLOW_TRANSMIT, T::boolean, RW, G, STORED, I, VI_TRUE, 0, 1},
    {VI_ATTR_ASRL_WIRE_MODE, T::i16, RW, G, STORED, I, VI_ASRL_WIRE_232_DTE, -32768, 32767,
     ONE_OF(wire_values)},
};

}  // namespace

const attr_def* find_attr(ViAttr id, uint8_t owner)
{
    for (const auto& d : table)
        if (d.id == id && (d.owners & owner))
            return &d;
    return nullptr;
}

unsigned attr_size(attr_type t)
{
    switch (t) {
    case T::u8:
        return 1;
    case T::u16:
    case T::i16:
    case T::boolean:
        return 2;
    case T::u32:
    case T::i32:
        return 4;
    case T::u64:
        return 8;
    case T::text:
        return 256;
    }
    return 0;
}

int64_t narrow(attr_type t, ViAttrState v)
{
    switch (t) {
    case T::u8:
        return static_cast<uint8_t>(v);
    case T::u16:
    case T::boolean:
        return static_cast<uint16_t>(v);
    case T::i16:
        return static_cast<int16_t>(v);
    case T::u32:
        return static_cast<uint32_t>(v);
    case T::i32:
        return static_cast<int32_t>(v);
    case T::u64:
    case T::text:
        return static_cast<int64_t>(v);
    }
    return 0;
}

bool valid_value(const attr_def& d, int64_t v)
{
    if (d.choices) {
        for (int i = 0; i < d.nchoices; ++i)
            if (d.choices[i] == v)
                return true;
        return false;
    }
    return d.type == T::u64 || (v >= d.lo && v <= d.hi);
}

void store_value(void* out, attr_type t, int64_t v)
{
    switch (t) {
    case T::u8: {
        uint8_t x = static_cast<uint8_t>(v);
        std::memcpy(out, &x, 1);
        break;
    }
    case T::u16:
    case T::boolean: {
        uint16_t x = static_cast<uint16_t>(v);
        std::memcpy(out, &x, 2);
        break;
    }
    case T::i16: {
        int16_t x = static_cast<int16_t>(v);
        std::memcpy(out, &x, 2);
        break;
    }
    case T::u32:
    case T::i32: {
        uint32_t x = static_cast<uint32_t>(v);
        std::memcpy(out, &x, 4);
        break;
    }
    case T::u64:
        std::memcpy(out, &v, 8);
        break;
    case T::text:
        break;
    }
}

attr_values initial_values(uint8_t owner, bool global)
{
    attr_values out;
    for (const auto& d : table)
        if ((d.owners & owner) && d.global == global && !d.computed && d.type != T::text)
            out[d.id] = d.initial;
    return out;
}

}  // namespace simvisa
