// The package in a Wine prefix of its own, one installation shared by the cases, in this order:
// nothing there before; the lower version installed and upgraded to this one; this one installed
// again with the simulation feature; the class activated by ProgID from here (outside the
// install folder) with both type libraries registered; the example and the console client run
// from the install folder; the package's keys equal to what the DLLs' own registration writes;
// and after removal nothing of the package left. Every child process runs under a watchdog.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MrvRS232.h"
#include "com/com_ptr.h"
#include "package_snapshot.h"
#include "com/unique_any.h"

namespace mrv::test {
namespace {

constexpr wchar_t kUpgradeCode[] = L"{93931546-7D61-4576-9711-1B003D29E9A0}";
constexpr DWORD kInstallTimeoutMs = 300000;
constexpr DWORD kProgramTimeoutMs = 120000;
const std::wstring kClass = L"CLSID\\{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}";
const std::wstring kVisaComLib = L"{DB8CBF1C-D6D3-11D4-AA51-00A024EE30BD}";

std::string narrow(const std::wstring& text)
{
    std::string r;
    for (wchar_t c : text)
        r.push_back(c < 128 ? static_cast<char>(c) : '?');
    return r;
}

std::string joined(const std::vector<std::wstring>& lines)
{
    std::string r;
    for (const auto& line : lines)
        r += narrow(line) + "\n";
    return r;
}

struct run_result {
    DWORD exit_code = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line with its output in a file; a child that outlives `timeout_ms` is ended.
run_result run(const std::wstring& command, DWORD timeout_ms = kProgramTimeoutMs)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring out_path = std::wstring(temp) + L"install_test_child.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    run_result result;
    {
        unique_any<HANDLE, &::CloseHandle, -1> out(
            CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.get();
        si.hStdError = out.get();
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        std::wstring line = command;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                            &pi)) {
            result.output = "CreateProcess failed: " + std::to_string(GetLastError());
            return result;
        }
        unique_handle process(pi.hProcess);
        unique_handle thread(pi.hThread);
        if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), 10000);
            result.output = "timed out after " + std::to_string(timeout_ms) + " ms\n";
        }
        GetExitCodeProcess(process.get(), &result.exit_code);
    }
    std::ifstream in(std::filesystem::path(out_path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    result.output += text.str();
    return result;
}

DWORD msiexec(const std::wstring& arguments)
{
    const run_result r = run(L"msiexec.exe " + arguments, kInstallTimeoutMs);
    if (r.exit_code != 0)
        std::printf("msiexec %s: exit code %lu\n%s\n", narrow(arguments).c_str(), r.exit_code,
                    r.output.c_str());
    return r.exit_code;
}

std::vector<std::wstring> related_products()
{
    std::vector<std::wstring> products;
    wchar_t code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
        products.push_back(code);
    return products;
}

DWORD service_state(const wchar_t* name)
{
    unique_any<SC_HANDLE, &::CloseServiceHandle> manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    unique_any<SC_HANDLE, &::CloseServiceHandle> service(
        manager ? OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Paths that RegisterTypeLib and the Windows Installer write with or without a final backslash.
std::vector<std::wstring> without_final_backslash(std::vector<std::wstring> lines)
{
    for (auto& line : lines)
        if (!line.empty() && line.back() == L'\\')
            line.pop_back();
    return lines;
}

// The state the cases hand on to each other.
struct installation {
    std::vector<std::wstring> keys_after_upgrade;
};
installation g_installed;

TEST(Package, NothingIsThereBeforeInstallation)
{
    std::printf("before installation:\n%s%s", joined(package_files()).c_str(),
                joined(package_keys()).c_str());
    EXPECT_TRUE(package_files().empty());
    EXPECT_TRUE(package_keys().empty()) << joined(package_keys());
}

TEST(Package, LowerVersionUpgradesToThisOneLeavingOneRegistration)
{
    ASSERT_EQ(0u, msiexec(L"/i \"" MRV_PREVIOUS_MSI L"\" /qn"));
    EXPECT_EQ(related_products(), std::vector<std::wstring>{MRV_PREVIOUS_PRODUCT});

    ASSERT_EQ(0u, msiexec(L"/i \"" MRV_CURRENT_MSI L"\" /qn"));
    EXPECT_EQ(related_products(), std::vector<std::wstring>{MRV_CURRENT_PRODUCT});
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(MRV_PREVIOUS_PRODUCT));
    const std::wstring folder = install_folder();
    EXPECT_EQ(read_hkcr(kClass + L"\\InprocServer32"), folder + L"\\MrvRS232.dll");
    for (const wchar_t* file :
         {L"MrvRS232.dll", L"GlobMgr.dll", L"asrlcon.exe", L"iomonitor.exe", L"nkoserver.exe",
          L"visacom_example.exe", L"docs\\README.md", L"include\\MrvRS232_client.h",
          L"include\\MrvRS232_handler.h", L"example\\visacom_example.cpp"})
        EXPECT_TRUE(exists(folder + L"\\" + file)) << narrow(file);
    // The simulation feature is off by default.
    EXPECT_FALSE(exists(folder + L"\\Simulation"));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service_state(L"MrvNkoServer"));
    g_installed.keys_after_upgrade = package_keys();
}

TEST(Package, SameVersionAgainWithSimulationKeepsOneRegistration)
{
    ASSERT_EQ(0u, msiexec(L"/i \"" MRV_CURRENT_MSI L"\" /qn ADDLOCAL=ALL"));
    EXPECT_EQ(related_products(), std::vector<std::wstring>{MRV_CURRENT_PRODUCT});
    EXPECT_EQ(package_keys(), g_installed.keys_after_upgrade);
    const std::wstring folder = install_folder() + L"\\Simulation";
    for (const wchar_t* file : {L"visa32.dll", L"asrlcon.exe", L"visacom_example.exe",
                                L"simvisa\\simvisa.json", L"simvisa\\devices\\dmm.json"})
        EXPECT_TRUE(exists(folder + L"\\" + file)) << narrow(file);
}

TEST(Package, ClassActivatesByProgIdWithBothTypeLibrariesRegistered)
{
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"MorvaneRS232.RS232Svr", &clsid));
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_RS232Svr));
        com_ptr<IVisaSession> session;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                                         session.put_void()));
        HMODULE server = GetModuleHandleW(L"MrvRS232.dll");
        wchar_t path[MAX_PATH] = L"";
        GetModuleFileNameW(server, path, MAX_PATH);
        EXPECT_EQ(std::wstring(path), install_folder() + L"\\MrvRS232.dll");

        com_ptr<ITypeLib> visacom;
        com_ptr<ITypeLib> own;
        EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_VisaComLib, 5, 1, 0, visacom.put()));
        EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_MorvaneRS232Lib, 1, 0, 0, own.put()));
        EXPECT_EQ(read_hkcr(L"TypeLib\\" + kVisaComLib + L"\\5.1\\0\\win64"),
                  install_folder() + L"\\GlobMgr.dll");
    }
    CoUninitialize();
    for (const wchar_t* iid :
         {L"{DB8CBF03-D6D3-11D4-AA51-00A024EE30BD}", L"{DB8CBF04-D6D3-11D4-AA51-00A024EE30BD}",
          L"{DB8CBF05-D6D3-11D4-AA51-00A024EE30BD}", L"{DB8CBF06-D6D3-11D4-AA51-00A024EE30BD}",
          L"{DB8CBF0C-D6D3-11D4-AA51-00A024EE30BD}", L"{DB8CBF12-D6D3-11D4-AA51-00A024EE30BD}",
          L"{DB8CBF13-D6D3-11D4-AA51-00A024EE30BD}", L"{DB8CBF14-D6D3-11D4-AA51-00A024EE30BD}",
          L"{DB8CBF23-D6D3-11D4-AA51-00A024EE30BD}"})
        EXPECT_EQ(read_hkcr(std::wstring(L"Interface\\") + iid + L"\\TypeLib"), kVisaComLib)
            << narrow(iid);
}

