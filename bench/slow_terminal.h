#pragma once
// A slow terminal for a child process's standard output: a message-mode pipe whose reader takes
// one write at a time and pauses after each, as a terminal that draws every write does. A
// program that flushes each line pays the pause per line; one that writes in batches pays it per
// batch. What arrives is kept.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "com/unique_any.h"

namespace bench {

class slow_terminal {
public:
    explicit slow_terminal(DWORD pause_ms) : pause_ms_(pause_ms)
    {
        static std::atomic<int> made{0};
        const std::wstring name = L"\\\\.\\pipe\\mrv_slow_terminal_" +
                                  std::to_wstring(GetCurrentProcessId()) + L"_" +
                                  std::to_wstring(made++);
        server_.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0,
                                       4096, 0, nullptr));
        if (!server_)
            return;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        client_.reset(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
        if (!client_)
            return;
        reader_ = std::thread([this] { read(); });
    }
    ~slow_terminal() { finish(); }
    slow_terminal(const slow_terminal&) = delete;
    slow_terminal& operator=(const slow_terminal&) = delete;

    bool ready() const { return reader_.joinable(); }
    // The child's end (inheritable); close_client() once the child has been started, so that
    // the reader sees the end of the output when the child exits.
    HANDLE client() const { return client_.get(); }
    void close_client() { client_.reset(); }
    // Waits for the end of the output (every writer gone) and returns what arrived.
    std::string finish()
    {
        close_client();
        if (reader_.joinable())
            reader_.join();
        return text_;
    }
    long writes() const { return writes_; }
    // What has arrived so far.
    std::string text() const
    {
        std::lock_guard guard(lock_);
        return text_;
    }

private:
    void read()
    {
        std::string buffer(1 << 16, '\0');
        for (;;) {
            DWORD n = 0;
            const BOOL ok = ReadFile(server_.get(), buffer.data(),
                                     static_cast<DWORD>(buffer.size()), &n, nullptr);
            if (!ok && GetLastError() != ERROR_MORE_DATA)
                break;
            {
                std::lock_guard guard(lock_);
                text_.append(buffer.data(), n);
            }
            if (ok) {
                ++writes_;
                Sleep(pause_ms_);
            }
        }
    }

    DWORD pause_ms_;
    mrv::unique_file server_;
    mrv::unique_file client_;
    std::thread reader_;
    mutable std::mutex lock_;
    std::string text_;
    std::atomic<long> writes_{0};
};

}  // namespace bench
