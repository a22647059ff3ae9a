#pragma once
// Helpers of the kernel-object tests: a scripted pipe server standing in for nkoserver.exe, and a
// raw client that sends arbitrary frames to a pipe.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "com/unique_any.h"

namespace nko_test {

inline std::string unique_pipe_name(const char* what)
{
    static std::atomic<int> serial{0};
    return "\\\\.\\pipe\\nko_test_" + std::string(what) + "_" +
           std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
}

// The event nko_fault_server.exe sets when it has taken a request that it will never answer.
inline std::string stalled_event_name(const std::string& pipe_name)
{
    return pipe_name.substr(pipe_name.find_last_of('\\') + 1) + "_stalled";
}

// Serves `replies.size()` connections on its own pipe, one request each, after waiting
// `delay_ms`; records each request text (without its NUL) and answers with the next reply. The
// next instance of the pipe exists before the current client is answered, so a client never
// finds the pipe missing between two requests.
class scripted_server {
public:
    scripted_server(std::string name, std::vector<std::string> replies, DWORD delay_ms = 0)
        : name_(std::move(name)), replies_(std::move(replies))
    {
        if (delay_ms == 0)
            next_ = make_instance();
        thread_ = std::thread([this, delay_ms] { run(delay_ms); });
    }
    ~scripted_server()
    {
        // Clients that never came: connect in their place so the thread can finish.
        while (!done_) {
            mrv::unique_file probe(CreateFileA(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
            Sleep(10);
        }
        thread_.join();
    }

    const std::string& name() const { return name_; }
    // Complete once the client got its replies.
    std::vector<std::string> requests;

private:
    mrv::unique_file make_instance()
    {
        return mrv::unique_file(CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX,
                                                 PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                                                 PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
    }

    void run(DWORD delay_ms)
    {
        Sleep(delay_ms);
        if (!next_)
            next_ = make_instance();
        for (std::size_t i = 0; i < replies_.size(); ++i) {
            mrv::unique_file pipe = std::move(next_);
            if (!pipe ||
                (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED))
                break;
            if (i + 1 < replies_.size())
                next_ = make_instance();
            DWORD count = 0, n = 0;
            ReadFile(pipe.get(), &count, sizeof count, &n, nullptr);
            std::string text(count, '\0');
            ReadFile(pipe.get(), text.data(), count, &n, nullptr);
            text.resize(n ? n - 1 : 0);
            requests.push_back(text);
            const std::string& reply = replies_[i];
            const DWORD size = static_cast<DWORD>(reply.size() + 1);
            WriteFile(pipe.get(), &size, sizeof size, &n, nullptr);
            WriteFile(pipe.get(), reply.c_str(), size, &n, nullptr);
            FlushFileBuffers(pipe.get());
            DisconnectNamedPipe(pipe.get());
        }
        done_ = true;
    }

    std::string name_;
    std::vector<std::string> replies_;
    mrv::unique_file next_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Sends a count and a body as two messages and returns the reply text ("" when none came).
inline std::string raw_exchange(const char* pipe_name, DWORD count, const std::string& body)
{
    mrv::unique_file pipe;
    for (int tries = 0; !pipe && tries < 50; ++tries) {
        pipe.reset(CreateFileA(pipe_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               0, nullptr));
        if (!pipe && GetLastError() == ERROR_PIPE_BUSY)
            WaitNamedPipeA(pipe_name, 2000);
    }
    if (!pipe)
        return "";
    DWORD mode = PIPE_READMODE_MESSAGE, n = 0;
    SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
    WriteFile(pipe.get(), &count, sizeof count, &n, nullptr);
    WriteFile(pipe.get(), body.data(), static_cast<DWORD>(body.size()), &n, nullptr);
    DWORD size = 0;
    if (!ReadFile(pipe.get(), &size, sizeof size, &n, nullptr))
        return "";
    std::string reply(size, '\0');
    if (!ReadFile(pipe.get(), reply.data(), size, &n, nullptr))
        return "";
    reply.resize(n ? n - 1 : 0);
    return reply;
}

// A request framed as the client frames it.
inline std::string send_request(const char* pipe_name, const std::string& text)
{
    return raw_exchange(pipe_name, static_cast<DWORD>(text.size() + 1),
                        std::string(text.c_str(), text.size() + 1));
}

}  // namespace nko_test
