#pragma once
// IBaseMessageImpl<TSerial, T>: the template that carries every VISA COM interface of a
// message-based session class T: the asynchronous and synchronous message interfaces (through
// their adapters), the event manager and the interface of the session's bus (TSerial). It holds
// the session's last status, the result of the latest framed method.
//
// The methods are defined by interface in session/base_message_methods_all.h: the session
// properties, attributes and locks of IVisaSession (session_properties.h), IBaseMessage
// (base_message_methods.h) and the serial port (serial_methods.h). A session class instantiates
// them once, explicitly, in one unit of its own. Each runs in the session
// method frame (frame/method_frame.h). T provides session_is_open(), driver() and
// component_version().
#include <atomic>

#include "events/event_manager_impl.h"
#include "frame/method_frame.h"
#include "session/message_adapters.h"
#include "visacom.h"

namespace mrv {

template <class TSerial, class T>
class IBaseMessageImpl : public _IAsyncMessage,
                         public IEventManagerImpl<T>,
                         public _IMessage,
                         public TSerial {
public:
    // IVisaSession properties, attributes and locks (session_properties.h).
    STDMETHODIMP get_ComponentVersion(long*) override;
    STDMETHODIMP get_SpecVersion(long*) override;
    STDMETHODIMP get_HardwareInterfaceName(BSTR*) override;
    STDMETHODIMP get_HardwareInterfaceNumber(short*) override;
    STDMETHODIMP get_HardwareInterfaceType(short*) override;
    STDMETHODIMP get_LockState(AccessMode*) override;
    STDMETHODIMP get_SoftwareManufacturerID(short*) override;
    STDMETHODIMP get_SoftwareManufacturerName(BSTR*) override;
    STDMETHODIMP get_Timeout(long*) override;
    STDMETHODIMP put_Timeout(long) override;
    STDMETHODIMP get_LastStatus(long*) override;
    STDMETHODIMP GetAttribute(long, VARIANT*) override;
    STDMETHODIMP SetAttribute(long, VARIANT) override;
    STDMETHODIMP LockRsrc(AccessMode, long, BSTR, BSTR*) override;
    STDMETHODIMP UnlockRsrc() override;

    // IBaseMessage (base_message_methods.h).
    STDMETHODIMP get_IOProtocol(IOProtocol*) override;
    STDMETHODIMP put_IOProtocol(IOProtocol) override;
    STDMETHODIMP get_SendEndEnabled(VARIANT_BOOL*) override;
    STDMETHODIMP put_SendEndEnabled(VARIANT_BOOL) override;
    STDMETHODIMP get_TerminationCharacter(BYTE*) override;
    STDMETHODIMP put_TerminationCharacter(BYTE) override;
    STDMETHODIMP get_TerminationCharacterEnabled(VARIANT_BOOL*) override;
    STDMETHODIMP put_TerminationCharacterEnabled(VARIANT_BOOL) override;
    STDMETHODIMP AssertTrigger(TriggerProtocol) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP ReadSTB(short*) override;

    // ISerial (serial_methods.h).
    STDMETHODIMP get_BytesAvailable(long*) override;
    STDMETHODIMP get_BaudRate(long*) override;
    STDMETHODIMP put_BaudRate(long) override;
    STDMETHODIMP get_DataBits(short*) override;
    STDMETHODIMP put_DataBits(short) override;
    STDMETHODIMP get_ClearToSendState(LineState*) override;
    STDMETHODIMP get_DataCarrierDetectState(LineState*) override;
    STDMETHODIMP get_DataSetReadyState(LineState*) override;
    STDMETHODIMP get_DataTerminalReadyState(LineState*) override;
    STDMETHODIMP put_DataTerminalReadyState(LineState) override;
    STDMETHODIMP get_EndIn(SerialEndConst*) override;
    STDMETHODIMP put_EndIn(SerialEndConst) override;
    STDMETHODIMP get_EndOut(SerialEndConst*) override;
    STDMETHODIMP put_EndOut(SerialEndConst) override;
    STDMETHODIMP get_FlowControl(SerialFlowControl*) override;
    STDMETHODIMP put_FlowControl(SerialFlowControl) override;
    STDMETHODIMP get_Parity(SerialParity*) override;
    STDMETHODIMP put_Parity(SerialParity) override;
    STDMETHODIMP get_RingIndicatorState(LineState*) override;
    STDMETHODIMP get_RequestToSendState(LineState*) override;
    STDMETHODIMP put_RequestToSendState(LineState) override;
    STDMETHODIMP get_StopBits(SerialStopBits*) override;
    STDMETHODIMP put_StopBits(SerialStopBits) override;
    STDMETHODIMP get_ReplacementCharacter(BYTE*) override;
    STDMETHODIMP put_ReplacementCharacter(BYTE) override;
    STDMETHODIMP get_XONCharacter(BYTE*) override;
    STDMETHODIMP put_XONCharacter(BYTE) override;
    STDMETHODIMP get_XOFFCharacter(BYTE*) override;
    STDMETHODIMP put_XOFFCharacter(BYTE) override;
    STDMETHODIMP SetBufferSize(BufferMask, long) override;
    STDMETHODIMP Flush(BufferMask, VARIANT_BOOL) override;

    // The frame stores every framed method's result here (under the object lock, or without it
    // for a method that waits); get_LastStatus reads it without the lock.
    void store_last_status(HRESULT hr) noexcept
    {
        last_status_.store(hr, std::memory_order_relaxed);
    }

protected:
    T& session() noexcept { return static_cast<T&>(*this); }

    // The result of the latest framed method; returned by LastStatus.
    std::atomic<HRESULT> last_status_{S_OK};
};

}  // namespace mrv
