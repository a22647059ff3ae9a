#pragma once
// CRS232Svr: the serial VISA COM session, one VISA session on one serial resource. Clients
// make it through the class object (as CComObject<CRS232Svr>), open it once with Init, use it
// through the VISA COM interfaces, and end it with Close or by releasing it.
#include <ocidl.h>

#include "base_message_impl.h"
#include "com/bstr_t.h"
#include "com/com_object.h"
#include "connection_points.h"
#include "MrvRS232.h"
#include "provide_class_info.h"
#include "scaffolding.h"

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
        com_entry<ISupportErrorInfo>,
        com_entry<IProvideClassInfo2>,
        com_entry<IConnectionPointContainer>,
        com_entry<IAsyncMessage, _IAsyncMessage>,
        com_entry<IMessage, _IMessage>,
        com_entry<ISerial>,
        com_entry<IBaseMessage, _IMessage>,
        com_entry<IVisaSession, _IMessage>,
        com_entry<IEventManager, IEventManagerImpl<CRS232Svr>>,
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

    // IMessage transfers, reached through the _IMessage adapter.
    // Scaffolding: waiting for message I/O.
    HRESULT IMessage_Read(long, SAFEARRAY**) override { return scaffolding<pending_work::message_io>(); }
    HRESULT IMessage_ReadString(long, BSTR*) override { return scaffolding<pending_work::message_io>(); }
    HRESULT IMessage_Write(SAFEARRAY**, long, long*) override { return scaffolding<pending_work::message_io>(); }
    HRESULT IMessage_WriteString(BSTR, long*) override { return scaffolding<pending_work::message_io>(); }

    // IAsyncMessage jobs, the first three reached through the _IAsyncMessage adapter.
    // Scaffolding: waiting for asynchronous I/O.
    HRESULT IAsyncMessage_Read(long, long*) override { return scaffolding<pending_work::async_io>(); }
    HRESULT IAsyncMessage_Write(SAFEARRAY**, long, long*) override { return scaffolding<pending_work::async_io>(); }
    HRESULT IAsyncMessage_WriteString(BSTR, long*) override { return scaffolding<pending_work::async_io>(); }
    STDMETHODIMP Terminate(long) override { return scaffolding<pending_work::async_io>(); }

    // IControlSimulation: no lock, no trace; takes effect at the next Init.
    STDMETHODIMP SetSimulationFile(BSTR FileName) override;
    STDMETHODIMP Reserved(long Code, BSTR Data) override;

protected:
    // The session's trace layer and its driver (null until the first Init) join these fields
    // with the work that opens and traces sessions.
    bool simulate_ = false;
    _bstr_t simulation_file_;
};

}  // namespace mrv
