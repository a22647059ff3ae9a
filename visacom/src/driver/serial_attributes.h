#pragma once
// The serial port's attributes, as data for the driver's typed operations: each one's VISA
// identifier and the width VISA stores it in.
#include "driver/visa_attribute.h"

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

}  // namespace mrv
