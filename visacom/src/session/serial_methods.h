#pragma once
// ISerial: the serial port. Every method is one driver call in the session method frame, with
// ISerial as its error interface: a VISA failure is converted for ISerial, a bad out pointer
// gives E_POINTER, anything else E_UNEXPECTED without error information. No method keeps state
// or judges a value; VISA decides what it accepts.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.
#include <visa.h>

#include <type_traits>
#include <utility>

#include "frame/method_frame.h"

namespace mrv {
namespace serial_detail {

inline constexpr interface_frame serial_frame{
    &IID_ISerial, "ISerial", {convert_visa(IID_ISerial), pointer_error(), unexpected_error()}};

// The driver class of session class T, whose typed operations the properties call.
template <class T>
using driver_of = std::remove_reference_t<decltype(std::declval<T&>().driver())>;

// A property getter: the driver's typed read at the attribute's VISA width, widened to the
// interface's type (signed widths with their sign, so a line state of -1 stays -1; the
// characters and the byte count without). The out value is written only when the read
// succeeded.
template <class Session, class Value, class Driver, class Stored>
HRESULT get_property(Session& session, const char* method, Value* pVal, Stored (Driver::*read)())
{
    return run_framed(session, serial_frame, method, {param::out("*pVal", pVal)},
                      [&] { *pVal = static_cast<Value>((session.driver().*read)()); });
}

// A property setter: the value cut to the attribute's VISA width (the low 16 bits of the
// enumerations, the low 8 of the characters), which the driver widens with that width's sign.
template <class Session, class Value, class Driver, class Stored>
HRESULT put_property(Session& session, const char* method, Value value,
                     ViStatus (Driver::*write)(Stored))
{
    return run_framed(session, serial_frame, method, {param::in("pVal", value)},
                      [&] { (session.driver().*write)(static_cast<Stored>(value)); });
}

// Flush's VISA mask: bit 16 of `mask` names the receive buffer, bit 32 the transmit buffer;
// only VARIANT_TRUE discards, any other `discard` flushes. Other bits are ignored.
constexpr ViUInt16 flush_mask(long mask, VARIANT_BOOL discard) noexcept
{
    const bool drop = discard == VARIANT_TRUE;
    ViUInt16 visa_mask = 0;
    if (mask & VI_IO_IN_BUF)
        visa_mask |= drop ? VI_IO_IN_BUF_DISCARD : VI_IO_IN_BUF;
    if (mask & VI_IO_OUT_BUF)
        visa_mask |= drop ? VI_IO_OUT_BUF_DISCARD : VI_IO_OUT_BUF;
    return visa_mask;
}

}  // namespace serial_detail

// The 29 properties: each names the driver's typed operation for its attribute. The
// replacement, XON and XOFF puts succeed on a library without the attribute (the driver
// tolerates VI_ERROR_NSUP_ATTR).
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BytesAvailable(long* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_bytes_available);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BaudRate(long* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_baud_rate);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_BaudRate(long pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_baud_rate);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataBits(short* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_data_bits);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataBits(short pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_data_bits);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ClearToSendState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_cts_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataCarrierDetectState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_dcd_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataSetReadyState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_dsr_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataTerminalReadyState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_dtr_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataTerminalReadyState(LineState pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_dtr_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndIn(SerialEndConst* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_end_in);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndIn(SerialEndConst pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_end_in);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndOut(SerialEndConst* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_end_out);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndOut(SerialEndConst pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_end_out);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_FlowControl(SerialFlowControl* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_flow_control);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_FlowControl(SerialFlowControl pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_flow_control);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_Parity(SerialParity* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_parity);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_Parity(SerialParity pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_parity);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RingIndicatorState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_ri_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RequestToSendState(LineState* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_rts_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_RequestToSendState(LineState pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_rts_state);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_StopBits(SerialStopBits* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_stop_bits);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_StopBits(SerialStopBits pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_stop_bits);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ReplacementCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_replacement_char);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_ReplacementCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_replacement_char);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XONCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_xon_char);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XONCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_xon_char);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XOFFCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::get_xoff_char);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XOFFCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), __func__, pVal,
                                       &serial_detail::driver_of<T>::set_xoff_char);
}

// Sets one buffer's size: the receive buffer when bit 16 is set (even with bit 32), else the
// transmit buffer. Any other bit refuses the call before VISA sees it.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::SetBufferSize(BufferMask mask, long size)
{
    return run_framed(session(), serial_detail::serial_frame, __func__,
                      {param::in("mask", mask), param::in("size", size)}, [&]() -> HRESULT {
                          const long bits = static_cast<long>(mask);
                          if (bits & ~(VI_IO_IN_BUF | VI_IO_OUT_BUF))
                              return E_INVALIDARG;
                          session().driver().set_buffer_size((bits & VI_IO_IN_BUF) != 0,
                                                             static_cast<ViUInt32>(size));
                          return S_OK;
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::Flush(BufferMask mask, VARIANT_BOOL discard)
{
    return run_framed(
        session(), serial_detail::serial_frame, __func__,
        {param::in("mask", mask), param::in("discard", param::boolean(discard))}, [&] {
            session().driver().flush(serial_detail::flush_mask(static_cast<long>(mask), discard));
        });
}

}  // namespace mrv
