// nkoserver.exe (the running server) given generated hostile requests (hostile_requests.h) by
// many clients at once over its real pipe, while other connections stall halfway through a
// request: each hostile request is answered 0 or dropped, and the good requests interleaved
// with them, on the same connections and through the product's client, are served throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "trace/nko_client.h"
#include "trace/nko_protocol.h"
#include "com/unique_any.h"
#include "hostile_requests.h"

namespace {

constexpr int kClients = 12;
constexpr long long kCasesPerClient = 1500;
constexpr int kStalled = 32;            // connections kept halfway through a request
constexpr long long kGoodEvery = 8;     // a good request on the connection before every eighth case
constexpr DWORD kReplyLimitMs = 20000;  // more than the server's 10 s idle limit

// A connection to the server's pipe whose every transfer gives up after a time limit, so that a
// server that stops answering fails the test instead of hanging it.
class connection {
public:
    bool open()
    {
        for (int tries = 0; tries < 100; ++tries) {
            pipe_.reset(CreateFileA(kNkoPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
            if (pipe_) {
                DWORD mode = PIPE_READMODE_MESSAGE;
                return SetNamedPipeHandleState(pipe_.get(), &mode, nullptr, nullptr);
            }
            if (GetLastError() != ERROR_PIPE_BUSY)
                return false;
            WaitNamedPipeA(kNkoPipeName, 1000);
        }
        return false;
    }
    void close() { pipe_.reset(); }
    bool is_open() const { return static_cast<bool>(pipe_); }

    bool send(const std::string& message)
    {
        DWORD moved = 0;
        return transfer(false, const_cast<char*>(message.data()),
                        static_cast<DWORD>(message.size()), &moved) == io::done;
    }

    enum class reply { text, dropped, timed_out };
    reply receive(std::string& text)
    {
        DWORD count = 0, moved = 0;
        io got = transfer(true, &count, sizeof count, &moved);
        if (got != io::done)
            return got == io::timed_out ? reply::timed_out : reply::dropped;
        text.assign(4096, '\0');
        got = transfer(true, text.data(), 4096, &moved);
        if (got != io::done)
            return got == io::timed_out ? reply::timed_out : reply::dropped;
        text.resize(moved && text[moved - 1] == '\0' ? moved - 1 : moved);
        return reply::text;
    }

    // A request framed as the client frames it, and its reply.
    reply exchange(const std::string& request, std::string& text)
    {
        const DWORD count = static_cast<DWORD>(request.size() + 1);
        if (!send(std::string(reinterpret_cast<const char*>(&count), sizeof count)) ||
            !send(std::string(request.c_str(), request.size() + 1)))
            return reply::dropped;
        return receive(text);
    }

private:
    enum class io { done, failed, timed_out };

    io transfer(bool reading, void* data, DWORD size, DWORD* moved)
    {
        mrv::unique_handle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED o{};
        o.hEvent = ready.get();
        const BOOL ok = reading ? ReadFile(pipe_.get(), data, size, nullptr, &o)
                                : WriteFile(pipe_.get(), data, size, nullptr, &o);
        if (!ok && GetLastError() != ERROR_IO_PENDING)
            return io::failed;
        if (!ok && WaitForSingleObject(o.hEvent, kReplyLimitMs) != WAIT_OBJECT_0) {
            CancelIo(pipe_.get());
            GetOverlappedResult(pipe_.get(), &o, moved, TRUE);
            return io::timed_out;
        }
        return GetOverlappedResult(pipe_.get(), &o, moved, TRUE) ? io::done : io::failed;
    }

    mrv::unique_file pipe_;
};

std::string unique_name(const char* what, long long n)
{
    return "Global\\nko_hostile_" + std::string(what) + "_" +
           std::to_string(GetCurrentProcessId()) + "_" + std::to_string(n);
}

struct tally {
    std::atomic<long long> cases{0}, zero{0}, dropped{0}, good{0};
    std::atomic<long long> slowest_good_ms{0};
    std::mutex lock;
    std::vector<std::string> failures;

    void fail(const std::string& what)
    {
        std::lock_guard guard(lock);
        if (failures.size() < 20)
            failures.push_back(what);
    }
    void timed(std::chrono::steady_clock::time_point start)
    {
        const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        long long seen = slowest_good_ms;
        while (ms > seen && !slowest_good_ms.compare_exchange_weak(seen, ms)) {
        }
    }
};

// A good creation on `c` and its close: the object exists while the server holds it.
void good_exchange(connection& c, long long n, tally& t)
{
    const auto start = std::chrono::steady_clock::now();
    const std::string name = unique_name("good", n);
    std::string reply;
    if (c.exchange(mrv::nko::create_event_request(GetCurrentProcessId(), true, TRUE, FALSE, name),
                   reply) != connection::reply::text ||
        mrv::nko::parse_reply(reply).handle == 0) {
        t.fail(fuzz::label(n) + ": a good creation got \"" + reply + "\"");
        return;
    }
    const ULONG_PTR handle = mrv::nko::parse_reply(reply).handle;
    mrv::unique_handle opened(OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
    if (!opened)
        t.fail(fuzz::label(n) + ": the server's object is not there");
    if (c.exchange(mrv::nko::close_handle_request(GetCurrentProcessId(), handle), reply) !=
            connection::reply::text ||
        reply != "1,0")
        t.fail(fuzz::label(n) + ": a good close got \"" + reply + "\"");
    t.timed(start);
    ++t.good;
}

// One client: its share of the cases on one connection at a time, a good request before every
// few, and a new connection whenever a case ends with the client hanging up.
void run_client(int client, tally& t)
{
    connection c;
    for (long long i = 0; i < kCasesPerClient; ++i) {
        const long long n = client * kCasesPerClient + i;
        if (!fuzz::selected(n))
            continue;
        if (!c.is_open() && !c.open()) {
            t.fail(fuzz::label(n) + ": cannot connect, error " + std::to_string(GetLastError()));
            return;
        }
        if (i % kGoodEvery == 0 && fuzz::only_case() < 0)
            good_exchange(c, n, t);
        const hostile::request_case hc =
            hostile::generate_request(n, GetCurrentProcessId(), unique_name("case", n));
        const std::string label = fuzz::label(n) + " (" + hc.shape + ")";
        ++t.cases;
        bool sent = true;
        for (const std::string& message : hc.messages)
            sent = sent && c.send(message);
        if (hc.end == hostile::request_case::ending::hang_up || !sent) {
            c.close();
            continue;
        }
        std::string reply;
        switch (c.receive(reply)) {
        case connection::reply::text:
            if (mrv::nko::parse_reply(reply).handle != 0)
                t.fail(label + ": answered \"" + reply + "\"");
            ++t.zero;
            break;
        case connection::reply::dropped:
            ++t.dropped;
            c.close();
            continue;
        case connection::reply::timed_out:
            t.fail(label + ": no answer within " + std::to_string(kReplyLimitMs) + " ms");
            c.close();
            continue;
        }
        if (hc.end == hostile::request_case::ending::zero_then_close)
            c.close();
    }
}

// Connections that send the count of a request and then nothing, kept open in turns, so that the
// server always has some clients stalled halfway.
void run_stallers(const std::atomic<bool>& done)
{
    while (!done) {
        std::vector<connection> stalled(kStalled);
        for (connection& c : stalled)
            if (c.open())
                c.send(hostile::detail::count_message(100));
        for (int i = 0; i < 30 && !done; ++i)
            Sleep(100);
    }
}

}  // namespace

TEST(NkoHostile, ManyClientsSendingBrokenRequestsGetZeroWhileGoodOnesAreServed)
{
    tally t;
    std::atomic<bool> done{false};
    std::thread stallers(run_stallers, std::cref(done));
    std::atomic<long long> product_calls{0}, product_failures{0};
    // The product's own client beside them, a new connection per request.
    std::thread product([&] {
        for (long long n = 0; !done; ++n) {
            const auto start = std::chrono::steady_clock::now();
            NkoHandle* h = NkoCreateEvent(nullptr, TRUE, FALSE, unique_name("product", n).c_str());
            ++product_calls;
            if (!NkoIsValid(h))
                ++product_failures;
            NkoClose(h);
            t.timed(start);
            Sleep(20);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back(run_client, i, std::ref(t));
    for (std::thread& c : clients)
        c.join();
    done = true;
    product.join();
    stallers.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    for (const std::string& f : t.failures)
        ADD_FAILURE() << f;
    EXPECT_EQ(0, product_failures.load()) << "of " << product_calls.load();
    EXPECT_GT(product_calls.load(), 0);
    if (fuzz::only_case() < 0) {
        EXPECT_EQ(kClients * ((kCasesPerClient + kGoodEvery - 1) / kGoodEvery), t.good.load())
            << "every good request on the hostile connections was served";
    }
    EXPECT_LT(t.slowest_good_ms.load(), 5000) << "good requests waited";
    std::printf("%lld hostile requests from %d clients in %.1f s: %lld answered 0, %lld dropped, "
                "the rest hung up; %lld good exchanges and %lld product creations beside them, "
                "slowest %lld ms\n",
                t.cases.load(), kClients, seconds, t.zero.load(), t.dropped.load(), t.good.load(),
                product_calls.load(), t.slowest_good_ms.load());

    // And afterwards.
    NkoHandle* h = NkoCreateEvent(nullptr, TRUE, FALSE, unique_name("after", 0).c_str());
    EXPECT_TRUE(NkoIsValid(h));
    NkoClose(h);
}
