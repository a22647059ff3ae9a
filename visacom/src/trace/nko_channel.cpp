#include "trace/nko_channel.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "trace/event_log_report.h"
#include "trace/nko_client.h"
#include "com/unique_any.h"

namespace mrv::nko {

namespace {

constexpr DWORD kBusyWaitMs = 20000;

std::string format(const char* pattern, ...)
{
    char text[3072];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

void report_to_nko_event_source(const std::string& text)
{
    trace::report_to_event_log(kNkoEventSource, text);
}

// One read or write on the overlapped pipe, given up when the deadline passes: a server that
// stalls (connected, never answering) must not keep the caller waiting. A cancelled transfer
// fails with ERROR_TIMEOUT. ERROR_MORE_DATA (a message longer than the buffer) counts as done.
bool transfer(HANDLE pipe, HANDLE done, bool write, void* data, DWORD size, DWORD* moved,
              ULONGLONG deadline)
{
    OVERLAPPED io{};
    io.hEvent = done;
    *moved = 0;
    const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &io)
                               : ReadFile(pipe, data, size, nullptr, &io);
    if (!started && GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA)
        return false;
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(done, left) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &io, moved, TRUE);
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    if (GetOverlappedResult(pipe, &io, moved, FALSE))
        return true;
    return GetLastError() == ERROR_MORE_DATA;
}

}  // namespace

channel::channel(std::string pipe_name, report_sink report, DWORD first_contact_pause_ms,
                 int first_contact_attempts, DWORD exchange_limit_ms)
    : pipe_name_(std::move(pipe_name)), report_(report), pause_ms_(first_contact_pause_ms),
      attempts_(first_contact_attempts), exchange_limit_ms_(exchange_limit_ms)
{}

void channel::report(const std::string& text) const noexcept
{
    const DWORD kept = GetLastError();
    try {
        if (report_)
            report_(text);
    } catch (...) {
    }
    SetLastError(kept);
}

channel::outcome channel::exchange(const std::string& request, bool quiet) noexcept
{
    unique_file pipe;
    // A busy pipe is waited for 20 s in all, however often other clients take the instance
    // that came free first.
    const ULONGLONG busy_deadline = GetTickCount64() + kBusyWaitMs;
    for (;;) {
        pipe.reset(CreateFileA(pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe)
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY) {
            if (!quiet)
                report(format("NkoServerCommunicate: could not open pipe.  lastError=%d\n%s",
                              static_cast<int>(error), request.c_str()));
            return {};
        }
        const ULONGLONG now = GetTickCount64();
        // (A wait of 0 would mean the server's default wait, not none.)
        if (now >= busy_deadline) {
            SetLastError(ERROR_SEM_TIMEOUT);
        } else if (WaitNamedPipeA(pipe_name_.c_str(), static_cast<DWORD>(busy_deadline - now))) {
            continue;
        }
        report(format("NkoServerCommunicate: all pipes busy.  lastError=%d\n%s",
                      static_cast<int>(GetLastError()), request.c_str()));
        return {};
    }

    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        report(format("NkoServerCommunicate: SetNamedPipeHandleState failed.  lastError=%d",
                      static_cast<int>(GetLastError())));
        return {};
    }
    const unique_handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        report(format("NkoServerCommunicate: WriteFile(count) failed.  lastError=%d",
                      static_cast<int>(GetLastError())));
        return {};
    }
    // The whole exchange, from the first byte sent to the last one read, has one deadline.
    const ULONGLONG deadline = GetTickCount64() + exchange_limit_ms_;
    DWORD count = static_cast<DWORD>(request.size() + 1);
    DWORD moved = 0;
    if (!transfer(pipe.get(), done.get(), true, &count, sizeof count, &moved, deadline) ||
        moved != sizeof count) {
        report(format("NkoServerCommunicate: WriteFile(count) failed.  lastError=%d",
                      static_cast<int>(GetLastError())));
        return {};
    }
    if (!transfer(pipe.get(), done.get(), true, const_cast<char*>(request.c_str()), count, &moved,
                  deadline) ||
        moved != count) {
        report(format("NkoServerCommunicate: WriteFile(message) failed.  lastError=%d",
                      static_cast<int>(GetLastError())));
        return {};
    }
    DWORD announced = 0;
    if (!transfer(pipe.get(), done.get(), false, &announced, sizeof announced, &moved, deadline) ||
        moved != sizeof announced) {
        report(format("NkoServerCommunicate: ReadFile failed.  lastError=%d",
                      static_cast<int>(GetLastError())));
        return {};
    }

    char text[kReplyBuffer] = {};
    DWORD stored = 0;
    while (stored < announced && stored < kReplyBuffer - 1) {
        DWORD n = 0;
        const bool ok = transfer(pipe.get(), done.get(), false, text + stored,
                                 kReplyBuffer - 1 - stored, &n, deadline);
        stored += n;
        if (!ok || n == 0)
            break;
    }
    pipe.reset();
    return {true, parse_reply(std::string_view(text, strnlen(text, stored)))};
}

ULONG_PTR channel::communicate(std::string_view request_view) noexcept
{
    std::string request;
    try {
        request.assign(request_view.substr(0, kMaxRequestText));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }

    outcome result;
    if (first_contact_) {
        int attempt = 0;
        while (attempt < attempts_) {
            ++attempt;
            result = exchange(request, true);
            if (result.answered)
                break;
            Sleep(pause_ms_);
        }
        if (result.answered && attempt >= 2)
            report(format("NkoServerCommunicate: NkoServer communications established in %d tries.",
                          attempt));
        if (!result.answered)
            report(
                format("NkoServerCommunicate: Failed to establish communications with NkoServer.  "
                       "Quitting after %d tries. lastError=%d\n%s",
                       attempt, static_cast<int>(GetLastError()), request.c_str()));
        first_contact_ = false;
    } else {
        result = exchange(request, false);
    }
    if (result.value.error)
        SetLastError(*result.value.error);
    return result.value.handle;
}

channel& server_channel() noexcept
{
    static channel process_channel(kNkoPipeName, &report_to_nko_event_source);
    return process_channel;
}

}  // namespace mrv::nko
