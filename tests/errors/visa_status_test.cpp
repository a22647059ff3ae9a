// The status map, visa_error's description and conversion, and win32_error's HRESULTs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "errors/status_map.h"
#include "errors/visa_error.h"
#include "errors/win32_error.h"

namespace mrv {
namespace {

constexpr vi_status st(std::uint32_t v)
{
    return static_cast<vi_status>(v);
}
constexpr HRESULT hr(std::uint32_t v)
{
    return static_cast<HRESULT>(v);
}

TEST(StatusMap, MapsListedStatusesAndDefaultsTheRest)
{
    struct row {
        const char* label;
        vi_status status;
        HRESULT hresult;
        DWORD context;
    };
    const row rows[] = {
        {"VI_SUCCESS", 0, S_OK, 0},
        {"warning 0x3FFF0005", st(0x3FFF0005), hr(0x00040005), 0x3FFF0005},
        {"warning 0x3FFF009B (last listed)", st(0x3FFF009B), hr(0x0004009B), 0x3FFF009B},
        {"warning 0x3FFF000C (unlisted)", st(0x3FFF000C), hr(0x80040000), 0},
        {"error 0xBFFF0000 (system error)", st(0xBFFF0000), hr(0x80040000), 0xBFFF0000},
        {"error 0xBFFF0015 (timeout)", st(0xBFFF0015), hr(0x80040015), 0xBFFF0015},
        {"error 0xBFFF0039 (unlisted)", st(0xBFFF0039), hr(0x80040000), 0},
        {"error 0xBFFF00A6 (last listed)", st(0xBFFF00A6), hr(0x800400A6), 0xBFFF00A6},
        {"error 0xBFFF00A7 (past the list)", st(0xBFFF00A7), hr(0x80040000), 0},
        {"positive non-VISA 1", 1, hr(0x80040000), 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        auto m = map_status(r.status);
        EXPECT_EQ(r.hresult, m.hresult);
        EXPECT_EQ(r.context, m.help_context);
        EXPECT_EQ(r.hresult, hresult_of_status(r.status));
    }
}

TEST(StatusMap, ListsSeventeenCompletionAndSeventySixErrorCodes)
{
    int completions = 0, errors = 0;
    for (std::uint32_t low = 0; low <= 0xFFFF; ++low) {
        completions += status_is_mapped(st(0x3FFF0000u | low));
        errors += status_is_mapped(st(0xBFFF0000u | low));
    }
    EXPECT_EQ(17, completions);
    EXPECT_EQ(76, errors);
}

// A stand-in for the loaded library's viStatusDesc, to see whether it is asked. That it is asked
// for an error of a session is the driver test's, with the simulation library.
int g_library_calls = 0;
vi_status library_desc(vi_session, vi_status, char* desc)
{
    ++g_library_calls;
    desc[0] = '\0';
    return 0;
}

class VisaError : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_library_calls = 0;
        set_library_status_description(&library_desc);
    }
    void TearDown() override { set_library_status_description(nullptr); }
};

TEST_F(VisaError, CompletionCodeKeepsTheUnrecognisedTextWithoutAskingTheLibrary)
{
    visa_error e(st(0x3FFF0005), 7);
    EXPECT_STREQ("An unrecognized Visa error occurred.", e.what());
    EXPECT_EQ(hr(0x00040005), e.hresult());
    EXPECT_EQ(0x3FFF0005u, e.help_context());
    EXPECT_EQ(0, g_library_calls);
}

TEST_F(VisaError, MinusOneIsTheVisaSystemErrorWithTheInternalErrorText)
{
    visa_error e(-1, 7);
    EXPECT_EQ(st(0xBFFF0000), e.status());
    EXPECT_STREQ("An internal error occurred.  Please contact your I/O vendor.", e.what());
    EXPECT_EQ(hr(0x80040000), e.hresult());
    EXPECT_EQ(0xBFFF0000u, e.help_context());
    EXPECT_EQ(0, g_library_calls);
}

struct fake_driver : status_describer {
    vi_session describer_session() const noexcept override { return 42; }
    void status_description(vi_status status, char* desc) override
    {
        ++calls;
        if (fail_with)
            throw visa_error(fail_with, *this);
        std::snprintf(desc, 256, "driver text for %08lX", static_cast<unsigned long>(status));
    }
    int calls = 0;
    vi_status fail_with = 0;
};

TEST_F(VisaError, DriverDescribesWhenGivenAndTheLibraryIsNotAsked)
{
    fake_driver d;
    visa_error e(st(0xBFFF0015), d);
    EXPECT_STREQ("driver text for BFFF0015", e.what());
    EXPECT_EQ(hr(0x80040015), e.hresult());
    EXPECT_EQ(1, d.calls);
    EXPECT_EQ(0, g_library_calls);
}

TEST_F(VisaError, FailingDescriptionRaisesItsOwnErrorWithoutRecursing)
{
    fake_driver d;
    d.fail_with = st(0xBFFF000E);
    try {
        visa_error e(st(0xBFFF0015), d);
        FAIL() << "the driver's failure should escape";
    } catch (const visa_error& inner) {
        EXPECT_EQ(st(0xBFFF000E), inner.status());
        EXPECT_STREQ("An unrecognized Visa error occurred.", inner.what());
    }
    EXPECT_EQ(1, d.calls);
}

TEST(Win32Error, HresultFollowsTheSignOfTheCode)
{
    EXPECT_EQ(hr(0x80070005), win32_error(5).hresult());
    EXPECT_EQ(hr(0x80004005), win32_error(0x80004005).hresult());
    EXPECT_EQ(S_OK, win32_error(0).hresult());
    EXPECT_EQ(hr(0x80071234), win32_error(0x00AB1234).hresult());
    EXPECT_STRNE("", win32_error(5).what());
}

}  // namespace
}  // namespace mrv
