#pragma once
// The trace vocabulary of a session method and the scope that records its call.
//
// Every framed method names its interface, its method and its parameters (name, VARIANT type,
// direction, and where the value lives) and runs inside a MethodTraceScope: the scope writes
// the method-enter record when it opens and the exit or error record, with the result and the
// final values of the out parameters, when it finishes (at the latest when it ends). Nested calls
// (ReadString calling Read through the session) simply open their own scope inside the outer
// one, so their records fall between the outer call's enter and exit records.
//
// Parameter text is built only when the record will be written (the I/O monitor is reading);
// the values are read at the same moments either way: in-values at entry, out-values at finish.
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace mrv {

namespace trace {
class trace_layer;
class CTraceEncoder;
}  // namespace trace

struct TraceParam {
    const char* name;   // "*pVal" for the value behind an out pointer
    VARTYPE type;       // VT_I4, VT_BSTR, VT_SAFEARRAY, ... (see the value rules in the scope)
    bool out;           // recorded with its final value at exit
    const void* value;  // the argument itself (in) or the caller's out pointer (out)
};

// An in parameter: value is the address of the argument.
template <class V>
constexpr TraceParam in_param(const char* name, VARTYPE type, const V& value) noexcept
{
    return {name, type, false, &value};
}
// An array passed in by reference (SAFEARRAY** buf): value is the caller's pointer to the array.
constexpr TraceParam in_param(const char* name, VARTYPE type, SAFEARRAY** const& value) noexcept
{
    return {name, type, false, value};
}
// An out parameter: value is the caller's pointer, read again when the scope finishes.
template <class V>
constexpr TraceParam out_param(const char* name, VARTYPE type, V* pointer) noexcept
{
    return {name, type, true, pointer};
}

using TraceParams = std::initializer_list<TraceParam>;

class MethodTraceScope {
public:
    static constexpr std::size_t kMaxParams = 8;

    // Writes the enter record (when the layer traces). The parameters are copied, so the list
    // may be a temporary.
    MethodTraceScope(trace::trace_layer& layer, const char* interface_name, const char* method_name,
                     TraceParams params) noexcept
        : MethodTraceScope(layer, interface_name, method_name, params.begin(), params.size())
    {}
    MethodTraceScope(trace::trace_layer& layer, const char* interface_name, const char* method_name,
                     const TraceParam* params, std::size_t count) noexcept;
    ~MethodTraceScope() { finish(); }
    MethodTraceScope(const MethodTraceScope&) = delete;
    MethodTraceScope& operator=(const MethodTraceScope&) = delete;

    // The method's result, recorded by the exit record.
    void set_result(HRESULT hr) noexcept { result_ = hr; }
    // Writes the exit or error record once, with the out-values as they are now.
    void finish() noexcept;

private:
    void add_parameters(trace::CTraceEncoder& record, bool exit_pass) const noexcept;

    const char* interface_name_ = "";
    const char* method_name_ = "";
    std::array<TraceParam, kMaxParams> params_{};
    std::size_t param_count_ = 0;
    trace::trace_layer* layer_;
    HRESULT enter_result_ = E_FAIL;
    HRESULT result_ = S_OK;
    std::int64_t start_time_ = 0;
    bool finished_ = false;
};

}  // namespace mrv
