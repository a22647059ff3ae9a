#include "trace/method_trace_scope.h"

#include <cstdint>
#include <cstring>

#include "trace/trace_layer.h"
#include "trace/trace_message.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

namespace mrv {

namespace {

// Whether a record made now would be written. The first traced call of the process makes its
// trace pipe, watched or not, so that other processes find its named objects (a failed try is
// repeated by the next call); after that the pipe costs one pointer read, and a call nobody
// watches reads two flags of shared memory and builds nothing.
bool records_go_out() noexcept
{
    if (!trace::process_trace_pipe())
        return false;
    trace::trace_status& status = trace::shared_trace_status();
    return status.tracing_enabled() && status.records_wanted();
}

// The internal array type of an array code: bytes shown in hexadecimal, or 16-, 32- or 64-bit
// elements; 0 for a code that is not an array.
VARTYPE array_type(VARTYPE code) noexcept
{
    switch (code) {
    case VT_SAFEARRAY:
    case VT_ARRAY | VT_UI1:
    case 0x8001:
        return 0x2100;
    case 0x8002:
        return 0x2200;
    case 0x8003:
        return 0x2400;
    case 0x8004:
        return 0x2800;
    default:
        return 0;
    }
}

// The VARIANT of one argument, read through its value pointer by its type code. The VARIANT
// borrows what it refers to and is never cleared.
VARIANT argument_value(const TraceParam& p, bool exit_pass) noexcept
{
    VARIANT v;
    VariantInit(&v);
    if (const VARTYPE array = array_type(p.type)) {
        if (!exit_pass && p.out) {
            // The out array does not exist yet: show where it will go.
            V_VT(&v) = VT_UNKNOWN;
            V_UNKNOWN(&v) = static_cast<IUnknown*>(const_cast<void*>(p.value));
        } else {
            V_VT(&v) = array;
            std::memcpy(&V_ARRAY(&v), p.value, sizeof(SAFEARRAY*));
        }
        return v;
    }
    V_VT(&v) = p.type;
    switch (p.type) {
    case 2:
    case 11:
        std::memcpy(&V_I2(&v), p.value, 2);
        break;
    case 3:
    case 19:
        std::memcpy(&V_I4(&v), p.value, 4);
        break;
    case 16:
    case 17:
        std::memcpy(&V_UI1(&v), p.value, 1);
        break;
    case 12:
    case 13:
        V_BYREF(&v) = const_cast<void*>(p.value);
        break;
    default:
        std::memcpy(&V_I8(&v), p.value, 8);
        break;
    }
    return v;
}

// Whether the text of a BSTR can be read: its length prefix and its characters.
bool bstr_readable(const wchar_t* text) noexcept
{
    if (!text)
        return true;
    const auto* prefix = reinterpret_cast<const std::uint32_t*>(text) - 1;
    if (::IsBadReadPtr(prefix, sizeof *prefix))
        return false;
    return !::IsBadReadPtr(text, static_cast<UINT_PTR>(*prefix) + sizeof(wchar_t));
}

// Whether an array's descriptor, its first bounds and its data can be read.
bool array_readable(const SAFEARRAY* array) noexcept
{
    if (!array)
        return true;
    if (::IsBadReadPtr(array, sizeof *array))
        return false;
    const std::size_t bounds = array->cDims > 1 ? array->cDims - 1 : 0;
    if (::IsBadReadPtr(array, sizeof *array + bounds * sizeof(SAFEARRAYBOUND)))
        return false;
    if (array->cDims == 0 || !array->pvData)
        return true;
    const unsigned long long bytes =
        static_cast<unsigned long long>(array->cbElements) * array->rgsabound[0].cElements;
    return !::IsBadReadPtr(array->pvData, static_cast<UINT_PTR>(bytes));
}

// Whether an argument can be shown without touching memory the process may not read: a caller
// may pass any pointer, and the record is made before the frame checks it.
bool value_readable(const TraceParam& p, bool exit_pass) noexcept
{
    const VARTYPE array = array_type(p.type);
    if (array && !exit_pass && p.out)
        return true;  // only the pointer itself is shown
    std::size_t size = 8;
    switch (p.type) {
    case VT_I2:
    case VT_BOOL:
        size = 2;
        break;
    case VT_I4:
    case VT_UI4:
        size = 4;
        break;
    case VT_I1:
    case VT_UI1:
        size = 1;
        break;
    case VT_VARIANT:
        size = sizeof(VARIANT);
        break;
    case VT_UNKNOWN:
        return true;  // the pointer itself is the value
    default:
        break;
    }
    if (::IsBadReadPtr(p.value, size))
        return false;
    if (array) {
        const SAFEARRAY* value = nullptr;
        std::memcpy(&value, p.value, sizeof value);
        return array_readable(value);
    }
    if (p.type == VT_BSTR) {
        const wchar_t* value = nullptr;
        std::memcpy(&value, p.value, sizeof value);
        return bstr_readable(value);
    }
    if (p.type == VT_VARIANT) {
        const auto* value = static_cast<const VARIANT*>(p.value);
        if (V_VT(value) == VT_BSTR)
            return bstr_readable(V_BSTR(value));
    }
    return true;
}

}  // namespace

MethodTraceScope::MethodTraceScope(trace::trace_layer& layer, const char* interface_name,
                                   const char* method_name, const TraceParam* params,
                                   std::size_t count) noexcept
    : layer_(&layer)
{
    if constexpr (!trace::kTracingCompiledIn)
        return;
    for (std::size_t i = 0; i < count && param_count_ < kMaxParams; ++i)
        params_[param_count_++] = params[i];
    if (!layer.enabled())
        return;
    try {
        if (records_go_out()) {
            auto record = layer.CreateEnterMessage(interface_name, method_name);
            if (!record)
                return;
            add_parameters(*record, false);
            record->Send(result_);
            start_time_ = record->GetStartTime();
        } else if (!layer.registered()) {
            return;
        }
    } catch (...) {
        return;
    }
    enter_result_ = S_OK;
    interface_name_ = interface_name;
    method_name_ = method_name;
}

void MethodTraceScope::add_parameters(trace::CTraceEncoder& record, bool exit_pass) const noexcept
{
    for (std::size_t i = 0; i < param_count_; ++i) {
        const TraceParam& p = params_[i];
        if (!p.value || !value_readable(p, exit_pass))
            record.AddEmptyParameter(p.name, true, p.out, p.type);
        else
            record.AddParameter(p.name, true, p.out, false, argument_value(p, exit_pass));
    }
}

void MethodTraceScope::finish() noexcept
{
    if (finished_)
        return;
    finished_ = true;
    if (FAILED(enter_result_) || !records_go_out())
        return;
    try {
        auto record = layer_->CreateExitMessage(interface_name_, method_name_, start_time_);
        if (!record)
            return;
        add_parameters(*record, true);
        record->Send(result_);
    } catch (...) {
    }
}

}  // namespace mrv
