#pragma once
// Processes of the kernel-object tests: programs built beside the test, killed when the test
// ends if they are still running.
#include <windows.h>

#include <string>

#include "com/unique_any.h"

namespace nko_test {

// The quoted path of a program built into the test's own folder.
inline std::string program(const char* exe)
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self(path, n);
    return "\"" + self.substr(0, self.find_last_of('\\') + 1) + exe + "\"";
}

// A process of the test, killed when the test ends.
class process {
public:
    explicit process(std::string command)
    {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hThread);
            handle_.reset(pi.hProcess);
        }
    }
    ~process() { kill(); }
    process(process&&) = default;

    explicit operator bool() const { return static_cast<bool>(handle_); }
    HANDLE get() const { return handle_.get(); }
    // Whether it ended with exit code 0 within the time.
    bool ends_well_within(DWORD timeout_ms) const
    {
        DWORD code = 1;
        return handle_ && WaitForSingleObject(handle_.get(), timeout_ms) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(handle_.get(), &code) && code == 0;
    }
    void kill() const
    {
        if (handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(handle_.get(), 9);
            WaitForSingleObject(handle_.get(), 10000);
        }
    }

private:
    mrv::unique_handle handle_;
};

}  // namespace nko_test
