// Every pointer argument of every session method, given as null, as an address in a page the
// process may not touch and (for out pointers) as an address in a read-only page: each call
// returns E_POINTER, posts no error object and makes no VISA call, both with nobody watching and
// while a monitor takes every record (whose enter record shows what the caller's storage holds).
#include "session_client.h"
#include "trace_collector.h"

#include <functional>
#include <string>
#include <vector>

using namespace mrv;
using namespace mrv::test;

namespace {

struct session_interfaces {
    com_ptr<IVisaSession> visa;
    com_ptr<IBaseMessage> base;
    com_ptr<IMessage> message;
    com_ptr<ISerial> serial;
    com_ptr<IEventManager> events;
    com_ptr<IAsyncMessage> async;
};

struct pointer_case {
    const char* method;
    bool in_pointer;  // caller data the method reads: a read-only page is valid for it
    std::function<HRESULT(const session_interfaces&, void*)> call;
};

template <class V>
V* as(void* p)
{
    return static_cast<V*>(p);
}

// A getter of interface I with an out pointer of type V.
template <class I, class V>
pointer_case getter(const char* name, com_ptr<I> session_interfaces::*which,
                    HRESULT (STDMETHODCALLTYPE I::*method)(V*))
{
    return {name, false, [which, method](const session_interfaces& s, void* p) {
                return ((s.*which).get()->*method)(as<V>(p));
            }};
}

std::vector<pointer_case> all_cases()
{
    using S = session_interfaces;
    std::vector<pointer_case> cases = {
        getter("get_ResourceName", &S::visa, &IVisaSession::get_ResourceName),
        getter("get_SessionType", &S::visa, &IVisaSession::get_SessionType),
        getter("get_ProgID", &S::visa, &IVisaSession::get_ProgID),
        getter("get_OptionString", &S::visa, &IVisaSession::get_OptionString),
        getter("get_ComponentVersion", &S::visa, &IVisaSession::get_ComponentVersion),
        getter("get_SpecVersion", &S::visa, &IVisaSession::get_SpecVersion),
        getter("get_HardwareInterfaceName", &S::visa, &IVisaSession::get_HardwareInterfaceName),
        getter("get_HardwareInterfaceNumber", &S::visa, &IVisaSession::get_HardwareInterfaceNumber),
        getter("get_HardwareInterfaceType", &S::visa, &IVisaSession::get_HardwareInterfaceType),
        getter("get_LockState", &S::visa, &IVisaSession::get_LockState),
        getter("get_SoftwareManufacturerID", &S::visa, &IVisaSession::get_SoftwareManufacturerID),
        getter("get_SoftwareManufacturerName", &S::visa,
               &IVisaSession::get_SoftwareManufacturerName),
        getter("get_Timeout", &S::visa, &IVisaSession::get_Timeout),
        getter("get_LastStatus", &S::visa, &IVisaSession::get_LastStatus),
        {"GetAttribute", false,
         [](const S& s, void* p) {
             return s.visa->GetAttribute(VI_ATTR_TMO_VALUE, as<VARIANT>(p));
         }},
        {"LockRsrc", false,
         [](const S& s, void* p) {
             return s.visa->LockRsrc(EXCLUSIVE_LOCK, 0, nullptr, as<BSTR>(p));
         }},
        getter("get_IOProtocol", &S::base, &IBaseMessage::get_IOProtocol),
        getter("get_SendEndEnabled", &S::base, &IBaseMessage::get_SendEndEnabled),
        getter("get_TerminationCharacter", &S::base, &IBaseMessage::get_TerminationCharacter),
        getter("get_TerminationCharacterEnabled", &S::base,
               &IBaseMessage::get_TerminationCharacterEnabled),
        getter("ReadSTB", &S::base, &IBaseMessage::ReadSTB),
        {"Read", false, [](const S& s, void* p) { return s.message->Read(4, as<SAFEARRAY*>(p)); }},
        {"ReadString", false,
         [](const S& s, void* p) { return s.message->ReadString(4, as<BSTR>(p)); }},
        {"Write *retCount", false,
         [](const S& s, void* p) {
             SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
             const HRESULT hr = s.message->Write(&array, 4, as<long>(p));
             SafeArrayDestroy(array);
             return hr;
         }},
        {"Write **buf", true,
         [](const S& s, void* p) {
             long written = 0;
             return s.message->Write(as<SAFEARRAY*>(p), 4, &written);
         }},
        {"WriteString", false,
         [](const S& s, void* p) {
             bstr_arg text(L"*IDN?\n");
             return s.message->WriteString(text, as<long>(p));
         }},
        getter("get_BytesAvailable", &S::serial, &ISerial::get_BytesAvailable),
        getter("get_BaudRate", &S::serial, &ISerial::get_BaudRate),
        getter("get_DataBits", &S::serial, &ISerial::get_DataBits),
        getter("get_ClearToSendState", &S::serial, &ISerial::get_ClearToSendState),
        getter("get_DataCarrierDetectState", &S::serial, &ISerial::get_DataCarrierDetectState),
        getter("get_DataSetReadyState", &S::serial, &ISerial::get_DataSetReadyState),
        getter("get_DataTerminalReadyState", &S::serial, &ISerial::get_DataTerminalReadyState),
        getter("get_EndIn", &S::serial, &ISerial::get_EndIn),
        getter("get_EndOut", &S::serial, &ISerial::get_EndOut),
        getter("get_FlowControl", &S::serial, &ISerial::get_FlowControl),
        getter("get_Parity", &S::serial, &ISerial::get_Parity),
        getter("get_RingIndicatorState", &S::serial, &ISerial::get_RingIndicatorState),
        getter("get_RequestToSendState", &S::serial, &ISerial::get_RequestToSendState),
        getter("get_StopBits", &S::serial, &ISerial::get_StopBits),
        getter("get_ReplacementCharacter", &S::serial, &ISerial::get_ReplacementCharacter),
        getter("get_XONCharacter", &S::serial, &ISerial::get_XONCharacter),
        getter("get_XOFFCharacter", &S::serial, &ISerial::get_XOFFCharacter),
        getter("get_MaximumQueueLength", &S::events, &IEventManager::get_MaximumQueueLength),
        {"async Read", false, [](const S& s, void* p) { return s.async->Read(4, as<long>(p)); }},
        {"async Write *jobId", false,
         [](const S& s, void* p) {
             SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
             const HRESULT hr = s.async->Write(&array, 4, as<long>(p));
             SafeArrayDestroy(array);
             return hr;
         }},
        {"async Write **buf", true,
         [](const S& s, void* p) {
             long job = 0;
             return s.async->Write(as<SAFEARRAY*>(p), 4, &job);
         }},
        {"async WriteString *JobId", false,
         [](const S& s, void* p) {
             bstr_arg text(L"*IDN?\n");
             return s.async->WriteString(text, as<long>(p));
         }},
        {"WriteString Message (not null)", true,
         [](const S& s, void* p) {
             if (!p)
                 return E_POINTER;  // a null text is an empty one here: E_INVALIDARG
             long count = 0;
             return s.message->WriteString(as<OLECHAR>(p), &count);
         }},
        {"async WriteString Message", true,
         [](const S& s, void* p) {
             long job = 0;
             return s.async->WriteString(as<OLECHAR>(p), &job);
         }},
    };
    return cases;
}

// Two pages of the process: one it may not touch, one it may only read.
class guarded_pages {
public:
    guarded_pages()
        : base_(static_cast<char*>(
              VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)))
    {
        DWORD old = 0;
        VirtualProtect(base_, kPage, PAGE_NOACCESS, &old);
        VirtualProtect(base_ + kPage, kPage, PAGE_READONLY, &old);
    }
    ~guarded_pages() { VirtualFree(base_, 0, MEM_RELEASE); }
    guarded_pages(const guarded_pages&) = delete;
    guarded_pages& operator=(const guarded_pages&) = delete;

