#pragma once
// The session's settings and read-only values as one table: the name "set" and "show" use,
// how the value is written and read back, and the property that holds it.
#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "asrl_session.h"

namespace asrlcon {

enum class value_kind {
    number,   // decimal (0x.. accepted)
    hex,      // shown in hexadecimal
    byte,     // a character: 10, 0x0A or \n
    boolean,  // on/off
    choice,   // one name of a list
    flags,    // names of a list joined by '+'
};

struct named_value {
    const wchar_t* name;
    long value;
};

struct setting {
    const wchar_t* name;
    value_kind kind;
    std::span<const named_value> names;  // choice and flags; the first name is the one shown
    HRESULT (*get)(const asrl_session&, long&);
    HRESULT (*put)(const asrl_session&, long);  // null: read-only
};

std::span<const setting> settings();
const setting* find_setting(std::wstring_view name);

// The value typed for a setting, or nothing when it is not one of its values.
std::optional<long> parse_setting_value(const setting& s, std::wstring_view text);
std::wstring format_setting_value(const setting& s, long value);

// The session's text properties shown by "show".
struct text_property {
    const wchar_t* name;
    HRESULT (*get)(const asrl_session&, std::wstring&);
};
std::span<const text_property> text_properties();

// A number as C writes it: decimal, 0x hexadecimal, optional sign.
std::optional<long> parse_number(std::wstring_view text);

}  // namespace asrlcon
