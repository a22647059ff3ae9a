// COM error objects built by the loc_com_error family, read back with GetErrorInfo.
#include <gtest/gtest.h>

#include "com/com_ptr.h"
#include "errors/loc_com_error.h"
#include "errors/win32_error.h"
#include "resources/string_ids.h"
#include "test_module.h"

namespace mrv {
namespace {

using test::take_error_info;

// {6D1E1B20-93E2-4C5A-8E0B-0D4C1A7F2E11}: an interface GUID of the tests' own.
constexpr GUID iid_test = {
    0x6d1e1b20, 0x93e2, 0x4c5a, {0x8e, 0x0b, 0x0d, 0x4c, 0x1a, 0x7f, 0x2e, 0x11}};

TEST(LocComError, ByIdPostsAllFiveFieldsAndReturnsItsHresult)
{
    loc_com_error e(IDS_ALREADY_OPEN, 1013, iid_test, static_cast<HRESULT>(0x8004003A));
    EXPECT_EQ(static_cast<HRESULT>(0x8004003A), e.set_error_info());
    auto f = take_error_info();
    ASSERT_TRUE(f.present);
    EXPECT_EQ(L"This resource object has already been opened.  Create a new resource object if "
              L"you desire multiple sessions.",
              f.description);
    EXPECT_TRUE(::IsEqualGUID(iid_test, f.iid));
    EXPECT_EQ(1013u, f.help_context);
    EXPECT_EQ(test::help_file_path, f.help_file);
    EXPECT_EQ(L"MrvRS232", f.source);
}

TEST(LocComError, ByTextWithExplicitHelpFileAndSource)
{
    loc_com_error e(L"No valid conversion.", 1015, _bstr_t(L"D:\\h.chm"), _bstr_t(L"src"), iid_test,
                    E_INVALIDARG);
    EXPECT_STREQ("No valid conversion.", e.what());
    EXPECT_EQ(E_INVALIDARG, e.set_error_info());
    auto f = take_error_info();
    EXPECT_EQ(L"No valid conversion.", f.description);
    EXPECT_EQ(1015u, f.help_context);
    EXPECT_EQ(L"D:\\h.chm", f.help_file);
    EXPECT_EQ(L"src", f.source);
}

TEST(LocComError, HresultOnlyLeavesTheThreadsObjectInPlace)
{
    test::post_earlier_error();
    loc_com_error e(static_cast<HRESULT>(0x80070057));
    EXPECT_EQ(nullptr, e.error_info());
    EXPECT_STREQ("", e.what());
    EXPECT_EQ(static_cast<HRESULT>(0x80070057), e.set_error_info());
    EXPECT_EQ(L"earlier error", take_error_info().description);
}

TEST(LocComError, CopyBuildsAFreshObjectWithTheSameFields)
{
    loc_com_error original(IDS_NO_OPEN_SESSION, 1002, iid_test, no_open_session_hresult);
    loc_com_error copy(original);
    ASSERT_NE(nullptr, copy.error_info());
    EXPECT_NE(original.error_info(), copy.error_info());
    EXPECT_STREQ(original.what(), copy.what());
    EXPECT_EQ(original.hresult(), copy.hresult());
    auto a = test::fields_of(original.error_info());
    auto b = test::fields_of(copy.error_info());
    EXPECT_EQ(a.description, b.description);
    EXPECT_TRUE(::IsEqualGUID(a.iid, b.iid));
    EXPECT_EQ(a.help_context, b.help_context);
    EXPECT_EQ(a.help_file, b.help_file);
    EXPECT_EQ(a.source, b.source);
}

TEST(LocComError, CaptureTakesTheThreadsObjectAndKeepsItsHresult)
{
    loc_com_error(IDS_WAIT_TIMED_OUT, 1048, iid_test, static_cast<HRESULT>(0x80040015))
        .set_error_info();
    loc_com_error e(E_FAIL);
    e.capture_error_info();
    EXPECT_STREQ("The wait operation timed out.", e.what());
    EXPECT_EQ(E_FAIL, e.set_error_info());
    auto f = take_error_info();
    EXPECT_EQ(L"The wait operation timed out.", f.description);
    EXPECT_EQ(1048u, f.help_context);
}

TEST(LocComError, Win32KindTakesTheSystemText)
{
    win32_com_error w(win32_error(ERROR_ACCESS_DENIED), 1001, iid_test);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), w.set_error_info());
    auto wf = take_error_info();
    EXPECT_EQ(_bstr_t(win32_error(ERROR_ACCESS_DENIED).what()).wide(), wf.description);
    EXPECT_EQ(1001u, wf.help_context);
}

TEST(LocComError, NoOpenSessionPostsString2006)
{
    EXPECT_EQ(static_cast<HRESULT>(0x8004000E), no_open_session(iid_test));
    auto f = take_error_info();
    EXPECT_EQ(L"There is not an open session.", f.description);
    EXPECT_EQ(1002u, f.help_context);
    EXPECT_TRUE(::IsEqualGUID(iid_test, f.iid));
}

}  // namespace
}  // namespace mrv