    void* no_access() const { return base_; }
    void* read_only() const { return base_ + kPage; }

private:
    static constexpr std::size_t kPage = 4096;
    char* base_;
};

class FramePointers : public ::testing::Test {
protected:
    void SetUp() override
    {
        s.visa = open_session();
        ASSERT_TRUE(s.visa);
        ASSERT_TRUE(s.base = s.visa.as<IBaseMessage>(IID_IBaseMessage));
        ASSERT_TRUE(s.message = s.visa.as<IMessage>(IID_IMessage));
        ASSERT_TRUE(s.serial = s.visa.as<ISerial>(IID_ISerial));
        ASSERT_TRUE(s.events = s.visa.as<IEventManager>(IID_IEventManager));
        ASSERT_TRUE(s.async = s.visa.as<IAsyncMessage>(IID_IAsyncMessage));
    }

    // Every case with every bad pointer: E_POINTER, no error object, no VISA call.
    void expect_every_bad_pointer_refused()
    {
        simvisa visa;
        ASSERT_TRUE(visa.loaded());
        const guarded_pages pages;
        for (const pointer_case& c : all_cases()) {
            std::vector<std::pair<const char*, void*>> pointers = {
                {"null", nullptr}, {"no-access page", pages.no_access()}};
            if (!c.in_pointer)
                pointers.push_back({"read-only page", pages.read_only()});
            for (const auto& [where, pointer] : pointers) {
                SCOPED_TRACE(std::string(c.method) + " with a pointer " + where);
                clear_error_info();
                visa.clear_log();
                EXPECT_HR(E_POINTER, c.call(s, pointer));
                EXPECT_FALSE(last_error_info().present);
                EXPECT_EQ("", visa.log());
            }
        }
    }

    com_apartment com;
    session_interfaces s;
};

}  // namespace

TEST_F(FramePointers, EveryBadPointerIsRefusedWithNobodyWatching)
{
    expect_every_bad_pointer_refused();
}

TEST_F(FramePointers, EveryBadPointerIsRefusedWhileAMonitorReadsEveryRecord)
{
    trace_collector monitor;
    expect_every_bad_pointer_refused();
    monitor.stop();
    // The calls were traced: an enter and an exit record each (the untraced get_ResourceName
    // aside), the bad storage shown empty.
    EXPECT_GT(monitor.records().size(), all_cases().size());
}
