#pragma once
// ISerial: the serial port.
// Included by base_message_impl.h: out-of-class definitions of IBaseMessageImpl members.

namespace mrv {

// Scaffolding: waiting for the serial port interface.
template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BytesAvailable(long*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_BaudRate(long*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_BaudRate(long)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataBits(short*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataBits(short)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ClearToSendState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataCarrierDetectState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataSetReadyState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_DataTerminalReadyState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_DataTerminalReadyState(LineState)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndIn(SerialEndConst*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndIn(SerialEndConst)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_EndOut(SerialEndConst*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_EndOut(SerialEndConst)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_FlowControl(SerialFlowControl*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_FlowControl(SerialFlowControl)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_Parity(SerialParity*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_Parity(SerialParity)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RingIndicatorState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_RequestToSendState(LineState*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_RequestToSendState(LineState)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_StopBits(SerialStopBits*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_StopBits(SerialStopBits)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_ReplacementCharacter(BYTE*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_ReplacementCharacter(BYTE)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XONCharacter(BYTE*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XONCharacter(BYTE)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::get_XOFFCharacter(BYTE*)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::put_XOFFCharacter(BYTE)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::SetBufferSize(BufferMask, long)
{
    return scaffolding<pending_work::serial_port>();
}

template <class TSerial, class T>
STDMETHODIMP IBaseMessageImpl<TSerial, T>::Flush(BufferMask, VARIANT_BOOL)
{
    return scaffolding<pending_work::serial_port>();
}

}  // namespace mrv
