#include "trace/trace_message.h"

#include <comdef.h>

#include <algorithm>
#include <stdexcept>

#include "com/com_ptr.h"
#include "trace/trace_clock.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"
#include "trace/trace_value.h"
#include "com/unique_any.h"

namespace mrv::trace {

namespace {

constexpr VARTYPE kArrayBit = 0x2000;
constexpr std::size_t kMaxNameLength = 259;

// ANSI text as wide text, cut to 259 characters.
std::wstring widen(std::string_view text, std::size_t limit = std::wstring::npos)
{
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    if (wide.size() > limit)
        wide.resize(limit);
    return wide;
}

const wchar_t* true_false(bool value)
{
    return value ? L"True" : L"False";
}

// The error attributes of an error record, from the thread's error object. Reading the object
// takes it from the thread, so it is put back at once: the method's caller still finds it.
void append_error_attributes(std::wstring& text)
{
    IErrorInfo* taken = nullptr;
    if (GetErrorInfo(0, &taken) != S_OK || !taken)
        return;
    const auto info = com_ptr<IErrorInfo>::attach(taken);
    SetErrorInfo(0, info.get());
    bstr description, source, help_file;
    DWORD help_context = 0;
    info->GetDescription(description.put());
    info->GetSource(source.put());
    info->GetHelpContext(&help_context);
    info->GetHelpFile(help_file.put());
    append_xml_attribute(text, L"Description", escape_xml(bstr_text(description.get())));
    append_xml_attribute(text, L"ErrorSource", escape_xml(bstr_text(source.get())));
    append_xml_attribute(text, L"HelpContext", decimal_text(help_context));
    append_xml_attribute(text, L"HelpFile", escape_xml(bstr_text(help_file.get())));
}

}  // namespace

bool trace_records_wanted() noexcept
{
    trace_status& status = shared_trace_status();
    return existing_trace_pipe() && status.tracing_enabled() && status.records_wanted();
}

MorvaneTraceMessage::MorvaneTraceMessage(record_kind kind, std::string_view method_name,
                                         std::string_view address,
                                         std::string_view application_name,
                                         std::int32_t array_byte_limit, std::int64_t start_time)
    : kind_(kind), array_byte_limit_(std::min(array_byte_limit, kMaxArrayByteLimit)),
      method_name_(widen(method_name, kMaxNameLength)), address_(widen(address, kMaxNameLength)),
      application_name_(widen(application_name, kMaxNameLength)), start_time_(start_time)
{}

bool MorvaneTraceMessage::shows(bool in, bool out) const noexcept
{
    return kind_ == record_kind::enter ? in : out;
}

void MorvaneTraceMessage::append_parameter(const char* name, bool in, bool out, bool retval,
                                           VARTYPE type, const std::wstring& values)
{
    std::wstring element = L"<Parameter";
    append_xml_attribute(element, L"Name", widen(name ? name : ""));
    append_xml_attribute(element, L"InParam", true_false(in));
    append_xml_attribute(element, L"OutParam", true_false(out));
    append_xml_attribute(element, L"RetVal", true_false(retval));
    append_xml_attribute(element, L"ParamType", trace_type_name(type));
    element += L'>';
    element += values;
    element += L"</Parameter>";
    parameters_ += element;
    ++parameter_count_;
}

HRESULT MorvaneTraceMessage::AddParameter(const char* name, bool in, bool out, bool retval,
                                          const VARIANT& value) noexcept
{
    try {
        const VARTYPE type = V_VT(&value);
        if (!supported_trace_type(type & ~kArrayBit))
            throw std::runtime_error("Bad param type");
        if (!shows(in, out))
            return S_OK;
        const std::wstring values = trace_value_elements(value, array_byte_limit_);
        append_parameter(name, in, out, retval, type, values);
    } catch (...) {
        // The parameter is dropped; the record goes on without it.
    }
    return S_OK;
}

HRESULT MorvaneTraceMessage::AddEmptyParameter(const char* name, bool in, bool out,
                                               VARTYPE type) noexcept
{
    try {
        if (shows(in, out))
            append_parameter(name, in, out, false, type, L"<Element Value=\"\"/>");
    } catch (...) {
    }
    return S_OK;
}

std::wstring MorvaneTraceMessage::build_text(HRESULT hr)
{
    hr_ = hr;
    const bool enter = kind_ == record_kind::enter;
    const bool error = !enter && FAILED(hr);
    std::wstring text = L"<Message><Method>";
    text += enter ? L"<Method_Enter" : error ? L"<Method_Error" : L"<Method_Exit";
    if (error)
        append_error_attributes(text);
    append_xml_attribute(text, L"MethodName", escape_xml(method_name_));
    const std::int64_t now = trace_now_ns();
    if (enter) {
        start_time_ = now;
        append_xml_attribute(text, L"Timestamp", decimal_text(now));
    } else {
        append_xml_attribute(text, L"ElapsedNS", decimal_text(now - start_time_));
    }
    append_xml_attribute(text, L"AppName", escape_xml(application_name_));
    append_xml_attribute(text, L"ThreadID", decimal_text(GetCurrentThreadId()));
    append_xml_attribute(text, L"ProcessID", decimal_text(GetCurrentProcessId()));
    if (!enter)
        append_xml_attribute(text, L"HRESULT", decimal_text(hr_));
    append_xml_attribute(text, L"Address", escape_xml(address_));
    append_xml_attribute(text, L"Source", L"VisaCom");
    if (!error)
        append_xml_attribute(text, L"ParamCount", decimal_text(parameter_count_));
    text += L"/></Method>";
    if (parameter_count_ != 0) {
        text += L"<Parameters>";
        text += parameters_;
        text += L"</Parameters>";
    }
    text += L"</Message>";
    return text;
}

HRESULT MorvaneTraceMessage::Send(HRESULT hr) noexcept
{
    try {
        trace_pipe* pipe = existing_trace_pipe();
        if (!pipe || !trace_records_wanted())
            return S_OK;
        // Writing touches no COM state, so the thread's error object stays where it is.
        const std::wstring text = build_text(hr);
        DWORD written = 0;
        pipe->write(text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), &written,
                    INFINITE);
        return S_OK;
    } catch (const _com_error& e) {
        return e.Error();
    } catch (...) {
        return S_OK;
    }
}

}  // namespace mrv::trace
