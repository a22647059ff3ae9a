// Option strings as a client uses them: Init applies the items in string order through the
// session's SetAttribute (seen in the simulation library's call log), rejects unknown keys and
// names by closing the session, reports a refused setting with message 124 and keeps the
// session open; get_OptionString renders the settings so that Init can read them back.
#include "option_outcome.h"

#include <atomic>
#include <cstring>
#include <sstream>
#include <thread>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kNoOpenSession = static_cast<HRESULT>(0x8004000E);

std::string set(unsigned long attribute, long value)
{
    return attribute_set(attribute, value);
}

std::string option_string(IVisaSession* s)
{
    BSTR b = nullptr;
    EXPECT_HR(S_OK, s->get_OptionString(&b));
    return take(b);
}

std::string lines_joined(std::string text)
{
    for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;)
        text.replace(p, 2, " ");
    for (std::size_t p; (p = text.find('\n')) != std::string::npos;)
        text.replace(p, 1, " ");
    return text;
}

class OptionStrings : public ::testing::Test {
protected:
    com_apartment com;
    com_ptr<IVisaSession> keep = open_session(L"ASRL2::INSTR");  // keeps the library loaded
};

}  // namespace

TEST_F(OptionStrings, ItemsReachVisaInStringOrder)
{
    const std::wstring pad41(41, L' '), pad86(86, L' ');
    struct row {
        const char* label;
        std::wstring options;
        std::vector<std::string> sets;
    } rows[] = {
        {"empty", L"", {}},
        {"spaces only", L"    ", {}},
        {"no '='", L"BaudRate", {}},
        {"item starting with '='", L"=9600 ; Parity=1", {set(VI_ATTR_ASRL_PARITY, 1)}},
        {"keys and names ignore case",
         L"baudrate = 19200 ; parity = asrl_par_even",
         {set(VI_ATTR_ASRL_BAUD, 19200), set(VI_ATTR_ASRL_PARITY, 2)}},
        {"names are not tied to keys", L"Parity = TRUE", {set(VI_ATTR_ASRL_PARITY, 1)}},
        {"number prefix, zeros, empty value",
         L"BaudRate = 4800baud;Timeout = 000;TerminationCharacter = ;EndOut=0 0",
         {set(VI_ATTR_ASRL_BAUD, 4800), set(VI_ATTR_TMO_VALUE, 0), set(VI_ATTR_TERMCHAR, 0),
          set(VI_ATTR_ASRL_END_OUT, 0)}},
        {"tab before digits, clamping",
         L"BaudRate =\t19200;Timeout=99999999999",
         {set(VI_ATTR_ASRL_BAUD, 19200), set(VI_ATTR_TMO_VALUE, 2147483647)}},
        {"1.5 stop bits by number", L"StopBits = 15", {set(VI_ATTR_ASRL_STOP_BITS, 15)}},
        {"value is all after the first '='", L"Parity = 2=3", {set(VI_ATTR_ASRL_PARITY, 2)}},
        {"empty item ends the reading", L"BaudRate=4800;;Parity=2", {set(VI_ATTR_ASRL_BAUD, 4800)}},
        {"blank item ends the reading",
         L"BaudRate=4800; ;Parity=2",
         {set(VI_ATTR_ASRL_BAUD, 4800)}},
        {"item without '=' is skipped",
         L"BaudRate=4800;junk;Parity=2;",
         {set(VI_ATTR_ASRL_BAUD, 4800), set(VI_ATTR_ASRL_PARITY, 2)}},
        {"key of 49 characters",
         L"BaudRate" + pad41 + L"=4800;Parity=1",
         {set(VI_ATTR_ASRL_BAUD, 4800), set(VI_ATTR_ASRL_PARITY, 1)}},
        {"key of 50 characters drops its item",
         L"BaudRate " + pad41 + L"=4800;Parity=1",
         {set(VI_ATTR_ASRL_PARITY, 1)}},
        {"item of 99 characters",
         L"BaudRate=" + pad86 + L"4800;Parity=1",
         {set(VI_ATTR_ASRL_BAUD, 4800), set(VI_ATTR_ASRL_PARITY, 1)}},
        {"item of 100 characters ends the reading", L"BaudRate=" + pad86 + L" 4800;Parity=1", {}},
    };
    ASSERT_TRUE(keep);
    for (const row& r : rows) {
        SCOPED_TRACE(r.label);
        const init_outcome o = init_with(r.options);
        EXPECT_HR(S_OK, o.hr) << o.error.description;
        EXPECT_TRUE(o.open);
        EXPECT_EQ(r.sets, o.sets);
    }
}

