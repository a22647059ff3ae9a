// Which VISA library a session's Init loads, seen through COM. Each case runs this program again
// from a folder of its own that holds only the libraries the case needs, since the loader finds
// libraries in the program's folder first.
#include "session_client.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr wchar_t kChildVariable[] = L"MRV_LOADER_CHILD";

bool in_child()
{
    return GetEnvironmentVariableW(kChildVariable, nullptr, 0) > 0;
}

std::wstring folder_of(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring own_path()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

struct library_copy {
    const wchar_t* from;  // below the program's folder
    const wchar_t* as;
};

// Runs `test` in a copy of this program in a fresh folder beside `libraries`; its exit code.
DWORD run_child(const char* test, const std::vector<library_copy>& libraries)
{
    const std::wstring bin = folder_of(own_path());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir =
        std::wstring(temp) + L"mrv-loader-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring exe = dir + L"\\loader_child.exe";
    std::vector<std::wstring> made{exe};
    EXPECT_TRUE(CopyFileW(own_path().c_str(), exe.c_str(), FALSE));
    for (const auto& lib : libraries) {
        made.push_back(dir + L"\\" + lib.as);
        EXPECT_TRUE(CopyFileW((bin + L"\\" + lib.from).c_str(), made.back().c_str(), FALSE))
            << narrow(lib.from);
    }

    SetEnvironmentVariableW(kChildVariable, L"1");
    SetEnvironmentVariableW(L"SIMVISA_CONFIG", (bin + L"\\simvisa\\simvisa.json").c_str());
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
    SetEnvironmentVariableW(L"SIMVISA_CONFIG", nullptr);
    for (const auto& file : made)
        DeleteFileW(file.c_str());
    RemoveDirectoryW(dir.c_str());
    return exit_code;
}

}  // namespace

TEST(Loader, WithoutAnyLibraryInitReportsItMissing)
{
    if (!in_child()) {
        EXPECT_EQ(0u, run_child("Loader.WithoutAnyLibraryInitReportsItMissing", {}));
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

TEST(Loader, FirstChoiceWithoutARequiredEntryFallsBackToTheStandardName)
{
    if (!in_child()) {
        EXPECT_EQ(0u, run_child("Loader.FirstChoiceWithoutARequiredEntryFallsBackToTheStandardName",
                                {{L"variants\\no_required\\visa32.dll", L"mvvisa32.dll"},
                                 {L"visa32.dll", L"visa32.dll"}}));
        return;
    }
    com_apartment com;
    auto s = open_session();
    ASSERT_TRUE(s);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"mvvisa32.dll")) << "the incomplete library is unloaded";
    EXPECT_NE(nullptr, GetModuleHandleW(L"visa32.dll"));
    EXPECT_HR(S_OK, s->Close());
}

TEST(Loader, FirstChoiceLibraryIsPreferred)
{
    if (!in_child()) {
        EXPECT_EQ(0u,
                  run_child("Loader.FirstChoiceLibraryIsPreferred",
                            {{L"visa32.dll", L"mvvisa32.dll"}, {L"visa32.dll", L"visa32.dll"}}));
        return;
    }
    com_apartment com;
    auto s = open_session();
    ASSERT_TRUE(s);
    EXPECT_NE(nullptr, GetModuleHandleW(L"mvvisa32.dll"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"visa32.dll"));
}
