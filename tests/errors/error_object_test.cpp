// COM error objects built by the loc_com_error family, read back with GetErrorInfo. The fields
// of the objects the methods post are checked through the session's own tests.
#include <gtest/gtest.h>

#include "com/com_ptr.h"
#include "errors/loc_com_error.h"
#include "resources/string_ids.h"
#include "test_module.h"

namespace mrv {
namespace {

using test::take_error_info;

// {6D1E1B20-93E2-4C5A-8E0B-0D4C1A7F2E11}: an interface GUID of the tests' own.
constexpr GUID iid_test = {
    0x6d1e1b20, 0x93e2, 0x4c5a, {0x8e, 0x0b, 0x0d, 0x4c, 0x1a, 0x7f, 0x2e, 0x11}};

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

}  // namespace
}  // namespace mrv
