#pragma once
// The text of argument values in trace records: the type names, how a single value is rendered,
// the value elements of single values and arrays (within the array byte limit), and the XML
// escaping that every text of a record goes through.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace mrv::trace {

// The value types a parameter may have (the array bit 0x2000 removed).
bool supported_trace_type(VARTYPE base) noexcept;
// "int32", "ARRAY->uint8", "UNRECOGNIZED", ... for a value's type code.
const wchar_t* trace_type_name(VARTYPE type) noexcept;
// The text of a single value: hexadecimal for interface pointers and HRESULTs, else the
// variant conversion of locale 1033 ("True"/"False"), or "Undisplayable Value".
std::wstring render_trace_value(const VARIANT& value);
// The value elements of one parameter: one Value element for a single value; for an array one
// BinHexValue element (bytes) or a Value element per element shown. Raises std::runtime_error
// when the array cannot be read.
std::wstring trace_value_elements(const VARIANT& value, std::int32_t array_byte_limit);

// &, <, > and the double quote as entities; other characters stay.
std::wstring escape_xml(std::wstring_view text);
// Appends ' name="value"' (the value as it is).
void append_xml_attribute(std::wstring& text, const wchar_t* name, std::wstring_view value);
std::wstring decimal_text(long long value);
// The text of a BSTR; a null one is empty.
std::wstring bstr_text(BSTR text);

}  // namespace mrv::trace
