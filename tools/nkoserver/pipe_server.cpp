#include "pipe_server.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <memory>
#include <new>
#include <vector>

#include "console_log.h"
#include "request_owner.h"
#include "trace/nko_client.h"
#include "trace/nko_protocol.h"
#include "com/unique_any.h"

namespace nkoserver {

namespace {

enum class io { done, more_data, broken, stopped };

// One overlapped read or write that gives up when stop is signalled or the client stays idle.
io transfer(HANDLE pipe, HANDLE stop, bool reading, void* data, DWORD size, DWORD* moved)
{
    mrv::unique_handle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED o{};
    o.hEvent = ready.get();
    *moved = 0;
    const BOOL ok = reading ? ReadFile(pipe, data, size, nullptr, &o)
                            : WriteFile(pipe, data, size, nullptr, &o);
    if (!ok && GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA)
        return io::broken;
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        const HANDLE waits[] = {o.hEvent, stop};
        if (WaitForMultipleObjects(2, waits, FALSE, kIdleMilliseconds) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &o, moved, TRUE);
            return io::stopped;
        }
    }
    if (GetOverlappedResult(pipe, &o, moved, TRUE))
        return io::done;
    return GetLastError() == ERROR_MORE_DATA ? io::more_data : io::broken;
}

bool send(HANDLE pipe, HANDLE stop, const std::string& text)
{
    const DWORD count = static_cast<DWORD>(text.size() + 1);
    DWORD moved = 0;
    return transfer(pipe, stop, false, const_cast<DWORD*>(&count), sizeof count, &moved) ==
               io::done &&
           transfer(pipe, stop, false, const_cast<char*>(text.c_str()), count, &moved) == io::done;
}

// Reads the rest of an oversized message so that the next read starts at a message boundary.
void skip_message(HANDLE pipe, HANDLE stop)
{
    char sink[512];
    DWORD moved = 0;
    while (transfer(pipe, stop, true, sink, sizeof sink, &moved) == io::more_data) {
    }
}

// The reply to one request text of `length` bytes (its NUL included), or "0,87" when it is not
// one NUL-terminated, well-formed request.
std::string answer(const char* text, DWORD length, DWORD client, object_table& objects)
{
    std::string reply = mrv::nko::reply_text(0, ERROR_INVALID_PARAMETER);
    std::string_view request_text(text, length);
    if (length > 0 && text[length - 1] == 0 && request_text.find('\0') == length - 1) {
        request_text.remove_suffix(1);
        if (const auto r = mrv::nko::parse_request(request_text)) {
            const DWORD refused = request_refusal(*r, client);
            reply = refused ? mrv::nko::reply_text(0, refused) : objects.execute(*r);
        }
    }
    std::string shown(request_text.substr(0, 300));
    for (char& c : shown)
        if (c < ' ' || c > '~')
            c = '?';
    log_line("client " + std::to_string(client) + ": " + shown + " -> " + reply);
    return reply;
}

// Requests of one connection, until the client disconnects, stalls or the server stops.
void serve_client(mrv::unique_file pipe, HANDLE stop, object_table& objects)
{
    ULONG client = 0;
    GetNamedPipeClientProcessId(pipe.get(), &client);
    for (;;) {
        DWORD count = 0, moved = 0;
        io got = transfer(pipe.get(), stop, true, &count, sizeof count, &moved);
        if (got == io::broken || got == io::stopped)
            break;
        std::string reply;
        if (got == io::more_data || moved != sizeof count) {
            skip_message(pipe.get(), stop);
            log_line("client " + std::to_string(client) + ": malformed length -> 0");
            reply = mrv::nko::reply_text(0, ERROR_INVALID_PARAMETER);
        } else {
            std::vector<char> text(kMaxRequestBytes);
            got = transfer(pipe.get(), stop, true, text.data(), kMaxRequestBytes, &moved);
            if (got == io::broken || got == io::stopped)
                break;
            if (got == io::more_data || moved != count) {
                if (got == io::more_data)
                    skip_message(pipe.get(), stop);
                log_line("client " + std::to_string(client) + ": request of " +
                         std::to_string(count) + " announced bytes refused -> 0");
                reply = mrv::nko::reply_text(0, ERROR_INVALID_PARAMETER);
            } else {
                reply = answer(text.data(), moved, client, objects);
            }
        }
        if (!send(pipe.get(), stop, reply))
            break;
    }
    DisconnectNamedPipe(pipe.get());
}

