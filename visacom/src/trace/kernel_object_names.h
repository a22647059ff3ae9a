#pragma once
// Names and security of the named kernel objects shared with other processes.
#include <windows.h>

#include <string>
#include <string_view>

namespace mrv::trace {

// The operating-system class of GetVersionExA: 4, 7, 8 and 9 are the NT systems with session
// namespaces; -1 is an unknown platform.
int os_class();

// "Global\" + base on systems with session namespaces, else base alone.
std::string global_name(std::string_view base);

// Attributes with a null DACL (every user may open the object), handles inheritable; null on
// systems without security, or when the descriptor could not be built.
SECURITY_ATTRIBUTES* open_to_everyone();

}  // namespace mrv::trace
