// The kernel-object client against the running nkoserver.exe (started by the test fixture):
// which names go through the server, objects shared through it, its replies to raw requests,
// many clients at once.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "trace/nko_channel.h"
#include "trace/nko_client.h"
#include "trace/nko_protocol.h"
#include "nko_test_pipe.h"

namespace {

std::string name_for(const char* what)
{
    return "Global\\nko_test_" + std::string(what) + "_" + std::to_string(GetCurrentProcessId());
}

// The local handle of a creation, owned; the creation's last error is kept for the caller.
mrv::unique_handle take(NkoHandle* h)
{
    return mrv::unique_handle(NkoTakeHandle(h));
}

std::string request(const std::string& text)
{
    return nko_test::send_request(kNkoPipeName, text);
}

}  // namespace

// Runs first in this process: the server's first contact has not happened yet.
TEST(Routing, OnlyGlobalNamesInAnyCaseGoThroughTheServer)
{
    auto& server = mrv::nko::server_channel();
    ASSERT_TRUE(server.in_first_contact());
    const std::string local = std::string(NkoLocalPrefix()) + "nko_test_local";
    for (const char* name : {static_cast<const char*>(nullptr), "nko_test_plain", local.c_str()}) {
        NkoHandle* h = NkoCreateEvent(nullptr, TRUE, FALSE, name);
        EXPECT_TRUE(NkoIsValid(h)) << (name ? name : "(unnamed)");
        NkoClose(h);
    }
    EXPECT_TRUE(server.in_first_contact()) << "no request for unnamed, plain or local names";

    // (Wine resolves only "Global\" itself, so the server cannot make this object there.)
    NkoClose(NkoCreateEvent(nullptr, TRUE, FALSE, "global\\nko_test_lower"));
    EXPECT_FALSE(server.in_first_contact());

    NkoHandle* h = NkoCreateEvent(NkoSecurityAttributes(), TRUE, FALSE, name_for("first").c_str());
    ASSERT_TRUE(NkoIsValid(h));
    EXPECT_EQ(0u, h->server) << "the server's handle is closed once the object is open here";
    NkoClose(h);
}

TEST(Names, PrefixesAndSecurityFollowTheSystemClass)
{
    // Wine reports an NT 6.x system.
    EXPECT_EQ(9, NkoOsClass());
    EXPECT_STREQ("Global\\", NkoGlobalPrefix());
    char buffer[12];
    EXPECT_STREQ("Global\\base", NkoMakeGlobalName(buffer, sizeof buffer, "base"));
    EXPECT_STREQ("Global\\base", NkoMakeGlobalName(buffer, sizeof buffer, "base-cut"));
    EXPECT_STREQ("Local\\x", NkoMakeLocalName(buffer, sizeof buffer, "x"));
    SECURITY_ATTRIBUTES* sa = NkoSecurityAttributes();
    ASSERT_NE(nullptr, sa);
    EXPECT_EQ(24u, sa->nLength);
    EXPECT_TRUE(sa->bInheritHandle);
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = reinterpret_cast<PACL>(1);
    ASSERT_TRUE(GetSecurityDescriptorDacl(sa->lpSecurityDescriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(nullptr, dacl);
}

TEST(Server, ObjectsAreSharedAndASecondCreationSays183)
{
    const std::string name = name_for("mapping");
    SetLastError(12345);
    auto first = take(NkoCreateFileMapping(INVALID_HANDLE_VALUE, NkoSecurityAttributes(),
                                           PAGE_READWRITE, 0, 4096, name.c_str()));
    ASSERT_TRUE(first);
    EXPECT_EQ(0u, GetLastError());
    auto second = take(NkoCreateFileMapping(INVALID_HANDLE_VALUE, NkoSecurityAttributes(),
                                            PAGE_READWRITE, 0, 4096, name.c_str()));
    ASSERT_TRUE(second);
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());

    mrv::unique_view a(MapViewOfFile(first.get(), FILE_MAP_ALL_ACCESS, 0, 0, 4096));
    mrv::unique_view b(MapViewOfFile(second.get(), FILE_MAP_ALL_ACCESS, 0, 0, 4096));
    ASSERT_TRUE(a && b);
    std::strcpy(static_cast<char*>(a.get()), "shared");
    EXPECT_STREQ("shared", static_cast<char*>(b.get()));

    // Each kind opens with full rights: a semaphore released through one handle is seen on another.
    const std::string sem = name_for("semaphore");
    auto s1 = take(NkoCreateSemaphore(nullptr, 0, 5, sem.c_str()));
    auto s2 = take(NkoCreateSemaphore(nullptr, 0, 5, sem.c_str()));
    ASSERT_TRUE(s1 && s2);
    EXPECT_TRUE(ReleaseSemaphore(s1.get(), 1, nullptr));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(s2.get(), 0));
    auto m = take(NkoCreateMutex(nullptr, FALSE, name_for("mutex").c_str()));
    ASSERT_TRUE(m);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.get(), 0));
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

