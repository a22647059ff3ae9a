// The serial session's lifecycle as a COM client sees it: Init, Close, the new, open and
// closed states, the identity properties, and the errors of each path.
#include "session_client.h"

#include <thread>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kNoOpenSession = static_cast<HRESULT>(0x8004000E);
constexpr HRESULT kAlreadyOpen = static_cast<HRESULT>(0x8004003A);

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void expect_no_open_session(HRESULT hr)
{
    EXPECT_HR(kNoOpenSession, hr);
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_EQ("There is not an open session.", e.description);
    EXPECT_EQ(1002u, e.help_context);
    EXPECT_EQ("MrvRS232", e.source);
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
}

class Lifecycle : public ::testing::Test {
protected:
    com_apartment com;
};

}  // namespace

TEST_F(Lifecycle, OpenReportsIdentityAndCloseReachesVisa)
{
    auto s = open_session(L"ASRL1::INSTR");
    ASSERT_TRUE(s);
    simvisa visa;
    ASSERT_TRUE(visa.loaded()) << "the server did not load the simulation library";
    EXPECT_EQ(1u, visa.count("viOpen(")) << visa.log();

    BSTR b = nullptr;
    // The name the library reports, not the text handed to Init.
    ASSERT_HR(S_OK, s->get_ResourceName(&b));
    EXPECT_EQ("ASRL1::INSTR", take(b));
    ASSERT_HR(S_OK, s->get_SessionType(&b));
    EXPECT_EQ("INSTR", take(b));
    ASSERT_HR(S_OK, s->get_ProgID(&b));
    EXPECT_EQ("MorvaneRS232.RS232Svr", take(b));

    visa.clear_log();
    EXPECT_HR(S_OK, s->Close());
    EXPECT_EQ(2u, visa.count("viClose(")) << "the session and its resource manager\n" << visa.log();
}

TEST_F(Lifecycle, StateTable)
{
    auto s = create_session();
    ASSERT_TRUE(s);
    bstr_arg name(L"ASRL1::INSTR"), empty(L"");
    BSTR b = reinterpret_cast<BSTR>(0xdeadbeef);

    // New: framed methods and Close have no session.
    expect_no_open_session(s->get_SessionType(&b));
    expect_no_open_session(s->Close());

    // Open; a second Init is refused and the session stays open.
    ASSERT_HR(S_OK, s->Init(name, NO_LOCK, 2000, empty));
    EXPECT_HR(kAlreadyOpen, s->Init(name, NO_LOCK, 2000, empty));
    auto e = last_error_info();
    EXPECT_EQ("This resource object has already been opened.  Create a new resource object if "
              "you desire multiple sessions.",
              e.description);
    EXPECT_EQ(1013u, e.help_context);
    ASSERT_HR(S_OK, s->get_SessionType(&b));
    take(b);

    // Closed for good: Init too answers that there is no open session.
    ASSERT_HR(S_OK, s->Close());
    expect_no_open_session(s->Init(name, NO_LOCK, 2000, empty));
    expect_no_open_session(s->get_ProgID(&b));
    expect_no_open_session(s->Close());
}

TEST_F(Lifecycle, NullResourceNameLeavesSessionNewAndErrorObjectAlone)
{
    auto s = create_session();
    ASSERT_TRUE(s);
    // An error object from an earlier failure stays in place.
    expect_no_open_session(s->Close());
    ASSERT_HR(kNoOpenSession, s->Close());

    EXPECT_HR(E_POINTER, s->Init(nullptr, NO_LOCK, 2000, nullptr));
    auto e = last_error_info();
    EXPECT_TRUE(e.present);
    EXPECT_EQ("There is not an open session.", e.description);

    // Still new, and a null option string counts as "".
    bstr_arg name(L"ASRL1::INSTR");
    EXPECT_HR(S_OK, s->Init(name, NO_LOCK, 2000, nullptr));
}

TEST_F(Lifecycle, VisaOpenFailureIsConvertedAndInitMayBeRepeated)
{
    auto s = create_session();
    ASSERT_TRUE(s);
    bstr_arg unknown(L"ASRL99::INSTR"), good(L"ASRL1::INSTR"), empty(L"");

    // VI_ERROR_RSRC_NFOUND (0xBFFF0011): facility 4, code 0x0011, severity kept.
    EXPECT_HR(0x80040011, s->Init(unknown, NO_LOCK, 2000, empty));
    auto e = last_error_info();
    ASSERT_TRUE(e.present);
    EXPECT_EQ(0xBFFF0011u, e.help_context);
    EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, e.guid));
    EXPECT_EQ("MrvRS232", e.source);
    EXPECT_TRUE(ends_with(e.help_file, "\\visacom.chm")) << e.help_file;
    EXPECT_FALSE(e.description.empty());
    EXPECT_NE("An unrecognized Visa error occurred.", e.description)
        << "the text comes from the library's viStatusDesc";

    EXPECT_HR(S_OK, s->Init(good, NO_LOCK, 2000, empty));
}

TEST_F(Lifecycle, ACompletionCodeOfTheOpenIsInitsSuccess)
{
    auto probe = open_session();  // loads the library, so that faults can be injected
    ASSERT_TRUE(probe);
    simvisa visa;
    bstr_arg name(L"ASRL1::INSTR"), empty(L"");
    auto s = create_session();
    visa.fail_next("viOpen", VI_SUCCESS_DEV_NPRESENT);
    EXPECT_HR(0x0004007D, s->Init(name, NO_LOCK, 2000, empty));
    BSTR b = nullptr;
    EXPECT_HR(S_OK, s->get_SessionType(&b));
    take(b);
    visa.clear_faults();
}

TEST_F(Lifecycle, ReleasingAnOpenSessionClosesIt)
{
    auto keep = open_session(L"ASRL2::INSTR");  // keeps the library loaded
    auto s = open_session();
    ASSERT_TRUE(s);
    simvisa visa;
    visa.clear_log();
    s.reset();
    EXPECT_EQ(2u, visa.count("viClose(")) << visa.log();
}

TEST_F(Lifecycle, OverlongSimulationFileFailsAndReleasesTheSimulationLock)
{
    auto s = create_session();
    ASSERT_TRUE(s);
    auto control = s.as<IControlSimulation>(IID_IControlSimulation);
    ASSERT_TRUE(control);
    std::wstring long_name(260, L'x');
    bstr_arg file(long_name.c_str()), name(L"ASRL1::INSTR"), empty(L"");
    ASSERT_HR(S_OK, control->SetSimulationFile(file));
    clear_error_info();
    EXPECT_HR(E_INVALIDARG, s->Init(name, NO_LOCK, 2000, empty));
    EXPECT_FALSE(last_error_info().present) << "the failure carries only its HRESULT";

    // Another thread can still make a simulated open: the lock was released.
    HRESULT other = E_FAIL;
    std::thread([&] {
        com_apartment mta;
        auto t = create_session();
        auto c = t.as<IControlSimulation>(IID_IControlSimulation);
        bstr_arg short_name(simvisa().device_file(L"dmm.json").c_str());
        c->SetSimulationFile(short_name);
        bstr_arg n(L"ASRL1::INSTR"), o(L"");
        other = t->Init(n, NO_LOCK, 2000, o);
    }).join();
    EXPECT_HR(S_OK, other);
}
