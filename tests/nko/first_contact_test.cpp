// The machine-wide lock-creation semaphore beside a stalled kernel-object server and under many
// first contacts at once. Each process's first session makes its process simulation block, whose
// lock is set up under that semaphore; a process that stalls or is killed while holding it keeps
// every later one waiting for it.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "trace/benaphore.h"
#include "trace/nko_client.h"
#include "nko_test_process.h"
#include "com/unique_any.h"

namespace {

// nkoserver.exe of the test run stops answering (all its threads suspended) for the lifetime of
// this guard.
class suspended_server {
public:
    suspended_server()
    {
        const mrv::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more && !process_;
             more = Process32NextW(snapshot.get(), &entry))
            if (_wcsicmp(entry.szExeFile, L"nkoserver.exe") == 0)
                process_.reset(OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, entry.th32ProcessID));
        if (process_ && ntdll("NtSuspendProcess")(process_.get()) != 0)
            process_.reset();
    }
    ~suspended_server()
    {
        if (process_)
            ntdll("NtResumeProcess")(process_.get());
    }
    suspended_server(const suspended_server&) = delete;
    suspended_server& operator=(const suspended_server&) = delete;

    explicit operator bool() const { return static_cast<bool>(process_); }

private:
    using process_call = LONG(NTAPI*)(HANDLE);
    static process_call ntdll(const char* name)
    {
        return reinterpret_cast<process_call>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
    }

    mrv::unique_handle process_;
};

std::string lock_name(const char* what)
{
    return nko_global_name("first_contact_test_" + std::to_string(GetCurrentProcessId()) + "_" +
                           what);
}

}  // namespace

// While a process waits for the server in the middle of making a cross-process lock, the
// machine-wide lock-creation semaphore stays free: a server that stalls holds up that process
// only, and that process being killed then would leave nobody else waiting.
TEST(CreationLock, IsFreeWhileACreatorWaitsForTheServer)
{
    mrv::trace::benaphore first;
    ASSERT_TRUE(first.create(lock_name("first")));  // the semaphore exists from here on
    const mrv::unique_handle creation(
        OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE,
                       nko_global_name("MVTRACE_osSemCreateLock").c_str()));
    ASSERT_TRUE(creation);

    std::atomic<bool> done{false};
    std::thread creator;
    {
        const suspended_server server;
        ASSERT_TRUE(server);
        creator = std::thread([&] {
            mrv::trace::benaphore second;
            second.create(lock_name("second"));
            done = true;
        });
        Sleep(500);
        EXPECT_FALSE(done) << "the creator did not wait for the stalled server";
        const DWORD waited = WaitForSingleObject(creation.get(), 2000);
        EXPECT_EQ(WAIT_OBJECT_0, waited) << "the creator holds the semaphore while it waits";
        if (waited == WAIT_OBJECT_0)
            ReleaseSemaphore(creation.get(), 1, nullptr);
    }
    creator.join();  // the server answers again, or the exchange gives up at its deadline
}

// Many processes make their first contact at once on a busy machine, and half of them are killed
// at moments spread over their start-up, as a crash or an impatient user would. This process
// keeps the semaphore open meanwhile, as any long-running program does, so a count taken by a
// killed process would be lost for good: the processes left alone all end, and so does one started
// afterwards.
TEST(FirstContact, ProcessesKilledDuringTheirFirstContactLeaveNobodyWaiting)
{
    mrv::trace::benaphore own;
    ASSERT_TRUE(own.create(lock_name("storm")));
    const mrv::unique_handle creation(
        OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE,
                       nko_global_name("MVTRACE_osSemCreateLock").c_str()));
    ASSERT_TRUE(creation);

    constexpr int kProcesses = 32;
    std::atomic<bool> busy{true};
    std::vector<std::thread> load;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        load.emplace_back([&] {
            while (busy.load(std::memory_order_relaxed)) {
            }
        });
    std::vector<nko_test::process> processes;
    for (int i = 0; i < kProcesses; ++i)
        processes.emplace_back(nko_test::program("first_contact.exe"));
    for (int i = 1; i < kProcesses; i += 2) {
        Sleep(120);
        processes[i].kill();
    }
    int ended = 0;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    for (int i = 0; i < kProcesses; i += 2) {
        const ULONGLONG now = GetTickCount64();
        if (processes[i].ends_well_within(now < deadline ? static_cast<DWORD>(deadline - now) : 0))
            ++ended;
    }
    busy = false;
    for (auto& t : load)
        t.join();
    EXPECT_EQ(kProcesses / 2, ended) << "processes left alone that made their objects and ended";

    const nko_test::process later(nko_test::program("first_contact.exe"));
    const bool later_ended = later.ends_well_within(20000);
    EXPECT_TRUE(later_ended) << "a process started afterwards waits for the semaphore";
    if (!later_ended) {
        ReleaseSemaphore(creation.get(), 1, nullptr);  // the count a killed process took
        EXPECT_TRUE(later.ends_well_within(20000));    // not killed while it holds it
    }
}
