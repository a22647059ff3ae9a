#pragma once
// IBaseMessageImpl<TSerial, T>: the template that carries every VISA COM interface of a
// message-based session class T: the asynchronous and synchronous message interfaces (through
// their adapters), the event manager and the interface of the session's bus (TSerial). It holds
// the session's last status, the result of the latest framed method.
#include "event_manager_impl.h"
#include "message_adapters.h"
#include "scaffolding.h"
#include "visacom.h"

namespace mrv {

template <class TSerial, class T>
class IBaseMessageImpl : public _IAsyncMessage,
                         public IEventManagerImpl<T>,
                         public _IMessage,
                         public TSerial {
public:
    // IVisaSession properties, attributes and locks.
    // Scaffolding: waiting for the session properties, attributes and locks.
    STDMETHODIMP get_ComponentVersion(long*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_SpecVersion(long*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_HardwareInterfaceName(BSTR*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_HardwareInterfaceNumber(short*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_HardwareInterfaceType(short*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_LockState(AccessMode*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_SoftwareManufacturerID(short*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_SoftwareManufacturerName(BSTR*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_Timeout(long*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP put_Timeout(long) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP get_LastStatus(long*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP GetAttribute(long, VARIANT*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP SetAttribute(long, VARIANT) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP LockRsrc(AccessMode, long, BSTR, BSTR*) override { return scaffolding<pending_work::session_properties>(); }
    STDMETHODIMP UnlockRsrc() override { return scaffolding<pending_work::session_properties>(); }

    // IBaseMessage.
    // Scaffolding: waiting for message I/O.
    STDMETHODIMP get_IOProtocol(IOProtocol*) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP put_IOProtocol(IOProtocol) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP get_SendEndEnabled(VARIANT_BOOL*) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP put_SendEndEnabled(VARIANT_BOOL) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP get_TerminationCharacter(BYTE*) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP put_TerminationCharacter(BYTE) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP get_TerminationCharacterEnabled(VARIANT_BOOL*) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP put_TerminationCharacterEnabled(VARIANT_BOOL) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP AssertTrigger(TriggerProtocol) override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP Clear() override { return scaffolding<pending_work::message_io>(); }
    STDMETHODIMP ReadSTB(short*) override { return scaffolding<pending_work::message_io>(); }

    // ISerial.
    // Scaffolding: waiting for the serial port interface.
    STDMETHODIMP get_BytesAvailable(long*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_BaudRate(long*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_BaudRate(long) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_DataBits(short*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_DataBits(short) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_ClearToSendState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_DataCarrierDetectState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_DataSetReadyState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_DataTerminalReadyState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_DataTerminalReadyState(LineState) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_EndIn(SerialEndConst*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_EndIn(SerialEndConst) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_EndOut(SerialEndConst*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_EndOut(SerialEndConst) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_FlowControl(SerialFlowControl*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_FlowControl(SerialFlowControl) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_Parity(SerialParity*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_Parity(SerialParity) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_RingIndicatorState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_RequestToSendState(LineState*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_RequestToSendState(LineState) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_StopBits(SerialStopBits*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_StopBits(SerialStopBits) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_ReplacementCharacter(BYTE*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_ReplacementCharacter(BYTE) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_XONCharacter(BYTE*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_XONCharacter(BYTE) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP get_XOFFCharacter(BYTE*) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP put_XOFFCharacter(BYTE) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP SetBufferSize(BufferMask, long) override { return scaffolding<pending_work::serial_port>(); }
    STDMETHODIMP Flush(BufferMask, VARIANT_BOOL) override { return scaffolding<pending_work::serial_port>(); }

protected:
    // The result of the latest framed method; returned by LastStatus.
    HRESULT last_status_ = S_OK;
};

}  // namespace mrv
