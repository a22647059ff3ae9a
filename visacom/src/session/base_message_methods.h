#pragma once
// IBaseMessage: bus control and the I/O attributes that shape a transfer.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.

namespace mrv {

// Scaffolding: waiting for message I/O.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_IOProtocol(IOProtocol*)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_IOProtocol(IOProtocol)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_SendEndEnabled(VARIANT_BOOL*)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_SendEndEnabled(VARIANT_BOOL)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacter(BYTE*)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacter(BYTE)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_TerminationCharacterEnabled(VARIANT_BOOL*)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_TerminationCharacterEnabled(VARIANT_BOOL)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::AssertTrigger(TriggerProtocol)
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::Clear()
{
    return scaffolding<pending_work::message_io>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::ReadSTB(short*)
{
    return scaffolding<pending_work::message_io>();
}

}  // namespace mrv
