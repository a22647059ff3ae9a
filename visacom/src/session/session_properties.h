#pragma once
// IVisaSession: the session properties, attributes and locks. Every method but get_LastStatus
// runs in the session method frame; the no-open-session error is reported for IVisaSession.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.
#include <visa.h>

#include <cstdint>
#include <string>

#include "com/ansi_text.h"
#include "com/variant.h"
#include "driver/visa_attribute.h"
#include "errors/module_strings.h"
#include "frame/method_frame.h"
#include "errors/resource_string.h"
#include "errors/visa_error.h"
#include "resources/string_ids.h"

namespace mrv {
namespace session_detail {

inline constexpr interface_frame session_frame{
    &IID_IVisaSession,
    "IVisaSession",
    {convert_visa(IID_IVisaSession), pointer_error(), internal_error(IID_IVisaSession)}};

// The handler orders of this file's methods that differ from the interface's.
// Constants and the version: nothing but a bad pointer can fail, and that without error object.
inline constexpr interface_frame constant_frame = session_frame.with(pointer_or_unexpected);
// Constants whose failures are reported as internal errors.
inline constexpr interface_frame reported_constant_frame =
    session_frame.with({pointer_error(), internal_error(IID_IVisaSession)});
// Attribute reads and writes whose VISA failures are reported for IBaseMessage.
inline constexpr interface_frame message_attribute_frame = session_frame.with(
    {convert_visa(IID_IBaseMessage), pointer_error(), internal_error(IID_IVisaSession)});
inline constexpr interface_frame interface_number_frame =
    session_frame.with({convert_visa(IID_IBaseMessage), pointer_error(), unexpected_error()});
// Generic attribute access: a VARIANT failure gives its own HRESULT.
inline constexpr interface_frame attribute_frame =
    session_frame.with({convert_visa(IID_IVisaSession), pointer_error(), pass_com_error(),
                        internal_error(IID_IVisaSession)});
inline constexpr interface_frame unlock_frame =
    session_frame.with({convert_visa(IID_IVisaSession), internal_error(IID_IVisaSession)});
// The last status may be asked at any time: no lock, no open check, and it stays as it is.
inline constexpr interface_frame last_status_frame = constant_frame.outside_session_state();

inline constexpr long spec_version = 3;
inline constexpr short interface_type_asrl = VI_INTF_ASRL;
// The software manufacturer identifier registered for the server's maker.
inline constexpr short manufacturer_id = 0x3A4D;

// Attributes whose identifier has the top bit set hold text or data blocks, which do not fit
// GetAttribute's number: they are refused rather than read into it.
constexpr bool holds_number(ViAttr attribute) noexcept
{
    return (attribute & 0x80000000u) == 0;
}

}  // namespace session_detail

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ComponentVersion(long* pVal)
{
    return run_framed(session(), session_detail::constant_frame, __func__,
                      {param::out("*pVal", pVal)}, [&]() -> HRESULT {
                          const auto version = session().component_version();
                          if (!version)
                              return E_UNEXPECTED;
                          *pVal = static_cast<long>(*version);
                          return S_OK;
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SpecVersion(long* pVal)
{
    return run_framed(session(), session_detail::reported_constant_frame, __func__,
                      {param::out("*pVal", pVal)}, [&] { *pVal = session_detail::spec_version; });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceName(BSTR* pVal)
{
    return run_framed(session(), session_detail::constant_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = new_bstr(resource_string(IDS_INTERFACE_NAME).text()); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceNumber(short* pVal)
{
    return run_framed(session(), session_detail::interface_number_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = session().driver().get_interface_number(); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceType(short* pVal)
{
    return run_framed(session(), session_detail::constant_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = session_detail::interface_type_asrl; });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_LockState(AccessMode* pVal)
{
    return run_framed(
        session(), session_detail::message_attribute_frame, __func__, {param::out("*pVal", pVal)},
        [&] { *pVal = static_cast<AccessMode>(session().driver().get_lock_state()); });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SoftwareManufacturerID(short* pVal)
{
    return run_framed(session(), session_detail::reported_constant_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = session_detail::manufacturer_id; });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SoftwareManufacturerName(BSTR* pVal)
{
    return run_framed(session(), session_detail::reported_constant_frame, __func__,
                      {param::out("*pVal", pVal)}, [&] {
                          // Loaded once, at process attach.
                          *pVal = company_name().copy();
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_Timeout(long* pVal)
{
    return run_framed(session(), session_detail::message_attribute_frame, __func__,
                      {param::out("*pVal", pVal)},
                      [&] { *pVal = session().driver().get_timeout(); });
}

// Any value goes to VISA, which judges it.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_Timeout(long pVal)
{
    return run_framed(session(), session_detail::message_attribute_frame, __func__,
                      {param::in("pVal", pVal)},
                      [&] { session().driver().set_timeout(static_cast<ViInt32>(pVal)); });
}

// No lock, no open check, and the last status is left as it is, so it may be asked at any time;
// traced like the framed methods. The value is atomic: it sees the result stored before or
// after a concurrent call's.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_LastStatus(long* pVal)
{
    const HRESULT status = last_status_.load(std::memory_order_relaxed);
    return run_framed(session(), session_detail::last_status_frame, __func__,
                      {param::out("*pVal", pVal)}, [&] { *pVal = status; });
}

// Every attribute comes back as VT_I4 holding the low 32 bits of its value: narrower attributes
// zero-extended, 64-bit ones cut. VI_ATTR_MAX_QUEUE_LENGTH is the event manager's own.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::GetAttribute(long attribute, VARIANT* attrState)
{
    return run_framed(session(), session_detail::attribute_frame, __func__,
                      {param::in("attribute", attribute), param::out("*attrState", attrState)},
                      [&]() -> HRESULT {
                          // The caller's VARIANT must be valid on entry: it is cleared before use.
                          if (const HRESULT cleared = ::VariantClear(attrState); FAILED(cleared))
                              throw _com_error(cleared);

                          const auto id = static_cast<ViAttr>(attribute);
                          if (id == VI_ATTR_MAX_QUEUE_LENGTH) {
                              long length = 0;
                              IEventManager& events = session();
                              const HRESULT hr = events.get_MaximumQueueLength(&length);
                              V_VT(attrState) = VT_I4;
                              V_I4(attrState) = length;
                              return hr;
                          }
                          if (!session_detail::holds_number(id))
                              throw visa_error(VI_ERROR_NSUP_ATTR, session().driver());
                          std::uint64_t value = 0;
                          session().driver().get_attribute(id, &value);
                          V_VT(attrState) = VT_I4;
                          V_I4(attrState) = static_cast<LONG>(static_cast<std::uint32_t>(value));
                          return S_OK;
                      });
}

// The value is converted to a 32-bit integer (VariantChangeType for anything but VT_I4; its
// failure is the result, with no error object of the server's own) and written sign-extended
// to the attribute width. VI_ATTR_MAX_QUEUE_LENGTH is the event manager's own.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::SetAttribute(long attribute, VARIANT attrState)
{
    return run_framed(
        session(), session_detail::attribute_frame, __func__,
        {param::in("attribute", attribute), param::in("attrState", attrState)}, [&]() -> HRESULT {
            variant value = variant::copy_of(attrState);
            if (value.type() != VT_I4)
                value.change_type(VT_I4);
            const LONG number = V_I4(value.get());

            const auto id = static_cast<ViAttr>(attribute);
            if (id == VI_ATTR_MAX_QUEUE_LENGTH) {
                IEventManager& events = session();
                return events.put_MaximumQueueLength(number);
            }
            session().driver().set_attribute(id, widen_attribute(static_cast<ViInt32>(number)));
            return S_OK;
        });
}

// The key VISA grants is never asked for: the access key is always a null BSTR, and completion
// codes such as VI_SUCCESS_NESTED_EXCLUSIVE are not passed on.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::LockRsrc(AccessMode LockType, long LockTimeout,
                                                    BSTR RequestedKey, BSTR* AccessKey)
{
    return run_framed(session(), session_detail::message_attribute_frame, __func__,
                      {param::in("LockType", LockType), param::in("LockTimeout", LockTimeout),
                       param::in("RequestedKey", RequestedKey),
                       param::out("*AccessKey", AccessKey)},
                      [&] {
                          const std::string key = ansi_text(RequestedKey);
                          session().driver().viLock(static_cast<ViAccessMode>(LockType),
                                                    static_cast<ViUInt32>(LockTimeout),
                                                    RequestedKey ? key.c_str() : VI_NULL, VI_NULL);
                          *AccessKey = nullptr;
                      });
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::UnlockRsrc()
{
    return run_framed(session(), session_detail::unlock_frame, __func__, {},
                      [&] { session().driver().viUnlock(); });
}

}  // namespace mrv
