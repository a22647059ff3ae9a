#pragma once
// File names the module derives from where the DLL was loaded.
#include <windows.h>

#include <string>

#include "com/bstr_t.h"

namespace mrv::rs232 {

// The full file name of `module`, whatever its length; empty when the system cannot give it.
std::wstring module_file_name(HMODULE module);

// The help file given to COM error objects: the directory of the loaded module whose name is
// string IDS_MODULE_NAME ("MrvRS232"; `fallback` when no such module is loaded), resolved to a
// full path, followed by string IDS_HELP_FILE_NAME ("visacom.chm").
_bstr_t help_file_path(HMODULE fallback);

}  // namespace mrv::rs232
