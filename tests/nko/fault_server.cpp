// nko_fault_server.exe PIPE BEHAVIOUR...: a kernel-object server that misbehaves, for the tests of
// the client beside a faulty neighbour. Connection i (counted from 0) gets behaviour i; the last
// one repeats. Each connection is served whole before the next is taken, and the next pipe
// instance exists before a connection is served, so a client never finds the pipe missing.
//   ok        answer "5,0"
//   stall     take the request, never answer; the connection stays open (until the test kills
//             the process) while the next ones are served. The event named by
//             stalled_event_name(PIPE) is set once such a request has been taken.
//   hangup    close the connection before reading anything
//   silent    take the request, close without answering
//   short     a reply count of 2 bytes
//   overlong  announce 100 reply bytes, send "12" and its NUL, close
//   text      the reply "garbage"
//   huge      announce 0x7FFFFFFF bytes, send "77," and 5000 digits in two messages
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "nko_test_pipe.h"
#include "com/unique_any.h"

namespace {

mrv::unique_file make_instance(const char* name)
{
    return mrv::unique_file(CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                                             PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
}

void put(HANDLE pipe, const void* data, DWORD size)
{
    DWORD n = 0;
    WriteFile(pipe, data, size, &n, nullptr);
}

void put_count(HANDLE pipe, DWORD count)
{
    put(pipe, &count, sizeof count);
}

void put_reply(HANDLE pipe, const std::string& text)
{
    put_count(pipe, static_cast<DWORD>(text.size() + 1));
    put(pipe, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// False when the connection is to be kept open without an answer.
bool serve(HANDLE pipe, std::string_view behaviour)
{
    if (behaviour == "hangup")
        return true;
    char request[4096];
    DWORD n = 0;
    ReadFile(pipe, request, sizeof request, &n, nullptr);  // the count
    ReadFile(pipe, request, sizeof request, &n, nullptr);  // the text
    if (behaviour == "ok") {
        put_reply(pipe, "5,0");
    } else if (behaviour == "stall") {
        return false;
    } else if (behaviour == "short") {
        put(pipe, "\x05\x00", 2);
    } else if (behaviour == "overlong") {
        put_count(pipe, 100);
        put(pipe, "12", 3);
    } else if (behaviour == "text") {
        put_reply(pipe, "garbage");
    } else if (behaviour == "huge") {
        put_count(pipe, 0x7FFFFFFF);
        const std::string first = "77," + std::string(2000, '9');
        const std::string second(3000, '9');
        put(pipe, first.data(), static_cast<DWORD>(first.size()));
        put(pipe, second.data(), static_cast<DWORD>(second.size()));
    }
    FlushFileBuffers(pipe);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::vector<std::string_view> behaviours(argv + 2, argv + argc);
    std::vector<mrv::unique_file> stalled;
    const mrv::unique_handle stalled_event(
        CreateEventA(nullptr, TRUE, FALSE, nko_test::stalled_event_name(argv[1]).c_str()));
    mrv::unique_file next = make_instance(argv[1]);
    for (std::size_t i = 0; next; ++i) {
        mrv::unique_file pipe = std::move(next);
        if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
            return 1;
        next = make_instance(argv[1]);
        if (serve(pipe.get(), behaviours[i < behaviours.size() ? i : behaviours.size() - 1]))
            DisconnectNamedPipe(pipe.get());
        else {
            stalled.push_back(std::move(pipe));
            SetEvent(stalled_event.get());
        }
    }
    return 1;
}
