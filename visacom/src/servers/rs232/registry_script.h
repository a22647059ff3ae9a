#pragma once
// The server's registrar: runs the registry scripts that the DLL carries as "REGISTRY"
// resources. It understands the subset of the usual .rgs syntax that those scripts use:
//
//   HKCR                                  root: HKCR, HKLM, HKCU, HKU or their long names
//   {
//       NoRemove CLSID                    never deleted on unregistration
//       {
//           ForceRemove {...} = s 'text'  deleted with its subtree before registration
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Both'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space (so a name may begin with a brace, as GUIDs do).
// Values are s 'text' (REG_SZ) or d 'number' (REG_DWORD). Names may be quoted; '' inside quotes
// is a quote. %NAME% in a name or value is replaced from the caller's table, %% is a percent.
//
// Registration creates every key and writes every value. Unregistration deletes a ForceRemove
// key with its subtree, keeps a NoRemove key (deleting the named values the script gives it),
// and deletes any other key once the keys the script names below it are gone and it holds no
// other subkey. A key that is already missing is not an error. The whole script is parsed
// before the registry is touched, so a malformed script changes nothing.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mrv {

using registry_replacements = std::vector<std::pair<std::wstring, std::wstring>>;

enum class registry_action { register_keys, unregister_keys };

// DISP_E_EXCEPTION for a malformed script or an unknown %NAME%; otherwise the first failing
// registry call's result.
HRESULT run_registry_script(std::wstring_view script, registry_action action,
                            const registry_replacements& replacements) noexcept;

// Runs the "REGISTRY" resource `id` of `module` (text in the ANSI code page).
HRESULT run_registry_resource(HMODULE module, UINT id, registry_action action,
                              const registry_replacements& replacements) noexcept;

}  // namespace mrv
