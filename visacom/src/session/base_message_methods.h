#pragma once
// IBaseMessage: bus control and the I/O attributes that shape a transfer.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.
//
// Thin wrappers: the VISA library judges every value; a refusal comes back as a converted
// visa_error. A completion code of the VISA call is not passed on (the result is S_OK).
#include <visa.h>

#include "frame/method_frame.h"

namespace mrv {

namespace base_message {

inline constexpr interface_frame base_message_frame{
    &IID_IBaseMessage,
    "IBaseMessage",
    {convert_visa(IID_IBaseMessage), pointer_error(), internal_error(IID_IBaseMessage)}};

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
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::out("*pVal", pVal)}, [&] {
                          const long protocol = session().driver().get_io_protocol();
                          *pVal = static_cast<IOProtocol>(protocol);
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_IOProtocol(IOProtocol pVal)
{
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::in("pVal", pVal)},
                      [&] { session().driver().set_io_protocol(static_cast<ViInt16>(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SendEndEnabled(VARIANT_BOOL* pVal)
{
    return run_framed(
        session(), base_message::base_message_frame, __func__,
        {param::out("*pVal", param::boolean(pVal))},
        [&] { *pVal = base_message::to_variant_bool(session().driver().get_send_end_enabled()); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_SendEndEnabled(VARIANT_BOOL pVal)
{
    return run_framed(
        session(), base_message::base_message_frame, __func__,
        {param::in("pVal", param::boolean(pVal))},
        [&] { session().driver().set_send_end_enabled(base_message::from_variant_bool(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacter(BYTE* pVal)
{
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = session().driver().get_term_char(); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacter(BYTE pVal)
{
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::in("pVal", pVal)}, [&] { session().driver().set_term_char(pVal); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacterEnabled(VARIANT_BOOL* pVal)
{
    return run_framed(
        session(), base_message::base_message_frame, __func__,
        {param::out("*pVal", param::boolean(pVal))},
        [&] { *pVal = base_message::to_variant_bool(session().driver().get_term_char_enabled()); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacterEnabled(VARIANT_BOOL pVal)
{
    return run_framed(
        session(), base_message::base_message_frame, __func__,
        {param::in("pVal", param::boolean(pVal))},
        [&] { session().driver().set_term_char_enabled(base_message::from_variant_bool(pVal)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::AssertTrigger(TriggerProtocol protocol)
{
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::in("protocol", protocol)},
                      [&] { session().driver().viAssertTrigger(static_cast<ViUInt16>(protocol)); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::Clear()
{
    return run_framed(session(), base_message::base_message_frame, __func__, {},
                      [&] { session().driver().viClear(); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::ReadSTB(short* Status)
{
    return run_framed(session(), base_message::base_message_frame, __func__,
                      {param::out("*Status", Status)}, [&] {
                          // The library writes the status byte straight into the caller's short.
                          session().driver().viReadSTB(reinterpret_cast<ViPUInt16>(Status));
                      });
}

}  // namespace mrv
