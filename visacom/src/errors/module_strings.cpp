#include "errors/module_strings.h"

namespace mrv {
namespace {

struct module_values {
    HINSTANCE instance = nullptr;
    _bstr_t source;
    _bstr_t company;
    _bstr_t help;
};

module_values& values() noexcept
{
    static module_values v;
    return v;
}

}  // namespace

void set_module_instance(HINSTANCE instance) noexcept
{
    values().instance = instance;
}
HINSTANCE module_instance() noexcept
{
    return values().instance;
}

void set_error_source(const _bstr_t& source) noexcept
{
    values().source = source;
}
_bstr_t error_source() noexcept
{
    return values().source;
}

void set_company_name(const _bstr_t& name) noexcept
{
    values().company = name;
}
_bstr_t company_name() noexcept
{
    return values().company;
}

void set_help_file(const _bstr_t& path) noexcept
{
    values().help = path;
}
_bstr_t help_file() noexcept
{
    return values().help;
}

void clear_module_strings() noexcept
{
    values().source = _bstr_t();
    values().company = _bstr_t();
    values().help = _bstr_t();
}

}  // namespace mrv
