#pragma once
// iomonitor.exe run as a child process beside the benchmark: it switches tracing on, reads every
// record of this process into a file, and switches tracing off again when its time is up.
#include <windows.h>

#include <fstream>
#include <string>

#include "trace_status.h"

namespace bench {

class monitor_process {
public:
    // Starts `exe` for `seconds`, writing the records of this process to `out_file`.
    monitor_process(const std::wstring& exe, const std::wstring& out_file, int seconds)
        : out_file_(out_file)
    {
        DeleteFileW(out_file.c_str());
        std::wstring command = L"\"" + exe + L"\" --seconds " + std::to_wstring(seconds) +
                               L" --pid " + std::to_wstring(GetCurrentProcessId()) + L" --out \"" +
                               out_file + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hThread);
            process_ = pi.hProcess;
        }
    }
    ~monitor_process()
    {
        if (process_) {
            wait_for_exit(30000);
            CloseHandle(process_);
        }
    }
    monitor_process(const monitor_process&) = delete;
    monitor_process& operator=(const monitor_process&) = delete;

    bool started() const { return process_ != nullptr; }

    // Whether the monitor switched tracing on, as the shared trace status says, within the time.
    bool wait_until_watching(DWORD timeout_ms) const
    {
        auto& status = mrv::trace::shared_trace_status();
        for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
            if (status.monitor_reads() && status.tracing_enabled())
                return true;
            if (WaitForSingleObject(process_, 20) == WAIT_OBJECT_0)
                return false;
        }
        return false;
    }

    // Whether the monitor ended (its time was up) with exit code 0 within the time.
    bool wait_for_exit(DWORD timeout_ms) const
    {
        DWORD code = 1;
        return WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_, &code) && code == 0;
    }

    // The records the monitor wrote: one line each.
    long records_written() const
    {
        std::ifstream file(out_file_.c_str());
        long lines = 0;
        for (std::string line; std::getline(file, line);)
            ++lines;
        return lines;
    }

private:
    std::wstring out_file_;
    HANDLE process_ = nullptr;
};

}  // namespace bench
