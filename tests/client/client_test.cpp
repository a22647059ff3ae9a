// asrlcon.exe as a user runs it: a child process with its output in a file, checked for the
// transcript and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/unique_any.h"

namespace {

struct client_run {
    DWORD exit_code = 0xFFFFFFFF;
    std::string transcript;
};

std::wstring beside_this_test(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

std::string read_file(const std::wstring& path)
{
    mrv::unique_file f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (f && ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got)
        text.append(buf, got);
    return text;
}

mrv::unique_file inheritable_file(const std::wstring& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return mrv::unique_file(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Runs asrlcon.exe with `args` (each quoted) and `input` as its standard input.
client_run run_client(const std::vector<std::wstring>& args, const std::string& input = "")
{
    const std::wstring exe = beside_this_test(L"asrlcon.exe");
    // Named by process: the cases may run side by side.
    const std::wstring own = std::to_wstring(GetCurrentProcessId());
    const std::wstring out_path = beside_this_test((L"client_test." + own + L".out").c_str());
    const std::wstring in_path = beside_this_test((L"client_test." + own + L".in").c_str());
    {
        auto in = inheritable_file(in_path, GENERIC_WRITE, CREATE_ALWAYS);
        DWORD done = 0;
        WriteFile(in.get(), input.data(), static_cast<DWORD>(input.size()), &done, nullptr);
    }
    auto in = inheritable_file(in_path, GENERIC_READ, OPEN_EXISTING);
    auto out = inheritable_file(out_path, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_TRUE(in && out);

    std::wstring command_line = L"\"" + exe + L"\"";
    for (const auto& a : args)
        command_line += L" \"" + a + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    client_run r;
    if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &si, &pi)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return r;
    }
    mrv::unique_handle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        ADD_FAILURE() << "asrlcon.exe did not end";
    }
    GetExitCodeProcess(process.get(), &r.exit_code);
    out.reset();
    in.reset();
    r.transcript = read_file(out_path);
    DeleteFileW(out_path.c_str());
    DeleteFileW(in_path.c_str());
    return r;
}

// asrlcon.exe on `resource`, with each of `commands` given by -c.
client_run run_commands(const wchar_t* resource, const std::vector<std::wstring>& commands)
{
    std::vector<std::wstring> args{resource};
    for (const auto& c : commands) {
        args.push_back(L"-c");
        args.push_back(c);
    }
    return run_client(args);
}

bool has(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

}  // namespace

TEST(Client, IdentifiesTheMultimeterSetsItsLineAndReadsAMeasurement)
{
    auto r =
        run_commands(L"ASRL1::INSTR",
                     {L"set baud 9600", L"set parity none", L"set endout termchar", L"query *IDN?",
                      L"set endout none", L"write MEAS:VOLT:DC?\\n", L"read", L"show baud"});
    EXPECT_EQ(0u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "opened ASRL1::INSTR through MorvaneRS232.RS232Svr\n"))
        << r.transcript;
    // Each command is echoed before its answer.
    EXPECT_TRUE(has(r.transcript, "> set parity none\n  parity        none\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> query *IDN?\n  -> \"*IDN?\" (5 bytes)\n"
                                  "  <- \"SIMVISA,DMM-6500,SN100200,1.02\\n\""))
        << r.transcript;
    // The typed escape became the line feed that ends the command.
    EXPECT_TRUE(has(r.transcript, "  -> \"MEAS:VOLT:DC?\\n\" (14 bytes)\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  <- \"+1.234560E+00\\n\"")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> show baud\n  baud          9600\n")) << r.transcript;
    EXPECT_FALSE(has(r.transcript, "error")) << r.transcript;
}

TEST(Client, UnknownResourceShowsTheHresultAndTheErrorObject)
{
    auto r = run_client({L"-r", L"ASRL99::INSTR", L"-c", L"query *IDN?\\n"});
    EXPECT_EQ(1u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "error: Init(ASRL99::INSTR) failed with HRESULT 0x80040011\n"))
        << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  description:  ")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  source:       MrvRS232\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  help context: 3221159953 (0xBFFF0011)\n")) << r.transcript;
    EXPECT_FALSE(has(r.transcript, "> query")) << "no command runs without a session";
}

TEST(Client, AFailingCommandSetsTheExitCodeAndTheScriptGoesOn)
{
    // Commands from standard input (not a console): echoed, run in order until "quit".
    auto r = run_client({L"ASRL1::INSTR"}, "timeout 200\nread\nfrobnicate\nset parity sideways\n"
                                           "query *IDN?\\n\nquit\nquery *IDN?\\n\n");
    EXPECT_EQ(1u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> read\nerror: ReadString failed with HRESULT 0x80040015\n"))
        << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  help context: 3221159957 (0xBFFF0015)\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "error: frobnicate: unknown command")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "error: set: not a value of parity (none, odd, even"))
        << r.transcript;
    // The time-out left the session open: the query after it is answered, once.
    const auto answer = r.transcript.find("<- \"SIMVISA,DMM-6500");
    EXPECT_NE(std::string::npos, answer) << r.transcript;
    EXPECT_EQ(std::string::npos, r.transcript.find("<- \"SIMVISA", answer + 1))
        << "commands after quit ran\n"
        << r.transcript;
}

