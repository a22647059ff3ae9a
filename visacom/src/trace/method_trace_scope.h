#pragma once
// The trace vocabulary of a session method and the scope that records its call.
//
// Every framed method names its interface, its method and its parameters (name, VARIANT type,
// direction, and where the value lives) and runs inside a MethodTraceScope: the scope writes
// the method-enter record when it opens and the exit or error record, with the result and the
// final values of the out parameters, when it ends.
//
// Scaffolding: waiting for the trace layer. Until it lands a scope records nothing; the methods
// already state their whole vocabulary so that tracing needs no change in them.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>

namespace mrv {

struct TraceParam {
    const char* name;    // "*pVal" for the value behind an out pointer
    VARTYPE type;        // VT_I4, VT_BSTR, VT_ARRAY | VT_UI1, ...
    bool out;            // recorded with its final value at exit
    const void* value;   // the argument itself (in) or the caller's out pointer (out)
};

// An in parameter: value is the address of the argument.
template <class V>
constexpr TraceParam in_param(const char* name, VARTYPE type, const V& value) noexcept
{
    return {name, type, false, &value};
}
// An out parameter: value is the caller's pointer, read again when the scope ends.
template <class V>
constexpr TraceParam out_param(const char* name, VARTYPE type, V* pointer) noexcept
{
    return {name, type, true, pointer};
}

using TraceParams = std::initializer_list<TraceParam>;

class MethodTraceScope {
public:
    MethodTraceScope(const char* /*interface_name*/, const char* /*method_name*/,
                     TraceParams /*params*/) noexcept
    {
    }
    MethodTraceScope(const MethodTraceScope&) = delete;
    MethodTraceScope& operator=(const MethodTraceScope&) = delete;

    // The method's result, recorded when the scope ends.
    void set_result(HRESULT /*hr*/) noexcept {}
};

}  // namespace mrv
