#include "trace_message.h"

#include <comdef.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "trace_clock.h"
#include "trace_pipe.h"
#include "trace_status.h"

namespace mrv::trace {

namespace {

constexpr VARTYPE kArrayBit = 0x2000;
constexpr std::size_t kMaxNameLength = 259;
constexpr LCID kUsEnglish = 1033;
constexpr wchar_t kHex[] = L"0123456789abcdef";

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

bool supported_type(VARTYPE base) noexcept
{
    switch (base) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 8:
    case 11:
    case 12:
    case 13:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 25:
    case 0x100:
    case 0x200:
    case 0x400:
    case 0x800:
        return true;
    default:
        return false;
    }
}

void append_attribute(std::wstring& text, const wchar_t* name, std::wstring_view value)
{
    text += L' ';
    text += name;
    text += L"=\"";
    text += value;
    text += L'"';
}

std::wstring decimal(long long value)
{
    wchar_t digits[24];
    std::swprintf(digits, 24, L"%lld", value);
    return digits;
}

std::wstring hex32(std::uint64_t value)
{
    wchar_t digits[16];
    std::swprintf(digits, 16, L"0x%x", static_cast<unsigned>(value & 0xFFFFFFFFu));
    return digits;
}

const wchar_t* true_false(bool value)
{
    return value ? L"True" : L"False";
}

std::wstring bstr_text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : L"";
}

// The thread's error object, taken aside while a record is built or written and put back after.
class error_info_aside {
public:
    error_info_aside() noexcept
    {
        if (GetErrorInfo(0, &info_) != S_OK)
            info_ = nullptr;
    }
    ~error_info_aside()
    {
        if (info_) {
            SetErrorInfo(0, info_);
            info_->Release();
        }
    }
    error_info_aside(const error_info_aside&) = delete;
    error_info_aside& operator=(const error_info_aside&) = delete;
    IErrorInfo* get() const noexcept { return info_; }

private:
    IErrorInfo* info_ = nullptr;
};

void append_error_attributes(std::wstring& text)
{
    error_info_aside aside;
    IErrorInfo* info = aside.get();
    if (!info)
        return;
    BSTR description = nullptr, source = nullptr, help_file = nullptr;
    DWORD help_context = 0;
    info->GetDescription(&description);
    info->GetSource(&source);
    info->GetHelpContext(&help_context);
    info->GetHelpFile(&help_file);
    const std::wstring texts[] = {bstr_text(description), bstr_text(source), bstr_text(help_file)};
    SysFreeString(description);
    SysFreeString(source);
    SysFreeString(help_file);
    append_attribute(text, L"Description", escape_xml(texts[0]));
    append_attribute(text, L"ErrorSource", escape_xml(texts[1]));
    append_attribute(text, L"HelpContext", decimal(help_context));
    append_attribute(text, L"HelpFile", escape_xml(texts[2]));
}

std::size_t element_size(VARTYPE base) noexcept
{
    if (base & 0x100)
        return 1;
    if (base & 0x200)
        return 2;
    if (base & 0x400)
        return 4;
    if (base & 0x800)
        return 8;
    return 1;
}

// The value elements of an array argument, within the array byte limit.
std::wstring array_elements(const VARIANT& value, std::int32_t limit)
{
    const VARTYPE base = V_VT(&value) & ~kArrayBit;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG lower = 0, upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)))
        throw std::runtime_error("Bad array bounds");
    const long long size = static_cast<long long>(element_size(base));
    long long last = upper;
    if (limit >= 0)
        last = std::min<long long>(upper, (limit + static_cast<long long>(lower)) / size - 1);
    const long long count = last >= lower ? last - lower + 1 : 0;
    const auto* data = static_cast<const unsigned char*>(array->pvData);
    if (count > 0 && !data)
        throw std::runtime_error("Bad array data");
    const std::size_t stride = array->cbElements ? array->cbElements : 1;

    std::wstring text;
    if (base & 0x100) {
        std::wstring hex;
        hex.reserve(static_cast<std::size_t>(count) * 2);
        for (long long i = 0; i < count; ++i) {
            const unsigned char byte = data[i * stride];
            hex += kHex[byte >> 4];
            hex += kHex[byte & 15];
        }
        text = L"<Element";
        append_attribute(text, L"BinHexValue", hex);
        return text + L"/>";
    }
    for (long long i = 0; i < count; ++i) {
        const unsigned char* at = data + i * stride;
        VARIANT element;
        VariantInit(&element);
        if (base & 0x200) {
            V_VT(&element) = VT_UI2;
            std::memcpy(&V_UI2(&element), at, 2);
        } else if (base & 0x400) {
            V_VT(&element) = VT_UI4;
            std::memcpy(&V_UI4(&element), at, 4);
        } else if (base & 0x800) {
            V_VT(&element) = VT_UI8;
            std::memcpy(&V_UI8(&element), at, 8);
        } else {
            V_VT(&element) = VT_UNKNOWN;
            std::memcpy(&V_UNKNOWN(&element), at, sizeof(void*));
        }
        text += L"<Element";
        append_attribute(text, L"Value", escape_xml(render_trace_value(element)));
        text += L"/>";
    }
    return text;
}

}  // namespace

