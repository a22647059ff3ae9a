// The method boundary: each escaping kind under several handler orders, the error object left
// on the thread, and successes that never clear an earlier error.
#include <gtest/gtest.h>

#include <stdexcept>

#include "com/com_error.h"
#include "errors/bad_pointer.h"
#include "errors/loc_com_error.h"
#include "errors/method_boundary.h"
#include "errors/visa_error.h"
#include "errors/win32_error.h"
#include "resources/string_ids.h"
#include "test_module.h"

namespace mrv {
namespace {

using test::take_error_info;

constexpr GUID iid_session = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0, 0, 0, 0, 0, 1}};
constexpr GUID iid_message = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0, 0, 0, 0, 0, 2}};

// The usual order: visa_error, bad_pointer, anything else.
constexpr error_policy usual{convert_visa(iid_session), pointer_error(),
                             internal_error(iid_session)};
// A transfer method's order, with its own win32 help context and a bare E_UNEXPECTED last.
constexpr error_policy transfer{report_loc_com(),
                                convert_visa(iid_message),
                                convert_win32(iid_message, 1009),
                                pointer_error(),
                                pass_hresult(),
                                pass_com_error(),
                                unexpected_error()};

class MethodBoundary : public ::testing::Test {
protected:
    void SetUp() override { take_error_info(); }
};

TEST_F(MethodBoundary, SuccessReturnsTheBodysCodeAndKeepsAnEarlierError)
{
    test::post_earlier_error();
    EXPECT_EQ(S_OK, method_boundary(usual, [] {}));
    EXPECT_EQ(static_cast<HRESULT>(0x00040005),
              method_boundary(usual, [] { return static_cast<HRESULT>(0x00040005); }));
    EXPECT_EQ(L"earlier error", take_error_info().description);
}

TEST_F(MethodBoundary, BadPointerGivesEPointerAndLeavesTheThreadsObject)
{
    test::post_earlier_error();
    EXPECT_EQ(E_POINTER, method_boundary(usual, [] { throw bad_pointer(); }));
    EXPECT_EQ(L"earlier error", take_error_info().description);
}

TEST_F(MethodBoundary, AnythingElseBecomesTheInternalErrorOrABareUnexpected)
{
    EXPECT_EQ(static_cast<HRESULT>(0x8000FFFF),
              method_boundary(usual, [] { throw std::logic_error("x"); }));
    auto f = take_error_info();
    EXPECT_EQ(1011u, f.help_context);
    EXPECT_TRUE(::IsEqualGUID(iid_session, f.iid));

    test::post_earlier_error();
    EXPECT_EQ(static_cast<HRESULT>(0x8000FFFF), method_boundary(transfer, [] { throw 3.5; }));
    EXPECT_EQ(L"earlier error", take_error_info().description);
}

TEST_F(MethodBoundary, KindsOutsideTheListFallToTheCatchAll)
{
    // The usual order has no loc_com_error or win32_error handler.
    EXPECT_EQ(static_cast<HRESULT>(0x8000FFFF),
              method_boundary(usual, [] { throw win32_error(ERROR_ACCESS_DENIED); }));
    EXPECT_EQ(1011u, take_error_info().help_context);

    // A list without a catch-all still lets nothing escape.
    constexpr error_policy pointer_only{pointer_error()};
    EXPECT_EQ(static_cast<HRESULT>(0x8000FFFF),
              method_boundary(pointer_only, [] { throw visa_error(-1, 0); }));
    EXPECT_FALSE(take_error_info().present);
}

TEST_F(MethodBoundary, OrderDecidesWhichHandlerWins)
{
    // A catch-all listed first takes even a visa_error.
    constexpr error_policy internal_first{internal_error(iid_message), convert_visa(iid_session)};
    EXPECT_EQ(static_cast<HRESULT>(0x8000FFFF),
              method_boundary(internal_first, [] { throw visa_error(-1, 0); }));
    auto f = take_error_info();
    EXPECT_EQ(1011u, f.help_context);
    EXPECT_TRUE(::IsEqualGUID(iid_message, f.iid));
}

TEST_F(MethodBoundary, Win32ErrorUsesTheMethodsHelpContext)
{
    EXPECT_EQ(static_cast<HRESULT>(0x80070005),
              method_boundary(transfer, [] { throw win32_error(ERROR_ACCESS_DENIED); }));
    auto f = take_error_info();
    EXPECT_EQ(_bstr_t(win32_error(ERROR_ACCESS_DENIED).what()).wide(), f.description);
    EXPECT_EQ(1009u, f.help_context);
    EXPECT_TRUE(::IsEqualGUID(iid_message, f.iid));

    EXPECT_EQ(static_cast<HRESULT>(0x8002000B), method_boundary(transfer, [] {
                  throw win32_hresult_error(IDS_BAD_ARRAY_ARGUMENT,
                                            static_cast<HRESULT>(0x8002000B));
              }));
    EXPECT_EQ(L"Bad Array Argument", take_error_info().description);
}

TEST_F(MethodBoundary, BareHresultIsReturnedUnchanged)
{
    test::post_earlier_error();
    EXPECT_EQ(E_OUTOFMEMORY, method_boundary(transfer, [] { throw E_OUTOFMEMORY; }));
    EXPECT_EQ(static_cast<HRESULT>(0x80070057),
              method_boundary(transfer, [] { throw static_cast<std::int32_t>(0x80070057); }));
    EXPECT_EQ(L"earlier error", take_error_info().description);
}

TEST_F(MethodBoundary, ComErrorSetsItsObjectOrClearsTheThreads)
{
    test::post_earlier_error();
    EXPECT_EQ(DISP_E_TYPEMISMATCH,
              method_boundary(transfer, [] { throw _com_error(DISP_E_TYPEMISMATCH); }));
    EXPECT_FALSE(take_error_info().present);

    loc_com_error carrier(IDS_SESSION_CLOSED, 1045, iid_session, E_FAIL);
    EXPECT_EQ(E_FAIL, method_boundary(
                          transfer, [&] { throw _com_error(E_FAIL, carrier.error_info(), true); }));
    EXPECT_EQ(L"The Session has been closed.", take_error_info().description);
}

TEST_F(MethodBoundary, AFailureThenASuccessLeavesTheFailuresObject)
{
    method_boundary(transfer,
                    [] { throw loc_com_error(IDS_NO_OPEN_SESSION, 1002, iid_session, E_FAIL); });
    EXPECT_EQ(S_OK, method_boundary(transfer, [] { return S_OK; }));
    EXPECT_EQ(1002u, take_error_info().help_context);
}

}  // namespace
}  // namespace mrv
