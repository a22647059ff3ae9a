#include "servers/rs232/rs232_svr.h"

#include <cstdint>
#include <optional>

#include "com/ansi_text.h"
#include "errors/pointer_checks.h"
#include "errors/resource_string.h"
#include "errors/visa_error.h"
#include "resources/string_ids.h"
#include "servers/rs232/component_version.h"
#include "servers/rs232/rs232_paramstring_reader.h"
#include "trace/process_simulation_block.h"

namespace mrv {

STDMETHODIMP CRS232Svr::InterfaceSupportsErrorInfo(REFIID riid)
{
    static const IID* const reporting[] = {
        &IID_ISerial,      &IID_IVisaSession,  &IID_IAsyncMessage,      &IID_IMessage,
        &IID_IBaseMessage, &IID_IEventManager, &IID_IControlSimulation,
    };
    for (const IID* iid : reporting)
        if (InlineIsEqualGUID(*iid, riid))
            return S_OK;
    return S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

CRS232Svr::CRS232Svr()
{
    // The first session of the process makes the process simulation block and its lock.
    trace::simulation_block().ensure_created();
}

void CRS232Svr::FinalRelease()
{
    if (session_is_open())
        internal_close();
    trace_layer_.Unregister();
}

// ---------------------------------------------------------------------------------------------
// IVisaSession: lifecycle

namespace {

constexpr HRESULT kAlreadyOpen = static_cast<HRESULT>(0x8004003A);
constexpr HRESULT kLibraryNotFound = static_cast<HRESULT>(0x80040000);
constexpr DWORD kHelpAlreadyOpen = 1013;
constexpr DWORD kHelpLibraryNotFound = 1050;

// The IVisaSession methods of this file.
constexpr interface_frame kSessionFrame{&IID_IVisaSession,
                                        "IVisaSession",
                                        {convert_visa(IID_IVisaSession), report_loc_com(),
                                         pointer_error(), internal_error(IID_IVisaSession)}};
// The identity properties report no error object for failures other than VISA's.
constexpr interface_frame kIdentityFrame =
    kSessionFrame.with({convert_visa(IID_IVisaSession), pointer_error(), unexpected_error()});
// The resource name's copy may fail for want of memory; its call writes no trace record.
constexpr interface_frame kResourceNameFrame =
    kSessionFrame
        .with(
            {convert_visa(IID_IVisaSession), pointer_error(), pass_com_error(), unexpected_error()})
        .untraced();

}  // namespace

STDMETHODIMP CRS232Svr::Init(BSTR Name, AccessMode Mode, long Timeout, BSTR OptionString)
{
    const char* const method = __func__;
    synchronize<CComObjectRootEx<CComMultiThreadModel>> guard(*this);
    std::optional<MethodTraceScope> scope;

    const HRESULT hr = method_boundary(kSessionFrame.policy, [&]() -> HRESULT {
        if (driver_ && driver_->is_open())
            throw loc_com_error(IDS_ALREADY_OPEN, kHelpAlreadyOpen, IID_IVisaSession, kAlreadyOpen);
        if (driver_ && driver_->is_closed())
            throw no_open_session_error(IID_IVisaSession);
        check_in_pointer(reinterpret_cast<const std::uint16_t*>(Name));
        const std::string name = ansi_text(Name);

        // Init itself is traced: the layer is registered before the scope opens.
        trace_layer_.Register(name);
        const frame_param params[] = {param::in("Name", Name), param::in("Mode", Mode),
                                      param::in("Timeout", Timeout),
                                      param::in("OptionString", OptionString)};
        const TraceParam trace[] = {params[0].trace, params[1].trace, params[2].trace,
                                    params[3].trace};
        scope.emplace(trace_layer_, kSessionFrame.trace_name, method, trace, std::size(trace));
        const std::string options = ansi_text(OptionString);

        // A driver left by an earlier Init that did not open is replaced.
        driver_ = std::make_unique<mvrs232_driver>();
        if (!driver_->load_library(nullptr))
            throw loc_com_error(IDS_VISA_LIBRARY_NOT_FOUND, kHelpLibraryNotFound, IID_IVisaSession,
                                kLibraryNotFound);

        // The block describes a simulated open to the VISA library while viOpen runs; the
        // publication holds the simulation lock (simulated opens of the process one at a time)
        // until the open is over, however it ends.
        std::optional<trace::simulation_publication> published;
        if (simulate_) {
            simulate_ = false;
            published.emplace(
                trace::simulation_block().publish(resource_string(IDS_PLAYBACK_TAG).text(),
                                                  simulation_file_.narrow(), "ASRL", "INSTR"));
            if (FAILED(published->result()))
                throw loc_com_error(published->result());
        }
        const ViStatus status = driver_->open(name.c_str(), static_cast<ViAccessMode>(Mode),
                                              static_cast<ViUInt32>(Timeout), nullptr);
        published.reset();
        apply_option_string(options);
        return hresult_of_status(status);
    });

    if (scope)
        scope->set_result(hr);
    store_last_status(hr);
    return hr;
}

void CRS232Svr::apply_option_string(const std::string& options)
{
    constexpr DWORD kHelpBadOptionString = 1015;
    try {
        rs232_paramstring_reader(*this).parse(options);
    } catch (const bad_paramstring& e) {
        // A key or name the reader does not accept: the session is closed from now on. A
        // refused setting (loc_com_error) leaves it open with the settings before it applied.
        try {
            driver_->close();
        } catch (...) {
            // The option string's failure is the one reported.
        }
        throw loc_com_error(_bstr_t(e.what()).wide(), kHelpBadOptionString, IID_IVisaSession,
                            E_INVALIDARG);
    }
}

STDMETHODIMP CRS232Svr::Close()
{
    // The dispatch thread is stopped before the object lock is taken: a handler running on it
    // may be calling into this session, and would wait for the lock while Close waits for it.
    stop_events();
    return run_framed(*this, kSessionFrame.with({unexpected_error()}), __func__, {},
                      [&] { return internal_close(); });
}

HRESULT CRS232Svr::internal_close() noexcept
{
    HRESULT result = stop_events();
    try {
        driver_->close();
    } catch (const visa_error& e) {
        result = loc_com_error(e, IID_ISerial).set_error_info();
    } catch (...) {
        result = E_UNEXPECTED;
    }
    store_last_status(result);
    return result;
}

// ---------------------------------------------------------------------------------------------
// IVisaSession: identity

STDMETHODIMP CRS232Svr::get_ResourceName(BSTR* pVal)
{
    return run_framed(*this, kResourceNameFrame, __func__, {param::out("*pVal", pVal)}, [&] {
        ViChar name[VI_FIND_BUFLEN] = {};
        driver_->get_attribute(VI_ATTR_RSRC_NAME, name);
        *pVal = new_bstr(name);
    });
}

STDMETHODIMP CRS232Svr::get_SessionType(BSTR* pVal)
{
    return run_framed(*this, kIdentityFrame, __func__, {param::out("*pVal", pVal)},
                      [&] { *pVal = new_bstr("INSTR"); });
}

STDMETHODIMP CRS232Svr::get_ProgID(BSTR* pVal)
{
    return run_framed(*this, kIdentityFrame, __func__, {param::out("*pVal", pVal)},
                      [&] { *pVal = new_bstr(resource_string(IDS_PROGID).text()); });
}

STDMETHODIMP CRS232Svr::get_OptionString(BSTR* pVal)
{
    return run_framed(*this, kSessionFrame.with(pointer_or_unexpected), __func__,
                      {param::out("*pVal", pVal)}, [&] {
                          std::string text;
                          rs232_paramstring_reader(*this).render(text);
                          *pVal = new_bstr(text);
                      });
}

std::optional<std::uint32_t> CRS232Svr::component_version() const
{
    const auto text = module_file_version_text(resource_string(IDS_MODULE_NAME).text());
    return text ? parse_file_version(*text) : std::nullopt;
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

// Not scaffolding: the simulation interface reserves this slot, and it does nothing.
STDMETHODIMP CRS232Svr::Reserved(long, BSTR)
{
    return E_NOTIMPL;
}

}  // namespace mrv
