// IVisaSession's properties, attributes and locks, and the event queue's maximum, as a COM
// client sees them, checked against what reached the simulation VISA library.
#include "session_client.h"

#include <visa.h>

#include <chrono>
#include <vector>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kNoOpenSession = static_cast<HRESULT>(0x8004000E);

struct variant_holder {
    VARIANT v;
    variant_holder() { VariantInit(&v); }
    explicit variant_holder(const wchar_t* text) : variant_holder()
    {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
    }
    explicit variant_holder(short number) : variant_holder()
    {
        V_VT(&v) = VT_I2;
        V_I2(&v) = number;
    }
    ~variant_holder() { VariantClear(&v); }
    VARIANT* operator&() { return &v; }
};

com_ptr<IEventManager> events_of(const com_ptr<IVisaSession>& s)
{
    com_ptr<IEventManager> e;
    EXPECT_HR(S_OK, s->QueryInterface(IID_IEventManager, e.put_void()));
    return e;
}

class Properties : public ::testing::Test {
protected:
    com_apartment com;
    com_ptr<IVisaSession> session = open_session(L"ASRL1::INSTR");
    simvisa visa;

    void SetUp() override
    {
        ASSERT_TRUE(session);
        ASSERT_TRUE(visa.loaded());
        visa.clear_log();
        clear_error_info();
    }
    void TearDown() override { visa.clear_faults(); }

    long get_attribute(ViAttr attribute, VARTYPE* type = nullptr)
    {
        variant_holder v;
        EXPECT_HR(S_OK, session->GetAttribute(static_cast<long>(attribute), &v));
        if (type)
            *type = V_VT(&v.v);
        return V_VT(&v.v) == VT_I4 ? V_I4(&v.v) : -12345;
    }
};

// The version the DLL's fixed version information gives, as GetFileVersionInfo reads it.
long fixed_file_version()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"MrvRS232.dll"), path, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(path, &ignored));
    if (info.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()))
        return -1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size))
        return -1;
    return static_cast<long>(
        (HIWORD(fixed->dwFileVersionMS) << 24) | (LOWORD(fixed->dwFileVersionMS) << 16) |
        (HIWORD(fixed->dwFileVersionLS) << 8) | LOWORD(fixed->dwFileVersionLS));
}

}  // namespace

TEST_F(Properties, IdentityOfAnOpenSerialSession)
{
    BSTR b = nullptr;
    ASSERT_HR(S_OK, session->get_HardwareInterfaceName(&b));
    EXPECT_EQ("ASRL", take(b));
    ASSERT_HR(S_OK, session->get_SoftwareManufacturerName(&b));
    EXPECT_EQ("Morvane Technologies", take(b));
    short number = 0;
    EXPECT_HR(S_OK, session->get_HardwareInterfaceNumber(&number));
    EXPECT_EQ(1, number);
    long version = 0;
    EXPECT_HR(S_OK, session->get_ComponentVersion(&version));
    EXPECT_EQ(hex(fixed_file_version()), hex(version));
    AccessMode lock{};
    EXPECT_HR(S_OK, session->get_LockState(&lock));
    EXPECT_EQ(NO_LOCK, lock);
}

TEST_F(Properties, TimeoutAndAttributesComeBackAsI4)
{
    EXPECT_HR(S_OK, session->put_Timeout(5000));
    long timeout = 0;
    EXPECT_HR(S_OK, session->get_Timeout(&timeout));
    EXPECT_EQ(5000, timeout);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(5000, get_attribute(VI_ATTR_TMO_VALUE, &vt));
    EXPECT_EQ(VT_I4, vt);

    // The caller's VARIANT is cleared first (a BSTR in it is freed, not leaked or reused).
    variant_holder v(L"stale");
    EXPECT_HR(S_OK, session->GetAttribute(static_cast<long>(VI_ATTR_ASRL_BAUD), &v));
    EXPECT_EQ(VT_I4, V_VT(&v.v));
    EXPECT_EQ(9600, V_I4(&v.v));

    // Text attributes do not fit the number: refused, not read.
    visa.clear_log();
    variant_holder name;
    const HRESULT hr = session->GetAttribute(static_cast<long>(VI_ATTR_RSRC_NAME), &name);
    EXPECT_TRUE(FAILED(hr)) << hex(hr);
    EXPECT_EQ(0u, visa.count("attrName=0xBFFF0002")) << visa.log();
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
}

TEST_F(Properties, SetAttributeConvertsTheVariant)
{
    variant_holder ten(L"10");
    EXPECT_HR(S_OK, session->SetAttribute(static_cast<long>(VI_ATTR_TERMCHAR), ten.v));
    EXPECT_EQ(1u, visa.count("attrName=0x3FFF0018,attrValue=10)")) << visa.log();
    EXPECT_EQ(10, get_attribute(VI_ATTR_TERMCHAR));

    // A negative VT_I2 is sign-extended to the attribute width.
    variant_holder minus_one(short{-1});
    session->SetAttribute(static_cast<long>(VI_ATTR_TMO_VALUE), minus_one.v);
    EXPECT_EQ(1u, visa.count("attrName=0x3FFF001A,attrValue=18446744073709551615)")) << visa.log();

    visa.clear_log();
    clear_error_info();
    variant_holder letters(L"abc");
    EXPECT_HR(DISP_E_TYPEMISMATCH,
              session->SetAttribute(static_cast<long>(VI_ATTR_TERMCHAR), letters.v));
    EXPECT_EQ(0u, visa.count("viSetAttribute(")) << visa.log();
    EXPECT_FALSE(last_error_info().present);
    EXPECT_EQ(10, get_attribute(VI_ATTR_TERMCHAR));
}

