// The serial session through COM on a real serial line: ASRL47 is the prefix's COM47, a
// pseudo-terminal whose other end the instrument program (instrument.py) answers; on ASRL49
// the instrument goes away.
#include "event_test_support.h"

#include <chrono>
#include <string>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr HRESULT kTermChar = 0x00040005;  // VI_SUCCESS_TERM_CHAR
constexpr HRESULT kTimeout = static_cast<HRESULT>(0x80040015);

class SerialLine : public ::testing::Test {
protected:
    void open(const wchar_t* resource = L"ASRL47::INSTR")
    {
        session = open_session(resource);
        ASSERT_TRUE(session);
        message = session.as<IMessage>(IID_IMessage);
        serial = session.as<ISerial>(IID_ISerial);
        ASSERT_TRUE(message && serial);
        ASSERT_HR(S_OK, session->put_Timeout(3000));
    }
    HRESULT write(const wchar_t* text)
    {
        bstr_arg b(text);
        long n = 0;
        return message->WriteString(b, &n);
    }
    std::string read(HRESULT* hr = nullptr, long count = 256)
    {
        BSTR text = nullptr;
        const HRESULT r = message->ReadString(count, &text);
        if (hr)
            *hr = r;
        return take(text);
    }
    std::string query(const wchar_t* text)
    {
        HRESULT hr = write(text);
        if (FAILED(hr))
            return "<write " + hex(hr) + ">";
        std::string answer = read(&hr);
        return FAILED(hr) ? "<read " + hex(hr) + ">" : answer;
    }

    com_apartment com;
    com_ptr<IVisaSession> session;
    com_ptr<IMessage> message;
    com_ptr<ISerial> serial;
};

}  // namespace

TEST_F(SerialLine, IdentityAndMeasurement)
{
    open();
    EXPECT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", query(L"*IDN?\n"));
    EXPECT_EQ("+1.234500E+00\n", query(L"MEAS?\n"));
}

TEST_F(SerialLine, LineSettingsReachTheInstrument)
{
    // A pseudo-terminal carries the speed and the stop bits to the instrument's view.
    open();
    ASSERT_HR(S_OK, serial->put_BaudRate(19200));
    ASSERT_HR(S_OK, serial->put_StopBits(ASRL_STOP_TWO));
    EXPECT_EQ("19200,8,N,2\n", query(L"LINE?\n"));
}

TEST_F(SerialLine, ReadsEndByTimeOutAndTerminationCharacter)
{
    open();
    // A read that times out: the rest of the answer waits for the next read.
    ASSERT_HR(S_OK, session->put_Timeout(300));
    ASSERT_HR(S_OK, write(L"SPLIT? 1.0\n"));
    HRESULT hr = S_OK;
    read(&hr);
    EXPECT_HR(kTimeout, hr);
    ASSERT_HR(S_OK, session->put_Timeout(3000));
    EXPECT_EQ("second\n", read(&hr));
    EXPECT_HR(S_OK, hr);

    ASSERT_HR(S_OK, serial->put_EndIn(ASRL_END_NONE));
    ASSERT_HR(S_OK, message->put_TerminationCharacter(','));
    ASSERT_HR(S_OK, message->put_TerminationCharacterEnabled(VARIANT_TRUE));
    ASSERT_HR(S_OK, write(L"ECHO x,y\n"));
    EXPECT_EQ("x,", read(&hr));
    EXPECT_HR(kTermChar, hr);
    ASSERT_HR(S_OK, message->put_TerminationCharacter('\n'));
    EXPECT_EQ("y\n", read(&hr));
    EXPECT_HR(kTermChar, hr);
}

TEST_F(SerialLine, LargeTransferLosesNothing)
{
    open();
    ASSERT_HR(S_OK, session->put_Timeout(20000));
    constexpr long size = 100000;
    ASSERT_HR(S_OK, write((L"DATA? " + std::to_wstring(size) + L"\n").c_str()));
    SAFEARRAY* buf = nullptr;
    ASSERT_HR(S_OK, message->Read(size + 16, &buf));
    LONG upper = -1;
    SafeArrayGetUBound(buf, 1, &upper);
    ASSERT_EQ(size, upper) << "the block and its LF";
    void* raw = nullptr;
    SafeArrayAccessData(buf, &raw);
    const auto* data = static_cast<const unsigned char*>(raw);
    long wrong = 0;
    for (long i = 0; i < size; ++i)
        wrong += data[i] != 48 + i % 75;
    SafeArrayUnaccessData(buf);
    SafeArrayDestroy(buf);
    EXPECT_EQ(0, wrong);
}