TEST(Client, SimulationFileAndOptionStringReachTheSession)
{
    // ASRL3 has nothing connected: the power supply answers only through the simulation file,
    // and only once the option string has set its line (19200 8E1).
    auto r = run_client({L"ASRL3::INSTR", L"--sim", L"devices/psu.json", L"--options",
                         L"BaudRate = 19200 ; Parity = ASRL_PAR_EVEN", L"--", L"query *IDN?\\r\\n",
                         L"show parity"});
    EXPECT_EQ(0u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "<- \"SIMVISA,PSU-3303,SN7781,2.4\\r\\n\"")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  parity        even\n")) << r.transcript;
}

// Each setting goes through its own property and comes back in the names it was set with.
TEST(Client, SettingsAreSetAndReadBackByName)
{
    struct row {
        const wchar_t* command;
        const char* shown;
    };
    const row rows[] = {
        {L"set flow rtscts+xonxoff", "  flow          xonxoff+rtscts\n"},
        {L"set stopbits 1.5", "  stopbits      1.5\n"},
        {L"set databits 7", "  databits      7\n"},
        {L"set termchar \\r", "  termchar      0x0D '\\r'\n"},
        {L"set termcharen on", "  termcharen    on\n"},
        {L"set sendend off", "  sendend       off\n"},
        {L"set endin none", "  endin         none\n"},
        {L"set dtr off", "  dtr           off\n"},
        {L"set xoffchar 0x14", "  xoffchar      0x14 '\\x14'\n"},
        {L"timeout 1234", "  timeout       1234\n"},
    };
    std::vector<std::wstring> commands;
    for (const auto& r : rows)
        commands.push_back(r.command);
    commands.push_back(L"show options");
    auto r = run_commands(L"ASRL3::INSTR", commands);
    EXPECT_EQ(0u, r.exit_code) << r.transcript;
    for (const auto& row : rows)
        EXPECT_TRUE(has(r.transcript, row.shown)) << row.shown << r.transcript;
    // The session's own rendering agrees with what the client showed.
    EXPECT_TRUE(has(r.transcript, "TerminationCharacter = 13 ;")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "StopBits = ASRL_STOP_ONE5 ;")) << r.transcript;

    auto refused = run_commands(L"ASRL3::INSTR", {L"set cts on", L"set baud fast", L"write \\q"});
    EXPECT_EQ(1u, refused.exit_code) << refused.transcript;
    EXPECT_TRUE(has(refused.transcript, "error: set: cts is read-only\n")) << refused.transcript;
    EXPECT_TRUE(has(refused.transcript, "error: set: not a value of baud\n")) << refused.transcript;
    EXPECT_TRUE(has(refused.transcript, "error: write: bad escape")) << refused.transcript;
}

TEST(Client, BytesLocksStatusByteAndAttributes)
{
    auto r = run_commands(L"ASRL1::INSTR",
                          {L"writebytes *IDN?\\n", L"readbytes 8", L"lock shared 500 bench",
                           L"show lockstate", L"unlock", L"show lockstate", L"flush in discard",
                           L"set ioprotocol 4882strs", L"stb", L"attr 0x3FFF0021"});
    EXPECT_EQ(0u, r.exit_code) << r.transcript;
    // Eight bytes of the answer through a SAFEARRAY; the count ended the read (VI_SUCCESS_MAX_CNT).
    EXPECT_TRUE(has(r.transcript, "  -> 6 bytes\n")) << r.transcript;
    EXPECT_TRUE(
        has(r.transcript, "  <- 8 bytes: 53 49 4D 56 49 53 41 2C [success code 0x00040006]\n"))
        << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  locked shared\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  lockstate     shared\n> unlock\n  done\n> show lockstate\n"
                                  "  lockstate     none\n"))
        << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> stb\n  status byte 0x")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "  0x3FFF0021 = 9600\n")) << r.transcript;
}

TEST(Client, AServiceRequestIsCaughtByAWaitAndByAHandler)
{
    auto r =
        run_commands(L"ASRL1::INSTR",
                     {L"enable srq queue", L"write *SRE 4\\n", L"write BOGUS\\n", L"wait 2000 srq",
                      L"handler on", L"enable srq handler", L"write *CLS\\n", L"write BOGUS\\n",
                      L"pump 500", L"handler off", L"wait 100 srq", L"enable trig sideways"});
    EXPECT_EQ(1u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> wait 2000 srq\n  event srq\n")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> pump 500\n  [handler] event srq\n")) << r.transcript;
    // Nothing left queued once the handler took the second one; a bad mechanism is refused.
    EXPECT_TRUE(has(r.transcript, "WaitOnEvent failed with HRESULT 0x80040015")) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "not a mechanism: sideways")) << r.transcript;
}

TEST(Client, AsynchronousJobsCompleteAsEvents)
{
    auto r = run_commands(L"ASRL1::INSTR", {L"enable io queue", L"awrite *IDN?\\n", L"wait 2000 io",
                                            L"aread 12", L"wait 2000 io"});
    EXPECT_EQ(0u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> awrite *IDN?\\n\n  job 1 started\n"
                                  "> wait 2000 io\n  event io status 0x00000000, 6 bytes\n"))
        << r.transcript;
    EXPECT_TRUE(has(r.transcript, "> aread 12\n  job 2 started\n"
                                  "> wait 2000 io\n  event io status 0x00040006, 12 bytes\n"))
        << r.transcript;
}

TEST(Client, WrongCommandLineIsAUsageError)
{
    auto r = run_client({L"--no-such-option"});
    EXPECT_EQ(2u, r.exit_code) << r.transcript;
    EXPECT_TRUE(has(r.transcript, "asrlcon: unknown argument --no-such-option\nusage: asrlcon"))
        << r.transcript;
}
