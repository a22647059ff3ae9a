#pragma once
// What the package leaves on the machine, as sorted text lines: every file under the install
// folder's parent, and every registry key and value under the keys the package writes, in both
// registry views, with the kernel-object service's key.
#include <windows.h>

#include <string>
#include <vector>

namespace mrv::test {

// C:\Program Files\Morvane\MrvRS232 (no trailing backslash).
std::wstring install_folder();

// "file <path>" lines for every file and folder below C:\Program Files\Morvane.
std::vector<std::wstring> package_files();

// "<view> <key>" and "<view> <key> [<name>] = <data>" lines (view 64 or 32).
std::vector<std::wstring> package_keys();

// A registry string value from the 64-bit view of HKCR; empty when it is missing.
std::wstring read_hkcr(const std::wstring& key, const wchar_t* name = nullptr);

}  // namespace mrv::test
