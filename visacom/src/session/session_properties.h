#pragma once
// IVisaSession: the session properties, attributes and locks.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.

namespace mrv {

// Scaffolding: waiting for the session properties, attributes and locks.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ComponentVersion(long*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SpecVersion(long*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceName(BSTR*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceNumber(short*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_HardwareInterfaceType(short*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_LockState(AccessMode*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SoftwareManufacturerID(short*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SoftwareManufacturerName(BSTR*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_Timeout(long*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_Timeout(long)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_LastStatus(long*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::GetAttribute(long, VARIANT*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::SetAttribute(long, VARIANT)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::LockRsrc(AccessMode, long, BSTR, BSTR*)
{
    return scaffolding<pending_work::session_properties>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::UnlockRsrc()
{
    return scaffolding<pending_work::session_properties>();
}

}  // namespace mrv
