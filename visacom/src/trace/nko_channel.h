#pragma once
// The request/reply exchange with the kernel-object server over its named pipe, with the
// first-contact retries. The process has one channel to the real server (server_channel());
// tests make their own against other pipes, with a short pause and their own report sink.
#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>

#include "trace/nko_protocol.h"

namespace mrv::nko {

// Where the channel's reports go (the event log for the real server).
using report_sink = void (*)(const std::string& text);

class channel {
public:
    // exchange_limit_ms bounds one exchange once the pipe is open: a server that takes a
    // connection and then stalls makes it fail like a broken one.
    channel(std::string pipe_name, report_sink report, DWORD first_contact_pause_ms = 1000,
            int first_contact_attempts = 10, DWORD exchange_limit_ms = 5000);

    // One request through the retries: during first contact (the channel's first request, on
    // whatever thread) up to the set number of attempts while the server does not answer, one
    // attempt afterwards. Returns the reply's handle value (0 when there was none) and sets the
    // last error to the reply's error code when it has one.
    ULONG_PTR communicate(std::string_view request) noexcept;

    bool in_first_contact() const noexcept { return first_contact_; }

private:
    struct outcome {
        bool answered = false;
        reply value;
    };
    // One connection: open, send, receive, close. Open failures are silent when quiet.
    outcome exchange(const std::string& request, bool quiet) noexcept;
    void report(const std::string& text) const noexcept;

    std::string pipe_name_;
    report_sink report_;
    DWORD pause_ms_;
    int attempts_;
    DWORD exchange_limit_ms_;
    std::atomic<bool> first_contact_{true};
};

// The process's channel to nkoserver.exe, reporting to the event log under "Morvane NKO client".
channel& server_channel() noexcept;

}  // namespace mrv::nko