TEST_F(OptionStrings, UnknownKeyOrNameClosesTheSession)
{
    struct row {
        const char* options;
        std::vector<std::string> sets;  // the items before the rejected one stay applied
    } rows[] = {
        {"BaudRate = 4800 ; Color = 3", {set(VI_ATTR_ASRL_BAUD, 4800)}},
        {"Parity = 1 ; StopBits = ASRL_STOP_ONE5", {set(VI_ATTR_ASRL_PARITY, 1)}},
        {"Parity = 0x11", {}},
        {"Parity = -0", {}},
        {"Baud\tRate = 4800", {}},
    };
    ASSERT_TRUE(keep);
    for (const row& r : rows) {
        SCOPED_TRACE(r.options);
        std::wstring options(r.options, r.options + std::strlen(r.options));
        init_outcome o = init_with(options);
        EXPECT_HR(E_INVALIDARG, o.hr);
        EXPECT_EQ("No valid conversion.", o.error.description);
        EXPECT_EQ(1015u, o.error.help_context);
        EXPECT_EQ("MrvRS232", o.error.source);
        EXPECT_TRUE(IsEqualGUID(IID_IVisaSession, o.error.guid));
        EXPECT_EQ(r.sets, o.sets);
        EXPECT_FALSE(o.open);
        bstr_arg name(L"ASRL1::INSTR"), empty(L"");
        EXPECT_HR(kNoOpenSession, o.session->Init(name, NO_LOCK, 2000, empty));
    }
}

TEST_F(OptionStrings, RefusedSettingReportsMessage124AndKeepsTheSessionOpen)
{
    ASSERT_TRUE(keep);
    // The refusal as the session's SetAttribute reports it to a client.
    VARIANT zero;
    VariantInit(&zero);
    V_VT(&zero) = VT_I4;
    V_I4(&zero) = 0;
    const HRESULT refused = keep->SetAttribute(VI_ATTR_ASRL_BAUD, zero);
    ASSERT_TRUE(FAILED(refused));
    const error_info refusal = last_error_info();
    ASSERT_TRUE(refusal.present);

    const init_outcome o = init_with(L"Parity = 2 ; BaudRate = 0 ; DataBits = 7");
    EXPECT_HR(refused, o.hr);
    EXPECT_TRUE(o.open);
    // The parity stays set; the data bits are never reached.
    EXPECT_EQ((std::vector<std::string>{set(VI_ATTR_ASRL_PARITY, 2), set(VI_ATTR_ASRL_BAUD, 0)}),
              o.sets);
    ASSERT_TRUE(o.error.present);
    // The key as written, the refusal's text, wrapped at 80 columns.
    EXPECT_EQ(lines_joined("While Processing the Intialization parameter \"BaudRate\" this error "
                           "occurred: " +
                           refusal.description),
              lines_joined(o.error.description));
    std::istringstream lines(o.error.description);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 81u) << line;  // 80 and the '\r' of the line break
    EXPECT_NE(std::string::npos, o.error.description.find("\r\n"));
    EXPECT_EQ(refusal.help_context, o.error.help_context);
    EXPECT_EQ(refusal.source, o.error.source);
    EXPECT_EQ(refusal.help_file, o.error.help_file);
    EXPECT_TRUE(IsEqualGUID(refusal.guid, o.error.guid));
}

TEST_F(OptionStrings, RenderedDefaultsReadBackToTheSameSettings)
{
    auto s = open_session(L"ASRL3::INSTR");
    ASSERT_TRUE(s);
    long queue = 0;
    ASSERT_HR(S_OK, s.as<IEventManager>(IID_IEventManager)->get_MaximumQueueLength(&queue));
    const std::string rendered = option_string(s.get());
    EXPECT_EQ("Timeout = 2000 ; SendEndEnabled = TRUE ; TerminationCharacter = 10 ; "
              "TerminationCharacterEnabled = FALSE ; BaudRate = 9600 ; DataBits = 8 ; "
              "EndIn = ASRL_END_TERMCHAR ; EndOut = ASRL_END_NONE ; FlowControl = ASRL_FLOW_NONE ; "
              "Parity = ASRL_PAR_NONE ; RequestToSendState = 1 ; DataTerminalReadyState = 1 ; "
              "StopBits = ASRL_STOP_ONE ; MaximumQueueLength = " +
                  std::to_string(queue) +
                  " ; ReplacementCharacter = 0 ; XONCharacter = 17 ; XOFFCharacter = 19",
              rendered);

    const init_outcome o = init_with(std::wstring(rendered.begin(), rendered.end()));
    EXPECT_HR(S_OK, o.hr) << o.error.description;
    EXPECT_EQ(16u, o.sets.size()) << "every piece but the queue length reaches VISA";
    EXPECT_EQ(rendered, option_string(o.session.get()));
}