// Connected clients, so that stopping waits for the ones still being served.
class client_count {
public:
    void enter()
    {
        std::lock_guard g(lock_);
        ++active_;
    }
    void leave()
    {
        std::lock_guard g(lock_);
        if (--active_ == 0)
            idle_.notify_all();
    }
    void wait_idle()
    {
        std::unique_lock g(lock_);
        idle_.wait(g, [&] { return active_ == 0; });
    }

private:
    std::mutex lock_;
    std::condition_variable idle_;
    int active_ = 0;
};

// One client's thread. A Win32 thread of its own rather than a detached std::thread: under
// heavy load the thread library's start-up of detached threads was seen to hand a new thread a
// null start record, which took the whole server down.
struct client_thread_start {
    mrv::unique_file pipe;
    HANDLE stop;
    object_table& objects;
    client_count& clients;
};

DWORD WINAPI client_thread(void* parameter)
{
    std::unique_ptr<client_thread_start> start(static_cast<client_thread_start*>(parameter));
    serve_client(std::move(start->pipe), start->stop, start->objects);
    start->clients.leave();
    return 0;
}

bool start_client_thread(mrv::unique_file pipe, HANDLE stop, object_table& objects,
                         client_count& clients)
{
    auto* start = new (std::nothrow) client_thread_start{std::move(pipe), stop, objects, clients};
    if (!start)
        return false;
    const HANDLE thread = CreateThread(nullptr, 0, client_thread, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

mrv::unique_file make_instance(const char* pipe_name, bool first)
{
    return mrv::unique_file(CreateNamedPipeA(
        pipe_name,
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096,
        0, NkoSecurityAttributes()));
}

}  // namespace

bool serve(const char* pipe_name, HANDLE stop, object_table& objects)
{
    mrv::unique_file listening = make_instance(pipe_name, true);
    if (!listening) {
        log_line("cannot create " + std::string(pipe_name) + ", error " +
                 std::to_string(GetLastError()));
        return false;
    }
    log_line(std::string("serving ") + pipe_name);
    client_count clients;
    mrv::unique_handle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    for (;;) {
        OVERLAPPED o{};
        o.hEvent = connected.get();
        ResetEvent(o.hEvent);
        bool ok = ConnectNamedPipe(listening.get(), &o) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            const HANDLE waits[] = {o.hEvent, stop};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(listening.get());
                DWORD ignored = 0;
                GetOverlappedResult(listening.get(), &o, &ignored, TRUE);
                break;
            }
            DWORD ignored = 0;
            ok = GetOverlappedResult(listening.get(), &o, &ignored, FALSE);
        }
        // The next instance exists before this client is served, so that the pipe never has
        // no instance at all (clients would then fail instead of waiting for a free one).
        mrv::unique_file connection = std::move(listening);
        listening = make_instance(pipe_name, false);
        if (ok) {
            clients.enter();
            if (!start_client_thread(std::move(connection), stop, objects, clients))
                clients.leave();  // no thread: the pipe instance is closed
        }
        if (!listening) {
            log_line("cannot create another pipe instance, error " +
                     std::to_string(GetLastError()));
            break;
        }
    }
    clients.wait_idle();
    log_line("stopped; " + std::to_string(objects.held()) + " objects were still held");
    return true;
}

}  // namespace nkoserver
