// A VISA COM interface registered in the global interface table in one single-threaded
// apartment is called from another apartment through the registered type library, and the
// call runs on the owner's thread.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "com/com_ptr.h"
#include "visacom.h"

namespace {

class recording_handler final : public IEventHandler {
public:
    std::atomic<DWORD> called_on{0};
    std::atomic<long> user_handle{0};
    std::atomic<int> calls{0};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEventHandler)) {
            *out = static_cast<IEventHandler*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack

    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager*, IEvent*, long handle) override
    {
        called_on = GetCurrentThreadId();
        user_handle = handle;
        ++calls;
        return 0x00040002;  // a success code of its own, to see it travel back
    }

private:
    std::atomic<ULONG> refs_{1};
};

mrv::com_ptr<IGlobalInterfaceTable> global_interface_table()
{
    mrv::com_ptr<IGlobalInterfaceTable> git;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, git.put_void()));
    return git;
}

}  // namespace

TEST(Apartments, HandlerInGlobalInterfaceTableRunsOnItsOwnersThread)
{
    recording_handler handler;
    DWORD cookie = 0;
    DWORD owner_thread = 0;
    HANDLE registered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(registered && finished);

    // The owner: a single-threaded apartment that serves calls while it pumps messages.
    std::thread owner([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        owner_thread = GetCurrentThreadId();
        {
            auto git = global_interface_table();
            EXPECT_EQ(S_OK, git->RegisterInterfaceInGlobal(&handler, IID_IEventHandler, &cookie));
            SetEvent(registered);
            while (MsgWaitForMultipleObjects(1, &finished, FALSE, 10000, QS_ALLINPUT) ==
                   WAIT_OBJECT_0 + 1) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&msg);
            }
            EXPECT_EQ(S_OK, git->RevokeInterfaceFromGlobal(cookie));
        }
        CoUninitialize();
    });

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(registered, 10000));

    // The caller: another single-threaded apartment.
    std::thread caller([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        {
            auto git = global_interface_table();
            mrv::com_ptr<IEventHandler> proxy;
            ASSERT_EQ(S_OK,
                      git->GetInterfaceFromGlobal(cookie, IID_IEventHandler, proxy.put_void()));
            EXPECT_NE(static_cast<IEventHandler*>(&handler), proxy.get())
                << "another apartment must get a proxy, not the object itself";
            EXPECT_EQ(0x00040002, proxy->HandleEvent(nullptr, nullptr, 42));
        }
        CoUninitialize();
        SetEvent(finished);
    });

    caller.join();
    SetEvent(finished);
    owner.join();
    CloseHandle(registered);
    CloseHandle(finished);

    EXPECT_EQ(1, handler.calls.load());
    EXPECT_EQ(owner_thread, handler.called_on.load());
    EXPECT_EQ(42, handler.user_handle.load());
}
