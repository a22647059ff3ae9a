// The help-file path follows the directory the DLL was loaded from. This program carries the
// server's string table and is its own module instance, as the loaded server is.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "servers/rs232/module_files.h"
#include "server_test_support.h"

namespace mrv::test {
namespace {

std::wstring directory_of(const std::wstring& file)
{
    return file.substr(0, file.find_last_of(L'\\') + 1);
}

TEST(ModuleFiles, HelpFileLiesInTheDirectoryOfTheLoadedDll)
{
    // No module named MrvRS232 yet: the fallback module's directory.
    std::wstring exe = rs232::module_file_name(nullptr);
    ASSERT_FALSE(exe.empty());
    EXPECT_STREQ((directory_of(exe) + L"visacom.chm").c_str(),
                 rs232::help_file_path(GetModuleHandleW(nullptr)).wide());

    // A copy of the server in a directory of its own, with a blank in its name.
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring dir =
        std::wstring(temp) + L"mrvrs232 help " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    std::wstring copy = dir + L"\\MrvRS232.dll";
    ASSERT_TRUE(CopyFileW((directory_of(exe) + L"MrvRS232.dll").c_str(), copy.c_str(), FALSE));
    HMODULE loaded = LoadLibraryW(copy.c_str());
    ASSERT_NE(nullptr, loaded);

    EXPECT_EQ(copy, rs232::module_file_name(loaded));
    EXPECT_STREQ((dir + L"\\visacom.chm").c_str(),
                 rs232::help_file_path(GetModuleHandleW(nullptr)).wide());

    FreeLibrary(loaded);
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(dir.c_str());
}

}  // namespace
}  // namespace mrv::test
