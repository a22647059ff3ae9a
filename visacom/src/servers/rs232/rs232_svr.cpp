#include "rs232_svr.h"


namespace mrv {

STDMETHODIMP CRS232Svr::InterfaceSupportsErrorInfo(REFIID riid)
{
    static const IID* const reporting[] = {
        &IID_ISerial, &IID_IVisaSession, &IID_IAsyncMessage, &IID_IMessage,
        &IID_IBaseMessage, &IID_IEventManager, &IID_IControlSimulation,
    };
    for (const IID* iid : reporting)
        if (InlineIsEqualGUID(*iid, riid))
            return S_OK;
    return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// IVisaSession: lifecycle

STDMETHODIMP CRS232Svr::Init(BSTR, AccessMode, long, BSTR)
{
    // Scaffolding: waiting for the session lifecycle (Init).
    return scaffolding<pending_work::session_lifecycle>();
}

STDMETHODIMP CRS232Svr::Close()
{
    // Scaffolding: waiting for the session lifecycle (Close).
    return scaffolding<pending_work::session_lifecycle>();
}

// ---------------------------------------------------------------------------------------------
// IVisaSession: identity

STDMETHODIMP CRS232Svr::get_ResourceName(BSTR*)
{
    // Scaffolding: waiting for the session lifecycle (the resource name of the open session).
    return scaffolding<pending_work::session_lifecycle>();
}

STDMETHODIMP CRS232Svr::get_SessionType(BSTR*)
{
    // Scaffolding: waiting for the session lifecycle (the session method frame).
    return scaffolding<pending_work::session_lifecycle>();
}

STDMETHODIMP CRS232Svr::get_ProgID(BSTR*)
{
    // Scaffolding: waiting for the session lifecycle (the session method frame).
    return scaffolding<pending_work::session_lifecycle>();
}

STDMETHODIMP CRS232Svr::get_OptionString(BSTR*)
{
    // Scaffolding: waiting for the option strings.
    return scaffolding<pending_work::option_strings>();
}

// ---------------------------------------------------------------------------------------------
// IControlSimulation

STDMETHODIMP CRS232Svr::SetSimulationFile(BSTR FileName)
{
    try {
        simulation_file_ = _bstr_t(FileName, true);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    simulate_ = true;
    return S_OK;
}

STDMETHODIMP CRS232Svr::Reserved(long, BSTR)
{
    return E_NOTIMPL;
}

}  // namespace mrv