TEST_F(SerialLine, InstrumentGoingAwayEndsTheReadCleanly)
{
    open(L"ASRL49::INSTR");
    ASSERT_HR(S_OK, session->put_Timeout(2000));
    ASSERT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", query(L"*IDN?\n"));
    ASSERT_HR(S_OK, write(L"EXIT\n"));
    const auto start = std::chrono::steady_clock::now();
    HRESULT hr = S_OK;
    read(&hr);
    EXPECT_HR(kTimeout, hr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_HR(S_OK, session->Close());
}

// Characters arriving on the line raise the serial character event, taken by a wait and given
// to a handler; an asynchronous read of the instrument's answer completes with its bytes.
TEST_F(SerialLine, CharacterEventsAndAnAsynchronousReadThroughTheServer)
{
    open();
    auto events = events_of(session);
    auto async = session.as<IAsyncMessage>(IID_IAsyncMessage);
    ASSERT_TRUE(events && async);
    constexpr long asrl_char = 0x3FFF2035;  // VI_EVENT_ASRL_CHAR
    constexpr long io_completion = 0x3FFF2009;
    auto handler = test_handler::make(true);
    ASSERT_HR(S_OK, events->InstallHandler(static_cast<EventType>(asrl_char), handler.get(), 7, 0));
    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(asrl_char),
                                      static_cast<EventMechanism>(EVENT_QUEUE | EVENT_HNDLR), 0)));
    ASSERT_HR(S_OK, write(L"*IDN?\n"));
    com_ptr<IEvent> event;
    ASSERT_HR(S_OK, events->WaitOnEvent(3000, static_cast<EventType>(asrl_char), 0, event.put()));
    EXPECT_TRUE(handler->wait_for(1));
    EXPECT_EQ("SIMVISA,SERIAL-LINE,SN0001,1.0\n", read());

    ASSERT_TRUE(
        SUCCEEDED(events->EnableEvent(static_cast<EventType>(io_completion), EVENT_QUEUE, 0)));
    ASSERT_HR(S_OK, write(L"MEAS?\n"));
    long job = 0;
    ASSERT_HR(S_OK, async->Read(14, &job));
    com_ptr<IEvent> done;
    ASSERT_HR(S_OK,
              events->WaitOnEvent(3000, static_cast<EventType>(io_completion), 0, done.put()));
    auto completion = done.as<IEventIOCompletion>(IID_IEventIOCompletion);
    ASSERT_TRUE(completion);
    long id = 0;
    BSTR text = nullptr;
    EXPECT_HR(S_OK, completion->get_JobId(&id));
    EXPECT_EQ(job, id);
    EXPECT_HR(S_OK, completion->get_ReadBufferAsString(&text));
    EXPECT_EQ("+1.234500E+00\n", take(text));
    events->DisableEvent(static_cast<EventType>(any_event), static_cast<EventMechanism>(7), 0);
    events->UninstallHandler(static_cast<EventType>(asrl_char), 7, 0);
}

// A 488.2-style instrument requests service with a byte of its own: the request reaches a wait
// and a handler, the byte never reaches a read, and ReadSTB gives the status bits behind it.
TEST_F(SerialLine, ServiceRequestReachesAWaitAndAHandler)
{
    // COM47 as it is has no way to request service.
    open();
    constexpr HRESULT inv_event = static_cast<HRESULT>(0x80040026);
    EXPECT_HR(inv_event, events_of(session)->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0));
    ASSERT_HR(S_OK, session->Close());

    // ASRL147 opens the same line as a 488.2-style device; a session on the simulated ASRL1
    // keeps the library loaded meanwhile.
    auto holder = open_session();
    simvisa visa;
    auto load_config = visa.get<simvisa_load_config_fn>("simvisa_load_config");
    ASSERT_TRUE(load_config);
    ASSERT_EQ(VI_SUCCESS, load_config(SERVICE_REQUEST_CONFIG));
    open(L"ASRL147::INSTR");
    auto events = events_of(session);
    ASSERT_TRUE(events);
    auto handler = test_handler::make(true);
    ASSERT_HR(S_OK, events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), 3, 0));
    ASSERT_TRUE(SUCCEEDED(events->EnableEvent(
        EVENT_SERVICE_REQ, static_cast<EventMechanism>(EVENT_QUEUE | EVENT_HNDLR), 0)));
    ASSERT_HR(S_OK, write(L"*CLS\n"));  // a request needs a status bit that rises
    ASSERT_HR(S_OK, write(L"*SRE 16\n"));
    ASSERT_HR(S_OK, write(L"SRQ 16\n"));
    com_ptr<IEvent> event;
    ASSERT_HR(S_OK, events->WaitOnEvent(3000, EVENT_SERVICE_REQ, 0, event.put()));
    EventType type{};
    EXPECT_HR(S_OK, event->get_Type(&type));
    EXPECT_EQ(EVENT_SERVICE_REQ, type);
    ASSERT_TRUE(handler->wait_for(1));
    EXPECT_EQ(sre, handler->calls()[0].type);
    EXPECT_EQ("requested\n", read()) << "the request byte is no data";
    ASSERT_HR(S_OK, message->put_IOProtocol(IO_PROT_4882_STRS));
    short stb = 0;
    EXPECT_HR(S_OK, message->ReadSTB(&stb));
    EXPECT_EQ(0x50, stb);

    events->DisableEvent(static_cast<EventType>(any_event), static_cast<EventMechanism>(7), 0);
    events->UninstallHandler(EVENT_SERVICE_REQ, 3, 0);
    EXPECT_HR(S_OK, session->Close());
    EXPECT_EQ(VI_SUCCESS, load_config(nullptr));
}
