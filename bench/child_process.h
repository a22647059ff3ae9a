#pragma once
// Programs run beside the benchmark and the monitor tests: iomonitor.exe, which switches tracing
// on and reads the records, and traced programs.
#include <windows.h>

#include <fstream>
#include <string>

#include "trace/trace_status.h"
#include "com/unique_any.h"

namespace bench {

class child_process {
public:
    // Starts `command`; its standard output goes to `std_output` when given (an inheritable
    // handle), its standard error nowhere then.
    explicit child_process(std::wstring command, HANDLE std_output = nullptr,
                           DWORD creation_flags = 0)
    {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (std_output) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = std_output;
        }
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, std_output != nullptr,
                           creation_flags, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            process_.reset(pi.hProcess);
            id_ = pi.dwProcessId;
        }
    }
    ~child_process()
    {
        if (process_)
            WaitForSingleObject(process_.get(), 30000);
    }
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    bool running() const
    {
        return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
    }

    // Ends it outright (as a user or a crash would), and waits until it has ended.
    bool kill() const
    {
        return process_ && TerminateProcess(process_.get(), 9) &&
               WaitForSingleObject(process_.get(), 10000) == WAIT_OBJECT_0;
    }
    DWORD id() const { return id_; }

    // Whether it ended with exit code 0 within the time.
    bool wait_for_exit(DWORD timeout_ms) const
    {
        DWORD code = 1;
        return process_ && WaitForSingleObject(process_.get(), timeout_ms) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.get(), &code) && code == 0;
    }

    // For a monitor: whether it switched tracing on, as the shared trace status says, within
    // the time.
    bool wait_until_watching(DWORD timeout_ms) const
    {
        auto& status = mrv::trace::shared_trace_status();
        for (DWORD waited = 0; process_ && waited < timeout_ms; waited += 20) {
            if (status.monitor_reads() && status.tracing_enabled())
                return true;
            if (WaitForSingleObject(process_.get(), 20) == WAIT_OBJECT_0)
                return false;
        }
        return false;
    }

private:
    mrv::unique_handle process_;
    DWORD id_ = 0;
};

// The directory of this program, with a trailing backslash.
inline std::wstring program_directory()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n);
    return full.substr(0, full.find_last_of(L'\\') + 1);
}

// The lines of a text file.
inline long count_lines(const std::wstring& file)
{
    std::ifstream in(file.c_str());
    long lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

}  // namespace bench
