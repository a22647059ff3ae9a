#pragma once
// The parameters of a framed method. Each one carries its trace vocabulary (name, VARIANT type,
// direction) and the check the frame makes of it before the method's body runs, both derived
// from the argument's C++ type:
//
//   param::in("count", count)       long, short, BYTE, an enumeration, BSTR, VARIANT: no check
//   param::in("discard", boolean(discard))     a VARIANT_BOOL (a short to C++) traced as VT_BOOL
//   param::in("Message", text(message))        a BSTR that must be readable (not null)
//   param::in("**buf", buf)         SAFEARRAY** the method reads: readable
//   param::in("*handler", handler)  an interface pointer: traced as the pointer itself
//   param::out("*pVal", pVal)       writable for the pointee's size, then cleared
//   param::out("*pVal", boolean(pVal))         the same for a VARIANT_BOOL*
//   param::out("**buf", buf)        SAFEARRAY** the method fills: writable, left as it is
//   param::out("*attrState", v)     VARIANT* the method reads and clears: readable and writable
//   param::out("*pEvent", ppEvent)  an interface pointer's slot: writable, cleared
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "trace/method_trace_scope.h"

namespace mrv {

// What the frame checks of a parameter's pointer; a failed check raises bad_pointer.
enum class pointer_check : std::uint8_t {
    none,          // a value passed in
    readable,      // caller data the method reads
    writable,      // an out slot the method may leave as it is
    cleared,       // an out slot: writable, then zeroed so that a failure leaves 0 or null
    read_write,    // caller data the method reads and then overwrites
    text,          // a BSTR: not null, its length prefix and first character readable
    text_or_null,  // the same for a BSTR that may be null
};

struct frame_param {
    TraceParam trace;
    pointer_check check = pointer_check::none;
    std::uint8_t size = 0;  // bytes checked
    bool of_value = false;  // check the pointer held at trace.value, not trace.value itself
};

using frame_params = std::initializer_list<frame_param>;

// Runs the checks in parameter order. Raises bad_pointer.
void check_frame_params(const frame_param* params, std::size_t count);

namespace param {

// A VARIANT_BOOL is a short to C++: a boolean argument says so.
struct boolean_value {
    const VARIANT_BOOL& value;
};
struct boolean_slot {
    VARIANT_BOOL* pointer;
};
// A BSTR the method must be able to read: a null one is a bad pointer.
struct required_text {
    const BSTR& value;
    bool may_be_null = false;
};
constexpr boolean_value boolean(const VARIANT_BOOL& value) noexcept
{
    return {value};
}
constexpr required_text text(const BSTR& value) noexcept
{
    return {value, false};
}
// A BSTR that may be null (an empty text), but not point where the process cannot read.
constexpr required_text text_or_null(const BSTR& value) noexcept
{
    return {value, true};
}
constexpr boolean_slot boolean(VARIANT_BOOL* pointer) noexcept
{
    return {pointer};
}

template <class V>
inline constexpr bool is_interface_v = std::is_class_v<V>&& std::is_base_of_v<IUnknown, V>;

// The VARIANT type of a value of C++ type V.
template <class V>
constexpr VARTYPE vartype_of() noexcept
{
    if constexpr (std::is_enum_v<V>) {
        static_assert(sizeof(V) == 4, "enumerations cross the interfaces as 32-bit integers");
        return VT_I4;
    } else if constexpr (std::is_same_v<V, long> || std::is_same_v<V, int>) {
        return VT_I4;
    } else if constexpr (std::is_same_v<V, short>) {
        return VT_I2;
    } else if constexpr (std::is_same_v<V, BYTE>) {
        return VT_UI1;
    } else if constexpr (std::is_same_v<V, BSTR>) {
        return VT_BSTR;
    } else if constexpr (std::is_same_v<V, VARIANT>) {
        return VT_VARIANT;
    } else {
        static_assert(!sizeof(V), "no VARIANT type for this parameter type; add one here");
        return VT_EMPTY;
    }
}

inline constexpr VARTYPE byte_array_type = VT_ARRAY | VT_UI1;

template <class V>
constexpr frame_param in(const char* name, const V& value) noexcept
{
    return {{name, vartype_of<V>(), false, &value}};
}
constexpr frame_param in(const char* name, boolean_value v) noexcept
{
    return {{name, VT_BOOL, false, &v.value}};
}
constexpr frame_param in(const char* name, required_text t) noexcept
{
    return {{name, VT_BSTR, false, &t.value},
            t.may_be_null ? pointer_check::text_or_null : pointer_check::text,
            sizeof(wchar_t),
            true};
}
// The caller's pointer to an array the method reads.
constexpr frame_param in(const char* name, SAFEARRAY** const& array) noexcept
{
    return {{name, byte_array_type, false, array}, pointer_check::readable, sizeof(SAFEARRAY*)};
}
// An interface pointer is traced as itself; the method judges a null one.
template <class I>
requires is_interface_v<I>
constexpr frame_param in(const char* name, I* const& object) noexcept
{
    return {{name, VT_UNKNOWN, false, object}};
}

template <class V>
constexpr frame_param out(const char* name, V* pointer) noexcept
{
    if constexpr (std::is_same_v<V, VARIANT>) {
        return {{name, VT_VARIANT, true, pointer}, pointer_check::read_write, sizeof(VARIANT)};
    } else if constexpr (std::is_same_v<V, SAFEARRAY*>) {
        return {{name, byte_array_type, true, pointer}, pointer_check::writable, sizeof(V)};
    } else if constexpr (std::is_pointer_v<V> && is_interface_v<std::remove_pointer_t<V>>) {
        return {{name, VT_UNKNOWN, true, pointer}, pointer_check::cleared, sizeof(V)};
    } else {
        static_assert(sizeof(V) == 1 || sizeof(V) == 2 || sizeof(V) == 4 || sizeof(V) == 8);
        return {{name, vartype_of<V>(), true, pointer}, pointer_check::cleared, sizeof(V)};
    }
}
constexpr frame_param out(const char* name, boolean_slot slot) noexcept
{
    return {{name, VT_BOOL, true, slot.pointer}, pointer_check::cleared, sizeof(VARIANT_BOOL)};
}

}  // namespace param
}  // namespace mrv
