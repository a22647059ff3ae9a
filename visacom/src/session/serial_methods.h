#pragma once
// ISerial: the serial port. Every method is one driver call in the session method frame, with
// ISerial as its error interface: a VISA failure is converted for ISerial, a bad out pointer
// gives E_POINTER, anything else E_UNEXPECTED without error information. No method keeps state
// or judges a value; VISA decides what it accepts.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.
#include <visa.h>

#include "errors/pointer_checks.h"
#include "mvrs232_driver.h"

namespace mrv {
namespace serial_detail {

inline constexpr error_policy policy{convert_visa(IID_ISerial), pointer_error(),
                                     unexpected_error()};

inline method_frame frame(const char* method)
{
    return {IID_ISerial, "ISerial", method, policy};
}

// A property getter: the attribute read at its VISA width, then widened to the interface's type
// (signed widths with their sign, so a line state of -1 stays -1; the characters and the byte
// count without). The out value is written only when the read succeeded.
template <class Session, class Attribute, class Value>
HRESULT get_property(Session& session, const char* method, VARTYPE trace_type, Attribute attribute,
                     Value* pVal)
{
    return run_framed(session, frame(method), {out_param("*pVal", trace_type, pVal)}, [&] {
        check_out_pointer(pVal);
        const auto value = session.driver().get(attribute);
        *pVal = static_cast<Value>(value);
    });
}

// A property setter: the value cut to the attribute's VISA width (the low 16 bits of the
// enumerations, the low 8 of the characters), which the driver widens with that width's sign.
template <class Session, class Attribute, class Value>
HRESULT put_property(Session& session, const char* method, VARTYPE trace_type, Attribute attribute,
                     Value value)
{
    return run_framed(session, frame(method), {in_param("pVal", trace_type, value)}, [&] {
        session.driver().set(attribute, static_cast<typename Attribute::value_type>(value));
    });
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

// The 29 properties: each names its attribute and its trace type; the replacement, XON and
// XOFF puts succeed on a library without the attribute (the driver tolerates VI_ERROR_NSUP_ATTR).
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BytesAvailable(long* pVal)
{
    return serial_detail::get_property(session(), "get_BytesAvailable", VT_I4,
                                       serial_attributes::bytes_available, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BaudRate(long* pVal)
{
    return serial_detail::get_property(session(), "get_BaudRate", VT_I4,
                                       serial_attributes::baud_rate, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_BaudRate(long pVal)
{
    return serial_detail::put_property(session(), "put_BaudRate", VT_I4,
                                       serial_attributes::baud_rate, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataBits(short* pVal)
{
    return serial_detail::get_property(session(), "get_DataBits", VT_I2,
                                       serial_attributes::data_bits, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataBits(short pVal)
{
    return serial_detail::put_property(session(), "put_DataBits", VT_I2,
                                       serial_attributes::data_bits, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ClearToSendState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_ClearToSendState", VT_I4,
                                       serial_attributes::cts_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataCarrierDetectState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_DataCarrierDetectState", VT_I4,
                                       serial_attributes::dcd_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataSetReadyState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_DataSetReadyState", VT_I4,
                                       serial_attributes::dsr_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataTerminalReadyState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_DataTerminalReadyState", VT_I4,
                                       serial_attributes::dtr_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataTerminalReadyState(LineState pVal)
{
    return serial_detail::put_property(session(), "put_DataTerminalReadyState", VT_I4,
                                       serial_attributes::dtr_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndIn(SerialEndConst* pVal)
{
    return serial_detail::get_property(session(), "get_EndIn", VT_I4, serial_attributes::end_in,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndIn(SerialEndConst pVal)
{
    return serial_detail::put_property(session(), "put_EndIn", VT_I4, serial_attributes::end_in,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndOut(SerialEndConst* pVal)
{
    return serial_detail::get_property(session(), "get_EndOut", VT_I4, serial_attributes::end_out,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndOut(SerialEndConst pVal)
{
    return serial_detail::put_property(session(), "put_EndOut", VT_I4, serial_attributes::end_out,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_FlowControl(SerialFlowControl* pVal)
{
    return serial_detail::get_property(session(), "get_FlowControl", VT_I4,
                                       serial_attributes::flow_control, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_FlowControl(SerialFlowControl pVal)
{
    return serial_detail::put_property(session(), "put_FlowControl", VT_I4,
                                       serial_attributes::flow_control, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_Parity(SerialParity* pVal)
{
    return serial_detail::get_property(session(), "get_Parity", VT_I4, serial_attributes::parity,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_Parity(SerialParity pVal)
{
    return serial_detail::put_property(session(), "put_Parity", VT_I4, serial_attributes::parity,
                                       pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RingIndicatorState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_RingIndicatorState", VT_I4,
                                       serial_attributes::ri_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RequestToSendState(LineState* pVal)
{
    return serial_detail::get_property(session(), "get_RequestToSendState", VT_I4,
                                       serial_attributes::rts_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_RequestToSendState(LineState pVal)
{
    return serial_detail::put_property(session(), "put_RequestToSendState", VT_I4,
                                       serial_attributes::rts_state, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_StopBits(SerialStopBits* pVal)
{
    return serial_detail::get_property(session(), "get_StopBits", VT_I4,
                                       serial_attributes::stop_bits, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_StopBits(SerialStopBits pVal)
{
    return serial_detail::put_property(session(), "put_StopBits", VT_I4,
                                       serial_attributes::stop_bits, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ReplacementCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), "get_ReplacementCharacter", VT_UI1,
                                       serial_attributes::replacement_char, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_ReplacementCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), "put_ReplacementCharacter", VT_UI1,
                                       serial_attributes::replacement_char, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XONCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), "get_XONCharacter", VT_UI1,
                                       serial_attributes::xon_char, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XONCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), "put_XONCharacter", VT_UI1,
                                       serial_attributes::xon_char, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XOFFCharacter(BYTE* pVal)
{
    return serial_detail::get_property(session(), "get_XOFFCharacter", VT_UI1,
                                       serial_attributes::xoff_char, pVal);
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XOFFCharacter(BYTE pVal)
{
    return serial_detail::put_property(session(), "put_XOFFCharacter", VT_UI1,
                                       serial_attributes::xoff_char, pVal);
}

// Sets one buffer's size: the receive buffer when bit 16 is set (even with bit 32), else the
// transmit buffer. Any other bit refuses the call before VISA sees it.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::SetBufferSize(BufferMask mask, long size)
{
    return run_framed(session(), serial_detail::frame("SetBufferSize"),
                      {in_param("mask", VT_I4, mask), in_param("size", VT_I4, size)},
                      [&]() -> HRESULT {
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
    return run_framed(session(), serial_detail::frame("Flush"),
                      {in_param("mask", VT_I4, mask), in_param("discard", VT_BOOL, discard)}, [&] {
                          session().driver().flush(
                              serial_detail::flush_mask(static_cast<long>(mask), discard));
                      });
}

}  // namespace mrv