TEST_F(Properties, MaximumQueueLengthIsTheEventManagers)
{
    auto events = events_of(session);
    ASSERT_TRUE(events);
    long length = 0;
    EXPECT_HR(S_OK, events->get_MaximumQueueLength(&length));
    EXPECT_EQ(1000, length);
    EXPECT_EQ(1000, get_attribute(VI_ATTR_MAX_QUEUE_LENGTH));

    variant_holder five(short{5});
    EXPECT_HR(S_OK, session->SetAttribute(static_cast<long>(VI_ATTR_MAX_QUEUE_LENGTH), five.v));
    EXPECT_HR(S_OK, events->get_MaximumQueueLength(&length));
    EXPECT_EQ(5, length);
    // Stored without a range check.
    EXPECT_HR(S_OK, events->put_MaximumQueueLength(-1));
    EXPECT_EQ(-1, get_attribute(VI_ATTR_MAX_QUEUE_LENGTH));
    EXPECT_HR(S_OK, events->put_MaximumQueueLength(0));
    EXPECT_EQ(0, get_attribute(VI_ATTR_MAX_QUEUE_LENGTH));
    // The library's own queue is never asked.
    EXPECT_EQ(0u, visa.count("attrName=0x3FFF0005")) << visa.log();

    ASSERT_HR(S_OK, session->Close());
    EXPECT_HR(kNoOpenSession, events->put_MaximumQueueLength(3));
    auto e = last_error_info();
    EXPECT_TRUE(IsEqualGUID(IID_IEventManager, e.guid));
}

TEST_F(Properties, ExclusiveLockMakesASecondSessionWaitAndFail)
{
    bstr_arg no_key(nullptr);
    BSTR key = reinterpret_cast<BSTR>(0x1);
    ASSERT_HR(S_OK, session->LockRsrc(EXCLUSIVE_LOCK, 1000, no_key, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(1u, visa.count("lockType=1,timeout=1000,requestedKey=null")) << visa.log();
    AccessMode state{};
    EXPECT_HR(S_OK, session->get_LockState(&state));
    EXPECT_EQ(EXCLUSIVE_LOCK, state);
    // Nested: VI_SUCCESS_NESTED_EXCLUSIVE is not passed on.
    EXPECT_HR(S_OK, session->LockRsrc(EXCLUSIVE_LOCK, 1000, no_key, &key));
    EXPECT_HR(S_OK, session->UnlockRsrc());

    auto other = open_session(L"ASRL1::INSTR");
    ASSERT_TRUE(other);
    clear_error_info();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_HR(0x80040015, other->LockRsrc(EXCLUSIVE_LOCK, 300, no_key, &key));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_EQ(nullptr, key);
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_TRUE(IsEqualGUID(IID_IBaseMessage, e.guid));
    EXPECT_EQ(static_cast<DWORD>(VI_ERROR_TMO), e.help_context);

    EXPECT_HR(S_OK, session->UnlockRsrc());
    // Released: the other session gets it, with the key it asked for handed to VISA as text.
    bstr_arg requested(L"bench");
    EXPECT_HR(S_OK, other->LockRsrc(SHARED_LOCK, 0, requested, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(1u, visa.count("requestedKey=\"bench\"")) << visa.log();
    EXPECT_HR(S_OK, other->UnlockRsrc());
    // Nothing left to unlock: VISA's error, for IVisaSession.
    EXPECT_TRUE(FAILED(other->UnlockRsrc()));
    e = last_error_info();
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
    EXPECT_EQ(static_cast<DWORD>(VI_ERROR_SESN_NLOCKED), e.help_context);
}

// Which bad pointers are refused, and how, is the pointer test's; here, that the refusal is kept.
TEST_F(Properties, ARefusedPointerIsTheLastStatus)
{
    EXPECT_HR(E_POINTER, session->get_Timeout(nullptr));
    long last = 0;
    EXPECT_HR(S_OK, session->get_LastStatus(&last));
    EXPECT_HR(E_POINTER, last);
}

TEST(LastStatus, KeptAcrossTheNoOpenSessionError)
{
    com_apartment com;
    auto s = create_session();
    ASSERT_TRUE(s);
    long last = -1;
    EXPECT_HR(S_OK, s->get_LastStatus(&last));
    EXPECT_EQ(0, last);

    bstr_arg unknown(L"ASRL99::INSTR"), empty(L"");
    const HRESULT failed = s->Init(unknown, NO_LOCK, 2000, empty);
    ASSERT_TRUE(FAILED(failed));
    EXPECT_HR(S_OK, s->get_LastStatus(&last));
    EXPECT_HR(failed, last);

    long timeout = 0;
    EXPECT_HR(kNoOpenSession, s->get_Timeout(&timeout));
    BSTR b = nullptr;
    EXPECT_HR(kNoOpenSession, s->get_SoftwareManufacturerName(&b));
    auto e = last_error_info();
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
    EXPECT_HR(S_OK, s->get_LastStatus(&last));
    EXPECT_HR(failed, last);
}
