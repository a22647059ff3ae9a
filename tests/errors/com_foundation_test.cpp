// The COM foundation: CComObject's reference count, module lock and teardown, _bstr_t sharing
// and variant copies. QueryInterface through an interface map is the session shell test's.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "com/bstr_t.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/unique_any.h"
#include "com/variant.h"

// An interface of the tests' own.
struct ITestBase : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Base() = 0;
};
__CRT_UUID_DECL(ITestBase, 0x5d8f0a01, 0x1c2b, 0x4e3d, 0x9a, 0x01, 0x00, 0x11, 0x22, 0x33, 0x44,
                0x01)

namespace mrv {
namespace {

int g_final_releases = 0;
HRESULT g_final_construct_result = S_OK;

class CTestObject : public CComObjectRootEx<CComMultiThreadModel>, public ITestBase {
public:
    using interfaces = interface_map<com_entry<ITestBase>>;

    HRESULT FinalConstruct() { return g_final_construct_result; }
    void FinalRelease() { ++g_final_releases; }

    HRESULT STDMETHODCALLTYPE Base() override { return S_OK; }
};

class ComObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_final_releases = 0;
        g_final_construct_result = S_OK;
        locks_before_ = module_lock_count();
    }
    long locks_before_ = 0;
};

TEST_F(ComObject, ReferenceCountModuleLockAndTeardown)
{
    com_ptr<ITestBase> base;
    ASSERT_EQ(S_OK, CComObject<CTestObject>::CreateInstance(__uuidof(ITestBase), base.put_void()));
    EXPECT_EQ(locks_before_ + 1, module_lock_count());
    EXPECT_EQ(2u, base->AddRef());
    EXPECT_EQ(1u, base->Release());
    EXPECT_EQ(0, g_final_releases);
    base.reset();
    EXPECT_EQ(1, g_final_releases);
    EXPECT_EQ(locks_before_, module_lock_count());
}

TEST_F(ComObject, FailedCreationDestroysTheObject)
{
    g_final_construct_result = E_ACCESSDENIED;
    void* p = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_ACCESSDENIED, CComObject<CTestObject>::CreateInstance(__uuidof(ITestBase), &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(1, g_final_releases);
    EXPECT_EQ(locks_before_, module_lock_count());

    g_final_construct_result = S_OK;
    EXPECT_EQ(E_NOINTERFACE, CComObject<CTestObject>::CreateInstance(IID_IDispatch, &p));
    EXPECT_EQ(2, g_final_releases);
    EXPECT_EQ(locks_before_, module_lock_count());
}

TEST(BstrT, CopiesShareOneTextAndItsNarrowCopy)
{
    _bstr_t a(L"ASRL1::INSTR");
    _bstr_t b = a;
    EXPECT_EQ(2, a.share_count());
    EXPECT_EQ(a.wide(), b.wide());
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    EXPECT_STREQ("ASRL1::INSTR", b.narrow());
    EXPECT_EQ(12u, a.length());
    {
        _bstr_t c = std::move(b);
        EXPECT_EQ(2, c.share_count());
        EXPECT_EQ(nullptr, b.wide());
    }
    EXPECT_EQ(1, a.share_count());

    bstr copy(a.copy());
    EXPECT_NE(a.wide(), copy.get());
    EXPECT_STREQ(L"ASRL1::INSTR", copy.get());
}

TEST(BstrT, ConvertsFromAnsiTakesOwnershipAndHandlesEmptiness)
{
    _bstr_t narrow("COM1");
    EXPECT_STREQ(L"COM1", narrow.wide());
    EXPECT_TRUE(_bstr_t(L"COM1") == narrow);

    _bstr_t owned(::SysAllocString(L"owned"), false);
    EXPECT_STREQ(L"owned", owned.wide());

    _bstr_t empty;
    EXPECT_EQ(nullptr, empty.wide());
    EXPECT_STREQ("", empty.narrow());
    EXPECT_EQ(nullptr, empty.copy());
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(_bstr_t(L"") == empty);
}

// A failed conversion is seen through SetAttribute (DISP_E_TYPEMISMATCH, no error object).
TEST(Variant, ACopyIsConvertedAndTheSourceLeftAsItWas)
{
    variant text;
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = ::SysAllocString(L"9600");
    variant number = variant::copy_of(*text.get());
    number.change_type(VT_I4);
    EXPECT_EQ(9600, V_I4(number.get()));
    EXPECT_STREQ(L"9600", V_BSTR(text.get()));
}

}  // namespace
}  // namespace mrv
