// The kernel-object client beside a server process that fails: killed in the middle of an
// exchange, stalled, or answering garbage. Every exchange ends within its deadline, counts as a
// failed one and is reported; none leaves the caller waiting.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "trace/nko_channel.h"
#include "nko_test_pipe.h"
#include "nko_test_process.h"
#include "com/unique_any.h"

using mrv::nko::channel;

namespace {

std::vector<std::string> g_reports;
void capture(const std::string& text)
{
    g_reports.push_back(text);
}

// nko_fault_server.exe on a pipe of its own, ready to take clients.
nko_test::process fault_server(const std::string& pipe, const std::string& behaviours)
{
    nko_test::process server(nko_test::program("nko_fault_server.exe") + " " + pipe + " " +
                             behaviours);
    for (int i = 0; server && i < 500 && !WaitNamedPipeA(pipe.c_str(), 100); ++i)
        Sleep(20);
    return server;
}

class FaultyServer : public ::testing::Test {
protected:
    void SetUp() override { g_reports.clear(); }

    // One request, timed; the reply's handle value.
    ULONG_PTR timed_request(channel& c, DWORD* elapsed_ms)
    {
        const ULONGLONG start = GetTickCount64();
        const ULONG_PTR handle = c.communicate("<CloseHandle ProcId=\"1\" Handle=\"2\"/>");
        *elapsed_ms = static_cast<DWORD>(GetTickCount64() - start);
        return handle;
    }
};

}  // namespace

// Each misbehaviour in turn, after one good exchange has ended the first contact. Each exchange
// ends by its deadline at the latest.
TEST_F(FaultyServer, GarbageHangupsAndStallsEndTheExchangeWithinItsDeadline)
{
    const std::string pipe = nko_test::unique_pipe_name("garbage");
    const nko_test::process server =
        fault_server(pipe, "ok hangup silent short overlong text huge stall");
    ASSERT_TRUE(server);
    constexpr DWORD kDeadline = 1000;
    channel c(pipe, capture, 10, 1, kDeadline);
    DWORD elapsed = 0;
    ASSERT_EQ(5u, timed_request(c, &elapsed));
    ASSERT_TRUE(g_reports.empty());

    const struct {
        const char* behaviour;
        ULONG_PTR handle;
        const char* report;  // the start of the one report, or "" for none
    } rows[] = {
        {"hangup", 0, "NkoServerCommunicate: "},
        {"silent", 0, "NkoServerCommunicate: ReadFile failed.  lastError="},
        {"short", 0, "NkoServerCommunicate: ReadFile failed.  lastError="},
        {"overlong", 12, ""},
        {"text", 0, ""},
        {"huge", 77, ""},
        {"stall", 0, "NkoServerCommunicate: ReadFile failed.  lastError=1460"},
    };
    for (const auto& row : rows) {
        g_reports.clear();
        EXPECT_EQ(row.handle, timed_request(c, &elapsed)) << row.behaviour;
        EXPECT_LT(elapsed, kDeadline + 2000) << row.behaviour;  // slack for a loaded machine
        if (*row.report) {
            ASSERT_EQ(1u, g_reports.size()) << row.behaviour;
            EXPECT_TRUE(g_reports[0].starts_with(row.report))
                << row.behaviour << ": " << g_reports[0];
        } else {
            EXPECT_TRUE(g_reports.empty()) << row.behaviour << ": " << g_reports[0];
        }
    }
}

// Killed while a client waits for its reply: the client learns it at once, not at its deadline,
// and the next request fails at once as the server is gone.
TEST_F(FaultyServer, KilledServerFailsTheWaitingExchangeAtOnce)
{
    const std::string pipe = nko_test::unique_pipe_name("killed");
    const mrv::unique_handle stalled(
        CreateEventA(nullptr, TRUE, FALSE, nko_test::stalled_event_name(pipe).c_str()));
    const nko_test::process server = fault_server(pipe, "ok stall");
    ASSERT_TRUE(server);
    channel c(pipe, capture, 10, 1, 20000);
    DWORD elapsed = 0;
    ASSERT_EQ(5u, timed_request(c, &elapsed));

    std::atomic<DWORD> killed_at{0};
    std::thread killer([&] {
        WaitForSingleObject(stalled.get(), 10000);  // the client waits for the reply from now on
        killed_at = static_cast<DWORD>(GetTickCount64());
        server.kill();
    });
    EXPECT_EQ(0u, timed_request(c, &elapsed));
    const DWORD after_kill = static_cast<DWORD>(GetTickCount64()) - killed_at;
    killer.join();
    EXPECT_LT(after_kill, 2000u) << "the exchange waited for its deadline, not for the pipe";
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ("NkoServerCommunicate: ReadFile failed.  lastError=109", g_reports[0]);

    EXPECT_EQ(0u, timed_request(c, &elapsed));
    EXPECT_LT(elapsed, 1000u);
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_TRUE(g_reports[1].starts_with("NkoServerCommunicate: could not open pipe.  lastError=2"))
        << g_reports[1];
}

// During first contact a stalled server costs each attempt its deadline and pause: bounded, and
// every failed attempt is reported.
TEST_F(FaultyServer, FirstContactWithAStalledServerEndsAfterItsAttempts)
{
    const std::string pipe = nko_test::unique_pipe_name("stalled");
    const nko_test::process server = fault_server(pipe, "stall");
    ASSERT_TRUE(server);
    channel c(pipe, capture, 50, 3, 300);
    DWORD elapsed = 0;
    EXPECT_EQ(0u, timed_request(c, &elapsed));
    EXPECT_GE(elapsed, 3 * 300u);
    EXPECT_LT(elapsed, 3 * (300u + 50u) + 2000u);
    ASSERT_EQ(4u, g_reports.size());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ("NkoServerCommunicate: ReadFile failed.  lastError=1460", g_reports[i]);
    EXPECT_TRUE(g_reports[3].starts_with("NkoServerCommunicate: Failed to establish communications "
                                         "with NkoServer.  Quitting after 3 tries."))
        << g_reports[3];
}
