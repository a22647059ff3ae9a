// Request texts, reply parsing and the channel's framing, retries and reports, against scripted
// pipe servers of the test itself.
#include <gtest/gtest.h>

#include <thread>

#include "trace/nko_channel.h"
#include "trace/nko_protocol.h"
#include "nko_test_pipe.h"

using namespace mrv::nko;
using nko_test::scripted_server;

namespace {

std::vector<std::string> g_reports;
void capture(const std::string& text)
{
    g_reports.push_back(text);
}

class Channel : public ::testing::Test {
protected:
    void SetUp() override { g_reports.clear(); }
};

}  // namespace

TEST(Requests, TextsHaveTheirAttributesInOrderWithTheNameEscaped)
{
    EXPECT_EQ("<CreateEvent ProcId=\"42\" SecurityAttributes=\"1\" bManualReset=\"1\" "
              "bInitialState=\"0\" lpName=\"Global\\a&lt;b&quot;c&amp;d&apos;e&gt;\"/>",
              create_event_request(42, true, TRUE, FALSE, "Global\\a<b\"c&d'e>"));
    EXPECT_EQ(
        "<CreateMutex ProcId=\"7\" SecurityAttributes=\"0\" bInitialOwner=\"1\" lpName=\"m\"/>",
        create_mutex_request(7, false, TRUE, "m"));
    EXPECT_EQ("<CreateSemaphore ProcId=\"7\" SecurityAttributes=\"1\" lInitialCount=\"0\" "
              "lMaximumCount=\"65535\" lpName=\"s\"/>",
              create_semaphore_request(7, true, 0, 65535, "s"));
    EXPECT_EQ(
        "<CreateFileMapping ProcId=\"7\" hFile=\"-1\" SecurityAttributes=\"1\" flProtect=\"4\" "
        "dwMaximumSizeHigh=\"0\" dwMaximumSizeLow=\"-1\" lpName=\"f\"/>",
        create_file_mapping_request(7, INVALID_HANDLE_VALUE, true, PAGE_READWRITE, 0, 0xFFFFFFFF,
                                    "f"));
    EXPECT_EQ("<CloseHandle ProcId=\"7\" Handle=\"1234\"/>", close_handle_request(7, 1234));
}

TEST(Requests, NamesAreCutTo1023CharactersAndRequestsTo2047)
{
    EXPECT_EQ(std::string(1023, 'n'), escape_name(std::string(1500, 'n')));
    // 1020 plain characters leave room for no five-character entity: it ends the name.
    EXPECT_EQ(std::string(1020, 'n'), escape_name(std::string(1020, 'n') + "&xyz"));
    EXPECT_EQ(std::string(1018, 'n') + "&amp;", escape_name(std::string(1018, 'n') + "&xyz"));

    const std::string long_request = request_text("X", {{"a", std::string(3000, 'v')}});
    EXPECT_EQ(2047u, long_request.size());
    EXPECT_EQ("<X a=\"vvv", long_request.substr(0, 9));
}

TEST(Replies, HandleAndOptionalErrorCode)
{
    const struct {
        const char* text;
        ULONG_PTR handle;
        std::optional<DWORD> error;
    } rows[] = {
        {"1234,183", 1234, 183}, {"1234", 1234, std::nullopt},
        {"0,87", 0, 87},         {"", 0, std::nullopt},
        {"x,5", 0, 5},           {"18446744073709551615", 0, std::nullopt},
    };
    for (const auto& row : rows) {
        const reply r = parse_reply(row.text);
        EXPECT_EQ(row.handle, r.handle) << row.text;
        EXPECT_EQ(row.error, r.error) << row.text;
    }
}

TEST(Requests, ServerSideParsingUnescapesAndRejectsMalformedText)
{
    const auto r = parse_request(create_event_request(9, true, 1, 0, "Global\\a<b\"c&d'e>"));
    ASSERT_TRUE(r);
    EXPECT_EQ("CreateEvent", r->element);
    EXPECT_EQ("Global\\a<b\"c&d'e>", *r->find("lpName"));
    EXPECT_EQ(9, r->number("ProcId"));
    EXPECT_FALSE(r->number("lpName"));

    for (const char* bad : {"", "<>", "<X", "X/>", "<X a=1/>", "<X a=\"1/>", "<X a=\"&bad;\"/>",
                            "<X  a=\"1\"/>", "<X a=\"1\" a=\"2\"/>", "<X a=\"1\"b=\"2\"/>"})
        EXPECT_FALSE(parse_request(bad)) << bad;
}

