#pragma once
// IBaseMessage: bus control and the I/O attributes that shape a transfer.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.
//
// Thin wrappers: the VISA library judges every value; a refusal comes back as a converted
// visa_error. A completion code of the VISA call is not passed on (the result is S_OK).
#include <visa.h>

#include "errors/pointer_checks.h"

namespace mrv {

namespace base_message {

inline constexpr error_policy policy{convert_visa(IID_IBaseMessage), pointer_error(),
                                     internal_error(IID_IBaseMessage)};

inline method_frame frame(const char* method) noexcept
{
    return {IID_IBaseMessage, "IBaseMessage", method, policy};
}

constexpr VARIANT_BOOL to_variant_bool(bool value) noexcept
{
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Only VARIANT_TRUE itself enables: any other non-zero value (1 from a C caller) disables.
constexpr bool from_variant_bool(VARIANT_BOOL value) noexcept
{
    return value == VARIANT_TRUE;
}

}  // namespace base_message

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_IOProtocol(IOProtocol* pVal)
{
    return run_framed(session(), base_message::frame("get_IOProtocol"),
                      {out_param("*pVal", VT_I4, pVal)}, [&] {
                          check_out_pointer(pVal);
                          const long protocol = session().driver().get_io_protocol();
                          *pVal = static_cast<IOProtocol>(protocol);
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_IOProtocol(IOProtocol pVal)
{
    return run_framed(session(), base_message::frame("put_IOProtocol"),
                      {in_param("pVal", VT_I4, pVal)},
                      [&] { session().driver().set_io_protocol(static_cast<ViInt16>(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SendEndEnabled(VARIANT_BOOL* pVal)
{
    return run_framed(session(), base_message::frame("get_SendEndEnabled"),
                      {out_param("*pVal", VT_BOOL, pVal)}, [&] {
                          check_out_pointer(pVal);
                          *pVal = base_message::to_variant_bool(
                              session().driver().get_send_end_enabled());
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_SendEndEnabled(VARIANT_BOOL pVal)
{
    return run_framed(
        session(), base_message::frame("put_SendEndEnabled"), {in_param("pVal", VT_BOOL, pVal)},
        [&] { session().driver().set_send_end_enabled(base_message::from_variant_bool(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacter(BYTE* pVal)
{
    return run_framed(session(), base_message::frame("get_TerminationCharacter"),
                      {out_param("*pVal", VT_UI1, pVal)}, [&] {
                          check_out_pointer(pVal);
                          *pVal = session().driver().get_term_char();
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacter(BYTE pVal)
{
    return run_framed(session(), base_message::frame("put_TerminationCharacter"),
                      {in_param("pVal", VT_UI1, pVal)},
                      [&] { session().driver().set_term_char(pVal); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacterEnabled(VARIANT_BOOL* pVal)
{
    return run_framed(session(), base_message::frame("get_TerminationCharacterEnabled"),
                      {out_param("*pVal", VT_BOOL, pVal)}, [&] {
                          check_out_pointer(pVal);
                          *pVal = base_message::to_variant_bool(
                              session().driver().get_term_char_enabled());
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacterEnabled(VARIANT_BOOL pVal)
{
    return run_framed(
        session(), base_message::frame("put_TerminationCharacterEnabled"),
        {in_param("pVal", VT_BOOL, pVal)},
        [&] { session().driver().set_term_char_enabled(base_message::from_variant_bool(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::AssertTrigger(TriggerProtocol protocol)
{
    return run_framed(session(), base_message::frame("AssertTrigger"),
                      {in_param("protocol", VT_I4, protocol)},
                      [&] { session().driver().viAssertTrigger(static_cast<ViUInt16>(protocol)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::Clear()
{
    return run_framed(session(), base_message::frame("Clear"), {},
                      [&] { session().driver().viClear(); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::ReadSTB(short* Status)
{
    return run_framed(session(), base_message::frame("ReadSTB"),
                      {out_param("*Status", VT_I2, Status)}, [&] {
                          check_out_pointer(Status);
                          // The library writes the status byte straight into the caller's short.
                          session().driver().viReadSTB(reinterpret_cast<ViPUInt16>(Status));
                      });
}

}  // namespace mrv
