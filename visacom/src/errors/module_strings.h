#pragma once
// Process-wide values of the loaded server, filled at process attach and read by the error
// model: the module instance whose string table resource_string reads, the error source (the
// module name), the company name and the help-file path given to COM error objects. Written
// only while the loader serialises attach/detach; read-only in between.
#include <windows.h>

#include "com/bstr_t.h"

namespace mrv {

// The module whose string table is read; null means the process's executable.
void set_module_instance(HINSTANCE instance) noexcept;
HINSTANCE module_instance() noexcept;

void set_error_source(const _bstr_t& source) noexcept;
_bstr_t error_source() noexcept;

void set_company_name(const _bstr_t& name) noexcept;
_bstr_t company_name() noexcept;

void set_help_file(const _bstr_t& path) noexcept;
_bstr_t help_file() noexcept;

// Drops the three texts (process detach).
void clear_module_strings() noexcept;

}  // namespace mrv
