#pragma once
// mvrs232_driver: the driver that an RS-232 session owns: visa_driver plus typed operations for
// the serial attributes and the serial buffers.
#include "visa_attribute.h"
#include "visa_driver.h"

namespace mrv {

namespace serial_attributes {
inline constexpr visa_attribute<VI_ATTR_ASRL_BAUD, ViInt32> baud_rate{};
inline constexpr visa_attribute<VI_ATTR_ASRL_DATA_BITS, ViInt16> data_bits{};
inline constexpr visa_attribute<VI_ATTR_ASRL_PARITY, ViInt16> parity{};
inline constexpr visa_attribute<VI_ATTR_ASRL_STOP_BITS, ViInt16> stop_bits{};
inline constexpr visa_attribute<VI_ATTR_ASRL_FLOW_CNTRL, ViInt16> flow_control{};
inline constexpr visa_attribute<VI_ATTR_ASRL_DTR_STATE, ViInt16> dtr_state{};
inline constexpr visa_attribute<VI_ATTR_ASRL_END_IN, ViInt16> end_in{};
inline constexpr visa_attribute<VI_ATTR_ASRL_END_OUT, ViInt16> end_out{};
inline constexpr visa_attribute<VI_ATTR_ASRL_RTS_STATE, ViInt16> rts_state{};
inline constexpr visa_attribute<VI_ATTR_ASRL_REPLACE_CHAR, ViUInt8> replacement_char{};
inline constexpr visa_attribute<VI_ATTR_ASRL_XON_CHAR, ViUInt8> xon_char{};
inline constexpr visa_attribute<VI_ATTR_ASRL_XOFF_CHAR, ViUInt8> xoff_char{};
inline constexpr visa_attribute<VI_ATTR_ASRL_AVAIL_NUM, ViUInt32> bytes_available{};
inline constexpr visa_attribute<VI_ATTR_ASRL_CTS_STATE, ViInt16> cts_state{};
inline constexpr visa_attribute<VI_ATTR_ASRL_DCD_STATE, ViInt16> dcd_state{};
inline constexpr visa_attribute<VI_ATTR_ASRL_DSR_STATE, ViInt16> dsr_state{};
inline constexpr visa_attribute<VI_ATTR_ASRL_RI_STATE, ViInt16> ri_state{};
}  // namespace serial_attributes

class mvrs232_driver : public visa_driver {
public:
    mvrs232_driver() noexcept = default;
    ~mvrs232_driver() override;
    ViStatus open(ViConstRsrc name, ViAccessMode mode, ViUInt32 open_timeout,
                  ViStatus* out_status) override;

    ViInt32 get_baud_rate() { return get(serial_attributes::baud_rate); }
    ViStatus set_baud_rate(ViInt32 baud) { return set(serial_attributes::baud_rate, baud); }
    ViInt16 get_data_bits() { return get(serial_attributes::data_bits); }
    ViStatus set_data_bits(ViInt16 bits) { return set(serial_attributes::data_bits, bits); }
    ViInt16 get_parity() { return get(serial_attributes::parity); }
    ViStatus set_parity(ViInt16 parity) { return set(serial_attributes::parity, parity); }
    ViInt16 get_stop_bits() { return get(serial_attributes::stop_bits); }
    ViStatus set_stop_bits(ViInt16 bits) { return set(serial_attributes::stop_bits, bits); }
    ViInt16 get_flow_control() { return get(serial_attributes::flow_control); }
    ViStatus set_flow_control(ViInt16 flow) { return set(serial_attributes::flow_control, flow); }
    ViInt16 get_dtr_state() { return get(serial_attributes::dtr_state); }
    ViStatus set_dtr_state(ViInt16 state) { return set(serial_attributes::dtr_state, state); }
    ViInt16 get_end_in() { return get(serial_attributes::end_in); }
    ViStatus set_end_in(ViInt16 mode) { return set(serial_attributes::end_in, mode); }
    ViInt16 get_end_out() { return get(serial_attributes::end_out); }
    ViStatus set_end_out(ViInt16 mode) { return set(serial_attributes::end_out, mode); }
    ViInt16 get_rts_state() { return get(serial_attributes::rts_state); }
    ViStatus set_rts_state(ViInt16 state) { return set(serial_attributes::rts_state, state); }
    ViUInt8 get_replacement_char() { return get(serial_attributes::replacement_char); }
    ViStatus set_replacement_char(ViUInt8 c) { return set(serial_attributes::replacement_char, c); }
    ViUInt8 get_xon_char() { return get(serial_attributes::xon_char); }
    ViStatus set_xon_char(ViUInt8 c) { return set(serial_attributes::xon_char, c); }
    ViUInt8 get_xoff_char() { return get(serial_attributes::xoff_char); }
    ViStatus set_xoff_char(ViUInt8 c) { return set(serial_attributes::xoff_char, c); }
    ViUInt32 get_bytes_available() { return get(serial_attributes::bytes_available); }
    ViInt16 get_cts_state() { return get(serial_attributes::cts_state); }
    ViInt16 get_dcd_state() { return get(serial_attributes::dcd_state); }
    ViInt16 get_dsr_state() { return get(serial_attributes::dsr_state); }
    ViInt16 get_ri_state() { return get(serial_attributes::ri_state); }

    // The receive (`input`) or transmit buffer of the port.
    ViStatus set_buffer_size(bool input, ViUInt32 size);
    ViStatus flush(ViUInt16 mask) { return viFlush(mask); }
};

}  // namespace mrv
