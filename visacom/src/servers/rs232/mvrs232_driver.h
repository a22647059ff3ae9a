#pragma once
// mvrs232_driver: the driver that an RS-232 session owns: visa_driver plus typed operations for
// the serial attributes and the serial buffers.
#include "driver/serial_attributes.h"
#include "driver/visa_driver.h"

namespace mrv {

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