TEST_F(OptionStrings, ChangedSettingsTravelToAnotherPort)
{
    const init_outcome a =
        init_with(L"BaudRate=19200;Parity=ASRL_PAR_EVEN;DataBits=7;StopBits=ASRL_STOP_TWO;"
                  L"FlowControl=ASRL_FLOW_XON_XOFF;EndOut=ASRL_END_TERMCHAR;EndIn=ASRL_END_NONE;"
                  L"Timeout=5000;TerminationCharacter=13;TerminationCharacterEnabled=TRUE;"
                  L"SendEndEnabled=FALSE;XONCharacter=1;XOFFCharacter=2;ReplacementCharacter=63;"
                  L"RequestToSendState=0;DataTerminalReadyState=0;MaximumQueueLength=7");
    ASSERT_HR(S_OK, a.hr) << a.error.description;
    const std::string rendered = option_string(a.session.get());
    EXPECT_NE(std::string::npos, rendered.find("BaudRate = 19200 ; DataBits = 7 ; EndIn = "
                                               "ASRL_END_NONE ; EndOut = ASRL_END_TERMCHAR ; "
                                               "FlowControl = ASRL_FLOW_XON_XOFF ; Parity = "
                                               "ASRL_PAR_EVEN ; "))
        << rendered;
    EXPECT_NE(std::string::npos, rendered.find("MaximumQueueLength = 7 ; ")) << rendered;

    const init_outcome b =
        init_with(std::wstring(rendered.begin(), rendered.end()), L"ASRL3::INSTR");
    ASSERT_HR(S_OK, b.hr) << b.error.description;
    EXPECT_EQ(rendered, option_string(b.session.get()));
}

TEST_F(OptionStrings, RenderLeavesOutTheLineThatFlowControlDrives)
{
    struct row {
        const char* flow;
        bool rts_shown, dtr_shown;
        const char* flow_piece;
    } rows[] = {
        {"ASRL_FLOW_RTS_CTS", false, true, "FlowControl = ASRL_FLOW_RTS_CTS ; "},
        {"ASRL_FLOW_DTR_DSR", true, false, "FlowControl = ASRL_FLOW_DTR_DSR ; "},
        {"3", true, true, "FlowControl = 3 ; "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.flow);
        std::string options = std::string("FlowControl = ") + r.flow;
        const init_outcome o =
            init_with(std::wstring(options.begin(), options.end()), L"ASRL3::INSTR");
        ASSERT_HR(S_OK, o.hr) << o.error.description;
        const std::string rendered = option_string(o.session.get());
        EXPECT_NE(std::string::npos, rendered.find(r.flow_piece)) << rendered;
        EXPECT_EQ(r.rts_shown, rendered.find("RequestToSendState = ") != std::string::npos);
        EXPECT_EQ(r.dtr_shown, rendered.find("DataTerminalReadyState = ") != std::string::npos);
    }
}

TEST_F(OptionStrings, SessionsOnManyThreadsApplyAndRenderTogether)
{
    // Every option string of the process is applied under one lock, inside each session's own.
    ASSERT_TRUE(keep);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            com_apartment mta;
            const wchar_t* port = t % 2 ? L"ASRL1::INSTR" : L"ASRL3::INSTR";
            for (int i = 0; i < 25; ++i) {
                auto s = create_session();
                bstr_arg name(port), options(L"Timeout = 3000 ; XONCharacter = 17 ; Color = 1");
                if (!s || s->Init(name, NO_LOCK, 2000, options) != E_INVALIDARG)
                    ++failures;
                auto open = open_session(port, L"Timeout = 3000 ; EndIn = ASRL_END_NONE");
                BSTR b = nullptr;
                if (!open || open->get_OptionString(&b) != S_OK ||
                    take(b).find("Timeout = 3000 ; ") != 0)
                    ++failures;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, failures.load());
}
