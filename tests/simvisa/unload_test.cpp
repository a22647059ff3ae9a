// The library loaded and freed at run time, as a VISA COM server does: its own threads (the
// handler thread, asynchronous jobs) keep it loaded while they run, and it goes once they end.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "visa.h"

namespace {

std::atomic<int> entered{0}, handled{0};

ViStatus _VI_FUNCH count_event(ViSession, ViEventType, ViEvent, ViAddr)
{
    ++entered;
    Sleep(50);  // still running when the client frees the library
    ++handled;
    return VI_SUCCESS;
}

template <class F>
F entry(HMODULE m, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

TEST(unload, freeing_the_library_while_its_threads_work_is_safe)
{
    for (int round = 0; round < 5; ++round) {
        HMODULE m = LoadLibraryA("visa32.dll");
        ASSERT_NE(nullptr, m);
        auto open_rm = entry<decltype(&viOpenDefaultRM)>(m, "viOpenDefaultRM");
        auto open = entry<decltype(&viOpen)>(m, "viOpen");
        auto close = entry<decltype(&viClose)>(m, "viClose");
        auto set = entry<decltype(&viSetAttribute)>(m, "viSetAttribute");
        auto install = entry<decltype(&viInstallHandler)>(m, "viInstallHandler");
        auto enable = entry<decltype(&viEnableEvent)>(m, "viEnableEvent");
        auto read_async = entry<decltype(&viReadAsync)>(m, "viReadAsync");
        using raise_fn = ViStatus(__stdcall*)(ViSession, ViEventType, const void*, ViUInt32);
        auto raise = entry<raise_fn>(m, "simvisa_raise_event");
        ASSERT_TRUE(open_rm && open && close && set && install && enable && read_async && raise);

        ViSession rm, vi;
        ASSERT_GE(open_rm(&rm), VI_SUCCESS);
        ASSERT_EQ(VI_SUCCESS, open(rm, "ASRL1::INSTR", VI_NULL, 0, &vi));
        set(vi, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE);
        install(vi, VI_EVENT_SERVICE_REQ, count_event, nullptr);
        install(vi, VI_EVENT_IO_COMPLETION, count_event, nullptr);
        enable(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL);
        enable(vi, VI_EVENT_IO_COMPLETION, VI_HNDLR, VI_NULL);
        unsigned char buf[16];
        ViJobId job;
        EXPECT_EQ(VI_SUCCESS, read_async(vi, buf, sizeof buf, &job));
        const int before = entered;
        for (int i = 0; i < 3; ++i)
            raise(vi, VI_EVENT_SERVICE_REQ, nullptr, 0);
        for (int i = 0; i < 100 && entered == before; ++i)
            Sleep(5);
        EXPECT_EQ(VI_SUCCESS, close(rm));  // ends the pending read
        FreeLibrary(m);
    }
    // Once the library's threads have finished, nothing holds it any more.
    for (int i = 0; i < 100 && GetModuleHandleA("visa32.dll"); ++i)
        Sleep(20);
    EXPECT_EQ(nullptr, GetModuleHandleA("visa32.dll"));
    EXPECT_EQ(5, handled.load()) << "each round's running handler finished";
}

}  // namespace