std::wstring escape_xml(std::wstring_view text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        case L'"':
            escaped += L"&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

const wchar_t* trace_type_name(VARTYPE type) noexcept
{
    const wchar_t* name = L"UNRECOGNIZED";
    switch (type & ~kArrayBit) {
    case 0:
        name = L"EMPTY";
        break;
    case 1:
        name = L"NULL";
        break;
    case 2:
        name = L"int16";
        break;
    case 3:
        name = L"int32";
        break;
    case 4:
    case 5:
        name = L"float";
        break;
    case 8:
        name = L"string";
        break;
    case 11:
        name = L"bool";
        break;
    case 13:
        name = L"object";
        break;
    case 16:
        name = L"int8";
        break;
    case 17:
    case 0x100:
        name = L"uint8";
        break;
    case 18:
    case 0x200:
        name = L"uint16";
        break;
    case 19:
    case 0x400:
        name = L"uint32";
        break;
    case 20:
        name = L"int64";
        break;
    case 21:
    case 0x800:
        name = L"uint64";
        break;
    case 25:
        name = L"HRESULT";
        break;
    }
    if (!(type & kArrayBit))
        return name;
    // The array names, built once.
    static const std::wstring array_names[] = {
        L"ARRAY->EMPTY", L"ARRAY->NULL",   L"ARRAY->int16",   L"ARRAY->int32",
        L"ARRAY->float", L"ARRAY->string", L"ARRAY->bool",    L"ARRAY->object",
        L"ARRAY->int8",  L"ARRAY->uint8",  L"ARRAY->uint16",  L"ARRAY->uint32",
        L"ARRAY->int64", L"ARRAY->uint64", L"ARRAY->HRESULT", L"ARRAY->UNRECOGNIZED"};
    for (const std::wstring& full : array_names)
        if (full.compare(7, std::wstring::npos, name) == 0)
            return full.c_str();
    return name;
}

std::wstring render_trace_value(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_UNKNOWN:
        return hex32(reinterpret_cast<std::uintptr_t>(V_UNKNOWN(&value)));
    case VT_HRESULT:
        return hex32(static_cast<std::uint32_t>(V_ERROR(&value)));
    default:
        break;
    }
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), kUsEnglish,
                                   VARIANT_ALPHABOOL, VT_BSTR)))
        return L"Undisplayable Value";
    std::wstring result = bstr_text(V_BSTR(&text));
    VariantClear(&text);
    return result;
}

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
    append_attribute(element, L"Name", widen(name ? name : ""));
    append_attribute(element, L"InParam", true_false(in));
    append_attribute(element, L"OutParam", true_false(out));
    append_attribute(element, L"RetVal", true_false(retval));
    append_attribute(element, L"ParamType", trace_type_name(type));
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
        if (!supported_type(type & ~kArrayBit))
            throw std::runtime_error("Bad param type");
        if (!shows(in, out))
            return S_OK;
        std::wstring values;
        if (type & kArrayBit) {
            values = array_elements(value, array_byte_limit_);
        } else {
            values = L"<Element";
            append_attribute(values, L"Value", escape_xml(render_trace_value(value)));
            values += L"/>";
        }
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
    append_attribute(text, L"MethodName", escape_xml(method_name_));
    const std::int64_t now = trace_now_ns();
    if (enter) {
        start_time_ = now;
        append_attribute(text, L"Timestamp", decimal(now));
    } else {
        append_attribute(text, L"ElapsedNS", decimal(now - start_time_));
    }
    append_attribute(text, L"AppName", escape_xml(application_name_));
    append_attribute(text, L"ThreadID", decimal(GetCurrentThreadId()));
    append_attribute(text, L"ProcessID", decimal(GetCurrentProcessId()));
    if (!enter)
        append_attribute(text, L"HRESULT", decimal(hr_));
    append_attribute(text, L"Address", escape_xml(address_));
    append_attribute(text, L"Source", L"VisaCom");
    if (!error)
        append_attribute(text, L"ParamCount", decimal(parameter_count_));
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
        const std::wstring text = build_text(hr);
        error_info_aside aside;
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