TEST_F(Channel, SendsFramedRequestAndSetsTheLastErrorFromTheReply)
{
    scripted_server server(nko_test::unique_pipe_name("reply"), {"4660,183", "77"});
    channel c(server.name(), capture, 10);
    SetLastError(0);
    EXPECT_EQ(4660u, c.communicate("<CloseHandle ProcId=\"1\" Handle=\"2\"/>"));
    EXPECT_EQ(183u, GetLastError());
    EXPECT_EQ(77u, c.communicate("<Second/>"));
    EXPECT_TRUE(g_reports.empty());
    ASSERT_EQ(2u, server.requests.size());
    EXPECT_EQ("<CloseHandle ProcId=\"1\" Handle=\"2\"/>", server.requests[0]);
}

TEST_F(Channel, FirstContactTriesTenTimesThenLaterRequestsFailAtOnce)
{
    channel c(nko_test::unique_pipe_name("absent"), capture, 20);
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, c.communicate("<Req/>"));
    EXPECT_GE(GetTickCount() - start, 180u);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError()) << "the report keeps the last error";
    ASSERT_EQ(1u, g_reports.size()) << "open failures are silent during first contact";
    EXPECT_EQ("NkoServerCommunicate: Failed to establish communications with NkoServer.  "
              "Quitting after 10 tries. lastError=2\n<Req/>",
              g_reports[0]);
    EXPECT_FALSE(c.in_first_contact());

    const DWORD again = GetTickCount();
    EXPECT_EQ(0u, c.communicate("<Again/>"));
    EXPECT_LT(GetTickCount() - again, 100u);
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_EQ("NkoServerCommunicate: could not open pipe.  lastError=2\n<Again/>", g_reports[1]);
}

TEST_F(Channel, FirstContactReportsHowManyTriesItTook)
{
    scripted_server server(nko_test::unique_pipe_name("late"), {"5"}, 250);
    channel c(server.name(), capture, 100);
    EXPECT_EQ(5u, c.communicate("<Req/>"));
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_TRUE(
        g_reports[0].starts_with("NkoServerCommunicate: NkoServer communications established in "))
        << g_reports[0];
    EXPECT_TRUE(g_reports[0].ends_with(" tries.")) << g_reports[0];
    EXPECT_NE(g_reports[0],
              "NkoServerCommunicate: NkoServer communications established in 1 tries.");
}

TEST_F(Channel, ReplyLongerThanTheBufferIsCutAndParsed)
{
    scripted_server server(nko_test::unique_pipe_name("long"), {"99," + std::string(5000, '1')});
    channel c(server.name(), capture, 10);
    EXPECT_EQ(99u, c.communicate("<Req/>"));
    EXPECT_TRUE(g_reports.empty());
}

// A server that takes the connection and the request but never answers, or announces more than
// it sends: the exchange gives up at its deadline and counts as a failed one.
TEST_F(Channel, StalledOrShortAnsweringServerFailsTheExchangeAtItsDeadline)
{
    const std::string name = nko_test::unique_pipe_name("stall");
    mrv::unique_file server(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 2, 4096,
                                             4096, 0, nullptr));
    ASSERT_TRUE(server);
    channel c(name, capture, 10, 1, 300);
    std::thread client([&] { EXPECT_EQ(0u, c.communicate("<Req/>")); });
    ASSERT_TRUE(ConnectNamedPipe(server.get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
    const DWORD start = GetTickCount();
    client.join();  // bounded by the exchange's deadline, not by this server
    EXPECT_LT(GetTickCount() - start, 3000u);
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_EQ("NkoServerCommunicate: ReadFile failed.  lastError=1460", g_reports[0]);

    // Announces 100 bytes, sends 3.
    DisconnectNamedPipe(server.get());
    g_reports.clear();
    std::thread short_client([&] { EXPECT_EQ(12u, c.communicate("<Req/>")); });
    ASSERT_TRUE(ConnectNamedPipe(server.get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
    char request[64];
    DWORD n = 0;
    ReadFile(server.get(), request, sizeof request, &n, nullptr);
    ReadFile(server.get(), request, sizeof request, &n, nullptr);
    const DWORD announced = 100;
    WriteFile(server.get(), &announced, sizeof announced, &n, nullptr);
    WriteFile(server.get(), "12", 3, &n, nullptr);
    short_client.join();
    EXPECT_TRUE(g_reports.empty());
}
