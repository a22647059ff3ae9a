#pragma once
// CRS232Svr: the serial VISA COM session, one VISA session on one serial resource. Clients
// make it through the class object (as CComObject<CRS232Svr>), open it once with Init, use it
// through the VISA COM interfaces, and end it with Close or by releasing it.
#include <ocidl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "com/bstr_t.h"
#include "com/com_object.h"
#include "MrvRS232.h"
#include "servers/rs232/connection_points.h"
#include "servers/rs232/mvrs232_driver.h"
#include "servers/rs232/provide_class_info.h"
#include "session/base_message_impl.h"
#include "trace/trace_layer.h"

namespace mrv {

class CRS232Svr
    : public CComObjectRootEx<CComMultiThreadModel>,
      public CComCoClass<CRS232Svr, &CLSID_RS232Svr>,
      public ISupportErrorInfo,
      public IProvideClassInfo2Impl<&CLSID_RS232Svr, &IID_NULL, &LIBID_MorvaneRS232Lib, 1, 0>,
      public IConnectionPointContainerImpl<CRS232Svr>,
      public IBaseMessageImpl<ISerial, CRS232Svr>,
      public IControlSimulation {
public:
    // QueryInterface's order. IUnknown is the ISupportErrorInfo pointer; IVisaSession and
    // IBaseMessage are handed out through the _IMessage base.
    using interfaces = interface_map<
        com_entry<ISupportErrorInfo>, com_entry<IProvideClassInfo2>,
        com_entry<IConnectionPointContainer>, com_entry<IAsyncMessage, _IAsyncMessage>,
        com_entry<IMessage, _IMessage>, com_entry<ISerial>, com_entry<IBaseMessage, _IMessage>,
        com_entry<IVisaSession, _IMessage>, com_entry<IEventManager, IEventManagerImpl<CRS232Svr>>,
        com_entry<IControlSimulation>>;

    // ISupportErrorInfo: the VISA COM interfaces and IControlSimulation report COM errors.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IVisaSession: lifecycle and identity (rs232_svr.cpp).
    STDMETHODIMP Init(BSTR Name, AccessMode Mode, long Timeout, BSTR OptionString) override;
    STDMETHODIMP Close() override;
    STDMETHODIMP get_ResourceName(BSTR* pVal) override;
    STDMETHODIMP get_SessionType(BSTR* pVal) override;
    STDMETHODIMP get_ProgID(BSTR* pVal) override;
    STDMETHODIMP get_OptionString(BSTR* pVal) override;

    // IMessage transfers, reached through the _IMessage adapter (rs232_message_io.cpp).
    HRESULT IMessage_Read(long count, SAFEARRAY** buf) override;
    HRESULT IMessage_ReadString(long count, BSTR* pVal) override;
    HRESULT IMessage_Write(SAFEARRAY** buf, long count, long* retCount) override;
    HRESULT IMessage_WriteString(BSTR message, long* pRetCount) override;

    // IAsyncMessage jobs, the first three reached through the _IAsyncMessage adapter
    // (rs232_async_io.cpp).
    HRESULT IAsyncMessage_Read(long count, long* jobId) override;
    HRESULT IAsyncMessage_Write(SAFEARRAY** buf, long count, long* jobId) override;
    HRESULT IAsyncMessage_WriteString(BSTR message, long* jobId) override;
    STDMETHODIMP Terminate(long jobId) override;

    // IControlSimulation: no lock, no trace; takes effect at the next Init.
    STDMETHODIMP SetSimulationFile(BSTR FileName) override;
    STDMETHODIMP Reserved(long Code, BSTR Data) override;

    // For the session method frame and the session templates.
    bool session_is_open() const noexcept { return driver_ && driver_->is_open(); }
    mvrs232_driver& driver() noexcept { return *driver_; }
    trace::trace_layer& trace_layer() noexcept { return trace_layer_; }
    // The version number of the DLL's version resource; none when it cannot be read.
    std::optional<std::uint32_t> component_version() const;

    CRS232Svr();
    // Final release: closes an open session.
    void FinalRelease();

private:
    // Stops the event machinery and closes the driver; the result is also the last status.
    HRESULT internal_close() noexcept;
    // Applies the option string to the newly opened session.
    void apply_option_string(const std::string& options);

    // Registered at Init, unregistered at the final release.
    trace::MorvaneTraceLayer<CRS232Svr> trace_layer_;
    std::unique_ptr<mvrs232_driver> driver_;  // null until the first Init
    bool simulate_ = false;                   // set by SetSimulationFile, consumed by Init
    _bstr_t simulation_file_;
};

// The session's interface templates are instantiated once, in rs232_session_methods.cpp.
extern template class IEventManagerImpl<CRS232Svr>;
extern template class IBaseMessageImpl<ISerial, CRS232Svr>;

}  // namespace mrv
