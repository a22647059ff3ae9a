#include "asrl_session.h"

#include "failure_report.h"
#include "MrvRS232.h"
#include "com/unique_any.h"

namespace asrlcon {

namespace {

mrv::bstr make_bstr(const std::wstring& text)
{
    return mrv::bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

}  // namespace

std::optional<asrl_session> open_session(console_io& io, const client_options& options)
{
    CLSID clsid{};
    if (FAILED(checked_call(io, L"CLSIDFromProgID(\"MorvaneRS232.RS232Svr\")",
                            [&] { return CLSIDFromProgID(session_prog_id, &clsid); })))
        return std::nullopt;
    asrl_session s;
    if (FAILED(checked_call(io, L"CoCreateInstance", [&] {
            return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                                    s.visa.put_void());
        })))
        return std::nullopt;

    s.base = s.visa.as<IBaseMessage>(IID_IBaseMessage);
    s.message = s.visa.as<IMessage>(IID_IMessage);
    s.serial = s.visa.as<ISerial>(IID_ISerial);
    s.events = s.visa.as<IEventManager>(IID_IEventManager);
    s.async = s.visa.as<IAsyncMessage>(IID_IAsyncMessage);
    if (!s.base || !s.message || !s.serial || !s.events || !s.async) {
        report_failure(io,
                       L"QueryInterface for IBaseMessage, IMessage, ISerial, IEventManager and "
                       L"IAsyncMessage",
                       E_NOINTERFACE);
        return std::nullopt;
    }

    if (options.sim_file) {
        auto control = s.visa.as<IControlSimulation>(IID_IControlSimulation);
        if (!control) {
            report_failure(io, L"QueryInterface for IControlSimulation", E_NOINTERFACE);
            return std::nullopt;
        }
        auto file = make_bstr(*options.sim_file);
        if (FAILED(checked_call(io, L"SetSimulationFile",
                                [&] { return control->SetSimulationFile(file.get()); })))
            return std::nullopt;
    }

    auto name = make_bstr(options.resource);
    auto option_string = make_bstr(options.option_string);
    const HRESULT hr = checked_call(io, L"Init(" + options.resource + L")", [&] {
        return s.visa->Init(name.get(), static_cast<AccessMode>(options.access_mode),
                            options.open_timeout, option_string.get());
    });
    if (FAILED(hr))
        return std::nullopt;
    io.line(L"opened " + options.resource + L" through " + session_prog_id + success_note(hr));
    return s;
}

}  // namespace asrlcon
