// A session's Init with no VISA library to load, seen through COM: the case runs this program
// again from a folder of its own that holds no library, since the loader finds libraries in the
// program's folder first. Which library the loader prefers is the driver test's concern.
#include "session_client.h"

#include <string>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr wchar_t kChildVariable[] = L"MRV_LOADER_CHILD";

bool in_child()
{
    return GetEnvironmentVariableW(kChildVariable, nullptr, 0) > 0;
}

std::wstring own_path()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Runs `test` in a copy of this program alone in a fresh folder; its exit code.
DWORD run_child(const char* test)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir =
        std::wstring(temp) + L"mrv-loader-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring exe = dir + L"\\loader_child.exe";
    EXPECT_TRUE(CopyFileW(own_path().c_str(), exe.c_str(), FALSE));

    SetEnvironmentVariableW(kChildVariable, L"1");
    std::wstring command = L"\"" + exe + L"\" --gtest_filter=";
    for (const char* c = test; *c; ++c)
        command.push_back(static_cast<wchar_t>(*c));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    DWORD exit_code = 0xFFFFFFFF;
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       dir.c_str(), &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &exit_code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
    }
    SetEnvironmentVariableW(kChildVariable, nullptr);
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(dir.c_str());
    return exit_code;
}

}  // namespace

TEST(Loader, WithoutAnyLibraryInitReportsItMissing)
{
    if (!in_child()) {
        EXPECT_EQ(0u, run_child("Loader.WithoutAnyLibraryInitReportsItMissing"));
        return;
    }
    com_apartment com;
    auto s = create_session();
    ASSERT_TRUE(s);
    bstr_arg name(L"ASRL1::INSTR"), empty(L"");
    EXPECT_HR(0x80040000, s->Init(name, NO_LOCK, 2000, empty));
    auto e = last_error_info();
    EXPECT_EQ("The Visa Dynamic Link Library (visa32.dll or mvvisa32.dll) was not found in the "
              "windows system directory.",
              e.description);
    EXPECT_EQ(1050u, e.help_context);
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
    // Still new: a framed call has no session.
    BSTR b = nullptr;
    EXPECT_HR(0x8004000E, s->get_SessionType(&b));
}