TEST(Package, ExampleAndConsoleClientRunFromTheInstallFolder)
{
    const std::wstring simulation = install_folder() + L"\\Simulation\\";
    const run_result example = run(L"\"" + simulation + L"visacom_example.exe\"");
    EXPECT_EQ(0u, example.exit_code) << example.output;
    EXPECT_NE(std::string::npos, example.output.find("*IDN? -> SIMVISA,DMM-6500"))
        << example.output;
    EXPECT_NE(std::string::npos, example.output.find("Init(ASRL99::INSTR) failed"))
        << example.output;

    const run_result console = run(L"\"" + simulation +
                                   L"asrlcon.exe\" ASRL1::INSTR -c \"set endout termchar\" "
                                   L"-c \"query *IDN?\"");
    EXPECT_EQ(0u, console.exit_code) << console.output;
    EXPECT_NE(std::string::npos, console.output.find("SIMVISA,DMM-6500")) << console.output;

    // The simulation library never shadows the machine's VISA library: the programs in the
    // install folder itself do not find it (this prefix has no other VISA library).
    const run_result outside = run(L"\"" + install_folder() + L"\\visacom_example.exe\"");
    EXPECT_NE(0u, outside.exit_code) << outside.output;
    EXPECT_EQ(std::string::npos, outside.output.find("SIMVISA")) << outside.output;
}

TEST(Package, KeysAreThoseTheServersOwnRegistrationWrites)
{
    const std::vector<std::wstring> installed = package_keys();
    const std::wstring folder = L"\"" + install_folder();
    for (const wchar_t* dll : {L"\\MrvRS232.dll\"", L"\\GlobMgr.dll\""})
        ASSERT_EQ(0u, run(L"regsvr32.exe /u /s " + folder + dll).exit_code) << narrow(dll);
    for (const wchar_t* dll : {L"\\GlobMgr.dll\"", L"\\MrvRS232.dll\""})
        ASSERT_EQ(0u, run(L"regsvr32.exe /s " + folder + dll).exit_code) << narrow(dll);
    EXPECT_EQ(without_final_backslash(package_keys()), without_final_backslash(installed))
        << "installed:\n"
        << joined(installed) << "registered:\n"
        << joined(package_keys());
}

TEST(Package, RemovalLeavesNothingOfThePackage)
{
    const auto installed_files = package_files();
    const auto installed_keys = package_keys();
    std::printf("installed:\n%s%s", joined(installed_files).c_str(),
                joined(installed_keys).c_str());
    ASSERT_FALSE(installed_files.empty() || installed_keys.empty());

    ASSERT_EQ(0u, msiexec(L"/x \"" MRV_CURRENT_MSI L"\" /qn"));
    const auto files = package_files();
    const auto keys = package_keys();
    std::printf("after removal:\n%s%s", joined(files).c_str(), joined(keys).c_str());
    EXPECT_TRUE(files.empty()) << joined(files);
    EXPECT_TRUE(keys.empty()) << joined(keys);
    EXPECT_TRUE(related_products().empty());
    EXPECT_EQ(0u, service_state(L"MrvNkoServer"));
}

}  // namespace
}  // namespace mrv::test