TEST(Server, NamesWithEntityCharactersArriveIntact)
{
    const std::string name = name_for("a<b\"c&d'e>");
    auto e = take(NkoCreateEvent(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(e) << "the local open by the same name found what the server made";
    mrv::unique_handle direct(OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
    EXPECT_TRUE(direct);
}

TEST(Server, FailuresYieldTheSharedInvalidWrapperWithTheReason)
{
    const std::string name = name_for("kind");
    auto e = take(NkoCreateEvent(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(e);
    // Same name, other kind: the server's creation fails.
    NkoHandle* m = NkoCreateMutex(nullptr, FALSE, name.c_str());
    EXPECT_EQ(NkoInvalidHandle(), m);
    EXPECT_FALSE(NkoIsValid(m));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    NkoClose(m);  // the shared wrapper is never freed
    EXPECT_FALSE(NkoIsValid(NkoInvalidHandle()));
    EXPECT_FALSE(NkoIsValid(nullptr));
}

TEST(Server, CloseHandleClosesOnlyTheCallersObjects)
{
    const std::string pid = std::to_string(GetCurrentProcessId());
    const std::string made = request(mrv::nko::create_event_request(
        GetCurrentProcessId(), true, TRUE, FALSE, name_for("close")));
    const auto r = mrv::nko::parse_reply(made);
    ASSERT_NE(0u, r.handle) << made;
    EXPECT_EQ(0u, r.error.value_or(99));

    EXPECT_EQ("0,5",
              request("<CloseHandle ProcId=\"1\" Handle=\"" + std::to_string(r.handle) + "\"/>"))
        << "in the name of another process";
    EXPECT_EQ("1,0", request("<CloseHandle ProcId=\"" + pid + "\" Handle=\"" +
                             std::to_string(r.handle) + "\"/>"));
    EXPECT_EQ("0,6", request("<CloseHandle ProcId=\"" + pid + "\" Handle=\"" +
                             std::to_string(r.handle) + "\"/>"))
        << "closed already";
}

TEST(Server, MalformedAndOversizedRequestsGetAZeroReply)
{
    const std::string pid = "ProcId=\"" + std::to_string(GetCurrentProcessId()) + "\"";
    for (const std::string& bad :
         {std::string("garbage"), "<CreateEvent " + pid + "/>",
          "<Unknown " + pid + " lpName=\"x\"/>",
          std::string("<CreateEvent ProcId=\"x\" SecurityAttributes=\"1\" bManualReset=\"1\" "
                      "bInitialState=\"0\" lpName=\"x\"/>")})
        EXPECT_EQ("0,87", request(bad)) << bad;
    EXPECT_EQ("0,87", nko_test::raw_exchange(kNkoPipeName, 6,
                                             std::string("<X/>", 4) + std::string(2, '\0')))
        << "a NUL inside the text";
    EXPECT_EQ("0,87", nko_test::raw_exchange(kNkoPipeName, 10, "<X/>")) << "length disagrees";
    const std::string huge =
        "<CloseHandle ProcId=\"1\" Handle=\"" + std::string(5000, '1') + "\"/>";
    EXPECT_EQ("0,87", request(huge));
    EXPECT_EQ("0,87", nko_test::raw_exchange(kNkoPipeName, 0x12345678, "12345678"))
        << "two messages: an 8-byte count is refused, and so is what follows";
    // The server still serves after all of that.
    EXPECT_EQ("0,6", request("<CloseHandle ProcId=\"" + std::to_string(GetCurrentProcessId()) +
                             "\" Handle=\"1\"/>"));
}

TEST(Server, RequestsInTheNameOfAnotherProcessAreRefused)
{
    // Once held for a process that does not exist (pid 1), an object stayed in the server for
    // good: only the end of that process would have dropped it.
    const std::string name = name_for("other_process");
    EXPECT_EQ("0,5", request(mrv::nko::create_event_request(1, true, TRUE, FALSE, name)));
    EXPECT_EQ("0,5", request(mrv::nko::create_file_mapping_request(GetCurrentProcessId() + 4,
                                                                   INVALID_HANDLE_VALUE, true,
                                                                   PAGE_READWRITE, 0, 4096, name)));
    mrv::unique_handle made(OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
    EXPECT_FALSE(made) << "nothing was created";
    EXPECT_EQ("0,87", request("<CreateEvent ProcId=\"x\" SecurityAttributes=\"1\" "
                              "bManualReset=\"1\" bInitialState=\"0\" lpName=\"x\"/>"));
}

TEST(Server, ManyClientsAtOnce)
{
    constexpr int kThreads = 8, kEach = 15;
    std::atomic<int> valid{0}, existed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                // Half the names are shared by all threads, half are each thread's own.
                const std::string name =
                    i % 2 ? name_for(("many_" + std::to_string(i)).c_str())
                          : name_for(("own_" + std::to_string(t * 100 + i)).c_str());
                NkoHandle* h = NkoCreateEvent(nullptr, TRUE, FALSE, name.c_str());
                if (NkoIsValid(h))
                    ++valid;
                if (GetLastError() == ERROR_ALREADY_EXISTS)
                    ++existed;
                NkoClose(h);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(kThreads * kEach, valid.load());
    EXPECT_GT(existed.load(), 0);
}

TEST(Server, ASecondServerRefusesToStart)
{
    // Built into the same folder as this test.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string command = path;
    command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + "nkoserver.exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    mrv::unique_handle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        FAIL() << "the second server kept running";
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(1u, code);
}
